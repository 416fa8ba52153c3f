#pragma once
// disp::module: one display module of a face: its rectangle of face pixels, the error frames its
// failures are read from, the count of its failed pixels and a status block.

#include <cstdint>

#include "display/pixel.h"

namespace disp {

class frame;

class module {
public:
    enum State : uint8_t { kNew = 0, kClosed = 1, kOpen = 2 };
    static constexpr uint32_t kStatusBytes = 30;

    module();
    virtual ~module() = default;

    // Resets the status block and takes the rectangle (top-left, bottom-right, inclusive) and
    // the error frames (the message-display frame may be null). False when already open.
    bool Open(const pixel& topLeft, const pixel& bottomRight, frame* testErrors,
              frame* messageErrors);
    // False when not open.
    bool Close();
    // Counts the pixels of the rectangle marked in the pixel-test error frame or, failing that,
    // in the message-display error frame. False when not open.
    bool CountFailures();
    // Module column and row of the rectangle; false when closed or of zero size.
    bool GetPosition(uint32_t* column, uint32_t* row) const;

    uint8_t GetState() const { return state_; }
    uint16_t FailedPixels() const { return failed_; }
    const pixel& TopLeft() const { return top_left_; }
    const pixel& BottomRight() const { return bottom_right_; }

    uint8_t status[kStatusBytes] = {};
    uint8_t flags[2] = {};

private:
    void Reset();

    pixel top_left_;
    pixel bottom_right_;
    uint8_t state_ = kNew;
    uint16_t failed_ = 0;
    frame* test_errors_ = nullptr;
    frame* message_errors_ = nullptr;
};

}  // namespace disp
