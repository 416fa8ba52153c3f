#include "render/render.h"

#include <algorithm>
#include <cstring>

#include "render/multi_environment.h"
#include "render/multi_objects.h"
#include "render/ntcip_font.h"
#include "render/render_fields.h"
#include "render/render_graphics.h"
#include "render/render_layout.h"
#include "render/render_moving_text.h"

using namespace render_layout;

CRender g_Render;

namespace {

bool StartsPage(uint32_t kind) {
    return (kind >= 1 && kind <= 9) || (kind >= 11 && kind <= 16) || kind == 21 || kind == 22;
}

bool ProducesText(uint32_t kind) {
    return (kind >= kElementRemoteText && kind <= kElementSpeedKmhField) ||
           kind == kElementCharacter || kind == kElementSpeedSensor;
}

bool IsField(uint32_t kind) {
    return kind >= kElementTimeField && kind <= kElementSpeedKmhField;
}

moving_text_entry& CurrentMovingText(CMessage& m) {
    return m.moving_texts[std::min(m.current_moving_text, CMessage::kMovingTexts - 1)];
}

// The produced text of the element: read once in the measuring pass, the same text again in
// the drawing pass.
uint32_t TakeProducedText(CMessage& m, char* out, uint32_t size) {
    render_scan_texts& kept = m.scan_texts;
    const uint32_t index = kept.next++;
    if (!m.measuring_pass && index < kept.measured && index < render_scan_texts::kTexts) {
        const uint32_t length = std::min<uint32_t>(kept.length[index], size - 1);
        std::memcpy(out, kept.text[index], length);
        out[length] = '\0';
        return length;
    }
    const uint32_t length = RenderProduceText(m, out, size);
    if (m.measuring_pass && index < render_scan_texts::kTexts) {
        const uint32_t stored = std::min<uint32_t>(length, render_scan_texts::kSize - 1);
        std::memcpy(kept.text[index], out, stored);
        kept.text[index][stored] = '\0';
        kept.length[index] = static_cast<uint8_t>(stored);
        kept.measured = index + 1;
    }
    return length;
}

}  // namespace

CRender::~CRender() {
    m_surface.Free();
}

bool CRender::AllocateSurface(int32_t height, int32_t width, uint8_t bitsPerPixel) {
    m_surface.Allocate(height, width, bitsPerPixel);
    return true;
}

MultiParseResult CRender::RenderElement(void* context, CMessage* message) {
    if (context == nullptr || message == nullptr) {
        return kMultiBadArguments;
    }
    return static_cast<CRender*>(context)->Element(*message);
}

CSurface& CRender::MeasuringSurface(CMessage& message) {
    return message.target_surface != nullptr ? *message.target_surface : m_scratch;
}

MultiParseResult CRender::Element(CMessage& m) {
    const uint32_t kind = m.element_kind;
    if (StartsPage(kind) && !m.page_started) {
        m.page_started = 1;
        if (m.measuring_pass) {
            m_glyphs.Forget();
        }
        ResetPage(m);
    }

    char produced[kProducedTextSize];
    const char* text = nullptr;
    uint32_t count = 0;
    uint32_t errorPosition = 1;
    MultiParseResult result = kMultiOk;

    switch (kind) {
        case kElementText:
            text = m.element.text;
            count = text != nullptr ? m.element.count : 0;
            errorPosition = m.element.offset_after + 1;
            break;
        case kElementBitmapFile:
            RenderBitmapElement(m);
            break;
        case kElementGraphic:
            result = RenderGraphicElement(m);
            break;
        case kElementMovingTextEnd:
            if (m.current_moving_text < CMessage::kMovingTexts) {
                ++m.current_moving_text;
            }
            break;
        case kElementMovingTextStart:
            RenderStartMovingText(m);
            break;
        case kElementEndSegment:
            EndLine(m);
            break;
        case kElementEndMeasuring:
            LayoutLines(m);
            break;
        case kElementNewLine:
            m.at_line_start = 1;
            NewLine(m);
            break;
        case kElementStartDrawing:
            m.at_line_start = 1;
            m.page_started = 0;
            break;
        case kElementTextRectangle:
            m.at_line_start = 1;
            NextTextRectangle(m);
            break;
        default:
            if (ProducesText(kind)) {
                count = TakeProducedText(m, produced, sizeof produced);
                text = produced;
            }
            break;
    }

    if (result == kMultiOk && text != nullptr) {
        result = TextRules(m, errorPosition);
        if (result == kMultiOk) {
            m_glyphs.Select(m.font.Slot());
            if (m.measuring_pass) {
                result = Measure(m, m_glyphs, text, count);
            } else {
                if (IsField(kind)) {
                    RenderRecordFieldStatus(m, text, count);
                }
                Draw(m, m_glyphs, text, count);
            }
        }
    }
    if (result != kMultiOk) {
        return result;
    }
    m.ClearElement();
    return kMultiOk;
}

MultiParseResult CRender::TextRules(CMessage& m, uint32_t errorPosition) {
    line_cell& line = Line(m);
    const uint32_t j = LineJustification(m);
    const uint32_t recorded = line.recorded_justification;
    auto fail = [&](MultiParseResult value) {
        m.error_position = errorPosition;
        return value;
    };
    if (recorded != 0 && ((recorded == 5) != (j == 5))) {
        return fail(kMultiTagConflict);
    }
    if (line.moving_text && (recorded == 5 || j == 5)) {
        return fail(kMultiTagConflict);
    }
    if (j == 5 && m.moving_text_open) {
        return fail(kMultiTagConflict);
    }
    if (j == 5 && CharacterMatrix()) {
        return fail(kMultiUnsupportedTag);
    }
    line.recorded_justification = static_cast<uint8_t>(j & 7);

    m.font.SetSlot(CNTCIPFont::FindSlot(m.current_font));
    const int height = m.font.Height();
    if (CharacterOrLineMatrix() && height > CharacterHeight()) {
        return fail(kMultiTextTooBig);
    }
    if (height == 0) {
        return fail(kMultiFontNotDefined);
    }
    return kMultiOk;
}

MultiParseResult CRender::Measure(CMessage& m, CFontBase& font, const char* text, uint32_t count) {
    line_cell& line = Line(m);
    const text_rectangle& rect = Rectangle(m);
    const uint32_t j = LineJustification(m);
    CSurface& surface = MeasuringSurface(m);
    int32_t spacing = m.character_spacing;
    uint32_t overflow = m.element_kind == kElementText ? m.element.offset_after : 0;

    if (m.moving_text_open) {
        moving_text_entry& entry = CurrentMovingText(m);
        int32_t x = 0;
        m.characters_on_line += count;
        const int height =
            surface.MeasureText(font, text, count, x, rect, spacing, line.largest_font_line_spacing,
                                overflow, true, false);
        entry.text_width += static_cast<uint32_t>(std::max(x, 0));
        line.height = std::max<uint16_t>(line.height, static_cast<uint16_t>(height));
        entry.height = std::max<uint32_t>(entry.height, static_cast<uint32_t>(height));
    } else {
        if (j == 5) {
            for (uint32_t i = 0; i < count; ++i) {
                const uint8_t c = static_cast<uint8_t>(text[i]);
                line.characters.push_back(c);
                line.character_widths.push_back(font.CharWidth(c));
            }
        }
        m.characters_on_line += count;
        const int32_t before = m.cursor_x;
        const int height = surface.MeasureText(font, text, count, m.cursor_x, rect, spacing,
                                               line.largest_font_line_spacing, overflow, false,
                                               m.at_line_start != 0);
        m.at_line_start = 0;
        // The space before a segment's first character is not drawn (the segment starts a
        // line there), so a segment's width leaves it out.
        const int64_t advance = int64_t{m.cursor_x} - before;
        const bool characterMatrix = CharacterMatrix();
        const int64_t lead = characterMatrix ? 0 : spacing;
        auto grow = [&](uint16_t& width) {
            const int64_t grown = width == 0 ? advance - lead : width + advance;
            width = static_cast<uint16_t>(std::clamp<int64_t>(grown, 0, UINT16_MAX));
        };
        switch (j) {
            case 2:
                line.left_width =
                    static_cast<uint16_t>(std::clamp<int32_t>(m.cursor_x, 0, UINT16_MAX));
                if (line.centre_width != 0 || line.right_width != 0) {
                    m.error_position = m.element.offset_after;
                    return kMultiTagConflict;
                }
                break;
            case 3:
                if (line.centre_width == 0 && !characterMatrix) {
                    line.trailing_spacing = static_cast<uint8_t>(lead & 31);
                }
                grow(line.centre_width);
                if (line.right_width != 0) {
                    m.error_position = m.element.offset_after;
                    return kMultiTagConflict;
                }
                break;
            case 4:
                grow(line.right_width);
                break;
            default:
                break;
        }
        line.height = std::max<uint16_t>(line.height, static_cast<uint16_t>(std::max(height, 0)));
        const bool overflowed = int64_t{m.cursor_x} > int64_t{rect.x1} - rect.x0;
        if (overflowed) {
            m.error_position = overflow != 0 ? overflow : m.element.offset_after;
            return kMultiTextTooBig;
        }
    }

    int64_t total = 0;
    const auto& cells = m.line_cells[std::min(m.current_text_rectangle, CMessage::kRectangles - 1)];
    for (uint32_t i = 0; i <= std::min(m.current_line, CMessage::kLines - 1); ++i) {
        total += cells[i].height;
    }
    const int64_t surfaceHeight =
        m.target_surface != nullptr
            ? m.target_surface->Height()
            : MultiEnvironment().GetNv(multi_objects::kSignHeightPixels.id,
                                       multi_objects::kSignHeightPixels.width);
    if (total > surfaceHeight) {
        m.error_position = m.element.offset_after;
        return kMultiTextTooBig;
    }
    return kMultiOk;
}

void CRender::Draw(CMessage& m, CFontBase& font, const char* text, uint32_t count) {
    CSurface* surface = m.target_surface;
    if (surface == nullptr) {
        return;
    }
    line_cell& line = Line(m);
    const text_rectangle& rect = Rectangle(m);
    const uint32_t j = LineJustification(m);
    const int height = font.Height();

    surface->SetForeground(m.foreground_colour);
    surface->SetBackground(m.character_background_colour);
    const int32_t spacing =
        line.character_spacing >= 0 ? line.character_spacing : m.character_spacing;
    bool hidden = false;
    if (m.flash_mode != 0) {
        const uint32_t stepped = m.current_flash_region == 0 ? 0 : m.current_flash_region - 1;
        hidden =
            m.flash_regions[std::min(stepped, CMessage::kFlashRegions - 1)].phase != kFlashShowing;
    }

    if (m.moving_text_open) {
        const int32_t top = m.moving_cursor_y + line.height - height;
        RenderDrawMovingText(m, font, text, count, top, hidden, spacing);
        m.at_line_start = 0;
        return;
    }

    if (j == 3 && m.cursor_x < line.centre_x) {
        m.cursor_x = line.centre_x;
        m.at_line_start = 1;
    } else if (j == 4 && m.cursor_x < line.right_x) {
        m.cursor_x = line.right_x;
        m.at_line_start = 1;
    }
    const int32_t top = m.cursor_y + line.height - height;
    JustifiedPositions positions{};
    const JustifiedPositions* justified = nullptr;
    if (j == 5) {
        JustifyLine(line, rect.x0, rect.x1);
        positions = {line.character_positions.data(),
                     static_cast<uint32_t>(line.character_positions.size()), &line.next_character};
        justified = &positions;
    }
    surface->DrawText(font, text, count, m.cursor_x, top, rect, hidden, spacing,
                      m.at_line_start != 0, false, justified);
    m.at_line_start = 0;
}

MultiParseResult CRender::SetMessage(CParser& parser, CMessage* message, const char* text,
                                     uint32_t length) {
    if (message != nullptr) {
        message->frame_rate = frame_rate;
    }
    return parser.SetMessage(this, &CRender::RenderElement, message, text, length);
}

uint8_t CRender::ParsePage(CParser& parser, CMessage* message, uint32_t page) {
    if (message != nullptr) {
        message->frame_rate = frame_rate;
    }
    return parser.ParsePage(this, &CRender::RenderElement, message, page) ? 1 : 0;
}

uint8_t CRender::ParseNextPage(CParser& parser, CMessage* message) {
    if (message != nullptr) {
        message->frame_rate = frame_rate;
    }
    return parser.ParseNextPage(message) ? 1 : 0;
}

uint8_t CRender::ReparsePage(CParser& parser, CMessage* message) {
    if (message != nullptr) {
        message->frame_rate = frame_rate;
    }
    return parser.ReparsePage(message) ? 1 : 0;
}

bool CRender::ResetDefaults(CParser& parser, CMessage* message) {
    return parser.ResetDefaults(message);
}

uint8_t CRender::CountPages(CParser& parser, const char* text, uint32_t length) {
    return parser.CountPages(text, length);
}

MultiParseResult CRender::Validate(CParser& parser, CMessage* message, const char* text,
                                   uint32_t length) {
    if (message != nullptr) {
        message->frame_rate = frame_rate;
    }
    return parser.Validate(this, &CRender::RenderElement, message, text, length);
}
