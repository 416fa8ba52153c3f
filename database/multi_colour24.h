#pragma once
// The classic MULTI colour numbers as 24-bit values 0xBBGGRR, used for graphics and for the
// monochrome colour pair of the sign.

#include <cstdint>

// brenModuleID values of the two-colour modules, which have their own short table.
bool multi_is_two_colour_module(uint32_t moduleId);
// Colour number to 0xBBGGRR for the module type; unknown numbers give 0.
uint32_t multi_colour_to_rgb24(uint32_t number, uint32_t moduleId);
// 0xBBGGRR to a 15-bit colour (red bits 0-4, green 5-9, blue 10-14).
uint32_t multi_rgb24_to_rgb15(uint32_t rgb24);
