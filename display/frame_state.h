#pragma once
// Storage of one frame: the packed pixel buffer of one depth and its count of lit pixels.
//
// Pixel i = y * width + x. The base keeps the buffer, the bounds checks and the lit count; each
// depth only packs and unpacks one pixel. The lit count is kept on every write, so readers never
// scan the buffer.

#include <cstdint>

#include "display/pixel.h"

namespace disp {

class frame_state {
public:
    enum State : uint8_t { kConstructed = 0, kCreated = 2 };
    // Largest buffer a frame may hold.
    static constexpr uint32_t kMaxBytes = 16u << 20;

    frame_state(const frame_state&) = delete;
    frame_state& operator=(const frame_state&) = delete;
    virtual ~frame_state();

    // A buffer of height x width pixels, every one set to value. False on a value outside the
    // depth, an empty or oversized geometry, a state already created or no memory.
    virtual bool Create(uint16_t height, uint16_t width, uint32_t value);
    // Releases the buffer. False when there is none.
    virtual bool Free();
    // False outside the picture or without a buffer.
    virtual bool GetPixel(pixel& p) const;
    virtual bool SetPixel(const pixel& p);
    // Every pixel set to the value given at Create; true when no pixel is lit afterwards.
    virtual bool Fill();

    uint8_t GetState() const { return state_; }
    uint32_t BitsPerPixel() const { return bits_per_pixel_; }
    uint16_t Height() const { return height_; }
    uint16_t Width() const { return width_; }
    uint32_t FillValue() const { return fill_value_; }
    uint32_t BitCount() const { return bit_count_; }
    uint32_t ByteSize() const { return byte_size_; }
    uint32_t LitCount() const { return lit_count_; }
    uint8_t* Buffer() { return buffer_; }
    const uint8_t* Buffer() const { return buffer_; }
    uint32_t MaxValue() const;

    // Value of pixel index i (below width x height); no checks.
    virtual uint32_t Read(uint32_t index) const = 0;
    // Counts the lit pixels of the buffer again, after its bytes were written as a whole.
    void Recount();
    // Writes length bytes at offset (checked by the caller) and recounts only the pixels
    // those bytes touch.
    void WriteBytes(uint32_t offset, const uint8_t* data, uint32_t length);
    // For writers that fill the whole buffer at once and count the lit pixels as they go.
    void SetLitCount(uint32_t count) { lit_count_ = count; }
    // Takes the buffer and lit count of a state of the same depth and geometry.
    void CopyFrom(const frame_state& other);

protected:
    // bitsPerPixel is the depth's nominal one; storedBits what a pixel takes in the buffer.
    frame_state(uint32_t bitsPerPixel, uint32_t storedBits);
    // Stores value (within the depth) at pixel index i; no checks, no counting.
    virtual void Write(uint32_t index, uint32_t value) = 0;
    // Writes value into every pixel of a zeroed buffer.
    virtual void Prefill(uint32_t value);

private:
    uint32_t CountLit(uint32_t first, uint32_t end) const;

    uint8_t state_ = kConstructed;
    uint32_t bits_per_pixel_;
    uint16_t height_ = 0;
    uint16_t width_ = 0;
    uint32_t fill_value_ = 0;
    uint8_t* buffer_ = nullptr;
    uint32_t bit_count_ = 0;
    uint32_t byte_size_ = 0;
    uint32_t lit_count_ = 0;
    uint32_t stored_bits_;
};

}  // namespace disp
