#pragma once
// The CRCs of the message and graphic tables: the message CRC an activation code must carry and
// the graphic identifier (dmsGraphicID). Both are CRC-16 (0x1021 processed least significant bit
// first), initial value 0xFFFF, the result inverted and its two bytes swapped.

#include <cstdint>

#include "database/data_base.h"

namespace table_crc {

// Over the whole text, then the beacon byte, then the pixel service byte.
uint16_t MessageCrc(const void* text, uint32_t length, uint8_t beacon, uint8_t pixelService);

inline constexpr uint32_t kGraphics = 50;
inline constexpr uint32_t kBlocksPerGraphic = 63;

// Bytes of a graphic's bitmap by type (1 monochrome1bit, 2 monochrome8bit, 3 colorClassic,
// 4 color24bit); 0 for any other type.
uint32_t GraphicBitmapSize(uint32_t type, uint32_t height, uint32_t width);

// Bitmap blocks the identifier covers: the size over the block size rounded up, never more than
// the graphic's 63 blocks (0 when the block size is 0).
uint32_t GraphicBlockCount(uint32_t bitmapSize, uint32_t blockSize);

// The identifier of graphic g (0..49) from its row of the database: number, height and width
// (2 octets each, most significant first), type, transparent enabled, transparent colour (exactly
// 3 octets, missing ones 0), then the bitmap blocks it covers, each with the octets it holds.
uint16_t GraphicId(const CDataBase& db, uint32_t g);

}  // namespace table_crc
