#include "render/multi_scan.h"

#include <algorithm>
#include <iterator>

#include "render/message.h"
#include "render/multi_parser.h"

namespace multi {

MultiParseResult Deliver(Scan& scan) {
    return scan.callback(scan.context, scan.message);
}

MultiParseResult DeliverKind(Scan& scan, MultiElementKind kind) {
    scan.message->ClearElement();
    scan.message->element_kind = kind;
    return Deliver(scan);
}

MultiParseResult DeliverRun(Scan& scan, uint32_t offset, bool at_end) {
    if (!scan.run_pending) {
        return kMultiOk;
    }
    scan.run_pending = false;
    CMessage& m = *scan.message;
    m.ClearElement();
    m.element_kind = kElementText;
    m.element.text = scan.text + scan.run_start;
    m.element.count = scan.run_count;
    m.element.offset_after = scan.run_start + scan.run_count;
    const MultiParseResult result = Deliver(scan);
    if (result != kMultiOk && (!at_end || m.error_position == 0)) {
        m.error_position = offset;
    }
    return result;
}

void BeginPage(Scan& scan) {
    CMessage& m = *scan.message;
    for (auto& rectangle : m.line_cells) {
        for (line_cell& cell : rectangle) {
            cell.ClearLists();
            cell.recorded_justification = 0;
            cell.trailing_spacing = 0;
            cell.moving_text = 0;
        }
    }
    scan.saved_line_justification = m.line_justification[0];
    scan.saved_page_justification = m.page_justification[0];
    scan.saved_flash_mode = m.flash_mode;
    scan.saved_foreground = m.foreground_colour;
    scan.saved_background = m.character_background_colour;
    scan.saved_spacing = m.character_spacing;
    scan.saved_page_background = m.page_background_colour;
    scan.saved_font = m.current_font;

    m.current_flash_region = 0;
    m.current_text_rectangle = 0;
    std::fill(std::begin(m.page_justification_given), std::end(m.page_justification_given), 0);
    m.off_time_given = 0;
    if (m.flash_mode != 0) {
        CMULTIParser::StepFlashRegion(&m);
        scan.flash_steps_at_start = 1;
    }
    m.measuring_pass = 1;
    m.page_started = 0;
}

void BeginPass(Scan& scan) {
    CMessage& m = *scan.message;
    scan.line_has_text = false;
    for (auto& rectangle : m.line_cells) {
        for (line_cell& cell : rectangle) {
            cell.left_width = cell.centre_width = cell.right_width = 0;
        }
    }
    m.moving_text_open = 0;
    scan.content = false;
    scan.run_pending = false;
    scan.page_end = false;
    scan.restart = false;
    scan.new_lines = scan.rectangles = scan.moving_texts = 0;
    scan.flash_steps = scan.flash_steps_at_start;
}

MultiParseResult EndMeasuring(Scan& scan, uint32_t offset) {
    CMessage& m = *scan.message;
    MultiParseResult result = DeliverKind(scan, kElementEndSegment);
    if (result == kMultiOk) {
        result = DeliverKind(scan, kElementEndMeasuring);
    }
    if (result != kMultiOk) {
        return result;
    }
    for (const auto& rectangle : m.line_cells) {
        for (const line_cell& cell : rectangle) {
            const bool left = cell.left_width != 0;
            const bool centre = cell.centre_width != 0;
            const bool right = cell.right_width != 0;
            if ((left && centre && cell.left_x + cell.left_width >= cell.centre_x) ||
                (left && right && cell.left_x + cell.left_width >= cell.right_x) ||
                (centre && right && cell.centre_x + cell.centre_width >= cell.right_x)) {
                m.error_position = offset;
                return kMultiTextTooBig;
            }
        }
    }
    return kMultiOk;
}

void StartDrawing(Scan& scan) {
    CMessage& m = *scan.message;
    m.measuring_pass = 0;
    // Each drawing of a page reports its fields from the first status row.
    m.field_rows_used = 0;
    m.page_justification_given[std::min(m.current_text_rectangle, CMessage::kRectangles - 1)] = 0;
    m.current_line = 0;
    m.current_text_rectangle = 0;
    m.line_justification[0] = scan.saved_line_justification;
    m.page_justification[0] = scan.saved_page_justification;
    m.flash_mode = scan.saved_flash_mode;
    m.foreground_colour = scan.saved_foreground;
    m.character_background_colour = scan.saved_background;
    m.character_spacing = scan.saved_spacing;
    m.page_background_colour = scan.saved_page_background;
    m.current_font = scan.saved_font;
}

}  // namespace multi
