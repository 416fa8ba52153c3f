#pragma once
// Layout tags: [jl] and [jp] justification, [nl] new line, [np] new page, [tr] text rectangle.

#include "render/multi_scan.h"

namespace multi {

MultiParseResult TagJustifyLine(Scan& scan, const Tag& tag);
MultiParseResult TagJustifyPage(Scan& scan, const Tag& tag);
MultiParseResult TagNewLine(Scan& scan, const Tag& tag);
MultiParseResult TagNewPage(Scan& scan, const Tag& tag);
MultiParseResult TagTextRectangle(Scan& scan, const Tag& tag);

}  // namespace multi
