#pragma once
// Graphic tag: [g] a graphic of the sign's graphic table.

#include "render/multi_scan.h"

namespace multi {

MultiParseResult TagGraphic(Scan& scan, const Tag& tag);

}  // namespace multi
