#include "display/surface_adapter.h"

#include <cstring>

#include "display/pixel_format.h"
#include "render/surface.h"

namespace disp {

namespace {

bool Served(uint32_t depth) {
    return depth == 1 || depth == 2 || depth == 15;
}

}  // namespace

bool surface_adapter::Create(uint16_t height, uint16_t width, uint32_t, uint32_t) {
    height_ = height;
    width_ = width;
    lit_valid_ = false;
    return true;
}

uint32_t surface_adapter::BitsPerPixel() const {
    return surface_ != nullptr ? surface_->BitsPerPixel() : 0;
}

bool surface_adapter::GetPixel(pixel& p) const {
    const uint32_t depth = BitsPerPixel();
    if (!Served(depth)) {
        return false;
    }
    uint32_t colour = surface_->GetPixel(p.x, p.y);
    if (depth == 15) {
        colour >>= 16;
    }
    p.value = Rgb15ToDepth(colour, depth);
    return true;
}

bool surface_adapter::SetPixel(const pixel& p) {
    const uint32_t depth = BitsPerPixel();
    if (!Served(depth)) {
        return false;
    }
    surface_->SetPixel(p.x, p.y, DepthToRgb15(p.value, depth));
    lit_valid_ = false;
    return true;
}

void surface_adapter::Bind() {
    chunk_source_ = surface_ != nullptr ? surface_->Pixels() : nullptr;
    chunk_size_ = surface_ != nullptr ? surface_->Size() : 0;
    lit_valid_ = false;
}

uint32_t surface_adapter::LitCount() const {
    if (lit_valid_) {
        return lit_count_;
    }
    uint32_t lit = 0;
    const uint8_t* bytes = surface_ != nullptr ? surface_->Pixels() : nullptr;
    if (bytes != nullptr) {
        // Every stored depth is lit exactly when one of its bytes is not 0.
        const uint32_t step = surface_->BitsPerPixel() == 15 ? 2 : 1;
        const uint32_t pixels = uint32_t(surface_->Width()) * uint32_t(surface_->Height());
        for (uint32_t i = 0; i < pixels; ++i) {
            lit += (bytes[i * step] | bytes[i * step + step - 1]) != 0 ? 1 : 0;
        }
    }
    lit_count_ = lit;
    lit_valid_ = true;
    return lit;
}

bool surface_adapter::ReadChunk(uint32_t& offset, uint8_t* data, uint32_t length, uint32_t& count) {
    count = 0;
    if (data == nullptr || surface_ == nullptr) {
        return false;
    }
    switch (surface_->BitsPerPixel()) {
        case 15:
            Bind();
            return ReadColours(offset, data, length, count);
        case 1:
        case 2:
            return ReadPacked(offset, data, length, count);
        default:
            return false;
    }
}

// 15-bit pixels, low byte first as a 15-bit frame stores them.
bool surface_adapter::ReadColours(uint32_t& offset, uint8_t* data, uint32_t length,
                                  uint32_t& count) const {
    if (chunk_source_ == nullptr || offset >= chunk_size_) {
        return false;
    }
    std::memset(data, 0, length);
    const uint32_t n = std::min(length, chunk_size_ - offset);
    for (uint32_t k = 0; k < n; ++k) {
        // Byte k of the stream is the other byte of its pixel in the surface.
        data[k] = chunk_source_[(offset + k) ^ 1u];
    }
    offset += n;
    count = n;
    return true;
}

// 1- and 2-bit pixels packed from bit 0 upwards; offset is a pixel index. A pixel that does
// not fit whole is read again by the next call.
bool surface_adapter::ReadPacked(uint32_t& offset, uint8_t* data, uint32_t length,
                                 uint32_t& count) const {
    const uint32_t depth = surface_->BitsPerPixel();
    const uint32_t pixels = uint32_t(height_) * width_;
    std::memset(data, 0, length);
    const uint64_t capacity = uint64_t(length) * 8 / depth;
    uint32_t written = 0;
    while (offset < pixels && written < capacity) {
        pixel p(uint16_t(offset % width_), uint16_t(offset / width_));
        GetPixel(p);
        const uint64_t bit = uint64_t(written) * depth;
        data[bit / 8] = uint8_t(data[bit / 8] | (p.value << (bit % 8)));
        ++written;
        ++offset;
    }
    count = uint32_t((uint64_t(written) * depth + 7) / 8);
    return true;
}

}  // namespace disp
