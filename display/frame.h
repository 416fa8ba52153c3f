#pragma once
// disp::frame: one picture of a sign face, the handle the rest of the display uses. It owns a
// frame_state of its depth (1, 2, 3, 15 or 24 bits per pixel) or nothing.
//
// The chunk operations read and write the packed buffer as a byte stream (offsets and lengths
// in bytes); every offset and length is bounded by the buffer. A frame without a state of its
// own (the surface adapter) serves its bytes through ReadChunk in the same packed layout, so
// Copy takes a picture from either kind.

#include <cstdint>
#include <memory>

#include "display/frame_state.h"
#include "display/pixel.h"

namespace disp {

// Three bytes a frame's producer fills (the render adapter: the page shown and its on and
// off times); the frame itself never reads them.
class frame_attributes {
public:
    virtual ~frame_attributes() = default;

    uint8_t page_number = 0;
    uint8_t page_on_time = 0;
    uint8_t page_off_time = 0;
};

class frame {
public:
    frame() = default;
    frame(const frame&) = delete;
    frame& operator=(const frame&) = delete;
    virtual ~frame();

    // False when a state is held already, the depth is not 1, 2, 3, 15 or 24, the value does
    // not fit the depth or the geometry cannot be held; the frame then stays empty.
    virtual bool Create(uint16_t height, uint16_t width, uint32_t value, uint32_t depth);
    // False when there is no state.
    virtual bool Destroy();
    // False outside the picture or without a state. GetPixel fills p.value.
    virtual bool GetPixel(pixel& p) const;
    virtual bool SetPixel(const pixel& p);
    // Takes the other frame's picture; false when it is missing or differs in depth, height
    // or width, or this frame holds no state.
    virtual bool Copy(const frame* other);
    // Every pixel to the value given at Create; true when none is lit afterwards.
    virtual bool Fill();
    // Writes length bytes at offset and advances it. False, writing nothing, when data is
    // null, there is no state or the bytes would not all fit in the buffer.
    virtual bool WriteChunk(uint32_t& offset, const uint8_t* data, uint32_t length);
    // Zeroes length bytes of data, then copies count = min(length, bytes left) from offset and
    // advances it. False with count 0 when data is null, there is no state or offset is at or
    // past the end.
    virtual bool ReadChunk(uint32_t& offset, uint8_t* data, uint32_t length, uint32_t& count);
    // Pixels whose value is not 0; 0 without a state.
    virtual uint32_t LitCount() const;
    virtual uint32_t BitsPerPixel() const;
    virtual uint16_t Height() const;
    virtual uint16_t Width() const;

    frame_state* State() const { return state_.get(); }

    frame_attributes attributes;

private:
    std::unique_ptr<frame_state> state_;
};

}  // namespace disp
