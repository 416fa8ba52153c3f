#pragma once
// disp::frame_engine: the producer of a face's frames, driven once per display cycle.

#include <cstdint>

namespace disp {

class face;
class frame;

class frame_engine {
public:
    enum State : uint8_t { kConstructed = 0, kClosed = 1, kOpen = 2 };

    frame_engine() = default;
    frame_engine(const frame_engine&) = delete;
    frame_engine& operator=(const frame_engine&) = delete;
    virtual ~frame_engine();

    // False when already open or the face is null.
    virtual bool Open(face* owner);
    // False when not open.
    virtual bool Close();
    // One display cycle; nothing in the base.
    virtual void Update(uint32_t argument);
    // The frame to show now; none in the base.
    virtual frame* GetFrame();

    uint8_t GetState() const { return state_; }

protected:
    uint8_t state_ = kConstructed;
};

}  // namespace disp
