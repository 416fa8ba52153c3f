// Any dmsIllumBrightnessValues text: checked, refined and searched without reading past the
// table; a loaded table has 1 to 256 levels and a photocell search stays inside it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "display/brightness_table.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) {
        return 0;
    }
    const uint32_t maxPhotocell = uint32_t(data[0]) << 8 | data[1];
    CBrightnessTable table;
    const uint32_t error = table.Load(data + 2, uint32_t(size - 2), maxPhotocell);
    if (error != CBrightnessTable::kErrorNone) {
        if (table.Count() != 0) {
            std::abort();
        }
        return 0;
    }
    table.Refine();
    if (table.Count() < 1 || table.Count() > CBrightnessTable::kMaxEntries) {
        std::abort();
    }
    table.Restart();
    for (uint32_t p = 0; p <= 0xFFFF; p += 97) {
        uint32_t brightness = 0;
        table.SelectForPhotocell(p, &brightness);
        if (table.Index() >= table.Count()) {
            std::abort();
        }
    }
    return 0;
}
