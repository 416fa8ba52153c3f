// The stream delimiter: any byte stream, in any cut, yields only messages that fit the buffer,
// start with a SEQUENCE and carry exactly their own encoded length.

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "comm/ber_delimiter.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) {
        return 0;
    }
    const size_t capacity = 16 + data[0] % 64 * 32;
    uint8_t* buffer = static_cast<uint8_t*>(std::malloc(capacity));
    BerDelimiter delimiter(buffer, capacity);
    for (size_t i = 1; i < size; ++i) {
        if (delimiter.Push(data[i]) != BerDelimiter::Step::kMessage) {
            continue;
        }
        const uint8_t* m = delimiter.Message();
        const size_t length = delimiter.Length();
        if (length < 2 || length > capacity || m[0] != 0x30) {
            std::abort();
        }
        size_t header = 2;
        size_t content = m[1];
        if (m[1] & 0x80) {
            header += m[1] & 0x7F;
            content = 0;
            for (size_t k = 2; k < header; ++k) {
                content = content << 8 | m[k];
            }
        }
        if (header + content != length) {
            std::abort();
        }
    }
    std::free(buffer);
    return 0;
}
