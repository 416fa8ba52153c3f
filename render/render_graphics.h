#pragma once
// Graphics of the NTCIP graphic table ([g...]) and bitmap files ([ms47,g...]) drawn into the
// message's target surface.

#include <cstdint>

#include "render/message.h"
#include "render/multi_parse_result.h"

class CSurface;

// 24-bit colour 0xBBGGRR of a classic colour number for graphics (two-colour modules have
// their own table).
uint32_t RenderColourToRgb24(uint32_t number);
// 0xBBGGRR to a 15-bit colour.
uint32_t RenderRgb24ToRgb15(uint32_t rgb);

// Kind 9: finds the element's graphic again (15 when missing or not ready). In the drawing
// pass of a render on the sign the row is marked in use, and the graphic is drawn when its ID
// is still the one parsed.
MultiParseResult RenderGraphicElement(CMessage& message);

// Draws graphic table row `row` with its top-left pixel at the 1-based (x, y).
void RenderDrawGraphic(CSurface& surface, uint32_t row, int32_t x, int32_t y, uint32_t foreground,
                       uint32_t background);

// Kind 8, drawing pass: the bitmap file, when it still exists, at the element's (x, y).
void RenderBitmapElement(CMessage& message);
