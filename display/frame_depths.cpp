#include "display/frame_depths.h"

#include <cstring>
#include <new>

namespace disp {

uint32_t frame_1bit::Read(uint32_t index) const {
    return (Buffer()[index / 8] >> (index % 8)) & 1;
}

void frame_1bit::Write(uint32_t index, uint32_t value) {
    const uint8_t mask = uint8_t(1u << (index % 8));
    uint8_t& byte = Buffer()[index / 8];
    byte = value != 0 ? uint8_t(byte | mask) : uint8_t(byte & ~mask);
}

void frame_1bit::Prefill(uint32_t value) {
    std::memset(Buffer(), value != 0 ? 0xFF : 0x00, ByteSize());
}

uint32_t frame_2bit::Read(uint32_t index) const {
    return (Buffer()[index / 4] >> (2 * (index % 4))) & 3;
}

void frame_2bit::Write(uint32_t index, uint32_t value) {
    const unsigned shift = 2 * (index % 4);
    uint8_t& byte = Buffer()[index / 4];
    byte = uint8_t((byte & ~(3u << shift)) | ((value & 3) << shift));
}

void frame_2bit::Prefill(uint32_t value) {
    const uint8_t v = uint8_t(value & 3);
    std::memset(Buffer(), v | v << 2 | v << 4 | v << 6, ByteSize());
}

// A 3-bit pixel may straddle two bytes; the second is touched only when the pixel reaches it,
// so the last pixel never reads or writes past the buffer.
uint32_t frame_3bit::Read(uint32_t index) const {
    const uint32_t bit = 3 * index;
    const uint32_t byte = bit / 8;
    const unsigned shift = bit % 8;
    uint32_t word = Buffer()[byte];
    if (shift > 5) {
        word |= uint32_t(Buffer()[byte + 1]) << 8;
    }
    return (word >> shift) & 7;
}

void frame_3bit::Write(uint32_t index, uint32_t value) {
    const uint32_t bit = 3 * index;
    const uint32_t byte = bit / 8;
    const unsigned shift = bit % 8;
    const uint32_t mask = 7u << shift;
    const uint32_t field = (value & 7) << shift;
    Buffer()[byte] = uint8_t((Buffer()[byte] & ~mask) | field);
    if (shift > 5) {
        Buffer()[byte + 1] = uint8_t((Buffer()[byte + 1] & ~(mask >> 8)) | (field >> 8));
    }
}

uint32_t frame_15bit::Read(uint32_t index) const {
    return Buffer()[2 * index] | uint32_t(Buffer()[2 * index + 1]) << 8;
}

void frame_15bit::Write(uint32_t index, uint32_t value) {
    Buffer()[2 * index] = uint8_t(value);
    Buffer()[2 * index + 1] = uint8_t(value >> 8);
}

uint32_t frame_24bit::Read(uint32_t index) const {
    const uint8_t* p = Buffer() + 3 * index;
    return p[0] | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16;
}

void frame_24bit::Write(uint32_t index, uint32_t value) {
    uint8_t* p = Buffer() + 3 * index;
    p[0] = uint8_t(value);
    p[1] = uint8_t(value >> 8);
    p[2] = uint8_t(value >> 16);
}

std::unique_ptr<frame_state> MakeFrameState(uint32_t depth) {
    switch (depth) {
        case 1:
            return std::unique_ptr<frame_state>(new (std::nothrow) frame_1bit);
        case 2:
            return std::unique_ptr<frame_state>(new (std::nothrow) frame_2bit);
        case 3:
            return std::unique_ptr<frame_state>(new (std::nothrow) frame_3bit);
        case 15:
            return std::unique_ptr<frame_state>(new (std::nothrow) frame_15bit);
        case 24:
            return std::unique_ptr<frame_state>(new (std::nothrow) frame_24bit);
        default:
            return nullptr;
    }
}

}  // namespace disp
