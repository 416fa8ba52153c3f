#pragma once
// Maker tags: [ms47,...] (outputs, bitmap files, absolute position, 24-bit colours, remote text,
// speed) and [/ms]. Other makers' tags are accepted and ignored.

#include "render/multi_scan.h"

namespace multi {

MultiParseResult TagMaker(Scan& scan, const Tag& tag);
MultiParseResult TagMakerEnd(Scan& scan, const Tag& tag);

}  // namespace multi
