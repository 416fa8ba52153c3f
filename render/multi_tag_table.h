#pragma once
// The MULTI tags the parser knows: a table from tag name to the handler of its family.

#include "render/multi_scan.h"

namespace multi {

// Hands the tag to its handler; kMultiUnsupportedTag when no tag name matches.
MultiParseResult DispatchTag(Scan& scan, const Tag& tag);

}  // namespace multi
