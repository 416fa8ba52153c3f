#include "render/multi_tags_graphic.h"

#include "render/message.h"
#include "render/multi_lexer.h"
#include "render/multi_sign_query.h"

namespace multi {

namespace {

struct GraphicArguments {
    int64_t number;
    int64_t x = 1;
    int64_t y = 1;
    bool check_id = false;
    uint32_t id = 0;
};

// "n[,x,y[,iiii]]"; false when malformed.
bool ReadGraphic(const Tag& tag, GraphicArguments* a) {
    Cursor c(tag.name + 1, tag.name + tag.length);
    a->number = c.Number();
    if (c.AtEnd()) {
        return true;
    }
    if (c.Peek() != ',')
        return false;
    c.Skip();
    a->x = c.Number();
    if (c.Peek() != ',')
        return false;
    c.Skip();
    a->y = c.Number();
    if (c.AtEnd()) {
        return true;
    }
    if (c.Peek() != ',')
        return false;
    c.Skip();
    if (!c.Hex4(&a->id) || !c.AtEnd())
        return false;
    a->check_id = true;
    return true;
}

// Row of the graphic table holding graphic number; -1 when none does.
int GraphicRow(int64_t number) {
    using namespace multi_objects;
    if (number < 1 || number > 255) {
        return -1;
    }
    for (uint32_t i = 0; i < kGraphicRows; ++i) {
        if (Nv(GraphicNumber(i)) == number) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

}  // namespace

MultiParseResult TagGraphic(Scan& scan, const Tag& tag) {
    using namespace multi_objects;
    CMessage& m = *scan.message;
    GraphicArguments a{};
    if (!ReadGraphic(tag, &a)) {
        return kMultiUnsupportedTagValue;
    }
    const int row = GraphicRow(a.number);
    if (row < 0) {
        return kMultiGraphicNotDefined;
    }
    const uint32_t r = static_cast<uint32_t>(row);
    const uint32_t status = Nv(GraphicStatus(r));
    if (status != 4 && status != 5 && status != 6) {
        return kMultiGraphicNotDefined;
    }
    const uint32_t row_id = Nv(GraphicId(r));
    if (a.check_id && a.id != row_id) {
        return kMultiGraphicId;
    }
    const int64_t width = Nv(GraphicWidth(r));
    const int64_t height = Nv(GraphicHeight(r));
    if (a.x < 1 || a.y < 1 || a.x + width - 1 > SignWidth() || a.y + height - 1 > SignHeight()) {
        return kMultiUnsupportedTagValue;
    }
    m.ClearElement();
    m.element_kind = kElementGraphic;
    m.element.graphic_number = static_cast<uint8_t>(a.number);
    m.element.graphic_id = static_cast<uint16_t>(row_id);
    m.element.x = static_cast<int32_t>(a.x);
    m.element.y = static_cast<int32_t>(a.y);
    return Deliver(scan);
}

}  // namespace multi
