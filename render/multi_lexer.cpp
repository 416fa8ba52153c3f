#include "render/multi_lexer.h"

namespace multi {

namespace {
constexpr int64_t kNumberLimit = 0x7FFFFFFF;
}  // namespace

bool EqualNoCase(const char* a, uint32_t length, const char* b) {
    return std::strlen(b) == length && StartsNoCase(a, length, b);
}

bool StartsNoCase(const char* a, uint32_t length, const char* prefix) {
    const uint32_t n = static_cast<uint32_t>(std::strlen(prefix));
    if (n > length) {
        return false;
    }
    for (uint32_t i = 0; i < n; ++i) {
        if (Lower(a[i]) != Lower(prefix[i])) {
            return false;
        }
    }
    return true;
}

void CopyText(char* destination, uint32_t size, const char* source, uint32_t length) {
    const uint32_t n = std::min(length, size - 1);
    std::memcpy(destination, source, n);
    destination[n] = '\0';
}

Token Classify(const char* text, uint32_t length, uint32_t offset, bool moving_text_open) {
    const char c = text[offset];
    const bool doubled = offset + 1 < length && text[offset + 1] == c;
    if (moving_text_open && c == ']' && !doubled) {
        return Token::kMovingTextClose;
    }
    if (c == '[') {
        return doubled ? Token::kDoubledBracket : Token::kTagOpen;
    }
    if (c == ']') {
        return doubled ? Token::kDoubledBracket : Token::kStrayClose;
    }
    return Token::kCharacter;
}

MultiParseResult FindTagEnd(const char* text, uint32_t length, uint32_t name, uint32_t* close) {
    const bool moving = length - name >= 2 && text[name] == 'm' && text[name + 1] == 'v';
    uint32_t p = name;
    for (;;) {
        if (p >= length) {
            return kMultiUnsupportedTag;
        }
        const char t = text[p];
        const bool pair = p + 1 < length && text[p + 1] == t;
        if (t == ']') {
            if (moving && pair) {
                p += 2;
                continue;
            }
            *close = p;
            return kMultiOk;
        }
        if (t == '[') {
            if (pair) {
                p += 2;
                continue;
            }
            if (!moving) {
                return kMultiUnsupportedTag;
            }
        }
        ++p;
    }
}

int64_t Cursor::Number() {
    const char* q = m_p;
    while (q < m_end && IsBlank(*q)) {
        ++q;
    }
    bool negative = false;
    if (q < m_end && (*q == '+' || *q == '-')) {
        negative = *q == '-';
        ++q;
    }
    int64_t value = 0;
    while (q < m_end && IsDigit(*q)) {
        value = std::min<int64_t>(value * 10 + (*q - '0'), kNumberLimit);
        ++q;
    }
    while (m_p < m_end && IsDigit(*m_p)) {
        ++m_p;
    }
    return negative ? -value : value;
}

bool Cursor::Hex4(uint32_t* value) {
    if (Left() < 4) {
        return false;
    }
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) {
        const char c = Lower(m_p[i]);
        uint32_t digit;
        if (IsDigit(c)) {
            digit = static_cast<uint32_t>(c - '0');
        } else if (c >= 'a' && c <= 'f') {
            digit = static_cast<uint32_t>(c - 'a' + 10);
        } else {
            return false;
        }
        v = v * 16 + digit;
    }
    m_p += 4;
    *value = v;
    return true;
}

}  // namespace multi
