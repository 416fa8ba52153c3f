#include "render/multi_tag_table.h"

#include <cstring>

#include "render/multi_lexer.h"
#include "render/multi_tags_colour.h"
#include "render/multi_tags_graphic.h"
#include "render/multi_tags_layout.h"
#include "render/multi_tags_maker.h"
#include "render/multi_tags_moving_text.h"
#include "render/multi_tags_text.h"
#include "render/multi_tags_timing.h"

namespace multi {

namespace {

using TagHandler = MultiParseResult (*)(Scan& scan, const Tag& tag);

struct TagEntry {
    const char* prefix;  // the tag name starts with it
    TagHandler handler;
    bool exact_case;  // otherwise any case
};

// In order: the first entry whose prefix starts the tag takes it ("fo" before "f").
constexpr TagEntry kTags[] = {
    {"cb", TagColourBackground, false},
    {"cf", TagColourForeground, false},
    {"fl", TagFlash, false},
    {"/fl", TagFlashEnd, false},
    {"fo", TagFont, false},
    {"f", TagField, false},
    {"g", TagGraphic, false},
    {"hc", TagHexCharacter, false},
    {"jl", TagJustifyLine, false},
    {"jp", TagJustifyPage, false},
    {"mv", TagMovingText, false},
    {"ms", TagMaker, false},
    {"/ms", TagMakerEnd, true},
    {"nl", TagNewLine, false},
    {"np", TagNewPage, false},
    {"pt", TagPageTime, false},
    {"po", TagPageTime, false},
    {"sc", TagSpacing, false},
    {"/sc", TagSpacingEnd, false},
    {"tr", TagTextRectangle, false},
};

bool Matches(const TagEntry& entry, const Tag& tag) {
    if (!entry.exact_case) {
        return StartsNoCase(tag.name, tag.length, entry.prefix);
    }
    const size_t n = std::strlen(entry.prefix);
    return tag.length >= n && std::memcmp(tag.name, entry.prefix, n) == 0;
}

}  // namespace

MultiParseResult DispatchTag(Scan& scan, const Tag& tag) {
    for (const TagEntry& entry : kTags) {
        if (Matches(entry, tag)) {
            return entry.handler(scan, tag);
        }
    }
    return kMultiUnsupportedTag;
}

}  // namespace multi
