#pragma once
// disp::pixel_error_iterator: walks the pixels of an error frame whose value is not 0, in row
// order, reporting them at face coordinates (frame position plus the origin).
//
//   disp::pixel_error_iterator it(&errors, face.x_offset, face.y_offset);
//   for (it.First(); it.IsValid(); it.Next()) { use(it.Current()); }

#include <cstdint>

#include "display/pixel.h"

namespace disp {

class frame;

class pixel_error_iterator {
public:
    enum State : uint8_t { kClosed = 1, kOpen = 2 };

    pixel_error_iterator(const frame* errors, uint16_t originX, uint16_t originY);
    virtual ~pixel_error_iterator() = default;

    // Moves to the first failed pixel; false when there is none.
    bool First();
    // Moves past the current pixel to the next failed one; false when there is none.
    bool Next();
    bool IsValid() const;
    void Close() { state_ = kClosed; }

    const pixel& Current() const { return current_; }

private:
    // From (x, y) on, the first failed pixel becomes current.
    bool Seek(uint32_t x, uint32_t y);

    uint8_t state_ = kClosed;
    const frame* frame_;
    pixel current_;
    uint32_t start_x_ = 0;
    uint32_t start_y_ = 0;
    uint32_t end_x_ = 0;  // inclusive
    uint32_t end_y_ = 0;
    uint16_t origin_x_;
    uint16_t origin_y_;
    bool valid_ = false;
};

}  // namespace disp
