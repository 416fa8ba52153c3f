#include "render/multi_tags_maker.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "render/message.h"
#include "render/multi_colour.h"
#include "render/multi_environment.h"
#include "render/multi_lexer.h"
#include "render/multi_sign_query.h"

namespace multi {

namespace {

// Each handler starts with the cursor on its sub-tag's name.
using MakerHandler = MultiParseResult (*)(Scan& scan, Cursor& c);

// gpo,<output 0-10>,<0|1>: switches an output, only in the sign's own drawing.
MultiParseResult MakerOutput(Scan& scan, Cursor& c) {
    CMessage& m = *scan.message;
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
    // A preview or trial render does not switch outputs.
    if (!scan.validation && !m.measuring_pass && !m.trial_render &&
        (value == '0' || value == '1')) {
        MultiEnvironment().SetGpo(output, value == '1');
    }
    return kMultiOk;
}

// The file name as given, else under "Bitmaps/"; false when neither exists.
bool FindBitmap(const char* name, uint32_t name_length, char (&file)[kElementFileNameSize]) {
    CopyText(file, sizeof file, name, name_length);
    if (MultiEnvironment().FileExists(file)) {
        return true;
    }
    char prefixed[kElementFileNameSize];
    std::memcpy(prefixed, "Bitmaps/", 8);
    CopyText(prefixed + 8, sizeof prefixed - 8, name, name_length);
    if (!MultiEnvironment().FileExists(prefixed)) {
        return false;
    }
    std::memcpy(file, prefixed, sizeof file);
    return true;
}

// g,x,y,<file>: a bitmap file at x, y.
MultiParseResult MakerBitmap(Scan& scan, Cursor& c) {
    CMessage& m = *scan.message;
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
    if (CharacterMatrix() || name_length + 8 > kElementFileNameSize - 1 || x > 65535 || y > 65535) {
        return kMultiUnsupportedTagValue;
    }
    char file[kElementFileNameSize];
    if (!FindBitmap(name, name_length, file)) {
        return kMultiUnsupportedTagValue;
    }
    m.ClearElement();
    m.element_kind = kElementBitmapFile;
    std::memcpy(m.element.file_name, file, sizeof file);
    m.element.x = static_cast<int32_t>(x);
    m.element.y = static_cast<int32_t>(y);
    return Deliver(scan);
}

// xy,x[,y]: the line goes on at an absolute position, justification "other" until [nl]/[np].
MultiParseResult MakerPosition(Scan& scan, Cursor& c) {
    CMessage& m = *scan.message;
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
        const int64_t cell_height = Nv(multi_objects::kCharacterHeightPixels);
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

// cf,r,g,b and cb,r,g,b: 24-bit foreground or background colour.
MultiParseResult MakerColour(Scan& scan, Cursor& c) {
    CMessage& m = *scan.message;
    const bool foreground = Lower(c.Position()[1]) == 'f';
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

// r,offset,length: text of the remote text buffer.
MultiParseResult MakerRemoteText(Scan& scan, Cursor& c) {
    CMessage& m = *scan.message;
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
    scan.line_has_text = true;
    return result;
}

// sp<m|k>,sensor,digits: a speed reading in mph or km/h.
MultiParseResult MakerSpeed(Scan& scan, Cursor& c) {
    CMessage& m = *scan.message;
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
    scan.line_has_text = true;
    return result;
}

MultiParseResult MakerIgnored(Scan&, Cursor&) {
    return kMultiOk;
}

// In order: the first sub-tag whose name starts the text (any case) takes it.
struct MakerEntry {
    const char* name;
    MakerHandler handler;
};
constexpr MakerEntry kMakerTags[] = {
    {"gpo", MakerOutput}, {"g", MakerBitmap},   {"xy", MakerPosition},
    {"cf", MakerColour},  {"cb", MakerColour},  {"r", MakerRemoteText},
    {"sp", MakerSpeed},   {"sc", MakerIgnored}, {"name", MakerIgnored},
};

}  // namespace

MultiParseResult TagMaker(Scan& scan, const Tag& tag) {
    Cursor c(tag.name + 2, tag.name + tag.length);
    if (c.Number() != 47) {
        return kMultiOk;
    }
    if (c.Peek() == ',') {
        c.Skip();
    }
    for (const MakerEntry& entry : kMakerTags) {
        if (StartsNoCase(c.Position(), c.Left(), entry.name)) {
            return entry.handler(scan, c);
        }
    }
    return kMultiUnsupportedTag;
}

MultiParseResult TagMakerEnd(Scan&, const Tag& tag) {
    return tag.length == 3 ? kMultiOk : kMultiUnsupportedTagValue;
}

}  // namespace multi
