#include "render/multi_tags_layout.h"

#include <algorithm>

#include "render/message.h"
#include "render/multi_lexer.h"
#include "render/multi_sign_query.h"

namespace multi {

namespace {

uint32_t CurrentRectangle(const CMessage& m) {
    return std::min(m.current_text_rectangle, CMessage::kRectangles - 1);
}

// After [ms47,xy] forced "other", [nl] and [np] bring the saved justifications back.
void RestoreSavedJustification(CMessage& m) {
    const uint32_t r = CurrentRectangle(m);
    if (m.line_justification[r] == 1 && m.saved_line_justification != 0) {
        m.line_justification[r] = static_cast<uint8_t>(m.saved_line_justification);
        m.saved_line_justification = 0;
        if (m.page_justification[r] == 1 && m.saved_page_justification != 0) {
            m.page_justification[r] = static_cast<uint8_t>(m.saved_page_justification);
        }
        m.saved_page_justification = 0;
    }
}

// x, y, width and height of [tr...] checked against the sign and its character cells; a width
// or height of 0 reaches the sign's edge. kMultiOk with the rectangle's corners.
MultiParseResult ReadRectangle(const Tag& tag, text_rectangle* rectangle) {
    using namespace multi_objects;
    Cursor c(tag.name + 2, tag.name + tag.length);
    int64_t v[4];
    for (int i = 0; i < 4; ++i) {
        if (i > 0)
            c.Skip();
        v[i] = c.Number();
    }
    int64_t x = v[0], y = v[1], w = v[2], h = v[3];
    const int64_t width = SignWidth();
    const int64_t height = SignHeight();
    if (!c.AtEnd() || x < 1 || y < 1 || w < 0 || h < 0 || x > width || y > height) {
        return kMultiUnsupportedTagValue;
    }
    if (w == 0)
        w = width - (x - 1);
    if (h == 0)
        h = height - (y - 1);
    if (x + w - 1 > width || y + h - 1 > height) {
        return kMultiUnsupportedTagValue;
    }
    const int64_t cell_width = Nv(kCharacterWidthPixels);
    const int64_t cell_height = Nv(kCharacterHeightPixels);
    if (CharacterMatrix() && cell_width > 0 &&
        ((x - 1) % cell_width != 0 || (x - 1 + w) % cell_width != 0)) {
        return kMultiUnsupportedTagValue;
    }
    if (CharacterOrLineMatrix() && cell_height > 0 &&
        ((y - 1) % cell_height != 0 || (y - 1 + h) % cell_height != 0)) {
        return kMultiUnsupportedTagValue;
    }
    *rectangle = text_rectangle{static_cast<int32_t>(x - 1), static_cast<int32_t>(y - 1),
                                static_cast<int32_t>(x - 1 + w), static_cast<int32_t>(y - 1 + h)};
    return kMultiOk;
}

}  // namespace

MultiParseResult TagJustifyLine(Scan& scan, const Tag& tag) {
    CMessage& m = *scan.message;
    uint32_t justification;
    if (tag.length == 2) {
        justification =
            Default(multi_objects::kDefaultJustificationLine, m.defaults.line_justification);
    } else if (tag.length == 3 && tag.name[2] >= '1' && tag.name[2] <= '5') {
        justification = static_cast<uint32_t>(tag.name[2] - '0');
    } else {
        return kMultiUnsupportedTagValue;
    }
    if (m.measuring_pass && scan.line_has_text) {
        const MultiParseResult result = DeliverKind(scan, kElementEndSegment);
        if (result != kMultiOk) {
            return result;
        }
    }
    m.line_justification[CurrentRectangle(m)] = static_cast<uint8_t>(justification);
    return kMultiOk;
}

MultiParseResult TagJustifyPage(Scan& scan, const Tag& tag) {
    CMessage& m = *scan.message;
    uint32_t justification;
    if (tag.length == 2) {
        justification =
            Default(multi_objects::kDefaultJustificationPage, m.defaults.page_justification);
    } else if (tag.length == 3 && tag.name[2] >= '1' && tag.name[2] <= '4') {
        justification = static_cast<uint32_t>(tag.name[2] - '0');
    } else {
        return kMultiUnsupportedTagValue;
    }
    const uint32_t r = CurrentRectangle(m);
    if (m.page_justification_given[r] && m.page_justification[r] != justification) {
        return kMultiTagConflict;
    }
    m.page_justification[r] = static_cast<uint8_t>(justification);
    m.page_justification_given[r] = 1;
    return kMultiOk;
}

MultiParseResult TagNewLine(Scan& scan, const Tag& tag) {
    CMessage& m = *scan.message;
    Cursor c(tag.name + 2, tag.name + tag.length);
    bool given = false;
    int64_t spacing = 0;
    if (!c.AtEnd()) {
        spacing = c.Number();
        if (spacing < 0 || spacing > 99 || !c.AtEnd()) {
            return kMultiUnsupportedTagValue;
        }
        given = true;
    }
    if (scan.new_lines >= CMessage::kLines - 1) {
        return kMultiTextTooBig;
    }
    RestoreSavedJustification(m);
    line_cell& cell = m.CurrentLine();
    if (CharacterOrLineMatrix()) {
        spacing = 0;
    } else if (!given) {
        spacing = (int64_t{cell.largest_font_line_spacing} + FontLineSpacing(m) + 1) / 2;
    }
    cell.line_spacing = static_cast<uint8_t>(std::min<int64_t>(spacing, 127));
    if (m.measuring_pass) {
        const MultiParseResult result = DeliverKind(scan, kElementEndSegment);
        if (result != kMultiOk) {
            return result;
        }
    }
    const MultiParseResult result = DeliverKind(scan, kElementNewLine);
    scan.line_has_text = false;
    ++scan.new_lines;
    return result;
}

MultiParseResult TagNewPage(Scan& scan, const Tag& tag) {
    CMessage& m = *scan.message;
    scan.next = tag.resume;
    if (!EqualNoCase(tag.name, tag.length, "np")) {
        scan.page_end = true;
        return kMultiUnsupportedTagValue;
    }
    RestoreSavedJustification(m);
    scan.line_has_text = false;
    if (!m.measuring_pass) {
        scan.page_end = true;
        return kMultiOk;
    }
    MultiParseResult result = EndMeasuring(scan, tag.offset);
    if (result != kMultiOk) {
        return result;
    }
    if (scan.validation) {
        scan.page_end = true;
        return kMultiOk;
    }
    result = DeliverKind(scan, kElementStartDrawing);
    if (result != kMultiOk) {
        return result;
    }
    const int32_t width = static_cast<int32_t>(SignWidth());
    const int32_t height = static_cast<int32_t>(SignHeight());
    m.text_rectangles[0] = text_rectangle{0, 0, width, height};
    StartDrawing(scan);
    scan.restart = true;
    return kMultiOk;
}

MultiParseResult TagTextRectangle(Scan& scan, const Tag& tag) {
    CMessage& m = *scan.message;
    text_rectangle rectangle{};
    MultiParseResult result = ReadRectangle(tag, &rectangle);
    if (result != kMultiOk) {
        return result;
    }
    if (scan.rectangles >= CMessage::kRectangles - 1) {
        return kMultiTextTooBig;
    }
    m.page_justification_given[CurrentRectangle(m)] = 0;
    if (m.measuring_pass) {
        if (scan.line_has_text) {
            result = DeliverKind(scan, kElementEndSegment);
            if (result != kMultiOk)
                return result;
        }
        result = DeliverKind(scan, kElementEndMeasuring);
        if (result != kMultiOk)
            return result;
    }
    result = DeliverKind(scan, kElementTextRectangle);
    scan.line_has_text = false;
    m.text_rectangles[CurrentRectangle(m)] = rectangle;
    ++scan.rectangles;
    return result;
}

}  // namespace multi
