// Any bytes as a photocell file: a level is read only from a leading number and never above
// 65535.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "platform/sim/photocell.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    uint16_t level = 7;
    const bool read = sim::ParseLightLevel(reinterpret_cast<const char*>(data), size, &level);
    if (!read && level != 7) {
        std::abort();
    }
    return 0;
}
