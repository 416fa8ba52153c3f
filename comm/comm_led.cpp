#include "comm/comm_led.h"

#include "runtime/debug_print.h"

namespace {
uint32_t g_registered = 0;
}  // namespace

uint32_t CommLED_RegisterAgent() {
    if (g_registered >= 32) {
        DebugPrint("CommLED_RegisterAgent: error\n");
        return 0;
    }
    return uint32_t(1) << g_registered++;
}

void CommLED_Indicate(uint32_t, int) {}

void CommLedReset() {
    g_registered = 0;
}
