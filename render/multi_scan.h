#pragma once
// The state of one page scan and the deliveries of its elements to the renderer's callback.
// A page is scanned in a measuring pass, then (unless validating) a drawing pass.

#include <cstdint>

#include "render/multi_parse_result.h"

class CMessage;

namespace multi {

struct Scan {
    void* context;
    MultiElementCallback callback;
    CMessage* message;
    const char* text;
    uint32_t length;
    uint32_t start;
    bool validation;

    bool line_has_text = false;
    bool content = false;
    bool run_pending = false;
    uint32_t run_start = 0;
    uint32_t run_count = 0;

    // Set by [np]: the page ends (drawing) or the drawing pass starts (measuring).
    bool page_end = false;
    bool restart = false;
    uint32_t next = 0;
    // Set by [mv]: scanning goes on here rather than after the tag.
    uint32_t resume = 0;

    // Table use in this pass, so that no page asks for more than the message holds.
    uint32_t new_lines = 0;
    uint32_t rectangles = 0;
    uint32_t moving_texts = 0;
    uint32_t flash_steps = 0;
    uint32_t flash_steps_at_start = 0;

    // Attributes the drawing pass starts from.
    uint8_t saved_line_justification = 0;
    uint8_t saved_page_justification = 0;
    uint8_t saved_flash_mode = 0;
    uint32_t saved_foreground = 0;
    uint32_t saved_background = 0;
    int32_t saved_spacing = -1;
    uint32_t saved_page_background = 0;
    uint8_t saved_font = 0;
};

struct Tag {
    const char* name;  // just after the opening bracket
    uint32_t length;   // up to the closing bracket
    uint32_t offset;   // text offset of name
    uint32_t resume;   // offset where scanning goes on
};

// Hands the message's current element to the callback.
MultiParseResult Deliver(Scan& scan);
// Delivers an element of kind with no data.
MultiParseResult DeliverKind(Scan& scan, MultiElementKind kind);
// Delivers the pending run of text, if any; an error is placed at offset.
MultiParseResult DeliverRun(Scan& scan, uint32_t offset, bool at_end);

// Clears the page's cells and keeps the attributes the drawing pass starts from.
void BeginPage(Scan& scan);
// Resets what a pass counts.
void BeginPass(Scan& scan);
// End of a page's measuring pass: vertical layout, then segments of a line must not overlap.
MultiParseResult EndMeasuring(Scan& scan, uint32_t offset);
// Back to the attributes of the page's start for the drawing pass.
void StartDrawing(Scan& scan);

}  // namespace multi
