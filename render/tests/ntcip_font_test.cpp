// Table fonts read their glyphs from the object store; missing glyphs and slots stay unlit.
#include "render/ntcip_font.h"

#include <string>

#include "render/surface.h"
#include "render/tests/render_db_fixture.h"

namespace {

class NtcipFont : public RenderDbTest {
protected:
    // Slot 2 holds font number 5: 3 rows high, spacing 1, line spacing 2; 'A' is 3 wide with
    // the rows #.#, .#., ### (bits 101 010 111, packed without filling: 0xAB 0x80).
    void SetUp() override {
        RenderDbTest::SetUp();
        Poke(CNTCIPFont::FontNumberId(2), 1, 5);
        Poke(CNTCIPFont::FontHeightId(2), 1, 3);
        Poke(CNTCIPFont::FontCharSpacingId(2), 1, 1);
        Poke(CNTCIPFont::FontLineSpacingId(2), 1, 2);
        Poke(CNTCIPFont::CharacterWidthId(2, 'A'), 1, 3);
        PokeString(CNTCIPFont::CharacterBitmapId(2, 'A'), std::string("\xAB\x80", 2));
    }
};

TEST_F(NtcipFont, ReadsGlyphsOfItsSlotFromTheDatabase) {
    CNTCIPFont font(2);
    EXPECT_EQ(font.Height(), 3);
    EXPECT_EQ(font.CharSpacing(), 1);
    EXPECT_EQ(font.LineSpacing(), 2);
    EXPECT_EQ(font.CharWidth('A'), 3);
    EXPECT_EQ(font.Name(), nullptr);
    EXPECT_EQ(font.Reserved(), 0);
    const char* rows[] = {"#.#", ".#.", "###"};
    for (int row = 0; row < 3; ++row) {
        for (int column = 0; column < 3; ++column) {
            EXPECT_EQ(font.PixelIsSet('A', column, row), rows[row][column] == '#')
                << column << "," << row;
        }
    }
    // Outside the glyph.
    EXPECT_FALSE(font.PixelIsSet('A', 3, 0));
    EXPECT_FALSE(font.PixelIsSet('A', 0, 3));
    EXPECT_FALSE(font.PixelIsSet('A', -1, 0));
    // Another slot sees nothing of it.
    font.SetSlot(1);
    EXPECT_EQ(font.Height(), 0);
    EXPECT_EQ(font.CharWidth('A'), 0);
    EXPECT_FALSE(font.PixelIsSet('A', 0, 0));
}

TEST_F(NtcipFont, MissingOrShortBitmapsAndUndefinedCharactersAreUnlit) {
    Poke(CNTCIPFont::CharacterWidthId(2, 'B'), 1, 2);  // width but no bitmap
    Poke(CNTCIPFont::CharacterWidthId(2, 'C'), 1, 4);  // 12 bits, only one byte stored
    PokeString(CNTCIPFont::CharacterBitmapId(2, 'C'), "\xFF");
    CNTCIPFont font(2);
    EXPECT_FALSE(font.PixelIsSet('B', 0, 0));
    EXPECT_TRUE(font.PixelIsSet('C', 3, 1));   // bit 7
    EXPECT_FALSE(font.PixelIsSet('C', 0, 2));  // bit 8, past the string
    EXPECT_EQ(font.CharWidth('D'), 0);
    PokeString(CNTCIPFont::CharacterBitmapId(2, 'D'), "\xFF");
    EXPECT_FALSE(font.PixelIsSet('D', 0, 0));  // a bitmap without width draws nothing
}

TEST_F(NtcipFont, CodeZeroHasNoGlyphEvenWhenThePreviousSlotsLastCharacterHasOne) {
    // characterWidth of slot 1, character 255, is the id that code 0 of slot 2 would compute.
    ASSERT_EQ(CNTCIPFont::CharacterWidthId(1, 255), CNTCIPFont::CharacterWidthId(2, 0));
    Poke(CNTCIPFont::CharacterWidthId(1, 255), 1, 7);
    PokeString(CNTCIPFont::CharacterBitmapId(1, 255), std::string(3, '\xFF'));
    CNTCIPFont font(2);
    EXPECT_EQ(font.CharWidth(0), 0);
    EXPECT_FALSE(font.PixelIsSet(0, 0, 0));
    font.SetSlot(1);
    EXPECT_EQ(font.CharWidth(255), 7);
}

TEST_F(NtcipFont, SlotsOutsideTheTableAreAnUndefinedFont) {
    for (uint8_t slot : {uint8_t(20), uint8_t(200), CNTCIPFont::kNoSlot}) {
        CNTCIPFont font(slot);
        EXPECT_EQ(font.Height(), 0) << int(slot);
        EXPECT_EQ(font.CharWidth('A'), 0) << int(slot);
        EXPECT_EQ(font.CharSpacing(), 0) << int(slot);
        EXPECT_EQ(font.LineSpacing(), 0) << int(slot);
        EXPECT_FALSE(font.PixelIsSet('A', 0, 0)) << int(slot);
    }
}

TEST_F(NtcipFont, FindSlotPrefersSlotNMinusOneAndNeverLeavesTheTable) {
    Poke(CNTCIPFont::FontNumberId(0), 1, 1);
    Poke(CNTCIPFont::FontNumberId(3), 1, 9);
    Poke(CNTCIPFont::FontNumberId(8), 1, 9);    // slot n - 1 of 9 wins over slot 3
    Poke(CNTCIPFont::FontNumberId(10), 1, 40);  // numbers above 20 are found by search
    Poke(CNTCIPFont::FontNumberId(11), 1, 40);
    struct Case {
        uint32_t number;
        uint8_t slot;
    };
    const Case cases[] = {
        {1, 0},
        {5, 2},
        {9, 8},
        {40, 10},
        {7, CNTCIPFont::kNoSlot},   // slot 6 does not hold 7: undefined, not slot 6
        {20, CNTCIPFont::kNoSlot},  // likewise slot 19
        {21, CNTCIPFont::kNoSlot},
        {255, CNTCIPFont::kNoSlot},
        {256 + 5, CNTCIPFont::kNoSlot},
        {0, CNTCIPFont::kNoSlot},  // empty slots hold 0; it names no font
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CNTCIPFont::FindSlot(c.number), c.slot) << c.number;
    }
}

TEST_F(NtcipFont, NoLineSpacingOnCharacterAndLineMatrixSigns) {
    struct Case {
        uint32_t signType;
        int lineSpacing;
    };
    const Case cases[] = {{1, 2},   {2, 2},   {3, 2},   {4, 0},   {5, 0},   {6, 2},
                          {129, 2}, {130, 2}, {131, 2}, {132, 0}, {133, 0}, {134, 2}};
    CNTCIPFont font(2);
    for (const Case& c : cases) {
        SetSignType(c.signType);
        EXPECT_EQ(font.LineSpacing(), c.lineSpacing) << c.signType;
    }
}

TEST_F(NtcipFont, SurfaceDrawsTableGlyphsAndUndefinedCharactersTakeNoColumns) {
    PokeString(CNTCIPFont::CharacterBitmapId(2, 'D'), "\xFF\xFF");  // no width: undefined
    CNTCIPFont font(CNTCIPFont::FindSlot(5));
    ASSERT_EQ(font.Slot(), 2);
    CSurface surface;
    ASSERT_NE(surface.Allocate(3, 10, 1), nullptr);
    surface.SetForeground(0x7FFF);
    const SurfaceRect all{0, 0, 10, 3};
    int32_t x = 0;
    int32_t spacing = -1;
    uint8_t largest = 0;
    uint32_t overflow = 0;
    EXPECT_EQ(surface.MeasureText(font, "ADA", 3, x, all, spacing, largest, overflow, false, true),
              3);
    EXPECT_EQ(x, 3 + 1 + 0 + 1 + 3);
    EXPECT_EQ(largest, 2);
    x = 0;
    surface.DrawText(font, "ADA", 3, x, 0, all, false, -1, true, false, nullptr);
    EXPECT_EQ(x, 8);
    const char* rows[] = {"#.#..#.#..", ".#....#...", "###..###.."};
    for (int y = 0; y < 3; ++y) {
        std::string row;
        for (int px = 0; px < 10; ++px) {
            row += surface.GetPixel(px, y) != 0 ? '#' : '.';
        }
        EXPECT_EQ(row, rows[y]) << y;
    }
}

TEST(NtcipFontDetached, WithoutDatabaseEveryFontIsUndefined) {
    sign_objects::AttachDatabase(nullptr);
    CNTCIPFont font(0);
    EXPECT_EQ(font.Height(), 0);
    EXPECT_EQ(font.CharWidth('A'), 0);
    EXPECT_EQ(CNTCIPFont::FindSlot(1), CNTCIPFont::kNoSlot);
}

}  // namespace
