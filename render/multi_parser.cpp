#include "render/multi_parser.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "render/message.h"
#include "render/multi_colour.h"
#include "render/multi_environment.h"
#include "render/multi_objects.h"
#include "runtime/debug_print.h"

namespace {

using multi_objects::ObjectRef;

constexpr int64_t kNumberLimit = 0x7FFFFFFF;

uint32_t Nv(ObjectRef ref) {
    return MultiEnvironment().GetNv(ref.id, ref.width);
}

int8_t VolatileSigned8(ObjectRef ref) {
    return static_cast<int8_t>(MultiEnvironment().GetVolatile(ref.id, ref.width) & 0xFF);
}

uint32_t SignType() {
    return Nv(multi_objects::kSignType);
}
bool CharacterMatrix() {
    return multi_objects::IsCharacterMatrix(SignType());
}
bool CharacterOrLineMatrix() {
    return multi_objects::IsCharacterOrLineMatrix(SignType());
}
int64_t SignWidth() {
    return Nv(multi_objects::kSignWidthPixels);
}
int64_t SignHeight() {
    return Nv(multi_objects::kSignHeightPixels);
}

bool FeatureSet(uint32_t bit) {
    return (Nv(multi_objects::kSpecialFeatureSet) & bit) != 0;
}

// A default attribute: the database object with brenSpecialFeatureSet 0x100,
// otherwise the message's cached value.
uint32_t Default(ObjectRef ref, uint32_t cached) {
    return FeatureSet(multi_objects::kFeatureDatabaseDefaults) ? Nv(ref) : cached;
}

uint8_t Saturate8(int64_t value) {
    return static_cast<uint8_t>(std::clamp<int64_t>(value, 0, 255));
}
uint16_t Saturate16(int64_t value) {
    return static_cast<uint16_t>(std::clamp<int64_t>(value, 0, 65535));
}

char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
bool IsBlank(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

bool EqualNoCase(const char* a, uint32_t length, const char* b) {
    if (std::strlen(b) != length) {
        return false;
    }
    for (uint32_t i = 0; i < length; ++i) {
        if (Lower(a[i]) != Lower(b[i])) {
            return false;
        }
    }
    return true;
}

bool StartsNoCase(const char* a, uint32_t length, const char* prefix) {
    const uint32_t n = static_cast<uint32_t>(std::strlen(prefix));
    if (n > length) {
        return false;
    }
    for (uint32_t i = 0; i < n; ++i) {
        if (Lower(a[i]) != Lower(prefix[i])) {
            return false;
        }
    }
    return true;
}

// Reads tag text within [p, end): numbers as a standard decimal conversion
// (leading blanks and a sign accepted, saturating) followed by a skip of the
// digits at the cursor.
class Cursor {
public:
    Cursor(const char* begin, const char* end) : m_p(begin), m_end(end) {}

    bool AtEnd() const { return m_p >= m_end; }
    char Peek() const { return AtEnd() ? '\0' : *m_p; }
    bool HasDigit() const { return !AtEnd() && IsDigit(*m_p); }
    void Skip(uint32_t n = 1) { m_p = (static_cast<uint32_t>(m_end - m_p) > n) ? m_p + n : m_end; }
    uint32_t Left() const { return static_cast<uint32_t>(m_end - m_p); }
    const char* Position() const { return m_p; }

    int64_t Number() {
        const char* q = m_p;
        while (q < m_end && IsBlank(*q)) {
            ++q;
        }
        bool negative = false;
        if (q < m_end && (*q == '+' || *q == '-')) {
            negative = *q == '-';
            ++q;
        }
        int64_t value = 0;
        while (q < m_end && IsDigit(*q)) {
            value = std::min<int64_t>(value * 10 + (*q - '0'), kNumberLimit);
            ++q;
        }
        while (m_p < m_end && IsDigit(*m_p)) {
            ++m_p;
        }
        return negative ? -value : value;
    }

    // Exactly four hexadecimal digits of either case.
    bool Hex4(uint32_t* value) {
        if (Left() < 4) {
            return false;
        }
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i) {
            const char c = Lower(m_p[i]);
            uint32_t digit;
            if (IsDigit(c)) {
                digit = static_cast<uint32_t>(c - '0');
            } else if (c >= 'a' && c <= 'f') {
                digit = static_cast<uint32_t>(c - 'a' + 10);
            } else {
                return false;
            }
            v = v * 16 + digit;
        }
        m_p += 4;
        *value = v;
        return true;
    }

private:
    const char* m_p;
    const char* m_end;
};

// Font slot holding font number n: slot n-1 when it matches, else the first
// that does; -1 when none does.
int ResolveFontSlot(int64_t number) {
    if (number >= 1 && number <= multi_objects::kFontSlots &&
        Nv(multi_objects::FontNumber(static_cast<uint32_t>(number - 1))) == number) {
        return static_cast<int>(number - 1);
    }
    for (uint32_t slot = 0; slot < multi_objects::kFontSlots; ++slot) {
        if (Nv(multi_objects::FontNumber(slot)) == number) {
            return static_cast<int>(slot);
        }
    }
    return -1;
}

// Line spacing of the font the message last measured with.
uint32_t FontLineSpacing(const CMessage& message) {
    if (CharacterOrLineMatrix()) {
        return 0;
    }
    const uint32_t slot = message.font.Slot();
    return slot < multi_objects::kFontSlots ? Nv(multi_objects::FontLineSpacing(slot)) : 0;
}

// Tenths of a second to frames at the message's frame rate, rounded up, 0-255.
uint8_t TenthsToFrames(uint32_t tenths, uint32_t frame_rate) {
    return Saturate8((static_cast<int64_t>(tenths) * frame_rate + 9) / 10);
}

void CopyText(char* destination, uint32_t size, const char* source, uint32_t length) {
    const uint32_t n = std::min(length, size - 1);
    std::memcpy(destination, source, n);
    destination[n] = '\0';
}

}  // namespace

// One page scan.
struct CMULTIParser::Scan {
    void* context;
    MultiElementCallback callback;
    CMessage* message;
    const char* text;
    uint32_t length;
    uint32_t start;
    bool validation;

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

struct CMULTIParser::Tag {
    const char* name;  // just after the opening bracket
    uint32_t length;   // up to the closing bracket
    uint32_t offset;   // text offset of name
    uint32_t resume;   // offset where scanning goes on
};

MultiParseResult CMULTIParser::Deliver(Scan& scan) {
    return scan.callback(scan.context, scan.message);
}

MultiParseResult CMULTIParser::DeliverKind(Scan& scan, MultiElementKind kind) {
    scan.message->ClearElement();
    scan.message->element_kind = kind;
    return Deliver(scan);
}

MultiParseResult CMULTIParser::DeliverRun(Scan& scan, uint32_t offset, bool at_end) {
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

void CMULTIParser::StepFlashRegion(CMessage* message) {
    const uint32_t index = message->current_flash_region;
    if (index >= CMessage::kFlashRegions) {
        return;
    }
    flash_region& region = message->flash_regions[index];
    if (region.countdown != 0) {
        --region.countdown;
    } else {
        const uint8_t on = TenthsToFrames(message->flash_on_time, message->frame_rate);
        const uint8_t off = TenthsToFrames(message->flash_off_time, message->frame_rate);
        uint32_t phase;
        if (region.phase == kFlashShowing) {
            phase = kFlashHidden;
        } else if (region.phase == kFlashHidden) {
            phase = kFlashShowing;
        } else {
            phase = message->flash_mode == 1 ? kFlashShowing : kFlashHidden;
        }
        // A phase of no frames is skipped; with both empty the text stays shown.
        uint8_t frames = phase == kFlashShowing ? on : off;
        if (frames == 0) {
            phase = phase == kFlashShowing ? kFlashHidden : kFlashShowing;
            frames = phase == kFlashShowing ? on : off;
            if (frames == 0) {
                phase = kFlashShowing;
            }
        }
        region.phase = phase;
        region.countdown = frames == 0 ? 0 : static_cast<uint8_t>(frames - 1);
    }
    ++message->current_flash_region;
}

// End of a page's measuring pass: vertical layout, then segments of a line
// must not overlap.
MultiParseResult CMULTIParser::EndMeasuring(Scan& scan, uint32_t offset) {
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

void CMULTIParser::StartDrawing(Scan& scan) {
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

MultiParseResult CMULTIParser::ScanPage(void* context, MultiElementCallback callback,
                                        CMessage* message, const char* text, uint32_t length,
                                        uint32_t start, uint32_t* next, bool validation) {
    if (callback == nullptr || message == nullptr || text == nullptr || next == nullptr ||
        length == 0) {
        return kMultiBadArguments;
    }
    length = std::min(length, CMessage::kTextSize);
    if (start > length) {
        // A trailing [np] has already given its empty page.
        *next = start;
        return kMultiEndOfText;
    }
    CMessage& m = *message;
    Scan scan{context, callback, message, text, length, start, validation};

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
        StepFlashRegion(&m);
        scan.flash_steps_at_start = 1;
    }
    m.measuring_pass = 1;
    m.page_started = 0;

    for (;;) {
        m_lineHasText = 0;
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

        uint32_t offset = start;
        if (start == length && length > 4 && EqualNoCase(text + length - 4, 4, "[np]")) {
            // A trailing [np] yields one more, empty page.
            offset = length + 1;
            scan.content = true;
        }

        while (offset < length) {
            const char c = text[offset];
            const bool doubled = offset + 1 < length && text[offset + 1] == c;

            if (m.moving_text_open && c == ']' && !doubled) {
                MultiParseResult result = DeliverRun(scan, offset, false);
                if (result == kMultiOk) {
                    result = DeliverKind(scan, kElementMovingTextEnd);
                }
                if (result != kMultiOk) {
                    m.error_position = offset;
                    return result;
                }
                m.moving_text_open = 0;
                ++offset;
                continue;
            }

            if (c == '[' && !doubled) {
                scan.content = true;
                MultiParseResult result = DeliverRun(scan, offset, false);
                if (result != kMultiOk) {
                    return result;
                }
                const uint32_t name = offset + 1;
                const bool moving =
                    length - name >= 2 && text[name] == 'm' && text[name + 1] == 'v';
                // The tag ends at the first closing bracket; moving text may hold
                // doubled brackets and tags of its own.
                uint32_t p = name;
                for (;;) {
                    if (p >= length) {
                        m.error_position = name;
                        return kMultiUnsupportedTag;
                    }
                    const char t = text[p];
                    const bool pair = p + 1 < length && text[p + 1] == t;
                    if (t == ']') {
                        if (moving && pair) {
                            p += 2;
                            continue;
                        }
                        break;
                    }
                    if (t == '[') {
                        if (pair) {
                            p += 2;
                            continue;
                        }
                        if (!moving) {
                            m.error_position = name;
                            return kMultiUnsupportedTag;
                        }
                    }
                    ++p;
                }
                Tag tag{text + name, p - name, name, p + 1};
                result = DispatchTag(scan, tag);
                if (result != kMultiOk && result != kMultiEndOfText) {
                    m.error_position = name;
                    if (scan.page_end) {
                        *next = scan.next;
                    }
                    return result;
                }
                if (scan.page_end) {
                    *next = scan.next;
                    return kMultiOk;
                }
                if (scan.restart) {
                    break;
                }
                offset = scan.resume != 0 ? scan.resume : tag.resume;
                scan.resume = 0;
                continue;
            }

            if (doubled && (c == '[' || c == ']')) {
                scan.content = true;
                const MultiParseResult result = DeliverRun(scan, offset, false);
                if (result != kMultiOk) {
                    return result;
                }
                scan.run_pending = true;
                scan.run_start = offset + 1;
                scan.run_count = 1;
                m_lineHasText = 1;
                offset += 2;
                continue;
            }

            if (c == ']') {
                m.error_position = offset;
                return kMultiUnsupportedTag;
            }

            if (!scan.run_pending) {
                scan.run_pending = true;
                scan.run_start = offset;
                scan.run_count = 0;
                m_lineHasText = 1;
            }
            ++scan.run_count;
            ++offset;
        }

        if (scan.restart) {
            continue;
        }

        if (scan.run_pending) {
            scan.content = true;
            const MultiParseResult result = DeliverRun(scan, offset, true);
            if (result != kMultiOk) {
                return result;
            }
        }

        if (!m.measuring_pass || !scan.content) {
            m.current_line = 0;
            *next = offset;
            return scan.content ? kMultiOk : kMultiEndOfText;
        }

        const MultiParseResult result = EndMeasuring(scan, offset);
        if (result != kMultiOk) {
            if (m.error_position == 0) {
                m.error_position = offset;
            }
            return result;
        }
        if (validation) {
            *next = offset;
            return kMultiOk;
        }
        const MultiParseResult drawing = DeliverKind(scan, kElementStartDrawing);
        if (drawing != kMultiOk) {
            m.error_position = offset;
            return drawing;
        }
        StartDrawing(scan);
    }
}

MultiParseResult CMULTIParser::DispatchTag(Scan& scan, const Tag& tag) {
    const char* n = tag.name;
    const uint32_t len = tag.length;
    if (StartsNoCase(n, len, "cb"))
        return TagColourBackground(scan, tag);
    if (StartsNoCase(n, len, "cf"))
        return TagColourForeground(scan, tag);
    if (StartsNoCase(n, len, "fl"))
        return TagFlash(scan, tag);
    if (StartsNoCase(n, len, "/fl")) {
        if (!EqualNoCase(n, len, "/fl"))
            return kMultiUnsupportedTagValue;
        scan.message->flash_mode = 0;
        return kMultiOk;
    }
    if (StartsNoCase(n, len, "fo"))
        return TagFont(scan, tag);
    if (StartsNoCase(n, len, "f"))
        return TagField(scan, tag);
    if (StartsNoCase(n, len, "g"))
        return TagGraphic(scan, tag);
    if (StartsNoCase(n, len, "hc"))
        return TagHexCharacter(scan, tag);
    if (StartsNoCase(n, len, "jl"))
        return TagJustifyLine(scan, tag);
    if (StartsNoCase(n, len, "jp"))
        return TagJustifyPage(scan, tag);
    if (StartsNoCase(n, len, "mv"))
        return TagMovingText(scan, tag);
    if (StartsNoCase(n, len, "ms"))
        return TagMaker(scan, tag);
    if (len >= 3 && std::memcmp(n, "/ms", 3) == 0) {
        return len == 3 ? kMultiOk : kMultiUnsupportedTagValue;
    }
    if (StartsNoCase(n, len, "nl"))
        return TagNewLine(scan, tag);
    if (StartsNoCase(n, len, "np"))
        return TagNewPage(scan, tag);
    if (StartsNoCase(n, len, "pt") || StartsNoCase(n, len, "po"))
        return TagPageTime(scan, tag);
    if (StartsNoCase(n, len, "sc"))
        return TagSpacing(scan, tag);
    if (StartsNoCase(n, len, "/sc")) {
        if (!EqualNoCase(n, len, "/sc"))
            return kMultiUnsupportedTagValue;
        scan.message->character_spacing = -1;
        return kMultiOk;
    }
    if (StartsNoCase(n, len, "tr"))
        return TagTextRectangle(scan, tag);
    return kMultiUnsupportedTag;
}

MultiParseResult CMULTIParser::TagColourBackground(Scan& scan, const Tag& tag) {
    Cursor c(tag.name + 2, tag.name + tag.length);
    CMessage& m = *scan.message;
    if (c.AtEnd()) {
        m.character_background_colour = kNoColour;
        return kMultiOk;
    }
    const int64_t number = c.Number();
    if (MultiEnvironment().ModuleType().colour_capability == 1 && number != 0 && number != 9) {
        return kMultiUnsupportedTagValue;
    }
    m.character_background_colour =
        number >= 0 && number <= 9 ? multi_colour_to_rgb15(static_cast<uint32_t>(number)) : 0;
    return kMultiOk;
}

MultiParseResult CMULTIParser::TagColourForeground(Scan& scan, const Tag& tag) {
    Cursor c(tag.name + 2, tag.name + tag.length);
    CMessage& m = *scan.message;
    if (c.AtEnd()) {
        m.foreground_colour = FeatureSet(multi_objects::kFeatureDatabaseDefaults)
                                  ? multi_default_foreground_colour()
                                  : m.defaults.foreground_colour;
        return kMultiOk;
    }
    const int64_t red = c.Number();
    if (c.AtEnd()) {
        if (red < 0 || red > 255) {
            return kMultiUnsupportedTagValue;
        }
        const uint8_t capability = MultiEnvironment().ModuleType().colour_capability;
        bool allowed;
        if (capability == 3) {
            allowed = true;
        } else if (capability == 2) {
            allowed = red == 0 || red == 1 || red == 3 || red == 9;
        } else {
            allowed = red == 0 || red == 1 || red == 9;
        }
        if (!allowed) {
            return kMultiUnsupportedTagValue;
        }
        m.foreground_colour = multi_colour_to_rgb15(static_cast<uint32_t>(red));
        return kMultiOk;
    }
    c.Skip();
    const int64_t green = c.Number();
    c.Skip();
    const int64_t blue = c.Number();
    for (int64_t v : {red, green, blue}) {
        if (v < 0 || v > 255) {
            return kMultiUnsupportedTagValue;
        }
    }
    m.foreground_colour = multi_rgb_to_rgb15(
        static_cast<uint32_t>(red), static_cast<uint32_t>(green), static_cast<uint32_t>(blue));
    return kMultiOk;
}

MultiParseResult CMULTIParser::TagFlash(Scan& scan, const Tag& tag) {
    using namespace multi_objects;
    CMessage& m = *scan.message;
    if (scan.flash_steps >= CMessage::kFlashRegions) {
        return kMultiTextTooBig;
    }
    const uint32_t default_on = Default(kDefaultFlashOn, m.defaults.flash_on_time);
    const uint32_t default_off = Default(kDefaultFlashOff, m.defaults.flash_off_time);
    Cursor c(tag.name + 2, tag.name + tag.length);
    uint8_t mode = 0;
    uint32_t on = m.flash_on_time;
    uint32_t off = m.flash_off_time;
    if (c.AtEnd()) {
        on = default_on;
        off = default_off;
        mode = (on == 0 || off == 0) ? 0 : 1;
    } else {
        const char first = Lower(c.Peek());
        if (first != 't' && first != 'o') {
            return kMultiUnsupportedTagValue;
        }
        mode = first == 't' ? 1 : 2;
        char letter = first;
        for (int part = 0; part < 2 && !c.AtEnd(); ++part) {
            if (Lower(c.Peek()) != letter) {
                return kMultiUnsupportedTagValue;
            }
            c.Skip();
            int64_t value = letter == 't' ? default_on : default_off;
            if (c.HasDigit()) {
                value = c.Number();
            }
            if (value < 0 || value > 99) {
                return kMultiUnsupportedTagValue;
            }
            (letter == 't' ? on : off) = static_cast<uint32_t>(value);
            letter = letter == 't' ? 'o' : 't';
        }
        if (!c.AtEnd()) {
            return kMultiUnsupportedTagValue;
        }
    }
    m.flash_mode = mode;
    m.flash_on_time = static_cast<uint8_t>(on);
    m.flash_off_time = static_cast<uint8_t>(off);
    ++scan.flash_steps;
    if (!m.measuring_pass) {
        StepFlashRegion(&m);
    }
    return kMultiOk;
}

MultiParseResult CMULTIParser::TagFont(Scan& scan, const Tag& tag) {
    using namespace multi_objects;
    CMessage& m = *scan.message;
    Cursor c(tag.name + 2, tag.name + tag.length);
    if (c.AtEnd()) {
        m.current_font = static_cast<uint8_t>(Default(kDefaultFont, m.defaults.font));
        return kMultiOk;
    }
    int64_t number = c.Number();
    if (number == 0 && FeatureSet(kFeatureCompatibility)) {
        number = 1;
    }
    if (number < 1 || number > 255 || number > static_cast<int64_t>(kFontSlots)) {
        return kMultiUnsupportedTagValue;
    }
    bool check_version = false;
    uint32_t version = 0;
    if (!c.AtEnd()) {
        if (c.Peek() != ',') {
            return kMultiUnsupportedTagValue;
        }
        c.Skip();
        if (!c.Hex4(&version) || !c.AtEnd()) {
            return kMultiUnsupportedTagValue;
        }
        check_version = true;
    }
    const int slot = ResolveFontSlot(number);
    if (slot < 0) {
        return kMultiFontNotDefined;
    }
    if (check_version && Nv(FontVersionId(static_cast<uint32_t>(slot))) != version) {
        return kMultiFontVersionId;
    }
    m.current_font = static_cast<uint8_t>(number);
    return kMultiOk;
}

MultiParseResult CMULTIParser::TagField(Scan& scan, const Tag& tag) {
    using namespace multi_objects;
    CMessage& m = *scan.message;
    Cursor c(tag.name + 1, tag.name + tag.length);
    if (c.Left() >= 6) {
        return kMultiUnsupportedTagValue;
    }
    const int64_t field = c.Number();
    int64_t option = 0;
    if (!c.AtEnd()) {
        if (c.Peek() != ',') {
            return kMultiUnsupportedTagValue;
        }
        c.Skip();
        option = c.Number();
        if (!c.AtEnd()) {
            return kMultiUnsupportedTagValue;
        }
    }
    if (option < 0 || option > 99) {
        return kMultiUnsupportedTagValue;
    }

    MultiElementKind kind = kElementTimeField;
    char format[kElementFormatSize] = {};
    const char* text = nullptr;
    const char* number_format = option == 2 ? "%2d" : "%3d";
    switch (field) {
        case 1:
            text = "%#I:%M";
            break;
        case 2:
            text = "%H:%M";
            break;
        case 3:
            kind = kElementCelsiusField;
            text = number_format;
            break;
        case 4:
            kind = kElementFahrenheitField;
            text = number_format;
            break;
        case 5:
            kind = kElementSpeedKmhField;
            text = number_format;
            break;
        case 6:
            kind = kElementSpeedMphField;
            text = number_format;
            break;
        case 7:
            text = option < 4 ? "%a" : "%A";
            break;
        case 8:
            text = "%d";
            break;
        case 9:
            text = "%m";
            break;
        case 10:
            text = "%y";
            break;
        case 11:
            text = "%Y";
            break;
        case 92:
        case 93:
        case 94:
        case 95:
        case 96:
        case 97:
        case 98:
        case 99: {
            // Maker fields carry the finished number.
            static constexpr ObjectRef kSources[4] = {kTempMinCtrlCabinet, kTempMaxCtrlCabinet,
                                                      kTempMinSignHousing, kTempMaxSignHousing};
            const int t = VolatileSigned8(kSources[(field - 92) / 2]);
            const bool fahrenheit = (field & 1) != 0;
            kind = fahrenheit ? kElementFahrenheitField : kElementCelsiusField;
            std::snprintf(format, sizeof format, "%d", fahrenheit ? t * 9 / 5 + 32 : t);
            break;
        }
        default:
            return kMultiUnsupportedTagValue;
    }
    if (text != nullptr) {
        CopyText(format, sizeof format, text, static_cast<uint32_t>(std::strlen(text)));
    }
    m.ClearElement();
    m.element_kind = kind;
    std::memcpy(m.element.format, format, sizeof format);
    m.element.field = static_cast<uint16_t>(field);
    const MultiParseResult result = Deliver(scan);
    m_lineHasText = 1;
    return result;
}

MultiParseResult CMULTIParser::TagGraphic(Scan& scan, const Tag& tag) {
    using namespace multi_objects;
    CMessage& m = *scan.message;
    Cursor c(tag.name + 1, tag.name + tag.length);
    const int64_t number = c.Number();
    int64_t x = 1;
    int64_t y = 1;
    bool check_id = false;
    uint32_t id = 0;
    if (!c.AtEnd()) {
        if (c.Peek() != ',')
            return kMultiUnsupportedTagValue;
        c.Skip();
        x = c.Number();
        if (c.Peek() != ',')
            return kMultiUnsupportedTagValue;
        c.Skip();
        y = c.Number();
        if (!c.AtEnd()) {
            if (c.Peek() != ',')
                return kMultiUnsupportedTagValue;
            c.Skip();
            if (!c.Hex4(&id) || !c.AtEnd())
                return kMultiUnsupportedTagValue;
            check_id = true;
        }
    }
    int row = -1;
    if (number >= 1 && number <= 255) {
        for (uint32_t i = 0; i < kGraphicRows; ++i) {
            if (Nv(GraphicNumber(i)) == number) {
                row = static_cast<int>(i);
                break;
            }
        }
    }
    if (row < 0) {
        return kMultiGraphicNotDefined;
    }
    const uint32_t r = static_cast<uint32_t>(row);
    const uint32_t status = Nv(GraphicStatus(r));
    if (status != 4 && status != 5 && status != 6) {
        return kMultiGraphicNotDefined;
    }
    const uint32_t row_id = Nv(GraphicId(r));
    if (check_id && id != row_id) {
        return kMultiGraphicId;
    }
    const int64_t width = Nv(GraphicWidth(r));
    const int64_t height = Nv(GraphicHeight(r));
    if (x < 1 || y < 1 || x + width - 1 > SignWidth() || y + height - 1 > SignHeight()) {
        return kMultiUnsupportedTagValue;
    }
    m.ClearElement();
    m.element_kind = kElementGraphic;
    m.element.graphic_number = static_cast<uint8_t>(number);
    m.element.graphic_id = static_cast<uint16_t>(row_id);
    m.element.x = static_cast<int32_t>(x);
    m.element.y = static_cast<int32_t>(y);
    return Deliver(scan);
}

MultiParseResult CMULTIParser::TagHexCharacter(Scan& scan, const Tag& tag) {
    CMessage& m = *scan.message;
    uint32_t code = 0;
    for (uint32_t i = 2; i < tag.length; ++i) {
        const char c = tag.name[i];
        uint32_t digit = 0;
        if (IsDigit(c)) {
            digit = static_cast<uint32_t>(c - '0');
        } else if (c >= 'A' && c <= 'F') {
            digit = static_cast<uint32_t>(c - 'A' + 10);
        }
        code = (code << 4) | digit;
    }
    m.ClearElement();
    m.element_kind = kElementCharacter;
    m.element.character = static_cast<uint8_t>(code & 0xFF);
    const MultiParseResult result = Deliver(scan);
    m_lineHasText = 1;
    return result;
}

MultiParseResult CMULTIParser::TagJustifyLine(Scan& scan, const Tag& tag) {
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
    if (m.measuring_pass && m_lineHasText) {
        const MultiParseResult result = DeliverKind(scan, kElementEndSegment);
        if (result != kMultiOk) {
            return result;
        }
    }
    m.line_justification[std::min(m.current_text_rectangle, CMessage::kRectangles - 1)] =
        static_cast<uint8_t>(justification);
    return kMultiOk;
}

MultiParseResult CMULTIParser::TagJustifyPage(Scan& scan, const Tag& tag) {
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
    const uint32_t r = std::min(m.current_text_rectangle, CMessage::kRectangles - 1);
    if (m.page_justification_given[r] && m.page_justification[r] != justification) {
        return kMultiTagConflict;
    }
    m.page_justification[r] = static_cast<uint8_t>(justification);
    m.page_justification_given[r] = 1;
    return kMultiOk;
}

namespace {

// Adds to (or replaces) the segment width of justification j, saturating.
void AddSegmentWidth(line_cell& cell, uint32_t justification, int64_t width) {
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
    *segment = Saturate16(*segment + width);
}

}  // namespace

MultiParseResult CMULTIParser::TagMovingText(Scan& scan, const Tag& tag) {
    CMessage& m = *scan.message;
    if (scan.moving_texts >= CMessage::kMovingTexts) {
        return kMultiTextTooBig;
    }
    Cursor c(tag.name + 2, tag.name + tag.length);
    const char type = Lower(c.Peek());
    if (type != 'c' && type != 'l') {
        return kMultiUnsupportedTag;
    }
    c.Skip();
    int64_t count = 0;
    if (c.HasDigit()) {
        count = c.Number();
    }
    const char direction = Lower(c.Peek());
    if (direction != 'l' && direction != 'r') {
        return kMultiUnsupportedTag;
    }
    c.Skip();
    int64_t values[3];
    for (int64_t& value : values) {
        value = c.Number();
        if (c.Peek() != ',') {
            return kMultiUnsupportedTag;
        }
        c.Skip();
    }
    const int64_t window = values[0];
    int64_t step = values[1];
    const int64_t rate = values[2];

    const uint32_t r = std::min(m.current_text_rectangle, CMessage::kRectangles - 1);
    const uint32_t justification = m.line_justification[r];
    line_cell& cell = m.CurrentLine();
    if (justification == 5 ||
        (cell.recorded_justification != 0 && cell.recorded_justification != justification)) {
        return kMultiTagConflict;
    }

    if (CharacterMatrix()) {
        const int64_t cell_width = MultiEnvironment().ModuleType().cell_width;
        if (cell_width > 0) {
            step = (step + cell_width / 2) / cell_width * cell_width;
            if (step == 0) {
                step = cell_width;
            }
        }
    }
    moving_text_entry& entry =
        m.moving_texts[std::min(m.current_moving_text, CMessage::kMovingTexts - 1)];
    entry.width = Saturate16(window);
    entry.mode =
        static_cast<uint8_t>(type == 'c' ? (direction == 'l' ? 1 : 2) : (direction == 'l' ? 3 : 4));
    entry.linear_count = Saturate8(count);
    entry.step = Saturate8(step);
    entry.frames_per_step = Saturate8(rate * m.frame_rate / 10);

    cell.moving_text = 1;
    m.ClearElement();
    m.element_kind = kElementMovingTextStart;
    const MultiParseResult result = Deliver(scan);
    if (result != kMultiOk) {
        return result;
    }
    // The window joins the segment after the delivery: when [mv] is the first element of the
    // page, the renderer starts the page with it and clears the line's widths.
    line_cell& after = m.CurrentLine();
    AddSegmentWidth(after, justification, entry.width);
    const int64_t total = int64_t{after.left_width} + after.centre_width + after.right_width;
    switch (justification) {
        case 2:
            after.left_width = Saturate16(total);
            break;
        case 3:
            after.centre_width = Saturate16(total);
            break;
        case 4:
            after.right_width = Saturate16(total);
            break;
        default:
            break;
    }
    m.moving_text_open = 1;
    ++scan.moving_texts;
    // The moving text itself is scanned as page text up to its closing bracket.
    scan.resume = tag.offset + static_cast<uint32_t>(c.Position() - tag.name);
    return kMultiOk;
}

MultiParseResult CMULTIParser::TagMaker(Scan& scan, const Tag& tag) {
    using namespace multi_objects;
    CMessage& m = *scan.message;
    Cursor c(tag.name + 2, tag.name + tag.length);
    if (c.Number() != 47) {
        return kMultiOk;
    }
    if (c.Peek() == ',') {
        c.Skip();
    }
    const char* sub = c.Position();
    const uint32_t sub_length = c.Left();

    if (StartsNoCase(sub, sub_length, "gpo")) {
        c.Skip(3);
        if (c.Peek() != ',')
            return kMultiOk;
        c.Skip();
        uint32_t output;
        if (c.Left() >= 2 && c.Position()[0] == '1' && c.Position()[1] == '0') {
            output = 10;
            c.Skip(2);
        } else if (c.HasDigit()) {
            output = static_cast<uint32_t>(c.Peek() - '0');
            c.Skip();
        } else {
            return kMultiOk;
        }
        if (c.Peek() != ',')
            return kMultiOk;
        c.Skip();
        if (!c.HasDigit())
            return kMultiOk;
        const char value = c.Peek();
        // Only the sign's own drawing switches outputs; a preview or trial render does not.
        if (!scan.validation && !m.measuring_pass && !m.trial_render &&
            (value == '0' || value == '1')) {
            MultiEnvironment().SetGpo(output, value == '1');
        }
        return kMultiOk;
    }

    if (StartsNoCase(sub, sub_length, "g")) {
        c.Skip();
        if (c.Peek() != ',')
            return kMultiOk;
        c.Skip();
        const int64_t x = c.Number();
        if (c.Peek() != ',')
            return kMultiOk;
        c.Skip();
        const int64_t y = c.Number();
        if (c.Peek() != ',')
            return kMultiOk;
        c.Skip();
        const char* name = c.Position();
        const uint32_t name_length = c.Left();
        if (CharacterMatrix() || name_length + 8 > kElementFileNameSize - 1 || x > 65535 ||
            y > 65535) {
            return kMultiUnsupportedTagValue;
        }
        char file[kElementFileNameSize];
        CopyText(file, sizeof file, name, name_length);
        if (!MultiEnvironment().FileExists(file)) {
            char prefixed[kElementFileNameSize];
            std::memcpy(prefixed, "Bitmaps/", 8);
            CopyText(prefixed + 8, sizeof prefixed - 8, name, name_length);
            if (!MultiEnvironment().FileExists(prefixed)) {
                return kMultiUnsupportedTagValue;
            }
            std::memcpy(file, prefixed, sizeof file);
        }
        m.ClearElement();
        m.element_kind = kElementBitmapFile;
        std::memcpy(m.element.file_name, file, sizeof file);
        m.element.x = static_cast<int32_t>(x);
        m.element.y = static_cast<int32_t>(y);
        return Deliver(scan);
    }

    if (StartsNoCase(sub, sub_length, "xy")) {
        c.Skip(2);
        if (c.Peek() == ',')
            c.Skip();
        const int64_t x = c.Number() - 1;
        bool has_y = false;
        int64_t y = 0;
        if (c.Peek() == ',') {
            c.Skip();
            y = c.Number() - 1;
            has_y = true;
        }
        if (x < 0 || x >= SignWidth()) {
            return kMultiUnsupportedTagValue;
        }
        if (has_y) {
            const int64_t cell_height = Nv(kCharacterHeightPixels);
            if (y < 0 || y >= SignHeight() ||
                (CharacterOrLineMatrix() && cell_height > 0 && y % cell_height != 0)) {
                return kMultiUnsupportedTagValue;
            }
        }
        const uint32_t r = std::min(m.current_text_rectangle, CMessage::kRectangles - 1);
        if (m.line_justification[r] != 1) {
            m.saved_line_justification = m.line_justification[r];
        }
        if (m.page_justification[r] != 1) {
            m.saved_page_justification = m.page_justification[r];
        }
        m.line_justification[r] = 1;
        m.page_justification[r] = 1;
        line_cell& cell = m.CurrentLine();
        cell.absolute_x = static_cast<int16_t>(x);
        if (has_y) {
            cell.y = static_cast<int16_t>(y);
        }
        m.cursor_x = static_cast<int32_t>(x);
        m.cursor_y = cell.y;
        return DeliverKind(scan, kElementAbsolutePosition);
    }

    if (StartsNoCase(sub, sub_length, "cf") || StartsNoCase(sub, sub_length, "cb")) {
        const bool foreground = Lower(sub[1]) == 'f';
        c.Skip(2);
        c.Skip();
        const int64_t red = c.Number();
        c.Skip();
        const int64_t green = c.Number();
        c.Skip();
        const int64_t blue = c.Number();
        for (int64_t v : {red, green, blue}) {
            if (v < 0 || v > 255) {
                return kMultiUnsupportedTagValue;
            }
        }
        const uint32_t colour = multi_rgb_to_rgb15(
            static_cast<uint32_t>(red), static_cast<uint32_t>(green), static_cast<uint32_t>(blue));
        (foreground ? m.foreground_colour : m.character_background_colour) = colour;
        return kMultiOk;
    }

    if (StartsNoCase(sub, sub_length, "r")) {
        c.Skip();
        if (c.Peek() == ',')
            c.Skip();
        const int64_t offset = c.Number();
        if (c.Peek() == ',')
            c.Skip();
        const int64_t length = c.Number();
        m.ClearElement();
        m.element_kind = kElementRemoteText;
        m.element.remote_offset = Saturate16(offset);
        m.element.remote_length = Saturate8(length);
        const MultiParseResult result = Deliver(scan);
        m_lineHasText = 1;
        return result;
    }

    if (StartsNoCase(sub, sub_length, "sp")) {
        c.Skip(2);
        const char unit = c.Peek();
        if (unit != 'm' && unit != 'k') {
            return kMultiUnsupportedTag;
        }
        c.Skip(2);
        const int64_t sensor = c.Number();
        c.Skip();
        const int64_t digits = c.Number();
        // Four speed readings (brenSensorValue 1-4); a field of at most 9 digits.
        if (sensor < 1 || sensor > 4 || digits < 0 || digits > 9) {
            return kMultiUnsupportedTagValue;
        }
        m.ClearElement();
        m.element_kind = kElementSpeedSensor;
        m.element.unit = unit == 'm' ? 1 : 2;
        m.element.sensor = static_cast<uint16_t>(sensor);
        std::snprintf(m.element.format, sizeof m.element.format, "%%%dd", static_cast<int>(digits));
        const MultiParseResult result = Deliver(scan);
        m_lineHasText = 1;
        return result;
    }

    if (StartsNoCase(sub, sub_length, "sc") || StartsNoCase(sub, sub_length, "name")) {
        return kMultiOk;
    }
    return kMultiUnsupportedTag;
}

namespace {

// After [ms47,xy] forced "other", [nl] and [np] bring the saved justifications back.
void RestoreSavedJustification(CMessage& m) {
    const uint32_t r = std::min(m.current_text_rectangle, CMessage::kRectangles - 1);
    if (m.line_justification[r] == 1 && m.saved_line_justification != 0) {
        m.line_justification[r] = static_cast<uint8_t>(m.saved_line_justification);
        m.saved_line_justification = 0;
        if (m.page_justification[r] == 1 && m.saved_page_justification != 0) {
            m.page_justification[r] = static_cast<uint8_t>(m.saved_page_justification);
        }
        m.saved_page_justification = 0;
    }
}

}  // namespace

MultiParseResult CMULTIParser::TagNewLine(Scan& scan, const Tag& tag) {
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
    m_lineHasText = 0;
    ++scan.new_lines;
    return result;
}

MultiParseResult CMULTIParser::TagNewPage(Scan& scan, const Tag& tag) {
    CMessage& m = *scan.message;
    scan.next = tag.resume;
    if (!EqualNoCase(tag.name, tag.length, "np")) {
        scan.page_end = true;
        return kMultiUnsupportedTagValue;
    }
    RestoreSavedJustification(m);
    m_lineHasText = 0;
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

MultiParseResult CMULTIParser::TagPageTime(Scan& scan, const Tag& tag) {
    using namespace multi_objects;
    CMessage& m = *scan.message;
    const uint32_t default_on = Default(kDefaultPageOnTime, m.defaults.page_on_time);
    const uint32_t default_off = Default(kDefaultPageOffTime, m.defaults.page_off_time);
    Cursor c(tag.name + 2, tag.name + tag.length);
    int64_t on = m.page_on_time;
    int64_t off = m.page_off_time;
    bool off_given = m.off_time_given != 0;
    if (c.AtEnd()) {
        on = 0;
    } else {
        if (Lower(c.Peek()) != 'o') {
            on = c.Number();
            if (on < 0 || on > 255)
                return kMultiUnsupportedTagValue;
            if (!c.AtEnd() && Lower(c.Peek()) != 'o')
                return kMultiUnsupportedTagValue;
        } else if (c.Left() > 1) {
            on = default_on;
        }
        if (!c.AtEnd()) {
            c.Skip();
            if (c.AtEnd()) {
                off = default_off;
            } else {
                off = c.Number();
                if (off < 0 || off > 255 || !c.AtEnd())
                    return kMultiUnsupportedTagValue;
                off_given = true;
            }
        }
    }
    m.page_on_time = static_cast<uint8_t>(on);
    m.page_off_time = static_cast<uint8_t>(off);
    m.off_time_given = off_given ? 1 : 0;
    return kMultiOk;
}

MultiParseResult CMULTIParser::TagSpacing(Scan& scan, const Tag& tag) {
    CMessage& m = *scan.message;
    Cursor c(tag.name + 2, tag.name + tag.length);
    const int64_t spacing = c.Number();
    if (spacing < 0 || spacing > 99 || !c.AtEnd()) {
        return kMultiUnsupportedTagValue;
    }
    m.character_spacing = static_cast<int32_t>(spacing);
    m.CurrentLine().character_spacing = static_cast<int8_t>(spacing);
    return kMultiOk;
}

MultiParseResult CMULTIParser::TagTextRectangle(Scan& scan, const Tag& tag) {
    using namespace multi_objects;
    CMessage& m = *scan.message;
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
    if (scan.rectangles >= CMessage::kRectangles - 1) {
        return kMultiTextTooBig;
    }
    m.page_justification_given[std::min(m.current_text_rectangle, CMessage::kRectangles - 1)] = 0;
    MultiParseResult result;
    if (m.measuring_pass) {
        if (m_lineHasText) {
            result = DeliverKind(scan, kElementEndSegment);
            if (result != kMultiOk)
                return result;
        }
        result = DeliverKind(scan, kElementEndMeasuring);
        if (result != kMultiOk)
            return result;
    }
    result = DeliverKind(scan, kElementTextRectangle);
    m_lineHasText = 0;
    m.text_rectangles[std::min(m.current_text_rectangle, CMessage::kRectangles - 1)] =
        text_rectangle{static_cast<int32_t>(x - 1), static_cast<int32_t>(y - 1),
                       static_cast<int32_t>(x - 1 + w), static_cast<int32_t>(y - 1 + h)};
    ++scan.rectangles;
    return result;
}

uint8_t CMULTIParser::CountPages(const char* text, uint32_t length) {
    if (text == nullptr || length == 0) {
        return 0;
    }
    uint32_t pages = 1;
    for (uint32_t i = 0; i + 4 <= length; ++i) {
        if (EqualNoCase(text + i, 4, "[np]")) {
            ++pages;
        }
    }
    return static_cast<uint8_t>(std::min<uint32_t>(pages, 255));
}

bool CMULTIParser::ParsePage(void* context, MultiElementCallback callback, CMessage* message,
                             uint32_t page) {
    if (message == nullptr || message->TextLength() == 0) {
        return false;
    }
    const uint32_t length = message->TextLength();
    uint32_t start = 0;
    if (page > 1) {
        uint32_t found = 0;
        start = length + 1;
        for (uint32_t i = 0; i + 4 <= length; ++i) {
            if (EqualNoCase(message->text + i, 4, "[np]") && ++found == page - 1) {
                start = i + 4;
                break;
            }
        }
    }
    message->current_page_start = start;
    return ScanPage(context, callback, message, message->text, length, start,
                    &message->next_page_start, false) == kMultiOk;
}

bool CMULTIParser::ParseNextPage(CMessage* message) {
    if (message == nullptr) {
        return false;
    }
    message->current_page_start = message->next_page_start;
    const MultiParseResult result =
        ScanPage(m_context, m_callback, message, message->text, message->TextLength(),
                 message->current_page_start, &message->next_page_start, false);
    if (result == kMultiOk) {
        if (message->page_counter < 255) {
            ++message->page_counter;
        }
        return true;
    }
    message->page_counter = 0;
    return false;
}

bool CMULTIParser::ReparsePage(CMessage* message) {
    if (message == nullptr) {
        return false;
    }
    if (message->TextLength() == 0) {
        return true;
    }
    return ScanPage(m_context, m_callback, message, message->text, message->TextLength(),
                    message->current_page_start, &message->next_page_start, false) == kMultiOk;
}

bool CMULTIParser::ResetDefaults(CMessage* message) {
    if (message == nullptr) {
        return false;
    }
    message->LoadWorkingDefaults();
    message->current_page_start = 0;
    message->next_page_start = 0;
    return true;
}

MultiParseResult CMULTIParser::SetMessage(void* context, MultiElementCallback callback,
                                          CMessage* message, const char* text, uint32_t length) {
    if (message == nullptr) {
        return kMultiBadArguments;
    }
    const uint32_t kept = text == nullptr ? 0 : std::min(length, CMessage::kTextSize);
    if (kept != 0) {
        std::memmove(message->text, text, kept);
    }
    message->text_length = kept;
    // A new text does not inherit the flashing of the one before.
    message->flash_mode = 0;
    m_context = context;
    m_callback = callback;
    message->Reset(0);
    message->page_counter = 0;
    message->LoadWorkingDefaults();
    message->current_page_start = 0;
    message->next_page_start = 0;
    return kMultiBadArguments;
}

MultiParseResult CMULTIParser::Validate(void* context, MultiElementCallback callback,
                                        CMessage* message, const char* text, uint32_t length) {
    if (message == nullptr) {
        return kMultiBadArguments;
    }
    message->Reset(1);
    message->flash_mode = 0;
    message->defaults.Load();
    message->LoadWorkingDefaults();
    if (length == 0) {
        return kMultiOk;
    }
    length = std::min(length, CMessage::kTextSize);
    uint32_t start = 0;
    uint32_t pages = 0;
    for (;;) {
        uint32_t next = start;
        const MultiParseResult result =
            ScanPage(context, callback, message, text, length, start, &next, true);
        if (result == kMultiEndOfText) {
            return kMultiOk;
        }
        if (result != kMultiOk) {
            return result;
        }
        if (++pages > kMaxPages) {
            message->error_position = start;
            return kMultiTooManyPages;
        }
        const uint32_t rectangles =
            std::min(message->current_text_rectangle, CMessage::kRectangles - 1);
        const uint32_t lines = std::min(message->current_line, CMessage::kLines - 1);
        for (uint32_t r = 0; r <= rectangles; ++r) {
            for (uint32_t l = 0; l <= lines; ++l) {
                const line_cell& cell = message->line_cells[r][l];
                if (int64_t{cell.y} + cell.height > message->text_rectangles[r].y1) {
                    DebugPrintLevel1("CMultiParser::Validate: Error Message too tall\n");
                    message->error_position = start;
                    return kMultiTextTooBig;
                }
            }
        }
        message->Reset(0);
        start = next;
    }
}
