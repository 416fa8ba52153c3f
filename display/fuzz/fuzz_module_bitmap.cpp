// Any module answer as a failure bitmap: every bit decodes inside the line or not at all.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "display/module_register_access.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) {
        return 0;
    }
    const uint32_t modules = data[0];
    const bool wide = (data[1] & 1) != 0;
    std::vector<uint16_t> bitmap((size - 2) / 2);
    for (size_t i = 0; i < bitmap.size(); ++i) {
        bitmap[i] = uint16_t(data[2 + 2 * i] << 8 | data[3 + 2 * i]);
    }
    const uint32_t words = uint32_t(bitmap.size());
    const uint32_t size16 = wide ? 16 : 8;
    // Bits beyond the bitmap as well: they must decode to nothing.
    for (uint32_t b = 0; b < words * 16 + 32; ++b) {
        ModulePixel at{0xFFFF, 0xFFFF};
        const uint32_t set = wide ? ModuleBitToPixel128(b, bitmap.data(), words, &at, modules)
                                  : ModuleBitToPixel64(b, bitmap.data(), words, &at, modules);
        if (at.x != 0xFFFF && (at.x >= size16 * modules || at.y >= 8)) {
            std::abort();
        }
        if (set != 0 && b >= words * 16) {
            std::abort();
        }
    }
    return 0;
}
