#pragma once
// Texts the fields of a page produced in its measuring pass. The drawing pass draws these same
// texts, so a value that changes between the two passes cannot disturb the layout.

#include <cstdint>

struct render_scan_texts {
    static constexpr uint32_t kTexts = 32;  // later fields of a page are read again
    static constexpr uint32_t kSize = 51;   // 50 bytes and a terminator

    char text[kTexts][kSize] = {};
    uint8_t length[kTexts] = {};
    uint32_t measured = 0;  // texts kept by the measuring pass
    uint32_t next = 0;      // index of the next produced text in this pass
};
