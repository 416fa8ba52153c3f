#pragma once
// The lexical level of MULTI: characters, the extent of a tag, and a cursor that reads the
// numbers and hexadecimal codes inside a tag.

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "render/multi_parse_result.h"

namespace multi {

inline char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}
inline bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
inline bool IsBlank(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

bool EqualNoCase(const char* a, uint32_t length, const char* b);
bool StartsNoCase(const char* a, uint32_t length, const char* prefix);

inline uint8_t Saturate8(int64_t value) {
    return static_cast<uint8_t>(std::clamp<int64_t>(value, 0, 255));
}
inline uint16_t Saturate16(int64_t value) {
    return static_cast<uint16_t>(std::clamp<int64_t>(value, 0, 65535));
}

// Copies at most size - 1 bytes and terminates.
void CopyText(char* destination, uint32_t size, const char* source, uint32_t length);

// What the text holds at an offset.
enum class Token : uint8_t {
    kCharacter,        // a character of the page's text
    kDoubledBracket,   // "[[" or "]]": one bracket of text
    kTagOpen,          // a single "["
    kMovingTextClose,  // the single "]" that ends an open moving text
    kStrayClose,       // a single "]" outside a tag
};
Token Classify(const char* text, uint32_t length, uint32_t offset, bool moving_text_open);

// Offset of the bracket that closes the tag whose name starts at name; moving text ([mv...])
// may hold doubled brackets and tags of its own. kMultiUnsupportedTag when the tag never closes
// or holds a stray "[".
MultiParseResult FindTagEnd(const char* text, uint32_t length, uint32_t name, uint32_t* close);

// Reads tag text within [begin, end): numbers as a standard decimal conversion (leading blanks
// and a sign accepted, saturating) followed by a skip of the digits at the cursor.
class Cursor {
public:
    Cursor(const char* begin, const char* end) : m_p(begin), m_end(end) {}

    bool AtEnd() const { return m_p >= m_end; }
    char Peek() const { return AtEnd() ? '\0' : *m_p; }
    bool HasDigit() const { return !AtEnd() && IsDigit(*m_p); }
    void Skip(uint32_t n = 1) { m_p = (static_cast<uint32_t>(m_end - m_p) > n) ? m_p + n : m_end; }
    uint32_t Left() const { return static_cast<uint32_t>(m_end - m_p); }
    const char* Position() const { return m_p; }

    int64_t Number();
    // Exactly four hexadecimal digits of either case.
    bool Hex4(uint32_t* value);

private:
    const char* m_p;
    const char* m_end;
};

}  // namespace multi
