// Number lists, replacement and comparisons over arbitrary text.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "runtime/text_util.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) {
        return 0;
    }
    const size_t capacity = data[0] % 16;
    const size_t cut = data[1] % (size - 1);
    const std::string text(reinterpret_cast<const char*>(data + 2), size - 2);
    // The length may exceed the text: the scan stops at its terminator.
    std::vector<uint32_t> values(capacity + 1);
    size_t count = 0;
    ParseDecimalList(text.c_str(), text.size() + cut, values.data(), capacity, &count);
    if (count > capacity) {
        __builtin_trap();
    }
    const std::string find = text.substr(0, cut % 4);
    std::vector<char> out(text.size() + cut);
    StrReplaceAll(text.c_str(), find.c_str(), "\r\n", out.data(), out.size());
    if (!out.empty() && out.back() != '\0' && out[0] != '\0') {
        bool terminated = false;
        for (char c : out) {
            terminated = terminated || c == '\0';
        }
        if (!terminated) {
            __builtin_trap();
        }
    }
    StrNCaseCmp(text.c_str(), find.c_str(), size);
    HexStringToUint(text.c_str());
    return 0;
}
