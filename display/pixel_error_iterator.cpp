#include "display/pixel_error_iterator.h"

#include "display/frame.h"

namespace disp {

pixel_error_iterator::pixel_error_iterator(const frame* errors, uint16_t originX, uint16_t originY)
    : frame_(errors), origin_x_(originX), origin_y_(originY) {
    if (frame_ == nullptr || frame_->Width() == 0 || frame_->Height() == 0) {
        return;
    }
    start_x_ = originX;
    start_y_ = originY;
    end_x_ = uint32_t(originX) + frame_->Width() - 1;
    end_y_ = uint32_t(originY) + frame_->Height() - 1;
    state_ = kOpen;
}

bool pixel_error_iterator::Seek(uint32_t x, uint32_t y) {
    valid_ = false;
    if (state_ != kOpen) {
        return false;
    }
    for (; y <= end_y_; ++y, x = start_x_) {
        for (; x <= end_x_; ++x) {
            pixel p{uint16_t(x - origin_x_), uint16_t(y - origin_y_)};
            if (frame_->GetPixel(p) && p.value != 0) {
                current_ = pixel(uint16_t(x), uint16_t(y), p.value);
                valid_ = true;
                return true;
            }
        }
    }
    return false;
}

bool pixel_error_iterator::First() {
    return Seek(start_x_, start_y_);
}

bool pixel_error_iterator::Next() {
    if (!IsValid()) {
        return false;
    }
    uint32_t x = current_.x + 1u;
    uint32_t y = current_.y;
    if (x > end_x_) {
        x = start_x_;
        ++y;
    }
    return Seek(x, y);
}

bool pixel_error_iterator::IsValid() const {
    return state_ == kOpen && valid_;
}

}  // namespace disp
