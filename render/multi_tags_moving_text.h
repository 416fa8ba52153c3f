#pragma once
// Moving text tag: [mv...] opens a moving text whose text runs to the closing bracket.

#include "render/multi_scan.h"

namespace multi {

MultiParseResult TagMovingText(Scan& scan, const Tag& tag);

}  // namespace multi
