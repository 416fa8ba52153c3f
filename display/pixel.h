#pragma once
// One pixel of a frame with its position.

#include <cstdint>

namespace disp {

class pixel {
public:
    pixel() = default;
    pixel(uint16_t x, uint16_t y, uint32_t value = 0) : x(x), y(y), value(value) {}
    virtual ~pixel() = default;

    uint16_t x = 0;  // column
    uint16_t y = 0;  // row
    uint32_t value = 0;
};

}  // namespace disp
