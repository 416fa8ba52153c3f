#pragma once
// Golden images of rendered frames: a sheet of frames stacked top to bottom (a grey row
// between frames), each sign pixel drawn as a 4 x 4 block, stored as an 8-bit RGB PNG.
// DMS_UPDATE_GOLDEN=1 in the environment writes the images instead of comparing.

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "render/surface.h"

namespace golden {

constexpr uint32_t kScale = 4;
constexpr uint32_t kSeparator = 0x4210;  // grey

struct Sheet {
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<uint32_t> colours;  // 15-bit

    void Add(const CSurface& surface) {
        if (width == 0) {
            width = static_cast<uint32_t>(surface.Width());
        }
        if (height != 0) {
            colours.insert(colours.end(), width, kSeparator);
            ++height;
        }
        for (int32_t y = 0; y < surface.Height(); ++y) {
            for (uint32_t x = 0; x < width; ++x) {
                uint32_t c = surface.GetPixel(static_cast<int32_t>(x), y);
                c = surface.BitsPerPixel() == 15
                        ? c >> 16
                        : (c != 0 && surface.BitsPerPixel() == 1 ? 0x7FFF : c);
                colours.push_back(c);
            }
            ++height;
        }
    }

    std::vector<uint8_t> Rgb() const {
        std::vector<uint8_t> rgb;
        rgb.reserve(size_t{width} * height * kScale * kScale * 3);
        for (uint32_t y = 0; y < height * kScale; ++y) {
            for (uint32_t x = 0; x < width * kScale; ++x) {
                const uint32_t c = colours[size_t{y / kScale} * width + x / kScale];
                for (uint32_t shift : {0u, 5u, 10u}) {
                    const uint32_t v = c >> shift & 31;
                    rgb.push_back(static_cast<uint8_t>(v << 3 | v >> 2));
                }
            }
        }
        return rgb;
    }
};

inline void PutBe32(std::vector<uint8_t>& out, uint32_t v) {
    for (int s = 24; s >= 0; s -= 8) {
        out.push_back(static_cast<uint8_t>(v >> s));
    }
}

inline void Chunk(std::vector<uint8_t>& out, const char* type, const std::vector<uint8_t>& data) {
    PutBe32(out, static_cast<uint32_t>(data.size()));
    const size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    PutBe32(out, static_cast<uint32_t>(
                     crc32(0, out.data() + start, static_cast<uInt>(out.size() - start))));
}

inline std::vector<uint8_t> EncodePng(uint32_t width, uint32_t height,
                                      const std::vector<uint8_t>& rgb) {
    std::vector<uint8_t> raw;
    for (uint32_t y = 0; y < height; ++y) {
        raw.push_back(0);
        raw.insert(raw.end(), rgb.begin() + y * width * 3, rgb.begin() + (y + 1) * width * 3);
    }
    uLongf size = compressBound(static_cast<uLong>(raw.size()));
    std::vector<uint8_t> z(size);
    compress2(z.data(), &size, raw.data(), static_cast<uLong>(raw.size()), 9);
    z.resize(size);
    std::vector<uint8_t> out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<uint8_t> ihdr;
    PutBe32(ihdr, width);
    PutBe32(ihdr, height);
    ihdr.insert(ihdr.end(), {8, 2, 0, 0, 0});
    Chunk(out, "IHDR", ihdr);
    Chunk(out, "IDAT", z);
    Chunk(out, "IEND", {});
    return out;
}

inline uint32_t Be32(const uint8_t* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

// Decodes an 8-bit RGB, non-interlaced PNG (any filter); false for anything else.
inline bool DecodePng(const std::vector<uint8_t>& png, uint32_t& width, uint32_t& height,
                      std::vector<uint8_t>& rgb) {
    if (png.size() < 8) {
        return false;
    }
    std::vector<uint8_t> z;
    size_t p = 8;
    while (p + 12 <= png.size()) {
        const uint32_t length = Be32(&png[p]);
        if (p + 12 + length > png.size()) {
            return false;
        }
        const std::string type(png.begin() + p + 4, png.begin() + p + 8);
        const uint8_t* data = &png[p + 8];
        if (type == "IHDR") {
            width = Be32(data);
            height = Be32(data + 4);
            if (data[8] != 8 || data[9] != 2 || data[12] != 0) {
                return false;
            }
        } else if (type == "IDAT") {
            z.insert(z.end(), data, data + length);
        }
        p += 12 + length;
    }
    const size_t stride = size_t{width} * 3;
    std::vector<uint8_t> raw((stride + 1) * height);
    uLongf size = static_cast<uLongf>(raw.size());
    if (uncompress(raw.data(), &size, z.data(), static_cast<uLong>(z.size())) != Z_OK ||
        size != raw.size()) {
        return false;
    }
    rgb.assign(stride * height, 0);
    for (uint32_t y = 0; y < height; ++y) {
        const uint8_t filter = raw[y * (stride + 1)];
        const uint8_t* in = &raw[y * (stride + 1) + 1];
        uint8_t* out = &rgb[y * stride];
        const uint8_t* up = y > 0 ? &rgb[(y - 1) * stride] : nullptr;
        for (size_t i = 0; i < stride; ++i) {
            const int a = i >= 3 ? out[i - 3] : 0;
            const int b = up != nullptr ? up[i] : 0;
            const int c = i >= 3 && up != nullptr ? up[i - 3] : 0;
            int predictor = 0;
            switch (filter) {
                case 0:
                    predictor = 0;
                    break;
                case 1:
                    predictor = a;
                    break;
                case 2:
                    predictor = b;
                    break;
                case 3:
                    predictor = (a + b) / 2;
                    break;
                case 4: {
                    const int pa = std::abs(b - c), pb = std::abs(a - c),
                              pc = std::abs(a + b - 2 * c);
                    predictor = pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
                    break;
                }
                default:
                    return false;
            }
            out[i] = static_cast<uint8_t>(in[i] + predictor);
        }
    }
    return true;
}

inline std::string PathOf(const std::string& name) {
    return std::string(DMS_TEST_DATA_DIR) + "/../golden/" + name + ".png";
}

// Compares the sheet with the golden image of that name, pixel for pixel.
inline void Expect(const std::string& name, const Sheet& sheet) {
    const std::vector<uint8_t> rgb = sheet.Rgb();
    const uint32_t w = sheet.width * kScale;
    const uint32_t h = sheet.height * kScale;
    const char* update = std::getenv("DMS_UPDATE_GOLDEN");
    if (update != nullptr && update[0] == '1') {
        const std::vector<uint8_t> png = EncodePng(w, h, rgb);
        std::ofstream(PathOf(name), std::ios::binary)
            .write(reinterpret_cast<const char*>(png.data()),
                   static_cast<std::streamsize>(png.size()));
        return;
    }
    std::ifstream in(PathOf(name), std::ios::binary);
    ASSERT_TRUE(in) << "no golden image " << PathOf(name);
    const std::vector<uint8_t> png((std::istreambuf_iterator<char>(in)), {});
    uint32_t gw = 0, gh = 0;
    std::vector<uint8_t> golden;
    ASSERT_TRUE(DecodePng(png, gw, gh, golden)) << name;
    ASSERT_EQ(gw, w) << name;
    ASSERT_EQ(gh, h) << name;
    size_t differing = 0;
    size_t first = 0;
    for (size_t i = 0; i < rgb.size(); i += 3) {
        if (rgb[i] != golden[i] || rgb[i + 1] != golden[i + 1] || rgb[i + 2] != golden[i + 2]) {
            if (differing++ == 0) {
                first = i / 3;
            }
        }
    }
    EXPECT_EQ(differing, 0u) << name << ": first difference at sign pixel (" << first % w / kScale
                             << ", " << first / w / kScale << ")";
}

}  // namespace golden
