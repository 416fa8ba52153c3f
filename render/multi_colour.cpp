#include "render/multi_colour.h"

#include "render/multi_environment.h"
#include "render/multi_objects.h"

namespace {

constexpr uint32_t kClassicColours[10] = {
    0x0000,  // 0 black
    0x001F,  // 1 red
    0x031F,  // 2 yellow
    0x03E0,  // 3 green
    0x6300,  // 4 cyan
    0x7C00,  // 5 blue
    0x6018,  // 6 magenta
    0x7FFF,  // 7 white
    0x019F,  // 8 orange
    0x037F,  // 9 amber
};

}  // namespace

uint32_t multi_colour_to_rgb15(uint32_t number) {
    return number < 10 ? kClassicColours[number] : 0;
}

uint32_t multi_rgb_to_rgb15(uint32_t red, uint32_t green, uint32_t blue) {
    return ((red & 0xFF) >> 3) | ((green & 0xFF) >> 3) << 5 | ((blue & 0xFF) >> 3) << 10;
}

uint32_t multi_default_foreground_colour() {
    const auto ref = multi_objects::kDefaultForegroundColor;
    return multi_colour_to_rgb15(MultiEnvironment().GetNv(ref.id, ref.width));
}

uint32_t multi_default_background_colour() {
    const auto ref = multi_objects::kDefaultBackgroundColor;
    return multi_colour_to_rgb15(MultiEnvironment().GetNv(ref.id, ref.width));
}
