#pragma once
// Layout steps of the renderer: page start, end of a segment, new line, next text rectangle,
// vertical placement of a rectangle's lines and the character positions of a fully justified
// line. They work on the message's line cells and cursor.

#include <cstdint>

#include "render/message.h"

namespace render_layout {

bool CharacterMatrix();
bool CharacterOrLineMatrix();
// vmsCharacterHeightPixels.
int32_t CharacterHeight();
// Height of the message's current font (0 when it is not defined).
int CurrentFontHeight(const CMessage& message);

line_cell& Line(CMessage& message);
const text_rectangle& Rectangle(const CMessage& message);
uint8_t& LineJustification(CMessage& message);

// First element of each pass.
void ResetPage(CMessage& message);
// Kind 14 (measuring pass): the segment's horizontal place.
void EndLine(CMessage& message);
// Kind 16.
void NewLine(CMessage& message);
// Kind 21.
void NextTextRectangle(CMessage& message);
// Kind 15: lines 0 to the current one of the current rectangle placed vertically.
void LayoutLines(CMessage& message);

// Extra pixel of gap `gap` when `remainder` pixels are spread over `gaps` gaps, alternately
// from the last gap and from the first.
bool JustifyExtraPixel(int64_t gap, int64_t remainder, int64_t gaps);
// Positions of a fully justified line's characters across [x0, x1).
void JustifyLine(line_cell& line, int32_t x0, int32_t x1);

}  // namespace render_layout
