#include "render/bmp_image.h"

namespace {

constexpr uint32_t kFileHeaderSize = 14;
constexpr uint32_t kInfoHeaderSize = 40;
constexpr uint32_t kMaxHeaderSize = 1024;
constexpr int64_t kMaxDimension = 1 << 16;

uint16_t Le16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

uint32_t Le32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

uint32_t Rgb15(uint32_t red, uint32_t green, uint32_t blue) {
    return (red >> 3) | (green >> 3) << 5 | (blue >> 3) << 10;
}

}  // namespace

BmpResult BmpDecode(const uint8_t* data, uint32_t size, BmpImage& image) {
    image = BmpImage{};
    if (data == nullptr || size < kFileHeaderSize + kInfoHeaderSize) {
        return BmpResult::kTruncated;
    }
    if (data[0] != 'B' || data[1] != 'M') {
        return BmpResult::kNotBmp;
    }
    const uint32_t headerSize = Le32(data + 14);
    if (headerSize < kInfoHeaderSize || headerSize > kMaxHeaderSize) {
        return BmpResult::kNotBmp;
    }
    const uint64_t headersEnd = uint64_t{kFileHeaderSize} + headerSize;
    if (headersEnd > size) {
        return BmpResult::kTruncated;
    }
    const int64_t width = static_cast<int32_t>(Le32(data + 18));
    int64_t height = static_cast<int32_t>(Le32(data + 22));
    const uint16_t planes = Le16(data + 26);
    const uint16_t bits = Le16(data + 28);
    const uint32_t compression = Le32(data + 30);
    const uint32_t coloursUsed = Le32(data + 46);
    const uint32_t offset = Le32(data + 10);

    if (bits != 8 && bits != 24) {
        return BmpResult::kUnsupported;
    }
    if (planes != 1 || compression != 0) {
        return BmpResult::kUnsupported;
    }
    const bool topDown = height < 0;
    if (topDown) {
        height = -height;
    }
    if (width <= 0 || height <= 0 || width > kMaxDimension || height > kMaxDimension) {
        return BmpResult::kBadGeometry;
    }

    uint64_t paletteEnd = headersEnd;
    if (bits == 8) {
        const uint32_t count = coloursUsed == 0 ? 256 : coloursUsed;
        if (count > 256) {
            return BmpResult::kBadPalette;
        }
        paletteEnd = headersEnd + uint64_t{4} * count;
        if (paletteEnd > size) {
            return BmpResult::kTruncated;
        }
        image.palette = data + headersEnd;
        image.paletteCount = count;
    }
    if (offset < paletteEnd) {
        return BmpResult::kBadPalette;
    }
    const uint64_t stride = (static_cast<uint64_t>(width) * bits + 31) / 32 * 4;
    if (uint64_t{offset} + stride * static_cast<uint64_t>(height) > size) {
        return BmpResult::kTruncated;
    }

    image.width = static_cast<int32_t>(width);
    image.height = static_cast<int32_t>(height);
    image.topDown = topDown;
    image.bitsPerPixel = bits;
    image.pixels = data + offset;
    image.stride = static_cast<uint32_t>(stride);

    if (bits == 8 && image.paletteCount < 256) {
        for (int32_t row = 0; row < image.height; ++row) {
            const uint8_t* stored = image.pixels + static_cast<uint64_t>(row) * image.stride;
            for (int32_t column = 0; column < image.width; ++column) {
                if (stored[column] >= image.paletteCount) {
                    image = BmpImage{};
                    return BmpResult::kIndexOutOfRange;
                }
            }
        }
    }
    return BmpResult::kOk;
}

uint32_t BmpColour(const BmpImage& image, int32_t column, int32_t row) {
    if (column < 0 || row < 0 || column >= image.width || row >= image.height) {
        return 0;
    }
    const int32_t storedRow = image.topDown ? row : image.height - 1 - row;
    const uint8_t* stored = image.pixels + static_cast<uint64_t>(storedRow) * image.stride;
    if (image.bitsPerPixel == 24) {
        const uint8_t* p = stored + static_cast<uint64_t>(column) * 3;
        return Rgb15(p[2], p[1], p[0]);
    }
    const uint8_t* entry = image.palette + uint32_t{stored[column]} * 4;
    return Rgb15(entry[2], entry[1], entry[0]);
}
