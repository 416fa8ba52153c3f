#include "render/render_layout.h"

#include <algorithm>

#include "render/multi_environment.h"
#include "render/multi_objects.h"
#include "render/ntcip_font.h"
#include "render/surface.h"

namespace render_layout {

namespace {

uint32_t Nv(multi_objects::ObjectRef ref) {
    return MultiEnvironment().GetNv(ref.id, ref.width);
}

// Largest multiple of unit not above value (value itself for no unit).
int64_t Lower(int64_t value, int64_t unit) {
    if (unit <= 0) {
        return value;
    }
    int64_t q = value / unit;
    if (value % unit != 0 && value < 0) {
        --q;
    }
    return q * unit;
}

int16_t Clamp16(int64_t value) {
    return static_cast<int16_t>(std::clamp<int64_t>(value, INT16_MIN, INT16_MAX));
}

uint32_t RectangleIndex(const CMessage& m) {
    return std::min(m.current_text_rectangle, CMessage::kRectangles - 1);
}

uint32_t LineIndex(const CMessage& m) {
    return std::min(m.current_line, CMessage::kLines - 1);
}

void GiveEmptyLineFontHeight(CMessage& m) {
    line_cell& line = Line(m);
    if (line.height == 0) {
        line.height = static_cast<uint16_t>(std::max(CurrentFontHeight(m), 0));
    }
}

void CursorToLine(CMessage& m) {
    const line_cell& line = Line(m);
    m.cursor_x = line.absolute_x;
    m.cursor_y = line.y;
}

}  // namespace

bool CharacterMatrix() {
    return multi_objects::IsCharacterMatrix(Nv(multi_objects::kSignType));
}

bool CharacterOrLineMatrix() {
    return multi_objects::IsCharacterOrLineMatrix(Nv(multi_objects::kSignType));
}

int32_t CharacterHeight() {
    return static_cast<int32_t>(Nv(multi_objects::kCharacterHeightPixels));
}

int CurrentFontHeight(const CMessage& message) {
    CNTCIPFont font(CNTCIPFont::FindSlot(message.current_font));
    return font.Height();
}

line_cell& Line(CMessage& m) {
    return m.line_cells[RectangleIndex(m)][LineIndex(m)];
}

const text_rectangle& Rectangle(const CMessage& m) {
    return m.text_rectangles[RectangleIndex(m)];
}

uint8_t& LineJustification(CMessage& m) {
    return m.line_justification[RectangleIndex(m)];
}

void ResetPage(CMessage& m) {
    m.characters_on_line = 0;
    if (m.measuring_pass) {
        for (uint32_t r = RectangleIndex(m); r < CMessage::kRectangles; ++r) {
            for (line_cell& cell : m.line_cells[r]) {
                cell.left_x = cell.centre_x = cell.right_x = cell.absolute_x = 0;
                cell.left_width = cell.centre_width = cell.right_width = 0;
                cell.y = 0;
                cell.height = 0;
            }
        }
        for (moving_text_entry& entry : m.moving_texts) {
            entry.text_width = 0;
        }
        m.scan_texts.measured = 0;
    } else {
        if (m.target_surface != nullptr) {
            m.target_surface->Fill(m.page_background_colour);
        }
        for (auto& rectangle : m.line_cells) {
            for (line_cell& cell : rectangle) {
                cell.next_character = 0;
            }
        }
        // Every redraw fills the MULTI field status table from its first row again.
        m.field_rows_used = 0;
    }
    m.scan_texts.next = 0;
    m.current_line = 0;
    m.current_moving_text = 0;
    // A page begins at the start of a line: no space before its first character.
    m.at_line_start = 1;
    CursorToLine(m);
}

void EndLine(CMessage& m) {
    line_cell& line = Line(m);
    const text_rectangle& rect = Rectangle(m);
    uint8_t& justification = LineJustification(m);
    GiveEmptyLineFontHeight(m);
    line.character_spacing = -1;
    const int64_t width = int64_t{rect.x1} - rect.x0;
    if (int64_t{line.left_width} + line.centre_width + line.right_width > width) {
        justification = 2;
    }
    const bool characterMatrix = CharacterMatrix();
    const int64_t cell = characterMatrix ? MultiEnvironment().ModuleType().cell_width : 0;
    switch (justification) {
        case 1:
        case 5:
            break;
        case 3: {
            const int64_t x = Lower(rect.x0 + (width - line.centre_width) / 2, cell);
            line.centre_x = Clamp16(x);
            if (line.left_width == 0) {
                line.absolute_x = line.centre_x;
            }
            break;
        }
        case 4: {
            const int64_t x = Lower(int64_t{rect.x1} - line.right_width, cell);
            line.right_x = Clamp16(x);
            if (line.left_width == 0 && line.centre_width == 0) {
                line.absolute_x = line.right_x;
            }
            break;
        }
        default:
            justification = 2;
            line.left_x = Clamp16(rect.x0);
            line.absolute_x = line.left_x;
            break;
    }
}

void NewLine(CMessage& m) {
    GiveEmptyLineFontHeight(m);
    if (m.current_line < CMessage::kLines - 1) {
        ++m.current_line;
    }
    m.characters_on_line = 0;
    CursorToLine(m);
}

void NextTextRectangle(CMessage& m) {
    // The rectangle left behind has been laid out already (kind 15 comes first): an empty
    // line there keeps height 0 rather than growing below its placed top.
    if (m.current_text_rectangle < CMessage::kRectangles - 1) {
        ++m.current_text_rectangle;
    }
    m.characters_on_line = 0;
    CursorToLine(m);
}

void LayoutLines(CMessage& m) {
    auto& cells = m.line_cells[RectangleIndex(m)];
    const text_rectangle& rect = Rectangle(m);
    const uint32_t page = m.page_justification[RectangleIndex(m)];
    const uint32_t last = LineIndex(m);
    int64_t total = 0;
    for (const line_cell& cell : cells) {
        total += int64_t{cell.line_spacing} + cell.height;
    }
    const int64_t y0 = rect.y0;
    const int64_t y1 = rect.y1;

    if (CharacterOrLineMatrix()) {
        const int64_t h = CharacterHeight();
        // Lines follow each other a character row apart, so that is what they take up.
        if (h > 0) {
            total = (int64_t{last} + 1) * h;
        }
        int64_t first;
        switch (page) {
            case 1:
            case 5:
                return;
            case 3:
                first = Lower(y0 + (y1 - y0 - total) / 2, h);
                break;
            case 4:
                first = Lower(y1 - total, h);
                break;
            default:
                // Top: each line sits on the bottom of its character row, counted from the
                // rectangle's top.
                for (uint32_t i = 0; i <= last; ++i) {
                    cells[i].y = Clamp16(y0 + (i + 1) * h - cells[i].height);
                }
                return;
        }
        // More lines than rows start at the top and run out at the bottom (too big).
        cells[0].y = Clamp16(std::max(first, y0));
        for (uint32_t i = 1; i <= last; ++i) {
            cells[i].y = Clamp16(int64_t{cells[i - 1].y} + h);
        }
        return;
    }

    switch (page) {
        case 5:
            return;
        case 1:
        case 3:
            cells[0].y = Clamp16(y0 + (y1 - y0 - total) / 2);
            break;
        case 4:
            cells[0].y = Clamp16(y1 - total);
            break;
        default:
            cells[0].y = Clamp16(y0);
            break;
    }
    for (uint32_t i = 1; i <= last; ++i) {
        const line_cell& before = cells[i - 1];
        cells[i].y = Clamp16(int64_t{before.y} + before.height + before.line_spacing);
    }
}

bool JustifyExtraPixel(int64_t gap, int64_t remainder, int64_t gaps) {
    if (remainder <= 0 || gaps <= 0) {
        return false;
    }
    const int64_t fromEnd = (remainder + 1) / 2;  // extra pixels 0, 2, 4, ...
    const int64_t fromStart = remainder / 2;      // extra pixels 1, 3, 5, ...
    return gap >= gaps - fromEnd || gap < fromStart;
}

void JustifyLine(line_cell& line, int32_t x0, int32_t x1) {
    const size_t n = std::min(line.characters.size(), line.character_widths.size());
    line.character_positions.resize(n);
    if (n == 0) {
        return;
    }
    int64_t total = 0;
    for (size_t i = 0; i < n; ++i) {
        total += line.character_widths[i];
    }
    line.character_positions[0] = x0;
    if (n == 1) {
        return;
    }
    const int64_t gaps = static_cast<int64_t>(n) - 1;
    const int64_t room = int64_t{x1} - x0 - total;
    const int64_t gap = room / gaps;
    const int64_t remainder = room % gaps;
    int64_t x = x0;
    for (size_t i = 1; i < n; ++i) {
        const int64_t g = static_cast<int64_t>(i) - 1;
        x += line.character_widths[i - 1] + gap + (JustifyExtraPixel(g, remainder, gaps) ? 1 : 0);
        line.character_positions[i] =
            static_cast<int32_t>(std::clamp<int64_t>(x, INT32_MIN / 2, INT32_MAX / 2));
    }
}

}  // namespace render_layout
