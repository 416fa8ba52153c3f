#pragma once
// Moving text ([mv...]): the window's place on the line, one frame of scrolling per page scan
// and the drawing of the scrolled text, repeated to fill the window in the circular modes.

#include <cstdint>

#include "render/message.h"

class CFontBase;

// Kind 12: the current entry's window starts at the cursor, which moves on past it; in the
// drawing pass the entry then advances one frame and sets the moving-text cursor.
void RenderStartMovingText(CMessage& message);

// One frame of the entry's scroll; returns the x at which its text starts. A text of no width
// does not move (nothing is drawn either).
int32_t RenderAdvanceMovingText(moving_text_entry& entry);

// Draws a text of the current moving text with its top at y, clipped to the window within the
// current text rectangle, in as many copies as its mode needs.
void RenderDrawMovingText(CMessage& message, CFontBase& font, const char* text, uint32_t count,
                          int32_t y, bool hidden, int32_t spacing);
