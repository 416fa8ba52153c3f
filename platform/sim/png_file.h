#pragma once
// 8-bit RGB PNG files (libpng). Writing goes to a temporary file that is renamed over the
// target, so a reader never sees half a file.

#include <cstdint>
#include <string>
#include <vector>

namespace sim {

struct RgbImage {
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<uint8_t> rgb;  // width x height x 3, rows top to bottom
};

bool WritePng(const std::string& path, const RgbImage& image);
// False for a missing or malformed file; any depth or colour type is converted to 8-bit RGB.
bool ReadPng(const std::string& path, RgbImage* image);

// The picture of a sign: each LED a round dot of kLedCell x kLedCell picture pixels on black,
// its colour scaled by the brightness (percent, cut to 100). pixels: blue, green, red bytes.
inline constexpr uint32_t kLedCell = 8;
RgbImage RenderLeds(uint16_t width, uint16_t height, const uint8_t* pixels, uint16_t brightness);
// Centre of LED (x, y) in the picture.
inline uint32_t LedCentre(uint32_t led) {
    return led * kLedCell + kLedCell / 2;
}

}  // namespace sim
