// Layout rules of the renderer: segment placement, vertical placement, full justification
// gaps and the multiSyntaxError values of the text rules.

#include "render/render_layout.h"

#include <gtest/gtest.h>

#include "render/tests/render_fixture.h"

namespace {

using render_test::Sign;

TEST(RenderLayout, CentredSegmentStartsHalfTheSpareWidthIn) {
    Sign sign(RenderSignGeometry{.width = 96, .height = 16});
    struct Case {
        uint16_t width;
        int32_t x0;
        int32_t start;
    } cases[] = {{30, 0, 33}, {31, 0, 32}, {30, 10, 43}, {96, 0, 0}};
    for (const Case& c : cases) {
        CMessage m;
        m.text_rectangles[0] = {c.x0, 0, c.x0 + 96, 16};
        m.line_justification[0] = 3;
        m.line_cells[0][0].centre_width = c.width;
        render_layout::EndLine(m);
        EXPECT_EQ(m.line_cells[0][0].centre_x, c.start) << c.width;
        EXPECT_EQ(m.line_cells[0][0].absolute_x, c.start) << c.width;
    }
}

TEST(RenderLayout, SegmentsWiderThanTheRectangleTurnLeftJustified) {
    Sign sign;
    CMessage m;
    m.SetWholeSignRectangles(96, 16);
    m.line_justification[0] = 4;
    m.line_cells[0][0].centre_width = 50;
    m.line_cells[0][0].right_width = 50;
    render_layout::EndLine(m);
    EXPECT_EQ(m.line_justification[0], 2);
    EXPECT_EQ(m.line_cells[0][0].absolute_x, 0);
}

TEST(RenderLayout, LinesArePlacedByPageJustification) {
    Sign sign;
    struct Case {
        uint8_t page;
        int16_t first;
    } cases[] = {{2, 5}, {3, 6}, {4, 7}};
    for (const Case& c : cases) {
        CMessage m;
        m.text_rectangles[0] = {0, 5, 96, 32};  // 27 rows
        m.page_justification[0] = c.page;
        for (int i = 0; i < 3; ++i) {
            m.line_cells[0][i].height = 7;
        }
        m.line_cells[0][0].line_spacing = 2;
        m.line_cells[0][1].line_spacing = 2;
        m.current_line = 2;
        render_layout::LayoutLines(m);
        EXPECT_EQ(m.line_cells[0][0].y, c.first) << int(c.page);
        EXPECT_EQ(m.line_cells[0][1].y, c.first + 9) << int(c.page);
        EXPECT_EQ(m.line_cells[0][2].y, c.first + 18) << int(c.page);
    }
}

TEST(RenderLayout, CharacterMatrixTopJustificationCountsFromTheRectangleTop) {
    RenderSignGeometry g{.width = 30,
                         .height = 21,
                         .signType = 4,
                         .characterWidth = 5,
                         .characterHeight = 7,
                         .moduleId = 0};
    Sign sign(g);
    CMessage m;
    m.text_rectangles[0] = {0, 7, 30, 21};
    m.page_justification[0] = 2;
    m.line_cells[0][0].height = 5;
    m.line_cells[0][1].height = 7;
    m.current_line = 1;
    render_layout::LayoutLines(m);
    EXPECT_EQ(m.line_cells[0][0].y, 7 + 7 - 5);
    EXPECT_EQ(m.line_cells[0][1].y, 7 + 14 - 7);
}

TEST(RenderLayout, FullJustificationSpreadsTheRemainderFromBothEnds) {
    line_cell line;
    line.characters = {'a', 'b', 'c', 'd', 'e'};
    line.character_widths = {4, 4, 4, 4, 4};
    render_layout::JustifyLine(line, 0, 27);  // G = 1, remainder 3: gaps 2, 1, 2, 2
    EXPECT_EQ(line.character_positions, (std::vector<int32_t>{0, 6, 11, 17, 23}));
    line.characters = {'a'};
    line.character_widths = {4};
    render_layout::JustifyLine(line, 5, 27);
    EXPECT_EQ(line.character_positions, (std::vector<int32_t>{5}));
}

TEST(RenderLayout, TextRulesGiveTheirSyntaxErrors) {
    RenderSignGeometry character{.width = 30,
                                 .height = 14,
                                 .signType = 4,
                                 .characterWidth = 5,
                                 .characterHeight = 7,
                                 .moduleId = 0};
    RenderSignGeometry line{.width = 60, .height = 32, .signType = 5, .characterHeight = 7};
    RenderSignGeometry rows{.width = 60, .height = 32, .signType = 5, .characterHeight = 16};
    struct Case {
        RenderSignGeometry geometry;
        const char* text;
        MultiParseResult result;
    } cases[] = {
        {{}, "[jl3]A[jl2]B", kMultiTagConflict},
        {{}, "[jl2]ABC[jl4]DEF", kMultiOk},
        {{}, "[jl5]AB[jl2]C", kMultiTagConflict},
        {{}, "[jl2][mvcl20,1,1,AB]C[jl5]D", kMultiTagConflict},
        {character, "[jl5][fo3]AB", kMultiUnsupportedTag},
        {line, "[fo1]AB", kMultiTextTooBig},  // 14 rows in 7-row lines
        {{}, "[fo4]zzzs", kMultiTextTooBig},  // 3 x 26 + 19 > 96
        {{}, "[fo4]zzzr", kMultiOk},          // exactly 96
        // A 33-pixel left segment touches a 30-pixel centre one, which starts at 33.
        {{}, "[fo4][jl2]tm[jl3]jjj", kMultiTextTooBig},
        {{}, "[fo4][jl2]tl[jl3]jjj", kMultiOk},
        {{}, "[fo4][jl3]jjj[jl4]vk", kMultiTextTooBig},  // centre ends at 63, right starts there
        {{}, "[fo4][jl3]jjj[jl4]vj", kMultiOk},
        {{.width = 96, .height = 20}, "A[nl]B", kMultiTextTooBig},
        // A rectangle left empty keeps no height below its placed lines.
        {{}, "[tr1,1,48,16]AB", kMultiOk},
        {{}, "[tr1,1,48,16][tr49,1,48,16]CD", kMultiOk},
        // Lines of a line-matrix sign take a character row each, whatever their font.
        {rows, "[fo3][jp4]BC[nl]1", kMultiOk},
        {rows, "[fo3][jp3]BC[nl]1", kMultiOk},
        {rows, "[fo3]A[nl]B[nl]C", kMultiTextTooBig},
    };
    for (const Case& c : cases) {
        Sign sign(c.geometry);
        EXPECT_EQ(sign.Validate(c.text), c.result) << c.text;
    }
}

TEST(RenderLayout, LeftAndRightSegmentsReachTheRectangleEdges) {
    Sign sign(RenderSignGeometry{.width = 96, .height = 7});
    ASSERT_EQ(sign.Load("[fo4][jl2]cc[jl4]ee[jl3]"), kMultiOk);
    EXPECT_EQ(sign.LitColumns(0, 7), (std::pair<int32_t, int32_t>{0, 95}));
    EXPECT_FALSE(sign.Lit(6, 3));
    EXPECT_FALSE(sign.Lit(85, 3));
    EXPECT_TRUE(sign.Lit(86, 3));
}

TEST(RenderLayout, SegmentWidthsLeaveOutTheSpaceBeforeTheirFirstCharacter) {
    // Font 3 puts 1 pixel between characters; a segment starts without it.
    Sign sign(RenderSignGeometry{.width = 96, .height = 7});
    ASSERT_EQ(sign.Load("[fo3][jl2]AB[jl4]12"), kMultiOk);
    EXPECT_EQ(sign.LitColumns(0, 7), (std::pair<int32_t, int32_t>{0, 95}));
    ASSERT_EQ(sign.Load("[fo3][jl2]A[jl3]BC[jl4]1"), kMultiOk);
    EXPECT_TRUE(sign.Lit(42, 3));  // B of the 11-pixel centre segment at (96 - 11) / 2
    EXPECT_FALSE(sign.Lit(41, 3));
    EXPECT_TRUE(sign.Lit(93, 6));  // 1 ends at the right edge
    EXPECT_FALSE(sign.Lit(95, 6));
    ASSERT_EQ(sign.Load("[fo3]ABC"), kMultiOk);  // 17 pixels
    EXPECT_EQ(sign.LitColumns(0, 7), (std::pair<int32_t, int32_t>{39, 55}));
}

TEST(RenderLayout, CentredTextDrawsWhereTheLayoutPutIt) {
    Sign sign(RenderSignGeometry{.width = 96, .height = 7});
    ASSERT_EQ(sign.Load("[fo4]jjj"), kMultiOk);  // 30 pixels
    EXPECT_EQ(sign.LitColumns(0, 7), (std::pair<int32_t, int32_t>{33, 62}));
    ASSERT_EQ(sign.Load("[fo4]jjja"), kMultiOk);  // 31 pixels
    EXPECT_EQ(sign.LitColumns(0, 7), (std::pair<int32_t, int32_t>{32, 62}));
}

TEST(RenderLayout, AnEmptyLineTakesTheCurrentFontHeight) {
    Sign sign(RenderSignGeometry{.width = 96, .height = 30});
    ASSERT_EQ(sign.Load("[fo4][jp2]a[nl0][nl0]a"), kMultiOk);
    EXPECT_TRUE(sign.Lit(47, 0));
    EXPECT_FALSE(sign.Lit(47, 7));
    EXPECT_FALSE(sign.Lit(47, 13));
    EXPECT_TRUE(sign.Lit(47, 14));
    EXPECT_TRUE(sign.Lit(47, 20));
}

TEST(RenderLayout, MixedFontsShareTheBottomEdge) {
    Sign sign(RenderSignGeometry{.width = 96, .height = 14});
    ASSERT_EQ(sign.Load("[jl2][fo1]I[fo4]a"), kMultiOk);
    const auto [first, last] = sign.LitColumns(7, 14);
    ASSERT_GE(last, 0);
    EXPECT_TRUE(sign.Lit(last, 13));
    EXPECT_TRUE(sign.Lit(last, 7));
    EXPECT_FALSE(sign.Lit(last, 6));
}

}  // namespace
