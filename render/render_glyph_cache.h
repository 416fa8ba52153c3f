#pragma once
// The glyphs of the font table as one page scan uses them: each width and bitmap is read from
// the object store once per scan instead of once per pixel. Forgotten at the start of every
// measuring pass, so a font changed in the store shows from the next frame on, and the drawing
// pass draws the glyphs its measuring pass measured.

#include <cstdint>

#include "render/font_base.h"
#include "render/ntcip_font.h"

class CRenderGlyphCache : public CFontBase {
public:
    // Glyphs of up to this many bitmap bytes (512 pixels) are kept; larger ones are read
    // through the font table each time.
    static constexpr uint32_t kMaxGlyphBytes = 64;

    // Forgets every glyph.
    void Forget();
    // The font slot read from now on (kNoSlot: an undefined font).
    void Select(uint8_t slot);

    int Height() override;
    int CharWidth(uint8_t code) override;
    bool PixelIsSet(uint8_t code, int column, int row) override;
    int CharSpacing() override;
    int LineSpacing() override;
    const char* Name() override { return nullptr; }

private:
    struct Glyph {
        uint8_t state = 0;  // 0 not read, 1 kept, 2 too large to keep
        uint8_t width = 0;
        uint8_t length = 0;
        uint8_t bits[kMaxGlyphBytes] = {};
    };
    struct Slot {
        bool read = false;
        int height = 0;
        int spacing = 0;
        int lineSpacing = 0;
        Glyph glyphs[256];
    };
    Glyph& Read(uint8_t code);
    Slot& Current();

    CNTCIPFont m_font;
    uint8_t m_slot = CNTCIPFont::kNoSlot;
    // The slot in use and the one before it (a line may switch between two fonts).
    Slot m_slots[2];
    uint8_t m_slotIds[2] = {CNTCIPFont::kNoSlot, CNTCIPFont::kNoSlot};
    uint8_t m_next = 0;
};
