// Random bytes as telnet input, split into two segments at the first byte's value.

#include <cstddef>
#include <cstdint>
#include <string>

#include "comm/telnet_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) {
        return 0;
    }
    const size_t split = data[0] % size;
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    CTelnetInput input;
    std::string out;
    std::string answer;
    input.Take(bytes.substr(0, split), &out, &answer);
    input.Take(bytes.substr(split), &out, &answer);
    if (out.size() > size || answer.size() > size * 3) {
        __builtin_trap();
    }
    return 0;
}
