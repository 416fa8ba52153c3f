#include "render/ntcip_font.h"

#include "database/object_ids.h"
#include "render/sign_objects.h"

uint8_t CNTCIPFont::FindSlot(uint32_t fontNumber) {
    // Font numbers run from 1 to 255; an empty slot holds 0.
    if (fontNumber == 0 || fontNumber > 255) {
        return kNoSlot;
    }
    if (fontNumber >= 1 && fontNumber <= kSlots &&
        sign_objects::NvInt(FontNumberId(fontNumber - 1), 1) == fontNumber) {
        return static_cast<uint8_t>(fontNumber - 1);
    }
    for (uint8_t slot = 0; slot < kSlots; ++slot) {
        if (sign_objects::NvInt(FontNumberId(slot), 1) == fontNumber) {
            return slot;
        }
    }
    return kNoSlot;
}

int CNTCIPFont::Height() {
    return ValidSlot() ? static_cast<int>(sign_objects::NvInt(FontHeightId(m_slot), 1)) : 0;
}

int CNTCIPFont::CharWidth(uint8_t code) {
    // Code 0 has no objects of its own (its id would be the previous slot's character 255).
    if (!ValidSlot() || code == 0) {
        return 0;
    }
    return static_cast<int>(sign_objects::NvInt(CharacterWidthId(m_slot, code), 1));
}

bool CNTCIPFont::PixelIsSet(uint8_t code, int column, int row) {
    const int width = CharWidth(code);
    if (width == 0 || column < 0 || row < 0 || column >= width || row >= Height()) {
        return false;
    }
    const uint32_t bit = static_cast<uint32_t>(row * width + column);
    if (bit / 8 >= kMaxBitmapBytes) {
        return false;
    }
    // Only the bytes up to the one holding the pixel are copied.
    uint8_t bitmap[kMaxBitmapBytes];
    const uint32_t length =
        sign_objects::NvString(CharacterBitmapId(m_slot, code), bitmap, bit / 8 + 1);
    if (bit / 8 >= length) {
        return false;
    }
    return (bitmap[bit / 8] >> (7 - bit % 8) & 1) != 0;
}

int CNTCIPFont::CharSpacing() {
    return ValidSlot() ? static_cast<int>(sign_objects::NvInt(FontCharSpacingId(m_slot), 1)) : 0;
}

int CNTCIPFont::LineSpacing() {
    if (!ValidSlot() || sign_objects::IsCharacterOrLineMatrix()) {
        return 0;
    }
    return static_cast<int>(sign_objects::NvInt(FontLineSpacingId(m_slot), 1));
}

// The font table ids above are those of the object catalogue.
static_assert(CNTCIPFont::FontNumberId(0) == dbo::fontNumber.id);
static_assert(CNTCIPFont::FontNameId(1) == dbo::fontName.Row(1));
static_assert(CNTCIPFont::FontHeightId(19) == dbo::fontHeight.LastId());
static_assert(CNTCIPFont::FontCharSpacingId(3) == dbo::fontCharSpacing.Row(3));
static_assert(CNTCIPFont::FontLineSpacingId(3) == dbo::fontLineSpacing.Row(3));
static_assert(CNTCIPFont::FontVersionId(7) == dbo::fontVersionID.Row(7));
static_assert(CNTCIPFont::CharacterWidthId(0, 1) == dbo::characterWidth.id);
static_assert(CNTCIPFont::CharacterWidthId(19, 255) == dbo::characterWidth.LastId());
static_assert(CNTCIPFont::CharacterBitmapId(0, 1) == dbo::characterBitmap.id);
static_assert(CNTCIPFont::CharacterBitmapId(19, 255) == dbo::characterBitmap.LastId());
