#include "render/multi_tags_moving_text.h"

#include <algorithm>

#include "render/message.h"
#include "render/multi_environment.h"
#include "render/multi_lexer.h"
#include "render/multi_sign_query.h"

namespace multi {

namespace {

struct MovingArguments {
    char type;       // 'c' circular, 'l' linear
    int64_t count;   // linear repetitions
    char direction;  // 'l' or 'r'
    int64_t window;
    int64_t step;
    int64_t rate;
};

// "<c|l>[count]<l|r>window,step,rate,"; the cursor stops at the start of the moving text.
bool ReadMoving(Cursor& c, MovingArguments* a) {
    a->type = Lower(c.Peek());
    if (a->type != 'c' && a->type != 'l') {
        return false;
    }
    c.Skip();
    a->count = c.HasDigit() ? c.Number() : 0;
    a->direction = Lower(c.Peek());
    if (a->direction != 'l' && a->direction != 'r') {
        return false;
    }
    c.Skip();
    int64_t values[3];
    for (int64_t& value : values) {
        value = c.Number();
        if (c.Peek() != ',') {
            return false;
        }
        c.Skip();
    }
    a->window = values[0];
    a->step = values[1];
    a->rate = values[2];
    return true;
}

// On a character matrix the step is a whole number of cells, at least one.
int64_t CellStep(int64_t step) {
    if (!CharacterMatrix()) {
        return step;
    }
    const int64_t cell_width = MultiEnvironment().ModuleType().cell_width;
    if (cell_width > 0) {
        step = (step + cell_width / 2) / cell_width * cell_width;
        if (step == 0) {
            step = cell_width;
        }
    }
    return step;
}

// The window joins the segment of its justification, which then spans the whole line's width.
void JoinSegment(line_cell& cell, uint32_t justification, uint16_t window) {
    uint16_t* segment = nullptr;
    switch (justification) {
        case 2:
            segment = &cell.left_width;
            break;
        case 3:
            segment = &cell.centre_width;
            break;
        case 4:
            segment = &cell.right_width;
            break;
        default:
            return;
    }
    *segment = Saturate16(*segment + window);
    *segment = Saturate16(int64_t{cell.left_width} + cell.centre_width + cell.right_width);
}

}  // namespace

MultiParseResult TagMovingText(Scan& scan, const Tag& tag) {
    CMessage& m = *scan.message;
    if (scan.moving_texts >= CMessage::kMovingTexts) {
        return kMultiTextTooBig;
    }
    Cursor c(tag.name + 2, tag.name + tag.length);
    MovingArguments a{};
    if (!ReadMoving(c, &a)) {
        return kMultiUnsupportedTag;
    }
    const uint32_t r = std::min(m.current_text_rectangle, CMessage::kRectangles - 1);
    const uint32_t justification = m.line_justification[r];
    line_cell& cell = m.CurrentLine();
    if (justification == 5 ||
        (cell.recorded_justification != 0 && cell.recorded_justification != justification)) {
        return kMultiTagConflict;
    }
    moving_text_entry& entry =
        m.moving_texts[std::min(m.current_moving_text, CMessage::kMovingTexts - 1)];
    entry.width = Saturate16(a.window);
    entry.mode = static_cast<uint8_t>(a.type == 'c' ? (a.direction == 'l' ? 1 : 2)
                                                    : (a.direction == 'l' ? 3 : 4));
    entry.linear_count = Saturate8(a.count);
    entry.step = Saturate8(CellStep(a.step));
    entry.frames_per_step = Saturate8(a.rate * m.frame_rate / 10);

    cell.moving_text = 1;
    m.ClearElement();
    m.element_kind = kElementMovingTextStart;
    const MultiParseResult result = Deliver(scan);
    if (result != kMultiOk) {
        return result;
    }
    // After the delivery: when [mv] is the first element of the page, the renderer starts the
    // page with it and clears the line's widths.
    JoinSegment(m.CurrentLine(), justification, entry.width);
    m.moving_text_open = 1;
    ++scan.moving_texts;
    // The moving text itself is scanned as page text up to its closing bracket.
    scan.resume = tag.offset + static_cast<uint32_t>(c.Position() - tag.name);
    return kMultiOk;
}

}  // namespace multi
