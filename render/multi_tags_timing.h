#pragma once
// Timing tags: [fl] and [/fl] flashing, [pt] page times.

#include "render/multi_scan.h"

namespace multi {

MultiParseResult TagFlash(Scan& scan, const Tag& tag);
MultiParseResult TagFlashEnd(Scan& scan, const Tag& tag);
MultiParseResult TagPageTime(Scan& scan, const Tag& tag);

}  // namespace multi
