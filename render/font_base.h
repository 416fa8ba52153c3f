#pragma once
// The one interface through which text is measured and drawn.

#include <cstdint>

class CFontBase {
public:
    virtual ~CFontBase() = default;
    // Font height in pixels.
    virtual int Height() = 0;
    // Width of the character in pixels; 0 for an undefined character.
    virtual int CharWidth(uint8_t code) = 0;
    // Whether the glyph pixel is lit; false outside the glyph.
    virtual bool PixelIsSet(uint8_t code, int column, int row) = 0;
    // Pixels between characters.
    virtual int CharSpacing() = 0;
    // Pixels between lines.
    virtual int LineSpacing() { return 0; }
    // Name text, or null.
    virtual const char* Name() = 0;
    // Unused slot; every font answers 0.
    virtual int Reserved() { return 0; }
};
