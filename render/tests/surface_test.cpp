// The drawing surface stores pixels per depth, clips, and measures text as it draws it.
#include "render/surface.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "render/font_base.h"
#include "render/tests/render_db_fixture.h"
#include "runtime/debug_print.h"

namespace {

// A font whose glyphs are given as rows of '.' and '#'; unknown codes are 0 wide.
class GridFont : public CFontBase {
public:
    GridFont(int height, int spacing, int lineSpacing = 0)
        : m_height(height), m_spacing(spacing), m_lineSpacing(lineSpacing) {}
    void Add(char code, std::vector<std::string> rows) { m_glyphs[uint8_t(code)] = rows; }
    int Height() override { return m_height; }
    int CharWidth(uint8_t code) override {
        auto it = m_glyphs.find(code);
        return it == m_glyphs.end() ? 0 : int(it->second[0].size());
    }
    bool PixelIsSet(uint8_t code, int column, int row) override {
        auto it = m_glyphs.find(code);
        if (it == m_glyphs.end() || row < 0 || row >= int(it->second.size()) || column < 0 ||
            column >= int(it->second[row].size())) {
            return false;
        }
        return it->second[row][column] == '#';
    }
    int CharSpacing() override { return m_spacing; }
    int LineSpacing() override { return m_lineSpacing; }
    const char* Name() override { return "grid"; }

private:
    int m_height;
    int m_spacing;
    int m_lineSpacing;
    std::map<uint8_t, std::vector<std::string>> m_glyphs;
};

// Two-row font: 'A' a 2-wide block, 'B' a 1-wide bar, 'C' a 3-wide hollow glyph.
void AddLetters(GridFont& font) {
    font.Add('A', {"##", "##"});
    font.Add('B', {"#", "#"});
    font.Add('C', {"#.#", "..."});
}

// Row y of a surface as '.' and '#' (any non-zero pixel is '#').
std::string Row(const CSurface& surface, int y) {
    std::string out;
    for (int x = 0; x < surface.Width(); ++x) {
        out += surface.GetPixel(x, y) != 0 ? '#' : '.';
    }
    return out;
}

constexpr uint32_t kRed = 0x001F;
constexpr uint32_t kGreen = 0x03E0;
constexpr uint32_t kBlue = 0x7C00;
constexpr uint32_t kAmber = 0x037F;

TEST(Surface, AllocateKeepsBufferForSameGeometryAndReplacesItOtherwise) {
    CSurface surface;
    uint8_t* first = surface.Allocate(16, 96, 15);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(surface.Size(), 3072u);
    EXPECT_TRUE(surface.IsAllocated());
    surface.SetPixel(5, 5, 0x1234);
    EXPECT_EQ(surface.Allocate(16, 96, 15), first);
    EXPECT_EQ(surface.GetPixel(5, 5), 0x12340000u);

    uint8_t* second = surface.Allocate(16, 96, 1);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(surface.Size(), 1536u);
    EXPECT_EQ(surface.BitsPerPixel(), 1);
    for (uint32_t i = 0; i < surface.Size(); ++i) {
        ASSERT_EQ(second[i], 0) << i;
    }
}

TEST(Surface, AllocateRefusesBadGeometryAndLeavesNoBuffer) {
    struct Case {
        int32_t height, width;
        uint8_t bits;
    };
    const Case cases[] = {{16, 96, 4}, {16, 96, 16}, {0, 96, 1},         {16, 0, 1},
                          {-1, 96, 8}, {16, -96, 8}, {70000, 70000, 15}, {0x40000000, 4, 8}};
    for (const Case& c : cases) {
        CSurface surface;
        ASSERT_NE(surface.Allocate(2, 2, 8), nullptr);
        EXPECT_EQ(surface.Allocate(c.height, c.width, c.bits), nullptr)
            << c.height << "x" << c.width << "@" << int(c.bits);
        EXPECT_FALSE(surface.IsAllocated());
        EXPECT_EQ(surface.Size(), 0u);
        surface.SetPixel(0, 0, 1);
        EXPECT_EQ(surface.GetPixel(0, 0), 0u);
        surface.Fill(0);
        surface.Clear();
    }
}

TEST(Surface, PixelStorageAndReadBackPerDepth) {
    struct Case {
        uint8_t bits;
        uint32_t colour;
        std::vector<uint8_t> stored;
        uint32_t readBack;
    };
    const Case cases[] = {
        {15, kAmber, {0x03, 0x7F}, 0x037F0000},
        {15, 0x7FFF, {0x7F, 0xFF}, 0x7FFF0000},
        {8, 0x1234, {0x34}, 0x34},
        {1, kBlue, {1}, CSurface::kOneBitLit},
        {1, 0, {0}, 0},
        {2, kAmber, {3}, kRed | kGreen},
        {2, kRed, {1}, kRed},
        {2, kGreen, {2}, kGreen},
        {2, kBlue, {0}, 0},
    };
    for (const Case& c : cases) {
        CSurface surface;
        ASSERT_NE(surface.Allocate(3, 4, c.bits), nullptr);
        surface.SetPixel(2, 1, c.colour);
        const uint32_t index = (1 * 4 + 2) * uint32_t(c.stored.size());
        EXPECT_EQ(0, std::memcmp(surface.Pixels() + index, c.stored.data(), c.stored.size()))
            << int(c.bits) << " " << c.colour;
        EXPECT_EQ(surface.GetPixel(2, 1), c.readBack) << int(c.bits) << " " << c.colour;
        // A 2-bit pixel written with what it reads back as keeps its bits.
        surface.SetPixel(0, 0, surface.GetPixel(2, 1));
        EXPECT_EQ(surface.GetPixel(0, 0), c.bits == 15 ? 0 : c.readBack) << int(c.bits);
    }
}

TEST(Surface, PixelsOutsideTheSurfaceReadZeroAndAreNotWritten) {
    CSurface surface;
    ASSERT_NE(surface.Allocate(3, 4, 8), nullptr);
    std::memset(surface.Pixels(), 7, surface.Size());
    const int32_t outside[][2] = {{-1, 0}, {0, -1}, {4, 0}, {0, 3}, {INT32_MIN, 1}, {1, INT32_MAX}};
    for (const auto& p : outside) {
        EXPECT_EQ(surface.GetPixel(p[0], p[1]), 0u);
        surface.SetPixel(p[0], p[1], 9);
    }
    for (uint32_t i = 0; i < surface.Size(); ++i) {
        ASSERT_EQ(surface.Pixels()[i], 7) << i;
    }
}

TEST(Surface, FillRowColumnAndClearWithKeep) {
    CSurface surface;
    ASSERT_NE(surface.Allocate(3, 4, 15), nullptr);
    surface.FillRow(1, kRed);
    surface.FillColumn(2, kGreen);
    EXPECT_EQ(Row(surface, 0), "..#.");
    EXPECT_EQ(Row(surface, 1), "####");
    EXPECT_EQ(surface.GetPixel(2, 1), kGreen << 16);
    EXPECT_EQ(surface.GetPixel(3, 1), kRed << 16);

    surface.SetKeep(1);
    surface.Clear();
    EXPECT_EQ(Row(surface, 1), "####");
    surface.SetKeep(0);
    surface.Clear();
    EXPECT_EQ(Row(surface, 1), "....");

    surface.Fill(kAmber);
    for (int y = 0; y < 3; ++y) {
        EXPECT_EQ(Row(surface, y), "####");
    }
    EXPECT_EQ(surface.GetPixel(3, 2), kAmber << 16);
    surface.Fill(0);
    EXPECT_EQ(Row(surface, 2), "....");
}

class SurfaceText : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(surface.Allocate(2, 24, 15), nullptr);
        AddLetters(narrow);
        AddLetters(wide);
        surface.SetForeground(kAmber);
    }
    // Draws a run and returns the cursor after it.
    int32_t Draw(GridFont& font, const char* text, int32_t x, int32_t spacing, bool lineStart,
                 bool hidden = false) {
        surface.DrawText(font, text, uint32_t(std::strlen(text)), x, 0, all, hidden, spacing,
                         lineStart, false, nullptr);
        return x;
    }
    CSurface surface;
    GridFont narrow{2, 1, 2};
    GridFont wide{2, 2, 3};
    SurfaceRect all{0, 0, 24, 2};
};

TEST_F(SurfaceText, FontSpacingAndAveragedBoundaryBetweenFonts) {
    int32_t x = Draw(narrow, "AB", 0, -1, true);
    EXPECT_EQ(x, 4);
    // Spacing 1 then 2 without [sc]: (1 + 2 + 1) / 2 = 2 before the first character.
    x = Draw(wide, "AB", x, -1, false);
    EXPECT_EQ(x, 4 + 2 + 2 + 2 + 1);
    EXPECT_EQ(Row(surface, 0), "##.#..##..#.............");
    // And back: (2 + 1 + 1) / 2 = 2.
    x = Draw(narrow, "A", x, -1, false);
    EXPECT_EQ(x, 11 + 2 + 2);
    // A given spacing applies to the boundary too.
    x = Draw(narrow, "BB", x, 3, false);
    EXPECT_EQ(Row(surface, 1), "##.#..##..#..##...#...#.");
    EXPECT_EQ(x, 23);
}

TEST_F(SurfaceText, MeasureMatchesDrawAndReportsFirstSpace) {
    int32_t x = 0;
    int32_t spacing = -1;
    uint8_t largest = 9;
    uint32_t overflow = 77;
    EXPECT_EQ(surface.MeasureText(narrow, "AB", 2, x, all, spacing, largest, overflow, false, true),
              2);
    EXPECT_EQ(x, 4);
    EXPECT_EQ(spacing, 0);  // a run that starts a line has no first space
    EXPECT_EQ(largest, 2);  // reset at line start, then the font's
    EXPECT_EQ(overflow, 0u);

    spacing = -1;
    overflow = 77;
    surface.MeasureText(wide, "AB", 2, x, all, spacing, largest, overflow, false, false);
    EXPECT_EQ(x, 11);
    EXPECT_EQ(spacing, 2);
    EXPECT_EQ(largest, 3);

    spacing = 4;
    surface.MeasureText(narrow, "C", 1, x, all, spacing, largest, overflow, false, false);
    EXPECT_EQ(x, 18);
    EXPECT_EQ(spacing, 4);
    EXPECT_EQ(largest, 3);
}

TEST_F(SurfaceText, MeasureOverflowAddsTheIndexOfTheFirstCharacterThatDoesNotFit) {
    const SurfaceRect rect{10, 0, 20, 2};  // 10 wide
    struct Case {
        const char* text;
        bool moving;
        uint32_t overflow;
        int32_t x;
    };
    const Case cases[] = {
        {"AAA", false, 0, 8},      // 2 + 3 + 3
        {"AAAA", false, 103, 11},  // the fourth does not fit: index 3
        {"CCCC", false, 102, 11},  // 3 + 4 + 4
        {"AAAAA", true, 100, 14},  // moving text is measured whole
    };
    for (const Case& c : cases) {
        int32_t x = 0;
        int32_t spacing = -1;
        uint8_t largest = 0;
        uint32_t overflow = 100;
        surface.MeasureText(narrow, c.text, uint32_t(std::strlen(c.text)), x, rect, spacing,
                            largest, overflow, c.moving, true);
        EXPECT_EQ(overflow, c.overflow) << c.text;
        EXPECT_EQ(x, c.x) << c.text;
    }
}

TEST_F(SurfaceText, RemembersSpacingPerSurface) {
    // Another render on another surface in between must not change this surface's boundary.
    CSurface other;
    ASSERT_NE(other.Allocate(2, 24, 1), nullptr);
    int32_t x = Draw(narrow, "A", 0, -1, true);
    int32_t ox = 0;
    other.DrawText(wide, "AA", 2, ox, 0, all, false, -1, true, false, nullptr);
    int32_t mx = 0;
    int32_t spacing = -1;
    uint8_t largest = 0;
    uint32_t overflow = 0;
    other.MeasureText(wide, "A", 1, mx, all, spacing, largest, overflow, false, true);
    x = Draw(narrow, "A", x, -1, false);
    EXPECT_EQ(Row(surface, 0), "##.##...................");
    EXPECT_EQ(x, 5);
}

TEST_F(SurfaceText, BackgroundFillsGapsAndUnlitCellsAndHiddenShowsOnlyBackground) {
    surface.SetBackground(kBlue);
    int32_t x = Draw(narrow, "CB", 0, -1, true);
    EXPECT_EQ(x, 5);
    EXPECT_EQ(surface.GetPixel(0, 0), kAmber << 16);
    EXPECT_EQ(surface.GetPixel(1, 0), kBlue << 16);  // unlit glyph cell
    EXPECT_EQ(surface.GetPixel(3, 0), kBlue << 16);  // the gap
    EXPECT_EQ(surface.GetPixel(4, 1), kAmber << 16);
    EXPECT_EQ(surface.GetPixel(5, 0), 0u);

    x = Draw(narrow, "AA", x, -1, false, true);
    EXPECT_EQ(x, 5 + 3 + 3);
    for (int px = 5; px < 11; ++px) {
        EXPECT_EQ(surface.GetPixel(px, 0), kBlue << 16) << px;
    }

    surface.SetBackground(CSurface::kNoColour);
    surface.Fill(0);
    x = Draw(narrow, "AA", 0, -1, true, true);
    EXPECT_EQ(x, 5);
    EXPECT_EQ(Row(surface, 0), "........................");
}

TEST_F(SurfaceText, ClipKeepsGlyphsAndBackgroundInsideTheRectangle) {
    surface.SetBackground(kBlue);
    const SurfaceRect clip{3, 0, 8, 1};
    int32_t x = 1;
    static std::string debug;
    debug.clear();
    DebugSetSink([](const char* text) { debug += text; });
    DebugSetTraceLevel(1);
    surface.DrawText(narrow, "AAA", 3, x, 0, clip, false, 2, true, false, nullptr);
    DebugSetTraceLevel(0);
    DebugSetSink(nullptr);
    // One line for each lit pixel left of the clip (two columns, one row inside it).
    EXPECT_EQ(debug, "error1\rerror1\r");
    EXPECT_EQ(x, 1 + 2 + 4 + 4);
    // Lit pixels at 1, 2 (left of the clip), 5, 6, 9, 10 (right of it); gaps 3-4 and 7-8.
    EXPECT_EQ(Row(surface, 0), "...#####................");
    EXPECT_EQ(surface.GetPixel(3, 0), kBlue << 16);
    EXPECT_EQ(surface.GetPixel(5, 0), kAmber << 16);
    EXPECT_EQ(Row(surface, 1), "........................");
}

TEST_F(SurfaceText, FullJustificationTakesListedPositions) {
    const int32_t positions[] = {0, 6, 20};
    uint32_t next = 0;
    const JustifiedPositions justified{positions, 3, &next};
    int32_t x = 17;
    surface.DrawText(narrow, "AB", 2, x, 0, all, false, 5, false, false, &justified);
    EXPECT_EQ(next, 2u);
    EXPECT_EQ(x, 17);  // the cursor stays
    surface.DrawText(narrow, "AA", 2, x, 0, all, false, 5, false, false, &justified);
    EXPECT_EQ(next, 3u);  // the list ran out: the last character is not drawn
    EXPECT_EQ(Row(surface, 0), "##....#.............##..");

    // Inside moving text the list is ignored.
    surface.Fill(0);
    x = 0;
    next = 0;
    surface.DrawText(narrow, "AB", 2, x, 0, all, false, 1, true, true, &justified);
    EXPECT_EQ(next, 0u);
    EXPECT_EQ(Row(surface, 0), ".##.#...................");
}

TEST_F(SurfaceText, GlyphWiderThanTheSurfaceIsCutAtItsEdges) {
    GridFont big(40, 1);
    big.Add('W', std::vector<std::string>(40, std::string(30, '#')));
    int32_t x = -3;
    const SurfaceRect huge{-100, -100, 100, 100};
    surface.DrawText(big, "W", 1, x, -5, huge, false, -1, true, false, nullptr);
    EXPECT_EQ(x, 27);
    EXPECT_EQ(Row(surface, 0), std::string(24, '#'));
    EXPECT_EQ(Row(surface, 1), std::string(24, '#'));
}

// ---- BMP drawing

std::vector<uint8_t> ReadFile(const std::string& name) {
    std::ifstream in(std::string(DMS_TEST_DATA_DIR) + "/bmp/" + name, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// Expected colours written by the fixture generator: "w h", then rows of hex colours.
std::vector<std::vector<uint32_t>> ReadExpected(const std::string& name) {
    std::ifstream in(std::string(DMS_TEST_DATA_DIR) + "/bmp/" + name);
    int w = 0, h = 0;
    in >> w >> h;
    std::vector<std::vector<uint32_t>> rows(h, std::vector<uint32_t>(w));
    for (auto& row : rows) {
        for (auto& value : row) {
            in >> std::hex >> value;
        }
    }
    return rows;
}

TEST(SurfaceBmp, DrawsPillowImagesPixelExact) {
    struct Case {
        const char* bmp;
        const char* expected;
    };
    const Case cases[] = {
        {"rgb24_2x2.bmp", "rgb24_2x2.txt"},         {"rgb24_5x3.bmp", "rgb24_5x3.txt"},
        {"rgb24_5x3_topdown.bmp", "rgb24_5x3.txt"}, {"pal8_3x3.bmp", "pal8_3x3.txt"},
        {"gray8_7x2.bmp", "gray8_7x2.txt"},
    };
    for (const Case& c : cases) {
        const std::vector<uint8_t> file = ReadFile(c.bmp);
        const auto expected = ReadExpected(c.expected);
        ASSERT_FALSE(file.empty()) << c.bmp;
        ASSERT_FALSE(expected.empty()) << c.expected;
        CSurface surface;
        ASSERT_NE(surface.Allocate(8, 10, 15), nullptr);
        EXPECT_TRUE(surface.DrawBmp(file.data(), uint32_t(file.size()), 2, 3)) << c.bmp;
        for (int y = 0; y < 8; ++y) {
            for (int x = 0; x < 10; ++x) {
                const int row = y - 3;
                const int column = x - 2;
                uint32_t want = 0;
                if (row >= 0 && row < int(expected.size()) && column >= 0 &&
                    column < int(expected[0].size())) {
                    want = expected[row][column];
                }
                ASSERT_EQ(surface.GetPixel(x, y), want << 16) << c.bmp << " at " << x << "," << y;
            }
        }
    }
}

TEST(SurfaceBmp, FirstStoredRowLandsAtTheBottom) {
    const std::vector<uint8_t> file = ReadFile("rgb24_2x2.bmp");
    ASSERT_EQ(file.size(), 14u + 40u + 2u * 8u);
    // The first stored row (bytes 54-61) is the lower row of the picture: white, then blue 7,
    // green 128, red 0; two filler bytes.
    const uint8_t firstRow[8] = {0xFF, 0xFF, 0xFF, 7, 128, 0, 0, 0};
    EXPECT_EQ(0, std::memcmp(file.data() + 54, firstRow, 8));
    CSurface surface;
    ASSERT_NE(surface.Allocate(2, 2, 15), nullptr);
    ASSERT_TRUE(surface.DrawBmp(file.data(), uint32_t(file.size()), 0, 0));
    EXPECT_EQ(surface.GetPixel(0, 1), 0x7FFFu << 16);
    EXPECT_EQ(surface.GetPixel(1, 1), uint32_t(128 >> 3 << 5 | 7 >> 3 << 10) << 16);
}

TEST(SurfaceBmp, ImagePartlyOutsideTheSurfaceIsCut) {
    const std::vector<uint8_t> file = ReadFile("rgb24_5x3.bmp");
    const auto expected = ReadExpected("rgb24_5x3.txt");
    CSurface surface;
    ASSERT_NE(surface.Allocate(2, 2, 15), nullptr);
    ASSERT_TRUE(surface.DrawBmp(file.data(), uint32_t(file.size()), -4, -2));
    EXPECT_EQ(surface.GetPixel(0, 0), expected[2][4] << 16);
    EXPECT_EQ(surface.GetPixel(1, 0), 0u);
    EXPECT_EQ(surface.GetPixel(0, 1), 0u);
    EXPECT_TRUE(surface.DrawBmp(file.data(), uint32_t(file.size()), INT32_MAX, INT32_MIN));
}

TEST(SurfaceBmp, RefusesOtherDepthsAndMalformedFilesWithoutDrawing) {
    const char* files[] = {
        "mono1_8x2.bmp",
        "rgba32_2x2.bmp",
        "bad_4bit.bmp",
        "bad_truncated_pixels.bmp",
        "bad_truncated_header.bmp",
        "bad_width.bmp",
        "bad_height.bmp",
        "bad_offset.bmp",
        "bad_offset_wrap.bmp",
        "bad_header_size.bmp",
        "bad_negative_width.bmp",
        "bad_palette_count.bmp",
        "bad_palette_index.bmp",
        "bad_rle8.bmp",
        "bad_signature.bmp",
    };
    for (const char* name : files) {
        const std::vector<uint8_t> file = ReadFile(name);
        ASSERT_FALSE(file.empty()) << name;
        CSurface surface;
        ASSERT_NE(surface.Allocate(8, 8, 15), nullptr);
        // An exactly sized heap copy, so a read past the end is caught under ASan.
        std::vector<uint8_t> copy(file);
        EXPECT_FALSE(surface.DrawBmp(copy.data(), uint32_t(copy.size()), 0, 0)) << name;
        for (uint32_t i = 0; i < surface.Size(); ++i) {
            ASSERT_EQ(surface.Pixels()[i], 0) << name;
        }
    }
    CSurface surface;
    ASSERT_NE(surface.Allocate(8, 8, 15), nullptr);
    EXPECT_FALSE(surface.DrawBmp(nullptr, 100, 0, 0));
    const std::vector<uint8_t> good = ReadFile("rgb24_2x2.bmp");
    for (uint32_t size = 0; size < good.size(); ++size) {
        std::vector<uint8_t> cut(good.begin(), good.begin() + size);
        EXPECT_FALSE(surface.DrawBmp(cut.data(), size, 0, 0)) << size;
    }
}

// ---- Settings read from the database

class SurfaceSign : public RenderDbTest {
protected:
    void SetUp() override {
        RenderDbTest::SetUp();
        ASSERT_NE(surface.Allocate(2, 16, 15), nullptr);
        AddLetters(narrow);
        AddLetters(wide);
        surface.SetForeground(kAmber);
    }
    CSurface surface;
    GridFont narrow{2, 1};
    GridFont wide{2, 2};
    SurfaceRect all{0, 0, 16, 2};
};

TEST_F(SurfaceSign, SimulationModeClearsButDrawsNothing) {
    surface.FillRow(0, kRed);
    SetControlMode(6);
    surface.Fill(0x7FFF);
    EXPECT_EQ(surface.GetPixel(0, 1), 0u);
    EXPECT_EQ(surface.GetPixel(0, 0), kRed << 16);
    int32_t x = 3;
    surface.DrawText(narrow, "AB", 2, x, 0, all, false, -1, true, false, nullptr);
    EXPECT_EQ(x, 3);
    EXPECT_EQ(Row(surface, 1), "................");
    surface.Fill(0);
    EXPECT_EQ(Row(surface, 0), "................");

    SetControlMode(2);
    surface.Fill(0x7FFF);
    EXPECT_EQ(Row(surface, 1), "################");
}

TEST_F(SurfaceSign, CharacterMatrixSignsPlaceCharactersSideBySide) {
    struct Case {
        uint32_t signType;
        const char* row;
        int32_t x;
    };
    // "AB" at line start, then "AA" with the wide font.
    const Case cases[] = {
        {4, "#######.........", 7},
        {132, "#######.........", 7},
        {5, "##.#..##..##....", 12},
        {1, "##.#..##..##....", 12},
    };
    for (const Case& c : cases) {
        SetSignType(c.signType);
        surface.Fill(0);
        int32_t x = 0;
        surface.DrawText(narrow, "AB", 2, x, 0, all, false, -1, true, false, nullptr);
        surface.DrawText(wide, "AA", 2, x, 0, all, false, -1, false, false, nullptr);
        EXPECT_EQ(Row(surface, 1), c.row) << c.signType;
        EXPECT_EQ(x, c.x) << c.signType;

        int32_t mx = 0;
        int32_t spacing = -1;
        uint8_t largest = 0;
        uint32_t overflow = 0;
        surface.MeasureText(narrow, "AB", 2, mx, all, spacing, largest, overflow, false, true);
        spacing = -1;
        surface.MeasureText(wide, "AA", 2, mx, all, spacing, largest, overflow, false, false);
        EXPECT_EQ(mx, c.x) << c.signType;
    }
}

}  // namespace
