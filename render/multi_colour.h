#pragma once
// The classic MULTI colour numbers as 15-bit colours (red bits 0-4, green
// bits 5-9, blue bits 10-14).

#include <cstdint>

// All 32 bits set: no colour (drawn transparent).
inline constexpr uint32_t kNoColour = 0xFFFFFFFFu;

// Colour number 0-9 to its 15-bit colour; every other number gives 0.
uint32_t multi_colour_to_rgb15(uint32_t number);
// Three components 0-255 to a 15-bit colour.
uint32_t multi_rgb_to_rgb15(uint32_t red, uint32_t green, uint32_t blue);
// defaultForegroundColor / defaultBackgroundColor through the table.
uint32_t multi_default_foreground_colour();
uint32_t multi_default_background_colour();
