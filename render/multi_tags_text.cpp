#include "render/multi_tags_text.h"

#include <cstdio>
#include <cstring>

#include "render/message.h"
#include "render/multi_lexer.h"
#include "render/multi_sign_query.h"

namespace multi {

namespace {

using multi_objects::ObjectRef;

// The element kind and format of field number field with option; false for an unknown field.
bool FieldFormat(int64_t field, int64_t option, MultiElementKind* kind,
                 char (&format)[kElementFormatSize]) {
    const char* number_format = option == 2 ? "%2d" : "%3d";
    const char* text = nullptr;
    *kind = kElementTimeField;
    switch (field) {
        case 1:
            text = "%#I:%M";
            break;
        case 2:
            text = "%H:%M";
            break;
        case 3:
            *kind = kElementCelsiusField;
            text = number_format;
            break;
        case 4:
            *kind = kElementFahrenheitField;
            text = number_format;
            break;
        case 5:
            *kind = kElementSpeedKmhField;
            text = number_format;
            break;
        case 6:
            *kind = kElementSpeedMphField;
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
        default:
            return false;
    }
    CopyText(format, sizeof format, text, static_cast<uint32_t>(std::strlen(text)));
    return true;
}

// Maker fields 92-99 carry the finished number: cabinet and housing temperatures, minimum and
// maximum, in Celsius (even) or Fahrenheit (odd).
void MakerTemperature(int64_t field, MultiElementKind* kind, char (&format)[kElementFormatSize]) {
    using namespace multi_objects;
    static constexpr ObjectRef kSources[4] = {kTempMinCtrlCabinet, kTempMaxCtrlCabinet,
                                              kTempMinSignHousing, kTempMaxSignHousing};
    const int t = VolatileSigned8(kSources[(field - 92) / 2]);
    const bool fahrenheit = (field & 1) != 0;
    *kind = fahrenheit ? kElementFahrenheitField : kElementCelsiusField;
    std::snprintf(format, sizeof format, "%d", fahrenheit ? t * 9 / 5 + 32 : t);
}

}  // namespace

MultiParseResult TagFont(Scan& scan, const Tag& tag) {
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

MultiParseResult TagField(Scan& scan, const Tag& tag) {
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
    if (field >= 92 && field <= 99) {
        MakerTemperature(field, &kind, format);
    } else if (!FieldFormat(field, option, &kind, format)) {
        return kMultiUnsupportedTagValue;
    }
    m.ClearElement();
    m.element_kind = kind;
    std::memcpy(m.element.format, format, sizeof format);
    m.element.field = static_cast<uint16_t>(field);
    const MultiParseResult result = Deliver(scan);
    scan.line_has_text = true;
    return result;
}

MultiParseResult TagHexCharacter(Scan& scan, const Tag& tag) {
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
    scan.line_has_text = true;
    return result;
}

MultiParseResult TagSpacing(Scan& scan, const Tag& tag) {
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

MultiParseResult TagSpacingEnd(Scan& scan, const Tag& tag) {
    if (!EqualNoCase(tag.name, tag.length, "/sc")) {
        return kMultiUnsupportedTagValue;
    }
    scan.message->character_spacing = -1;
    return kMultiOk;
}

}  // namespace multi
