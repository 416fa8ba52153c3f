// The boot monitor's build date text and a stored boot-loader stream, both arbitrary.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "system/boot_loader_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    int32_t age = 0;
    if (BootLoaderAge(text.c_str(), &age) && text.size() < 11) {
        __builtin_trap();  // a short text is never read
    }
    static std::vector<uint8_t> out(kBootLoaderBufferSize);
    uint32_t inflated = 0;
    if (InflateBootLoader(data, size, out.data(), uint32_t(out.size()), &inflated) &&
        inflated != kBootLoaderSize) {
        __builtin_trap();  // only a whole image is accepted
    }
    return 0;
}
