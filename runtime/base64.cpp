#include "runtime/base64.h"

namespace {
constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

uint8_t Value(char c) {
    if (c >= 'A' && c <= 'Z') {
        return static_cast<uint8_t>(c - 'A');
    }
    if (c >= 'a' && c <= 'z') {
        return static_cast<uint8_t>(c - 'a' + 26);
    }
    if (c >= '0' && c <= '9') {
        return static_cast<uint8_t>(c - '0' + 52);
    }
    if (c == '+') {
        return 62;
    }
    if (c == '/') {
        return 63;
    }
    return 0;
}
}  // namespace

int Base64Encode(const void* bytes, size_t length, char* text, size_t size, size_t* outLength) {
    if (outLength == nullptr || (bytes == nullptr && length != 0)) {
        return kBase64MissingArgument;
    }
    const size_t groups = length / 3 + (length % 3 != 0 ? 1 : 0);
    const size_t needed = 4 * groups;
    *outLength = needed;
    if (text == nullptr || needed + 1 > size || groups > (SIZE_MAX - 1) / 4) {
        return kBase64NoRoom;
    }
    const auto* in = static_cast<const uint8_t*>(bytes);
    char* out = text;
    for (size_t i = 0; i < length; i += 3) {
        const size_t left = length - i;
        const uint32_t b0 = in[i];
        const uint32_t b1 = left > 1 ? in[i + 1] : 0;
        const uint32_t b2 = left > 2 ? in[i + 2] : 0;
        const uint32_t word = (b0 << 16) | (b1 << 8) | b2;
        *out++ = kAlphabet[(word >> 18) & 0x3F];
        *out++ = kAlphabet[(word >> 12) & 0x3F];
        *out++ = left > 1 ? kAlphabet[(word >> 6) & 0x3F] : '=';
        *out++ = left > 2 ? kAlphabet[word & 0x3F] : '=';
    }
    *out = '\0';
    return kBase64Ok;
}

int Base64Decode(const char* text, size_t length, void* bytes, size_t size, size_t* outLength) {
    if (outLength == nullptr || (text == nullptr && length != 0)) {
        return kBase64MissingArgument;
    }
    *outLength = 0;
    if (length > (SIZE_MAX - 6) / 3 || (3 * length + 6) / 4 > size ||
        (bytes == nullptr && length != 0)) {
        return kBase64NoRoom;
    }
    auto* out = static_cast<uint8_t*>(bytes);
    size_t written = 0;
    for (size_t i = 0; i + 4 <= length; i += 4) {
        const char* g = text + i;
        const uint32_t word = (uint32_t{Value(g[0])} << 18) | (uint32_t{Value(g[1])} << 12) |
                              (uint32_t{Value(g[2])} << 6) | Value(g[3]);
        // "xx==" carries one byte, "xxx=" two.
        const size_t count = g[2] == '=' ? 1 : (g[3] == '=' ? 2 : 3);
        out[written++] = static_cast<uint8_t>(word >> 16);
        if (count > 1) {
            out[written++] = static_cast<uint8_t>(word >> 8);
        }
        if (count > 2) {
            out[written++] = static_cast<uint8_t>(word);
        }
    }
    *outLength = written;
    return kBase64Ok;
}
