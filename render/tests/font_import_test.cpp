// Importing a built-in font fills its slot of the font table, with the replacement glyphs of
// compatibility mode in slots 0 and 1 only, and refuses a slot out of range.

#include "render/font_import.h"

#include <gtest/gtest.h>

#include <string>

#include "database/font_table.h"
#include "render/tests/render_db_fixture.h"

namespace {

using namespace font_table;

class FontImport : public RenderDbTest {
protected:
    uint32_t Width(uint32_t slot, uint32_t code) {
        return db->GetInt(CharacterWidthId(slot, code), 1, DbImage::kNv);
    }
    std::string Bitmap(uint32_t slot, uint32_t code) {
        uint32_t n = 0;
        const char* text = db->GetString(CharacterBitmapId(slot, code), 4, DbImage::kNv, &n);
        return std::string(text, n);
    }
    void SetCompatibility(bool on) { Poke(kSpecialFeatureSet, 4, on ? kCompatibilityMode : 0); }
};

TEST_F(FontImport, FillsTheSlotAndItsVersionId) {
    ASSERT_TRUE(db_import_font(*db, "14X10_NARROW.FNT", 3));
    EXPECT_EQ(db->GetInt(kFontNumber + 3, 1, DbImage::kNv), 4u);
    EXPECT_EQ(db->GetInt(kFontHeight + 3, 1, DbImage::kNv), 14u);
    EXPECT_EQ(db->GetInt(kFontCharSpacing + 3, 1, DbImage::kNv), 1u);
    EXPECT_NE(db->GetInt(kFontVersionId + 2 * 3, 2, DbImage::kNv), 0u);
    EXPECT_EQ(Width(3, ' '), 4u);
    EXPECT_EQ(Width(3, 200), 0u);
    EXPECT_EQ(Bitmap(3, 200), "");
    // Refused: no slot 20, a name too long for a font; the slot is left as it was.
    EXPECT_FALSE(db_import_font(*db, "14X10_NARROW.FNT", 20));
    EXPECT_FALSE(db_import_font(*db, std::string(80, 'N').c_str(), 4));
    EXPECT_EQ(db->GetInt(kFontHeight + 4, 1, DbImage::kNv), 0u);
}

TEST_F(FontImport, CompatibilityModeReplacesGlyphsOfTheFirstTwoSlots) {
    SetCompatibility(true);
    db_load_default_fonts(*db);
    EXPECT_EQ(Bitmap(0, 97), std::string("\x01\x05\xF1\x10\x00", 5));
    EXPECT_EQ(Width(0, 97), 5u);
    EXPECT_EQ(Bitmap(1, 103), std::string("\x83\x06\x0D\x1C\x73\xC0", 6));
    EXPECT_EQ(Width(1, 105), 4u) << "the width is the glyph's byte count";
    const std::string replaced = Bitmap(0, 97);

    // Characters outside 97-106 keep the font's glyphs; other slots and the mode off get none.
    SetCompatibility(false);
    ASSERT_TRUE(db_import_font(*db, "14X10_FHWA_TYPE_E.FNT", 0));
    EXPECT_NE(Bitmap(0, 97), replaced);
    const std::string own97 = Bitmap(0, 97);
    const uint32_t width107 = Width(0, 107);
    SetCompatibility(true);
    ASSERT_TRUE(db_import_font(*db, "14X10_FHWA_TYPE_E.FNT", 2));
    EXPECT_EQ(Bitmap(2, 97), own97);
    EXPECT_EQ(Width(0, 107), width107);
}

}  // namespace
