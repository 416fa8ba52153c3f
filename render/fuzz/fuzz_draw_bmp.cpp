// Draws arbitrary bytes as a BMP file on small surfaces of every depth.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "render/surface.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 20)) {
        return 0;
    }
    // An exact copy, so that any read past the end is caught.
    std::vector<uint8_t> image(data, data + size);
    static const uint8_t kDepths[] = {1, 2, 8, 15};
    for (uint8_t depth : kDepths) {
        CSurface surface;
        if (surface.Allocate(16, 24, depth) == nullptr) {
            return 0;
        }
        const int32_t x = size > 0 ? int8_t(data[0]) : 0;
        surface.DrawBmp(image.data(), uint32_t(image.size()), x, -3);
    }
    return 0;
}
