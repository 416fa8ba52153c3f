#pragma once
// Text tags: [fo] font, [f] fields, [hc] hexadecimal character, [sc] and [/sc] spacing.

#include "render/multi_scan.h"

namespace multi {

MultiParseResult TagFont(Scan& scan, const Tag& tag);
MultiParseResult TagField(Scan& scan, const Tag& tag);
MultiParseResult TagHexCharacter(Scan& scan, const Tag& tag);
MultiParseResult TagSpacing(Scan& scan, const Tag& tag);
MultiParseResult TagSpacingEnd(Scan& scan, const Tag& tag);

}  // namespace multi
