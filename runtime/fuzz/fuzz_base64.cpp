// Decodes and re-encodes arbitrary text.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "runtime/base64.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const char* text = reinterpret_cast<const char*>(data);
    std::vector<uint8_t> bytes((3 * size + 6) / 4);
    size_t length = 0;
    if (Base64Decode(text, size, bytes.data(), bytes.size(), &length) != kBase64Ok) {
        __builtin_trap();
    }
    std::vector<char> again(4 * (length / 3 + 1) + 1);
    size_t encoded = 0;
    Base64Encode(bytes.data(), length, again.data(), again.size(), &encoded);
    // A too small out buffer must be refused, never overrun.
    if (size > 0) {
        Base64Decode(text, size, bytes.data(), bytes.size() - 1, &length);
    }
    return 0;
}
