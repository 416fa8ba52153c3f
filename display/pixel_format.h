#pragma once
// Conversions between the pixel formats of surfaces and frames.
//
// 15-bit colour: red bits 0-4, green 5-9, blue 10-14. 24-bit colour: 0xRRGGBB, so that a
// 24-bit frame's bytes run blue, green, red per pixel, the sign's order. A 5-bit field widens
// to 8 bits by repeating its top three bits below it. 1-bit: lit or not; 2-bit: bit 0 red,
// bit 1 green; 3-bit: bit 0 red, bit 1 green, bit 2 blue (a channel is on when not 0).

#include <cstdint>

class CSurface;

namespace disp {

class frame;

uint32_t Rgb15ToRgb24(uint32_t colour);
uint32_t Rgb24ToRgb15(uint32_t colour);
// A colour of 15 bits to the value of a frame of depth 1, 2, 3, 15 or 24, and back.
uint32_t Rgb15ToDepth(uint32_t colour, uint32_t depth);
uint32_t DepthToRgb15(uint32_t value, uint32_t depth);

// Converts every pixel of from into to (both of the same height and width, any depths); the
// lit count of to is kept. False on a size mismatch or a missing frame.
bool ConvertFrame(const frame& from, frame& to);
// Packs a 15-bit surface into a 24-bit frame of its size in one pass, counting the lit pixels
// once. False when the surface is not 15-bit or the frame is not 24-bit of the same size.
bool PackSurfaceRgb24(const CSurface& surface, frame& to);

}  // namespace disp
