#pragma once
// The five frame depths: how each packs a pixel into the buffer.
//
//   1 bit:   bit i mod 8 of byte i / 8 (bit 0 least significant)
//   2 bits:  bits 2 (i mod 4) .. +1 of byte i / 4 (pixel 0 in the two lowest bits)
//   3 bits:  bits 3i .. 3i + 2 of the buffer read as a little-endian bit stream
//   15 bits: 16 bits stored, low byte at 2i, high byte at 2i + 1
//   24 bits: bytes 3i (bits 0-7), 3i + 1 (bits 8-15), 3i + 2 (bits 16-23)

#include <cstdint>
#include <memory>

#include "display/frame_state.h"

namespace disp {

class frame_1bit : public frame_state {
public:
    frame_1bit() : frame_state(1, 1) {}
    uint32_t Read(uint32_t index) const override;

protected:
    void Write(uint32_t index, uint32_t value) override;
    void Prefill(uint32_t value) override;
};

class frame_2bit : public frame_state {
public:
    frame_2bit() : frame_state(2, 2) {}
    uint32_t Read(uint32_t index) const override;

protected:
    void Write(uint32_t index, uint32_t value) override;
    void Prefill(uint32_t value) override;
};

class frame_3bit : public frame_state {
public:
    frame_3bit() : frame_state(3, 3) {}
    uint32_t Read(uint32_t index) const override;

protected:
    void Write(uint32_t index, uint32_t value) override;
};

class frame_15bit : public frame_state {
public:
    frame_15bit() : frame_state(15, 16) {}
    uint32_t Read(uint32_t index) const override;

protected:
    void Write(uint32_t index, uint32_t value) override;
};

class frame_24bit : public frame_state {
public:
    frame_24bit() : frame_state(24, 24) {}
    uint32_t Read(uint32_t index) const override;

protected:
    void Write(uint32_t index, uint32_t value) override;
};

// A state of depth 1, 2, 3, 15 or 24; null for any other depth.
std::unique_ptr<frame_state> MakeFrameState(uint32_t depth);

}  // namespace disp
