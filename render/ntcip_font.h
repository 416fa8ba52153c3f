#pragma once
// A font of the font table in the object database: every height, width and glyph pixel is read
// from the non-volatile image when it is needed.

#include <cstdint>

#include "database/object_ids.h"
#include "render/font_base.h"

class CNTCIPFont : public CFontBase {
public:
    static constexpr uint8_t kSlots = 20;
    static constexpr uint8_t kNoSlot = 0xFF;  // an undefined font: height 0, no characters
    // Longest glyph bitmap the database returns (longer NV strings read as empty).
    static constexpr uint32_t kMaxBitmapBytes = 2000;

    // Font table objects (NV image) of slot i and character c (1-255).
    static constexpr uint32_t FontNumberId(uint32_t i) { return dbo::fontNumber.Row(i); }
    static constexpr uint32_t FontNameId(uint32_t i) { return dbo::fontName.Row(i); }
    static constexpr uint32_t FontHeightId(uint32_t i) { return dbo::fontHeight.Row(i); }
    static constexpr uint32_t FontCharSpacingId(uint32_t i) { return dbo::fontCharSpacing.Row(i); }
    static constexpr uint32_t FontLineSpacingId(uint32_t i) { return dbo::fontLineSpacing.Row(i); }
    static constexpr uint32_t FontVersionId(uint32_t i) { return dbo::fontVersionID.Row(i); }
    static constexpr uint32_t CharacterWidthId(uint32_t i, uint32_t c) {
        return dbo::characterWidth.Row(255 * i + c - 1);
    }
    static constexpr uint32_t CharacterBitmapId(uint32_t i, uint32_t c) {
        return dbo::characterBitmap.Row(255 * i + c - 1);
    }

    explicit CNTCIPFont(uint8_t slot = kNoSlot) : m_slot(slot) {}

    // The slot read by every operation; anything but 0-19 is an undefined font.
    void SetSlot(uint8_t slot) { m_slot = slot; }
    uint8_t Slot() const { return m_slot; }

    // Slot of font number n: slot n - 1 when its fontNumber is n, else the first slot whose
    // fontNumber is n; kNoSlot when no slot holds n, and for 0 and numbers above 255.
    static uint8_t FindSlot(uint32_t fontNumber);

    int Height() override;
    // 0 for code 0 and for a character the slot does not define.
    int CharWidth(uint8_t code) override;
    bool PixelIsSet(uint8_t code, int column, int row) override;
    int CharSpacing() override;
    // 0 on character- and line-matrix signs.
    int LineSpacing() override;
    const char* Name() override { return nullptr; }

private:
    bool ValidSlot() const { return m_slot < kSlots; }

    uint8_t m_slot;
};
