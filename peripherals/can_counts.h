#pragma once
// Frame counts of a CAN driver: received, sent and erroneous frames.

#include <cstdint>

struct CanFrameCounts {
    uint32_t rx = 0;
    uint32_t tx = 0;
    uint32_t err = 0;
};
