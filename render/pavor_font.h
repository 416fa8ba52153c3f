#pragma once
// Fonts in the .FNT format: the two built-in fonts that seed the font table.
//
// .FNT layout: bytes 0-159 header and name (not read), 160 height, 161 line spacing, 162
// character spacing, 176-431 the byte count of each code's glyph, glyphs from byte 432 in code
// order. A glyph is stored column by column from the left, (height + 7) / 8 bytes per column,
// bit 0 of a column's first byte the top row.

#include <cstdint>

#include "render/font_base.h"

class CGPBuffer;

class CPavorFontBase : public CFontBase {
public:
    static constexpr uint32_t kHeaderOffset = 144;
    static constexpr uint32_t kGlyphOffset = 432;

    // Reads the .FNT image of size bytes (kept, not copied). False, leaving the font empty,
    // when the image is too short for its header or for the glyphs its counts announce.
    bool SetImage(const uint8_t* image, uint32_t size);

    int Height() override;
    int CharWidth(uint8_t code) override;
    bool PixelIsSet(uint8_t code, int column, int row) override;
    int CharSpacing() override;
    int LineSpacing() override;

protected:
    void ClearImage();

    const uint8_t* m_image = nullptr;
    const uint8_t* m_header = nullptr;  // byte 144 of the image
    const uint8_t* m_glyphs = nullptr;  // byte 432 of the image
    uint16_t m_offsets[257] = {};       // start of each code's glyph within the glyph data
};

// One of the built-in fonts, inflated into a buffer of the general-purpose pool while loaded.
// Outside the firmware (host tools, tests without a booted kernel) the pool is not created;
// the buffer then comes from the heap.
class CPavorFont : public CPavorFontBase {
public:
    static constexpr uint32_t kBufferSize = 256 * 1024;
    static constexpr uint32_t kNameSize = 50;

    CPavorFont() = default;
    ~CPavorFont() override;
    CPavorFont(const CPavorFont&) = delete;
    CPavorFont& operator=(const CPavorFont&) = delete;

    // Inflates the built-in font of that file name ("14X10_NARROW.FNT" when none matches).
    // False for a null name or one of 50 characters or more (no buffer taken), when the pool
    // has no buffer free, or when the font does not inflate to a readable image.
    bool Load(const char* fileName);
    // Returns the buffer to the pool.
    void Free();
    const char* Name() override { return m_name; }
    // Whether a buffer is held.
    bool HoldsBuffer() const { return m_buffer != nullptr; }

    // The pool Load takes its buffer from; null for g_GpBuffer (tests give their own).
    static void UsePool(CGPBuffer* pool);

private:
    char m_name[kNameSize] = {};
    uint8_t* m_buffer = nullptr;
    CGPBuffer* m_pool = nullptr;  // where m_buffer came from; null for the heap
};
