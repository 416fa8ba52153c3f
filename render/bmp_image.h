#pragma once
// Reading an uncompressed 8- or 24-bit Windows BMP held in memory. Files arrive by file
// transfer, so every header field is checked against the bytes actually present.

#include <cstdint>

struct BmpImage {
    int32_t width = 0;
    int32_t height = 0;         // rows, always positive
    bool topDown = false;       // rows stored from the top (negative height in the file)
    uint16_t bitsPerPixel = 0;  // 8 or 24
    const uint8_t* pixels = nullptr;
    uint32_t stride = 0;  // bytes per stored row, a multiple of 4
    const uint8_t* palette = nullptr;
    uint32_t paletteCount = 0;
};

enum class BmpResult {
    kOk,
    kTruncated,       // a header, the palette or the pixel rows run past the end
    kNotBmp,          // no "BM" signature or an unknown information header
    kBadGeometry,     // width or height zero, negative or absurd
    kUnsupported,     // a depth other than 8 or 24, compression, several planes
    kBadPalette,      // palette larger than 256 entries or overlapping the pixels
    kIndexOutOfRange  // an 8-bit pixel names a colour past the palette
};

// Decodes the headers and checks the whole image; on kOk the image can be read with BmpColour.
BmpResult BmpDecode(const uint8_t* data, uint32_t size, BmpImage& image);

// 15-bit colour of the pixel at column, row counted from the top of the picture.
uint32_t BmpColour(const BmpImage& image, int32_t column, int32_t row);
