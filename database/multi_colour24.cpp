#include "database/multi_colour24.h"

namespace {
constexpr uint32_t kClassic[10] = {0x000000, 0x0000F8, 0x00C0F8, 0x00F800, 0xC0C000,
                                   0xF80000, 0xC000C0, 0xFFFFFF, 0x0060F8, 0x00D9FF};
}  // namespace

bool multi_is_two_colour_module(uint32_t moduleId) {
    switch (moduleId) {
        case 11:
        case 12:
        case 98:
        case 99:
        case 100:
        case 101:
            return true;
        default:
            return false;
    }
}

uint32_t multi_colour_to_rgb24(uint32_t number, uint32_t moduleId) {
    if (multi_is_two_colour_module(moduleId)) {
        switch (number) {
            case 1:
                return 0x0000F8;
            case 8:
                return 0x00FFFF;
            case 9:
                return 0x00FF00;
            default:
                return 0;
        }
    }
    return number < 10 ? kClassic[number] : 0;
}

uint32_t multi_rgb24_to_rgb15(uint32_t rgb24) {
    const uint32_t red = rgb24 & 0xFF;
    const uint32_t green = rgb24 >> 8 & 0xFF;
    const uint32_t blue = rgb24 >> 16 & 0xFF;
    return red >> 3 | (green >> 3) << 5 | (blue >> 3) << 10;
}
