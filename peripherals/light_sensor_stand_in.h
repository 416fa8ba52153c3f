#pragma once
// CLightSensorStandIn: stand-in for the light sensors on the CAN network (this build has no CAN
// layer): the light level is the board photocell's. The peripheral task reports it in
// dmsIllumPhotocellLevelStatus whenever the object differs from the reading.

#include <cstdint>

class CLightSensorStandIn {
public:
    // The light level now (0 dark .. 65535).
    uint32_t Read() const;
};
