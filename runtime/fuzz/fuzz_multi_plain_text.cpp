// Plain-text preview of arbitrary MULTI text into buffers of several sizes.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "runtime/multi_plain_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) {
        return 0;
    }
    const size_t outSize = data[0] % 40;
    const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
    std::vector<char> out(outSize);
    MultiToPlainText(text.c_str(), out.data(), outSize);
    if (outSize > 0 && out[outSize - 1] != '\0') {
        __builtin_trap();
    }
    return 0;
}
