#include "render/multi_tags_timing.h"

#include "render/message.h"
#include "render/multi_lexer.h"
#include "render/multi_parser.h"
#include "render/multi_sign_query.h"

namespace multi {

namespace {

// "t<on>o<off>" or "o<off>t<on>", either part optional after the first letter; a part without
// digits takes the default time. False on anything else.
bool ReadFlashTimes(Cursor& c, uint32_t default_on, uint32_t default_off, uint8_t* mode,
                    uint32_t* on, uint32_t* off) {
    const char first = Lower(c.Peek());
    if (first != 't' && first != 'o') {
        return false;
    }
    *mode = first == 't' ? 1 : 2;
    char letter = first;
    for (int part = 0; part < 2 && !c.AtEnd(); ++part) {
        if (Lower(c.Peek()) != letter) {
            return false;
        }
        c.Skip();
        int64_t value = letter == 't' ? default_on : default_off;
        if (c.HasDigit()) {
            value = c.Number();
        }
        if (value < 0 || value > 99) {
            return false;
        }
        (letter == 't' ? *on : *off) = static_cast<uint32_t>(value);
        letter = letter == 't' ? 'o' : 't';
    }
    return c.AtEnd();
}

}  // namespace

MultiParseResult TagFlash(Scan& scan, const Tag& tag) {
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
    } else if (!ReadFlashTimes(c, default_on, default_off, &mode, &on, &off)) {
        return kMultiUnsupportedTagValue;
    }
    m.flash_mode = mode;
    m.flash_on_time = static_cast<uint8_t>(on);
    m.flash_off_time = static_cast<uint8_t>(off);
    ++scan.flash_steps;
    if (!m.measuring_pass) {
        CMULTIParser::StepFlashRegion(&m);
    }
    return kMultiOk;
}

MultiParseResult TagFlashEnd(Scan& scan, const Tag& tag) {
    if (!EqualNoCase(tag.name, tag.length, "/fl")) {
        return kMultiUnsupportedTagValue;
    }
    scan.message->flash_mode = 0;
    return kMultiOk;
}

MultiParseResult TagPageTime(Scan& scan, const Tag& tag) {
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

}  // namespace multi
