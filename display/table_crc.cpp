#include "display/table_crc.h"

#include <vector>

#include "database/object_ids.h"
#include "runtime/crc16.h"

namespace table_crc {

namespace {

constexpr unsigned kFinalOptions = 1 | kCrc16Invert | kCrc16Swap;

uint16_t Finish(Crc16State& state) {
    uint16_t value = 0;
    Crc16Final(&state, &value, kFinalOptions);
    Crc16Close(&state);
    return value;
}

}  // namespace

uint16_t MessageCrc(const void* text, uint32_t length, uint8_t beacon, uint8_t pixelService) {
    Crc16State state;
    Crc16Init(&state, 0xFFFF);
    if (length != 0) {
        Crc16Update(&state, text, length);
    }
    const uint8_t tail[2] = {beacon, pixelService};
    Crc16Update(&state, tail, sizeof tail);
    return Finish(state);
}

uint32_t GraphicBitmapSize(uint32_t type, uint32_t height, uint32_t width) {
    const uint32_t pixels = height * width;
    switch (type) {
        case 1:
            return (pixels + 7) / 8;
        case 2:
        case 3:
            return pixels;
        case 4:
            return 3 * pixels;
        default:
            return 0;
    }
}

uint32_t GraphicBlockCount(uint32_t bitmapSize, uint32_t blockSize) {
    if (blockSize == 0) {
        return 0;
    }
    const uint32_t blocks = (bitmapSize + blockSize - 1) / blockSize;
    return blocks < kBlocksPerGraphic ? blocks : kBlocksPerGraphic;
}

uint16_t GraphicId(const CDataBase& db, uint32_t g) {
    const uint32_t height = db.Get(dbo::dmsGraphicHeight, g);
    const uint32_t width = db.Get(dbo::dmsGraphicWidth, g);
    const uint32_t type = db.Get(dbo::dmsGraphicType, g);
    uint8_t colour[3] = {};
    db.ReadString(dbo::dmsGraphicTransparentColor.Row(g), dbo::dmsGraphicTransparentColor.image,
                  colour, sizeof colour);
    const uint8_t head[] = {uint8_t(db.Get(dbo::dmsGraphicNumber, g)),
                            uint8_t(height >> 8),
                            uint8_t(height),
                            uint8_t(width >> 8),
                            uint8_t(width),
                            uint8_t(type),
                            uint8_t(db.Get(dbo::dmsGraphicTransparentEnabled, g)),
                            colour[0],
                            colour[1],
                            colour[2]};
    Crc16State state;
    Crc16Init(&state, 0xFFFF);
    Crc16Update(&state, head, sizeof head);
    const uint32_t blocks =
        GraphicBlockCount(GraphicBitmapSize(type, height, width), db.Get(dbo::dmsGraphicBlockSize));
    uint8_t small[1024];
    std::vector<uint8_t> large;
    for (uint32_t b = 0; b < blocks; ++b) {
        const uint32_t id = dbo::dmsGraphicBlockBitmap.Row(kBlocksPerGraphic * g + b);
        const DbImage image = dbo::dmsGraphicBlockBitmap.image;
        uint32_t length = db.ReadString(id, image, small, sizeof small);
        const uint8_t* octets = small;
        if (length > sizeof small) {
            large.resize(length);
            length = db.ReadString(id, image, large.data(), length);
            octets = large.data();
            if (length > large.size()) {
                continue;  // replaced meanwhile; the pass sees the new value next time
            }
        }
        Crc16Update(&state, octets, length);
    }
    return Finish(state);
}

}  // namespace table_crc
