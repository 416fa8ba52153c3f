#include "display/module.h"

#include "display/frame.h"

namespace disp {

module::module() {
    status[24] = 0xAA;
    status[26] = 0xAA;
}

void module::Reset() {
    // Bytes 10, 11 and 24 to 26 keep their values.
    for (uint32_t i = 0; i < kStatusBytes; ++i) {
        if (i < 10 || (i >= 12 && i < 24) || i >= 27) {
            status[i] = 0;
        }
    }
}

bool module::Open(const pixel& topLeft, const pixel& bottomRight, frame* testErrors,
                  frame* messageErrors) {
    if (state_ == kOpen) {
        return false;
    }
    Reset();
    top_left_ = topLeft;
    bottom_right_ = bottomRight;
    test_errors_ = testErrors;
    message_errors_ = messageErrors;
    failed_ = 0;
    state_ = kOpen;
    return true;
}

bool module::Close() {
    if (state_ != kOpen) {
        return false;
    }
    state_ = kClosed;
    return true;
}

bool module::CountFailures() {
    if (state_ != kOpen) {
        return false;
    }
    uint32_t failed = 0;
    for (uint32_t y = top_left_.y; y <= bottom_right_.y; ++y) {
        for (uint32_t x = top_left_.x; x <= bottom_right_.x; ++x) {
            pixel p{uint16_t(x), uint16_t(y)};
            if (test_errors_ != nullptr && test_errors_->GetPixel(p) && p.value != 0) {
                ++failed;
                continue;
            }
            p.value = 0;
            if (message_errors_ != nullptr && message_errors_->GetPixel(p) && p.value != 0) {
                ++failed;
            }
        }
    }
    failed_ = uint16_t(failed > 0xFFFF ? 0xFFFF : failed);
    return true;
}

bool module::GetPosition(uint32_t* column, uint32_t* row) const {
    if (state_ != kOpen || bottom_right_.x < top_left_.x || bottom_right_.y < top_left_.y) {
        return false;
    }
    const uint32_t width = uint32_t(bottom_right_.x - top_left_.x) + 1;
    const uint32_t height = uint32_t(bottom_right_.y - top_left_.y) + 1;
    if (column != nullptr) {
        *column = (top_left_.x + 1u) / width;
    }
    if (row != nullptr) {
        *row = (top_left_.y + 1u) / height;
    }
    return true;
}

}  // namespace disp
