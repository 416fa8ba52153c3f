#include "render/multi_tags_colour.h"

#include "render/message.h"
#include "render/multi_colour.h"
#include "render/multi_environment.h"
#include "render/multi_lexer.h"
#include "render/multi_sign_query.h"

namespace multi {

namespace {

// A classic colour number the sign's modules can show.
bool ClassicColourAllowed(int64_t colour) {
    const uint8_t capability = MultiEnvironment().ModuleType().colour_capability;
    if (capability == 3) {
        return true;
    }
    if (capability == 2) {
        return colour == 0 || colour == 1 || colour == 3 || colour == 9;
    }
    return colour == 0 || colour == 1 || colour == 9;
}

}  // namespace

MultiParseResult TagColourBackground(Scan& scan, const Tag& tag) {
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

MultiParseResult TagColourForeground(Scan& scan, const Tag& tag) {
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
        if (red < 0 || red > 255 || !ClassicColourAllowed(red)) {
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

}  // namespace multi
