#pragma once
// Colour tags: [cb] character background, [cf] foreground.

#include "render/multi_scan.h"

namespace multi {

MultiParseResult TagColourBackground(Scan& scan, const Tag& tag);
MultiParseResult TagColourForeground(Scan& scan, const Tag& tag);

}  // namespace multi
