#include "display/frame_state.h"

#include <cstring>
#include <new>

namespace disp {

frame_state::frame_state(uint32_t bitsPerPixel, uint32_t storedBits)
    : bits_per_pixel_(bitsPerPixel), stored_bits_(storedBits) {}

frame_state::~frame_state() {
    delete[] buffer_;
}

uint32_t frame_state::MaxValue() const {
    return bits_per_pixel_ >= 24   ? 0xFFFFFFu
           : bits_per_pixel_ == 15 ? 0xFFFFu
                                   : (1u << bits_per_pixel_) - 1;
}

bool frame_state::Create(uint16_t height, uint16_t width, uint32_t value) {
    if (state_ == kCreated || value > MaxValue() || height == 0 || width == 0) {
        return false;
    }
    const uint64_t bits = uint64_t(height) * width * stored_bits_;
    const uint64_t bytes = (bits + 7) / 8;
    if (bytes > kMaxBytes) {
        return false;
    }
    buffer_ = new (std::nothrow) uint8_t[bytes]();
    if (buffer_ == nullptr) {
        return false;
    }
    height_ = height;
    width_ = width;
    fill_value_ = value;
    bit_count_ = uint32_t(bits);
    byte_size_ = uint32_t(bytes);
    state_ = kCreated;
    if (value != 0) {
        Prefill(value);
    }
    lit_count_ = value != 0 ? uint32_t(height) * width : 0;
    return true;
}

bool frame_state::Free() {
    if (state_ != kCreated) {
        return false;
    }
    delete[] buffer_;
    buffer_ = nullptr;
    bit_count_ = byte_size_ = lit_count_ = 0;
    height_ = width_ = 0;
    state_ = kConstructed;
    return true;
}

void frame_state::Prefill(uint32_t value) {
    const uint32_t pixels = uint32_t(height_) * width_;
    for (uint32_t i = 0; i < pixels; ++i) {
        Write(i, value);
    }
}

bool frame_state::GetPixel(pixel& p) const {
    if (state_ != kCreated || p.x >= width_ || p.y >= height_) {
        return false;
    }
    p.value = Read(uint32_t(p.y) * width_ + p.x);
    return true;
}

bool frame_state::SetPixel(const pixel& p) {
    if (state_ != kCreated || p.x >= width_ || p.y >= height_) {
        return false;
    }
    const uint32_t index = uint32_t(p.y) * width_ + p.x;
    // A 1-bit pixel is lit by any value; wider values keep only the bits the depth stores.
    const uint32_t value = bits_per_pixel_ == 1 ? (p.value != 0 ? 1 : 0) : p.value & MaxValue();
    const uint32_t old = Read(index);
    if (old == 0 && value != 0) {
        ++lit_count_;
    } else if (old != 0 && value == 0) {
        --lit_count_;
    }
    Write(index, value);
    return true;
}

bool frame_state::Fill() {
    if (state_ != kCreated) {
        return false;
    }
    for (uint16_t x = 0; x < width_; ++x) {
        for (uint16_t y = 0; y < height_; ++y) {
            SetPixel(pixel(x, y, fill_value_));
        }
    }
    return lit_count_ == 0;
}

uint32_t frame_state::CountLit(uint32_t first, uint32_t end) const {
    uint32_t lit = 0;
    for (uint32_t i = first; i < end; ++i) {
        lit += Read(i) != 0 ? 1 : 0;
    }
    return lit;
}

void frame_state::Recount() {
    lit_count_ = CountLit(0, uint32_t(height_) * width_);
}

void frame_state::WriteBytes(uint32_t offset, const uint8_t* data, uint32_t length) {
    if (length == 0) {
        return;
    }
    const uint32_t pixels = uint32_t(height_) * width_;
    const uint32_t first = uint32_t(uint64_t(offset) * 8 / stored_bits_);
    const uint32_t last = uint32_t((uint64_t(offset + length) * 8 - 1) / stored_bits_);
    const uint32_t end = last + 1 < pixels ? last + 1 : pixels;
    lit_count_ -= CountLit(first, end);
    std::memcpy(buffer_ + offset, data, length);
    lit_count_ += CountLit(first, end);
}

void frame_state::CopyFrom(const frame_state& other) {
    std::memcpy(buffer_, other.buffer_, byte_size_);
    lit_count_ = other.lit_count_;
}

}  // namespace disp
