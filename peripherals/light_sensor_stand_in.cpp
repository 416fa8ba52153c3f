#include "peripherals/light_sensor_stand_in.h"

#include "platform/sim/photocell.h"

uint32_t CLightSensorStandIn::Read() const {
    return sim::BoardPhotocell().Level();
}
