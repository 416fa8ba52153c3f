#pragma once
// disp::stream: the byte stream under a display bus. No frame travels over it in this system;
// both operations answer true.

#include <cstdint>

namespace disp {

class stream {
public:
    stream() = default;
    stream(const stream&) = delete;
    stream& operator=(const stream&) = delete;
    virtual ~stream();

    virtual bool Send(const uint8_t* data, uint32_t length);
    virtual bool Control(uint32_t request);

    uint32_t word = 0;
};

// The stream of the display's bus.
extern stream g_DisplayStream;

}  // namespace disp
