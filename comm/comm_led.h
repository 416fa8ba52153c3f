#pragma once
// Communication LEDs: each link registers for one bit and marks its activity with it. The board
// has no such LEDs, so marking does nothing.

#include <cstdint>

// The next bit (1, 2, 4, ...); 0 once 32 links have registered ("CommLED_RegisterAgent: error").
uint32_t CommLED_RegisterAgent();
void CommLED_Indicate(uint32_t bit, int on);
// Forgets the registrations (a new boot).
void CommLedReset();
