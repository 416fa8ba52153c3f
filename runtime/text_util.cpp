#include "runtime/text_util.h"

#include <cstring>

namespace {
unsigned char Fold(char c) {
    const auto u = static_cast<unsigned char>(c);
    return (u >= 'A' && u <= 'Z') ? static_cast<unsigned char>(u + ('a' - 'A')) : u;
}
}  // namespace

int StrCaseCmp(const char* a, const char* b) {
    if (a == nullptr || b == nullptr) {
        return (a == nullptr ? 0 : 1) - (b == nullptr ? 0 : 1);
    }
    for (;; ++a, ++b) {
        const int d = Fold(*a) - Fold(*b);
        if (d != 0 || *a == '\0') {
            return d;
        }
    }
}

int StrNCaseCmp(const char* a, const char* b, size_t n) {
    if (a == nullptr || b == nullptr) {
        return (a == nullptr ? 0 : 1) - (b == nullptr ? 0 : 1);
    }
    for (size_t i = 0; i < n; ++i) {
        const unsigned char x = Fold(a[i]);
        const unsigned char y = Fold(b[i]);
        if (x != y) {
            return x < y ? -1 : 1;
        }
        if (x == '\0') {
            break;
        }
    }
    return 0;
}

void StrToLower(char* text, size_t length) {
    if (text == nullptr) {
        return;
    }
    for (size_t i = 0; i < length && text[i] != '\0'; ++i) {
        text[i] = static_cast<char>(Fold(text[i]));
    }
}

int StrReplaceAll(const char* text, const char* find, const char* replace, char* out,
                  size_t outSize) {
    if (text == nullptr || find == nullptr || replace == nullptr || out == nullptr) {
        return -2;
    }
    std::memset(out, 0, outSize);
    const size_t findLength = std::strlen(find);
    if (findLength == 0) {
        return -3;
    }
    const size_t replaceLength = std::strlen(replace);
    size_t used = 0;
    int replaced = 0;
    auto append = [&](const char* from, size_t n) {
        if (n >= outSize - used) {
            return false;
        }
        std::memcpy(out + used, from, n);
        used += n;
        return true;
    };
    if (outSize == 0) {
        return -1;
    }
    while (*text != '\0') {
        if (std::strncmp(text, find, findLength) == 0) {
            if (!append(replace, replaceLength)) {
                std::memset(out, 0, outSize);
                return -1;
            }
            text += findLength;
            replaced = 1;
        } else {
            if (!append(text, 1)) {
                std::memset(out, 0, outSize);
                return -1;
            }
            ++text;
        }
    }
    out[used] = '\0';
    return replaced;
}

unsigned HexDigitValue(char c) {
    if (c >= '0' && c <= '9') {
        return static_cast<unsigned>(c - '0');
    }
    if (c >= 'A' && c <= 'F') {
        return static_cast<unsigned>(c - 'A' + 10);
    }
    if (c >= 'a' && c <= 'f') {
        return static_cast<unsigned>(c - 'a' + 10);
    }
    return 0;
}

uint32_t HexStringToUint(const char* text) {
    if (text == nullptr) {
        return 0;
    }
    uint32_t value = 0;
    for (; *text != '\0'; ++text) {
        value = (value << 4) + HexDigitValue(*text);
    }
    return value;
}

int ParseDecimalList(const char* text, size_t length, uint32_t* values, size_t capacity,
                     size_t* count) {
    if (text == nullptr || values == nullptr || count == nullptr) {
        return kParseMissingArgument;
    }
    std::memset(values, 0, capacity * sizeof *values);
    *count = 0;
    size_t i = 0;
    while (i < length && text[i] != '\0') {
        if (text[i] < '0' || text[i] > '9') {
            ++i;
            continue;
        }
        uint64_t value = 0;
        for (; i < length && text[i] >= '0' && text[i] <= '9'; ++i) {
            value = value * 10 + static_cast<uint64_t>(text[i] - '0');
            if (value > UINT32_MAX) {
                value = uint64_t{UINT32_MAX} + 1;
            }
        }
        if (*count == capacity) {
            return kParseTooMany;
        }
        values[(*count)++] = value > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(value);
    }
    return kParseOk;
}

bool IsLeapYear(unsigned year) {
    return year % 4 == 0 && (year % 400 == 0 || year % 100 != 0);
}
