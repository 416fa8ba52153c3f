// The MULTI parser delivers each page in a measuring and a drawing pass and refuses bad tags.
#include "render/multi_parser.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "database/data_base.h"
#include "platform/monitor/mon.h"
#include "platform/monitor/tests/temp_board.h"
#include "render/message.h"
#include "render/multi_colour.h"
#include "render/sign_objects.h"
#include "render/tests/fake_multi_environment.h"
#include "render/tests/recording_renderer.h"
#include "runtime/debug_print.h"

namespace {

using namespace multi_objects;

std::string Repeat(const std::string& s, int n) {
    std::string out;
    for (int i = 0; i < n; ++i) {
        out += s;
    }
    return out;
}

class MultiParserTest : public ::testing::Test {
protected:
    MultiParserTest() {
        // Graphic 1 ready (10 x 8, id ABCD); graphic 2 defined but not ready.
        env.Set(GraphicNumber(0), 1);
        env.Set(GraphicStatus(0), 4);
        env.Set(GraphicWidth(0), 10);
        env.Set(GraphicHeight(0), 8);
        env.Set(GraphicId(0), 0xABCD);
        env.Set(GraphicNumber(1), 2);
        env.Set(GraphicStatus(1), 1);
        env.files = {"Bitmaps/logo.bmp", "direct.bmp", "Bitmaps/" + std::string(143, 'n')};
        message.SetWholeSignRectangles(96, 16);
        message.defaults.Load();
    }

    MultiParseResult Validate(const std::string& text) {
        return parser.Validate(&renderer, RecordingRenderer::Callback, &message, text.data(),
                               static_cast<uint32_t>(text.size()));
    }

    // Measuring pass of the first page, as validation runs it; the message
    // keeps what the page set.
    MultiParseResult Measure(const std::string& text) {
        parser.SetMessage(&renderer, RecordingRenderer::Callback, &message, text.data(),
                          static_cast<uint32_t>(text.size()));
        uint32_t next = 0;
        return parser.ScanPage(&renderer, RecordingRenderer::Callback, &message, message.text,
                               message.TextLength(), 0, &next, true);
    }

    // Loads text and draws pages until the parser reports no more (at most limit).
    std::vector<uint32_t> DrawPages(const std::string& text, int limit = 10) {
        parser.SetMessage(&renderer, RecordingRenderer::Callback, &message, text.data(),
                          static_cast<uint32_t>(text.size()));
        std::vector<uint32_t> starts;
        for (int i = 0; i < limit && parser.ParseNextPage(&message); ++i) {
            starts.push_back(message.current_page_start);
        }
        return starts;
    }

    FakeMultiEnvironment env;
    RecordingRenderer renderer;
    CMULTIParser parser;
    CMessage message;
};

struct ValidateCase {
    std::string text;
    MultiParseResult result;
    uint32_t position;  // error position when result is not kMultiOk
};

void PrintTo(const ValidateCase& c, std::ostream* os) {
    *os << '"' << c.text.substr(0, 60) << '"';
}

class MultiValidateTable : public MultiParserTest,
                           public ::testing::WithParamInterface<ValidateCase> {};

TEST_P(MultiValidateTable, ResultAndErrorPosition) {
    const ValidateCase& c = GetParam();
    EXPECT_EQ(Validate(c.text), c.result);
    if (c.result != kMultiOk) {
        EXPECT_EQ(message.error_position, c.position);
    }
}

// Every text of the table can also be drawn page by page without harm.
TEST_P(MultiValidateTable, DrawsPageByPage) {
    const ValidateCase& c = GetParam();
    const auto pages = DrawPages(c.text);
    if (c.result == kMultiOk && !c.text.empty()) {
        EXPECT_FALSE(pages.empty());
    }
    EXPECT_LE(pages.size(), 7u);
}

const std::string kName143(143, 'n');

INSTANTIATE_TEST_SUITE_P(
    Tags, MultiValidateTable,
    ::testing::Values(
        // Plain text, brackets, pages.
        ValidateCase{"", kMultiOk, 0}, ValidateCase{"ABC", kMultiOk, 0},
        ValidateCase{"A[[B]]C", kMultiOk, 0}, ValidateCase{"A]B", kMultiUnsupportedTag, 1},
        ValidateCase{"[jl3", kMultiUnsupportedTag, 1},
        ValidateCase{"AB[jl3", kMultiUnsupportedTag, 3},
        ValidateCase{"A[", kMultiUnsupportedTag, 2},
        ValidateCase{"[jl[3]", kMultiUnsupportedTag, 1},
        ValidateCase{"[jl[[3]", kMultiUnsupportedTagValue, 1},
        ValidateCase{"[xx]", kMultiUnsupportedTag, 1}, ValidateCase{"[]", kMultiUnsupportedTag, 1},
        ValidateCase{"[jl3]]]A", kMultiOk, 0},
        ValidateCase{"A[np]B[NP]C[Np]D[np]E[np]F", kMultiOk, 0},
        ValidateCase{"A[np]B[np]C[np]D[np]E[np]F[np]G", kMultiTooManyPages, 30},
        ValidateCase{"A[np]", kMultiOk, 0}, ValidateCase{"[np]", kMultiOk, 0},
        ValidateCase{"A[np]B[np]C[np]D[np]E[np]F[np]", kMultiTooManyPages, 30},
        // [cb] [cf]
        ValidateCase{"[cb]A", kMultiOk, 0}, ValidateCase{"[cb1]A", kMultiOk, 0},
        ValidateCase{"[cf]A", kMultiOk, 0}, ValidateCase{"[CF4]A", kMultiOk, 0},
        ValidateCase{"[cf255,128,0]A", kMultiOk, 0},
        ValidateCase{"[cf256,0,0]", kMultiUnsupportedTagValue, 1},
        ValidateCase{"A[cf1,2,300]", kMultiUnsupportedTagValue, 2},
        ValidateCase{"[cf300]", kMultiUnsupportedTagValue, 1},
        // [fl] [/fl]
        ValidateCase{"[fl]A[/fl]B", kMultiOk, 0}, ValidateCase{"[flt5o3]A", kMultiOk, 0},
        ValidateCase{"[flo3t5]A", kMultiOk, 0}, ValidateCase{"[FLT]A[FLO]", kMultiOk, 0},
        ValidateCase{"[flt100]", kMultiUnsupportedTagValue, 1},
        ValidateCase{"[flt5o100]", kMultiUnsupportedTagValue, 1},
        ValidateCase{"[flx]", kMultiUnsupportedTagValue, 1},
        ValidateCase{"[flt5t3]", kMultiUnsupportedTagValue, 1},
        ValidateCase{"[/flx]", kMultiUnsupportedTagValue, 1},
        // [fo]
        ValidateCase{"[fo]A", kMultiOk, 0}, ValidateCase{"[fo2]A", kMultiOk, 0},
        ValidateCase{"[fo1,1234]A", kMultiOk, 0}, ValidateCase{"[FO2,beef]A", kMultiOk, 0},
        ValidateCase{"[fo21]", kMultiUnsupportedTagValue, 1},
        ValidateCase{"[fo0]", kMultiUnsupportedTagValue, 1},
        ValidateCase{"[fo300]", kMultiUnsupportedTagValue, 1},
        ValidateCase{"[fo9]", kMultiFontNotDefined, 1},
        ValidateCase{"[fo1x]", kMultiUnsupportedTagValue, 1},
        ValidateCase{"[fo1,12]", kMultiUnsupportedTagValue, 1},
        ValidateCase{"[fo1,12345]", kMultiUnsupportedTagValue, 1},
        ValidateCase{"AB[fo1,1235]", kMultiFontVersionId, 3},
        // Fields
        ValidateCase{"[f1][f2][f3][f3,2][f4][f5][f6][f7][f7,4][f8][f9][f10][f11]", kMultiOk, 0},
        ValidateCase{"[f92][f93][f94][f95][f96][f97][f98][f99]", kMultiOk, 0},
        ValidateCase{"[f0]", kMultiUnsupportedTagValue, 1},
        ValidateCase{"[f12]", kMultiUnsupportedTagValue, 1},
        ValidateCase{"[f91]", kMultiUnsupportedTagValue, 1},
        ValidateCase{"[f100]", kMultiUnsupportedTagValue, 1},
        ValidateCase{"[f3,100]", kMultiUnsupportedTagValue, 1},
        ValidateCase{"[f1,2345]", kMultiUnsupportedTagValue, 1},
        ValidateCase{"[f1x]", kMultiUnsupportedTagValue, 1},
        // Graphics
        ValidateCase{"[g1]", kMultiOk, 0}, ValidateCase{"[g1,87,9]", kMultiOk, 0},
        ValidateCase{"[g1,1,1,abcd]", kMultiOk, 0},
        ValidateCase{"[g3]", kMultiGraphicNotDefined, 1},
        ValidateCase{"[g2]", kMultiGraphicNotDefined, 1},
        ValidateCase{"[g0]", kMultiGraphicNotDefined, 1},
        ValidateCase{"[g1,1,1,ABCE]", kMultiGraphicId, 1},
        ValidateCase{"[g1,0,1]", kMultiUnsupportedTagValue, 1},
        ValidateCase{"[g1,88,1]", kMultiUnsupportedTagValue, 1},
        ValidateCase{"[g1,1,10]", kMultiUnsupportedTagValue, 1},
        ValidateCase{"[g1,1]", kMultiUnsupportedTagValue, 1},
        ValidateCase{"[g1,1,1,ABCDx]", kMultiUnsupportedTagValue, 1},
        // [hc]
        ValidateCase{"[hc41][hcZZ][hc]", kMultiOk, 0},
        // Justification
        ValidateCase{"[jl][jl1]A[jl2]B[jl3]C[jl4]D[jl5]", kMultiOk, 0},
        ValidateCase{"[jl6]", kMultiUnsupportedTagValue, 1},
        ValidateCase{"[jl33]", kMultiUnsupportedTagValue, 1},
        ValidateCase{"[jl0]", kMultiUnsupportedTagValue, 1},
        ValidateCase{"[jp][jp3][jp]", kMultiOk, 0}, ValidateCase{"[jp1]A", kMultiOk, 0},
        ValidateCase{"[jp2][jp3]", kMultiTagConflict, 6},
        ValidateCase{"[jp5]", kMultiUnsupportedTagValue, 1},
        ValidateCase{"[jp3]A[jp2]", kMultiTagConflict, 7}, ValidateCase{"[jp3]A[jp3]", kMultiOk, 0},
        ValidateCase{"[jp3]A[np][jp2]B", kMultiOk, 0},
        ValidateCase{"[jp3]A[tr1,1,0,0][jp2]B", kMultiOk, 0},
        // Moving text
        ValidateCase{"[mvcl40,2,5,HELLO]", kMultiOk, 0},
        ValidateCase{"[mvl3r40,2,5,X]Y", kMultiOk, 0},
        ValidateCase{"[mvcl40,2,5,A]]B]C", kMultiOk, 0},
        ValidateCase{"[mvcl40,2,5,[fo2]AB]", kMultiOk, 0},
        ValidateCase{"[MVCR40,2,5,x]", kMultiOk, 0},
        ValidateCase{"[mvxl40,2,5,A]", kMultiUnsupportedTag, 1},
        ValidateCase{"[mvcx40,2,5,A]", kMultiUnsupportedTag, 1},
        ValidateCase{"[mvcl40,2]", kMultiUnsupportedTag, 1},
        ValidateCase{"[mvcl40,2,5,ABC", kMultiUnsupportedTag, 1},
        ValidateCase{"[jl5][mvcl40,2,5,A]", kMultiTagConflict, 6},
        // Maker-specific tags
        ValidateCase{"[ms12,anything]A", kMultiOk, 0}, ValidateCase{"[ms]", kMultiOk, 0},
        ValidateCase{"[ms47,sc][ms47,name=x][/ms]", kMultiOk, 0},
        ValidateCase{"[ms47,zz]", kMultiUnsupportedTag, 1},
        ValidateCase{"[/MS]", kMultiUnsupportedTag, 1},
        ValidateCase{"[/msx]", kMultiUnsupportedTagValue, 1},
        ValidateCase{"[ms47,cf,255,0,0]A[ms47,cb,0,0,255]", kMultiOk, 0},
        ValidateCase{"[ms47,cf,256,0,0]", kMultiUnsupportedTagValue, 1},
        ValidateCase{"[ms47,cb,0,-1,0]", kMultiUnsupportedTagValue, 1},
        ValidateCase{"[ms47,r0,10][ms47,r,5,3]", kMultiOk, 0},
        ValidateCase{"[ms47,spk,1,3][ms47,spm,4,2]", kMultiOk, 0},
        ValidateCase{"[ms47,spx,1,3]", kMultiUnsupportedTag, 1},
        ValidateCase{"[ms47,spK,1,3]", kMultiUnsupportedTag, 1},
        ValidateCase{"[ms47,spk,0,3]", kMultiUnsupportedTagValue, 1},
        ValidateCase{"[ms47,spk,5,3]", kMultiUnsupportedTagValue, 1},
        ValidateCase{"[ms47,spk,99999999999999,3]", kMultiUnsupportedTagValue, 1},
        ValidateCase{"[ms47,spk,1,10]", kMultiUnsupportedTagValue, 1},
        ValidateCase{"[ms47,spk,1,2147483647]", kMultiUnsupportedTagValue, 1},
        ValidateCase{"[ms47,xy1,1]A[ms47,XY96][nl]", kMultiOk, 0},
        ValidateCase{"[ms47xy10]", kMultiOk, 0},
        ValidateCase{"[ms47,xy0,1]", kMultiUnsupportedTagValue, 1},
        ValidateCase{"[ms47,xy97,1]", kMultiUnsupportedTagValue, 1},
        ValidateCase{"[ms47,xy1,17]", kMultiUnsupportedTagValue, 1},
        ValidateCase{"[ms47,g,0,0,logo.bmp][ms47,G,5,5,direct.bmp]", kMultiOk, 0},
        ValidateCase{"[ms47,g,0,0,missing.bmp]", kMultiUnsupportedTagValue, 1},
        ValidateCase{"[ms47,g1,2,logo.bmp]", kMultiOk, 0},
        ValidateCase{"[ms47,g,0,0," + kName143 + "]", kMultiOk, 0},
        ValidateCase{"[ms47,g,0,0," + kName143 + "n]", kMultiUnsupportedTagValue, 1},
        ValidateCase{"[ms47,gpo,1,1][ms47,gpo,10,0][ms47,gpo,x][ms47,gpo,1,7]", kMultiOk, 0},
        // [nl] [np]
        ValidateCase{"A[nl]B[nl5]C[NL]", kMultiOk, 0},
        ValidateCase{"[nl100]", kMultiUnsupportedTagValue, 1},
        ValidateCase{"[nl5x]", kMultiUnsupportedTagValue, 1},
        ValidateCase{"[nl-1]", kMultiUnsupportedTagValue, 1},
        ValidateCase{"A[npx]B", kMultiUnsupportedTagValue, 2},
        // Page times
        ValidateCase{"[pt][pt30][pt30o5][pto5][pto][pt5o][po30o5]A", kMultiOk, 0},
        ValidateCase{"[pt256]", kMultiUnsupportedTagValue, 1},
        ValidateCase{"[pt5o256]", kMultiUnsupportedTagValue, 1},
        ValidateCase{"[pt5o3x]", kMultiUnsupportedTagValue, 1},
        ValidateCase{"[pt5x]", kMultiUnsupportedTagValue, 1},
        // Spacing
        ValidateCase{"[sc2]A[/sc]B[sc]", kMultiOk, 0},
        ValidateCase{"[sc100]", kMultiUnsupportedTagValue, 1},
        ValidateCase{"[sc5x]", kMultiUnsupportedTagValue, 1},
        ValidateCase{"[/scx]", kMultiUnsupportedTagValue, 1},
        // Text rectangles
        ValidateCase{"[tr1,1,0,0]A[tr1,1,48,8]B[TR49,9,48,8]C", kMultiOk, 0},
        ValidateCase{"[tr0,1,10,10]", kMultiUnsupportedTagValue, 1},
        ValidateCase{"[tr1,0,10,10]", kMultiUnsupportedTagValue, 1},
        ValidateCase{"[tr90,1,10,8]", kMultiUnsupportedTagValue, 1},
        ValidateCase{"[tr1,10,10,8]", kMultiUnsupportedTagValue, 1},
        ValidateCase{"[tr97,1,0,0]", kMultiUnsupportedTagValue, 1},
        ValidateCase{"[tr1,1,10,8,5]", kMultiUnsupportedTagValue, 1},
        ValidateCase{"[tr1,1,-5,8]", kMultiUnsupportedTagValue, 1},
        ValidateCase{"[tr99999999999,1,0,0]", kMultiUnsupportedTagValue, 1},
        // Tables are never overrun: a page that asks for more is refused.
        ValidateCase{Repeat("[nl]", 19), kMultiOk, 0},
        ValidateCase{Repeat("[nl]", 20), kMultiTextTooBig, 77},
        ValidateCase{Repeat("[nl]", 19) + "[np]" + Repeat("[nl]", 19), kMultiOk, 0},
        ValidateCase{Repeat("[tr1,1,0,0]", 11), kMultiOk, 0},
        ValidateCase{Repeat("[tr1,1,0,0]", 12), kMultiTextTooBig, 122},
        ValidateCase{Repeat("[mvcl1,1,1,A]", 20), kMultiOk, 0},
        ValidateCase{Repeat("[mvcl1,1,1,A]", 21), kMultiTextTooBig, 261},
        ValidateCase{Repeat("[fl]", 25), kMultiOk, 0},
        ValidateCase{Repeat("[fl]", 26), kMultiTextTooBig, 101}));

TEST_F(MultiParserTest, CountPages) {
    const struct {
        const char* text;
        uint8_t pages;
    } cases[] = {{"", 0}, {"A", 1}, {"A[np]B[NP]C", 3}, {"A[np]", 2}, {"[nP][Np]", 3}};
    for (const auto& c : cases) {
        EXPECT_EQ(parser.CountPages(c.text, static_cast<uint32_t>(std::strlen(c.text))), c.pages)
            << c.text;
    }
    EXPECT_EQ(parser.CountPages(nullptr, 5), 0);
    const std::string many = Repeat("[np]", 625);
    EXPECT_EQ(parser.CountPages(many.data(), static_cast<uint32_t>(many.size())), 255);
}

TEST_F(MultiParserTest, TrailingNewPageGivesOneEmptyPageThenEnds) {
    EXPECT_EQ(DrawPages("A[np]"), (std::vector<uint32_t>{0, 5}));
    EXPECT_EQ(message.next_page_start, 6u);
    EXPECT_EQ(message.page_counter, 0);  // the failed scan returned it to 0
    EXPECT_EQ(DrawPages("AB[np]CD"), (std::vector<uint32_t>{0, 6}));
    EXPECT_EQ(DrawPages("[np]"), (std::vector<uint32_t>{0}));
}

TEST_F(MultiParserTest, PageJustificationIsPerPageWhenDrawn) {
    EXPECT_EQ(DrawPages("[jp3]A[np][jp2]B"), (std::vector<uint32_t>{0, 10}));
    EXPECT_EQ(DrawPages("[jp3]A[jp2]B"), (std::vector<uint32_t>{}));
}

TEST_F(MultiParserTest, ScanBeyondTheTextIsEndOfText) {
    uint32_t next = 0;
    const char text[] = "A[np]";
    EXPECT_EQ(
        parser.ScanPage(&renderer, RecordingRenderer::Callback, &message, text, 5, 6, &next, false),
        kMultiEndOfText);
    EXPECT_EQ(parser.ScanPage(&renderer, RecordingRenderer::Callback, &message, text, 5, 0xFFFFFFFF,
                              &next, false),
              kMultiEndOfText);
    EXPECT_TRUE(renderer.elements.empty());
    EXPECT_EQ(
        parser.ScanPage(&renderer, RecordingRenderer::Callback, &message, text, 0, 0, &next, false),
        kMultiBadArguments);
    EXPECT_EQ(parser.ScanPage(&renderer, nullptr, &message, text, 5, 0, &next, false),
              kMultiBadArguments);
    EXPECT_EQ(parser.ScanPage(&renderer, RecordingRenderer::Callback, &message, nullptr, 5, 0,
                              &next, false),
              kMultiBadArguments);
}

TEST_F(MultiParserTest, ParsePageFindsPageByNumber) {
    const std::string text = "A[np]BB[NP]CCC";
    parser.SetMessage(&renderer, RecordingRenderer::Callback, &message, text.data(),
                      static_cast<uint32_t>(text.size()));
    const struct {
        uint32_t page;
        bool scanned;
        const char* run;
    } cases[] = {{0, true, "A"}, {1, true, "A"}, {2, true, "BB"}, {3, true, "CCC"}, {4, false, ""}};
    for (const auto& c : cases) {
        renderer.elements.clear();
        EXPECT_EQ(parser.ParsePage(&renderer, RecordingRenderer::Callback, &message, c.page),
                  c.scanned)
            << c.page;
        const auto runs = renderer.OfKind(kElementText);
        if (c.scanned) {
            ASSERT_FALSE(runs.empty());
            EXPECT_EQ(runs.back().text, c.run);
        } else {
            EXPECT_TRUE(runs.empty());
        }
    }
    CMessage empty;
    EXPECT_FALSE(parser.ParsePage(&renderer, RecordingRenderer::Callback, &empty, 1));
    EXPECT_TRUE(parser.ReparsePage(&empty));
}

TEST_F(MultiParserTest, NextPageAndReparseFollowTheOffsets) {
    const std::string text = "A[np]B";
    EXPECT_EQ(parser.SetMessage(&renderer, RecordingRenderer::Callback, &message, text.data(),
                                static_cast<uint32_t>(text.size())),
              0);
    EXPECT_TRUE(parser.ParseNextPage(&message));
    EXPECT_EQ(message.page_counter, 1);
    EXPECT_EQ(message.next_page_start, 5u);
    EXPECT_TRUE(parser.ReparsePage(&message));
    EXPECT_EQ(message.current_page_start, 0u);
    EXPECT_TRUE(parser.ParseNextPage(&message));
    EXPECT_EQ(message.page_counter, 2);
    EXPECT_EQ(message.current_page_start, 5u);
    EXPECT_FALSE(parser.ParseNextPage(&message));
    EXPECT_EQ(message.page_counter, 0);
    EXPECT_TRUE(parser.ResetDefaults(&message));
    EXPECT_EQ(message.next_page_start, 0u);
    EXPECT_TRUE(parser.ParseNextPage(&message));
    EXPECT_FALSE(parser.ResetDefaults(nullptr));
}

TEST_F(MultiParserTest, SetMessageKeepsAtMost2500Bytes) {
    const std::string text(3000, 'x');
    parser.SetMessage(&renderer, RecordingRenderer::Callback, &message, text.data(), 3000);
    EXPECT_EQ(message.text_length, 2500u);
    // A length written past the buffer is never trusted.
    message.text_length = 100000;
    EXPECT_TRUE(parser.ParseNextPage(&message));
    const auto runs = renderer.OfKind(kElementText);
    ASSERT_FALSE(runs.empty());
    EXPECT_EQ(runs.back().data.count, 2500u);
    EXPECT_EQ(parser.Validate(&renderer, RecordingRenderer::Callback, &message, text.data(), 3000),
              kMultiOk);
}

TEST_F(MultiParserTest, MeasuringThenDrawingPass) {
    DrawPages("AB[jl2]C[nl]D", 1);
    const std::vector<uint32_t> expected = {
        // measuring: run, segment end at [jl] (line has text), segment end and new line
        kElementText, kElementEndSegment, kElementText, kElementEndSegment, kElementNewLine,
        kElementText, kElementEndSegment, kElementEndMeasuring, kElementStartDrawing,
        // drawing
        kElementText, kElementText, kElementNewLine, kElementText};
    EXPECT_EQ(renderer.Kinds(), expected);
    EXPECT_TRUE(renderer.elements[0].measuring);
    EXPECT_FALSE(renderer.elements.back().measuring);

    renderer.elements.clear();
    EXPECT_EQ(Validate("[jl2]A[nl]B"), kMultiOk);
    for (const auto& e : renderer.elements) {
        EXPECT_TRUE(e.measuring);
        EXPECT_NE(e.kind, kElementStartDrawing);
    }
}

TEST_F(MultiParserTest, FieldRowsRestartWithEveryDrawingPass) {
    std::vector<uint16_t> rows;
    renderer.hook = [&](CMessage& m) {
        if (m.element_kind == kElementTimeField && !m.measuring_pass) {
            rows.push_back(m.field_rows_used);
            ++m.field_rows_used;
        }
        return kMultiOk;
    };
    DrawPages("[f1][f2]", 1);
    EXPECT_TRUE(parser.ReparsePage(&message));
    EXPECT_EQ(rows, (std::vector<uint16_t>{0, 1, 0, 1}));
}

TEST_F(MultiParserTest, DrawingPassStartsFromThePageAttributes) {
    std::vector<uint32_t> colours;
    renderer.hook = [&](CMessage& m) {
        if (m.element_kind == kElementText)
            colours.push_back(m.foreground_colour);
        return kMultiOk;
    };
    DrawPages("A[cf1]B", 1);
    const uint32_t amber = multi_colour_to_rgb15(9);
    const uint32_t red = multi_colour_to_rgb15(1);
    EXPECT_EQ(colours, (std::vector<uint32_t>{amber, red, amber, red}));
}

TEST_F(MultiParserTest, ElementsCarryTheirData) {
    env.SetVolatile(kTempMinCtrlCabinet, static_cast<uint8_t>(-10));
    env.SetVolatile(kTempMaxSignHousing, 25);
    EXPECT_EQ(Validate("[f1][f3][f3,2][f7][f7,4][f93][f98][f6,2]"), kMultiOk);
    const auto fields = renderer.elements;
    const std::vector<std::pair<uint32_t, std::string>> expected = {
        {kElementTimeField, "%#I:%M"}, {kElementCelsiusField, "%3d"},
        {kElementCelsiusField, "%2d"}, {kElementTimeField, "%a"},
        {kElementTimeField, "%A"},     {kElementFahrenheitField, "14"},
        {kElementCelsiusField, "25"},  {kElementSpeedMphField, "%2d"}};
    ASSERT_GE(fields.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(fields[i].kind, expected[i].first) << i;
        EXPECT_EQ(fields[i].text, expected[i].second) << i;
    }
    EXPECT_EQ(fields[1].data.field, 3);

    renderer.elements.clear();
    EXPECT_EQ(Measure("[hc41][hcff][hc1g2][g1,3,4][ms47,g,7,8,logo.bmp][ms47,r300,9]"
                      "[ms47,spm,2,3][ms47,xy5,9]"),
              kMultiOk);
    const auto& e = renderer.elements;
    ASSERT_EQ(e.size(), 10u);
    EXPECT_EQ(e[0].data.character, 0x41);
    EXPECT_EQ(e[1].data.character, 0x00);  // lower-case digits count as 0
    EXPECT_EQ(e[2].data.character, 0x02);  // only the low 8 bits of 0x102
    EXPECT_EQ(e[3].kind, kElementGraphic);
    EXPECT_EQ(e[3].data.graphic_number, 1);
    EXPECT_EQ(e[3].data.graphic_id, 0xABCD);
    EXPECT_EQ(e[3].data.x, 3);
    EXPECT_EQ(e[3].data.y, 4);
    EXPECT_EQ(e[4].kind, kElementBitmapFile);
    EXPECT_EQ(e[4].text, "Bitmaps/logo.bmp");
    EXPECT_EQ(e[4].data.x, 7);
    EXPECT_EQ(e[5].kind, kElementRemoteText);
    EXPECT_EQ(e[5].data.remote_offset, 300);
    EXPECT_EQ(e[5].data.remote_length, 9);
    EXPECT_EQ(e[6].kind, kElementSpeedSensor);
    EXPECT_EQ(e[6].data.unit, 1);
    EXPECT_EQ(e[6].data.sensor, 2);
    EXPECT_EQ(e[6].text, "%3d");
    EXPECT_EQ(e[7].kind, kElementAbsolutePosition);
    EXPECT_EQ(message.cursor_x, 4);
    EXPECT_EQ(message.cursor_y, 8);
    EXPECT_EQ(e[8].kind, kElementEndSegment);
    EXPECT_EQ(e[9].kind, kElementEndMeasuring);
}

TEST_F(MultiParserTest, BitmapLookedUpAsWrittenThenUnderBitmaps) {
    EXPECT_EQ(Validate("[ms47,g,0,0,direct.bmp]"), kMultiOk);
    EXPECT_EQ(env.stats, (std::vector<std::string>{"direct.bmp"}));
    env.stats.clear();
    EXPECT_EQ(Validate("[ms47,g,0,0,other.bmp]"), kMultiUnsupportedTagValue);
    EXPECT_EQ(env.stats, (std::vector<std::string>{"other.bmp", "Bitmaps/other.bmp"}));
    // The longest name with the folder in front still fits the element's name.
    EXPECT_EQ(Validate("[ms47,g,0,0," + kName143 + "]"), kMultiOk);
    const auto files = renderer.OfKind(kElementBitmapFile);
    ASSERT_FALSE(files.empty());
    EXPECT_EQ(files.back().text, "Bitmaps/" + kName143);
    EXPECT_EQ(files.back().text.size(), 151u);
}

TEST_F(MultiParserTest, GeneralPurposeOutputsOnlyWhenDrawn) {
    EXPECT_EQ(Validate("[ms47,gpo,3,1]"), kMultiOk);
    EXPECT_TRUE(env.gpo.empty());
    DrawPages("[ms47,gpo,3,1][ms47,gpo,10,0][ms47,gpo,2,5][ms47,gpo,11,1][ms47,gpo3,1]A", 1);
    EXPECT_EQ(env.gpo, (std::vector<std::pair<unsigned, bool>>{{3, true}, {10, false}}));
    // A preview drawn on the panel leaves the outputs alone.
    env.gpo.clear();
    message.trial_render = 1;
    DrawPages("[ms47,gpo,3,1]A", 1);
    EXPECT_TRUE(env.gpo.empty());
}

TEST_F(MultiParserTest, CallbackFailureStopsTheScanAtTheOffset) {
    // A text run refused at the tag that follows it.
    renderer.fail_kind = kElementText;
    renderer.fail_result = kMultiTextTooBig;
    EXPECT_EQ(Validate("ABC[nl]D"), kMultiTextTooBig);
    EXPECT_EQ(message.error_position, 3u);
    // At the end of the text the renderer's own position stands.
    renderer.hook = [](CMessage& m) {
        m.error_position = 2;
        return kMultiOk;
    };
    EXPECT_EQ(Validate("ABCD"), kMultiTextTooBig);
    EXPECT_EQ(message.error_position, 2u);
    // A field that the renderer refuses is refused at its tag.
    renderer.hook = nullptr;
    renderer.fail_kind = kElementCelsiusField;
    renderer.fail_result = kMultiTagConflict;
    EXPECT_EQ(Validate("AB[f3]"), kMultiTagConflict);
    EXPECT_EQ(message.error_position, 3u);
    // A refused moving-text end.
    renderer.fail_kind = kElementMovingTextEnd;
    renderer.fail_result = kMultiTextTooBig;
    EXPECT_EQ(Validate("[mvcl9,1,1,AB]C"), kMultiTextTooBig);
    EXPECT_EQ(message.error_position, 13u);
}

TEST_F(MultiParserTest, OverlappingSegmentsAreTooBig) {
    // Segments laid out by the renderer at the end of the measuring pass.
    int touching = 0;
    renderer.hook = [&](CMessage& m) {
        if (m.element_kind == kElementEndMeasuring) {
            line_cell& cell = m.line_cells[0][0];
            cell.left_x = 0;
            cell.left_width = 30;
            cell.centre_x = static_cast<int16_t>(30 + touching);
            cell.centre_width = 20;
        }
        return kMultiOk;
    };
    EXPECT_EQ(Validate("[jl2]A[jl3]B"), kMultiTextTooBig);
    EXPECT_EQ(message.error_position, 12u);
    touching = 1;
    EXPECT_EQ(Validate("[jl2]A[jl3]B"), kMultiOk);
    touching = 0;
    // A page that ends with [np] is checked as well as the last.
    EXPECT_EQ(Validate("[jl2]A[jl3]B[np]C"), kMultiTextTooBig);
    EXPECT_EQ(message.error_position, 13u);
    EXPECT_TRUE(DrawPages("[jl2]A[jl3]B[np]C").empty());
}

TEST_F(MultiParserTest, MessageTooTallForItsRectangle) {
    std::string captured;
    DebugSetTraceLevel(1);
    static std::string* sink = nullptr;
    sink = &captured;
    DebugSetSink([](const char* text) { *sink += text; });
    renderer.hook = [](CMessage& m) {
        if (m.element_kind == kElementEndMeasuring) {
            m.line_cells[0][1].y = 9;
            m.line_cells[0][1].height = 8;
        }
        return kMultiOk;
    };
    EXPECT_EQ(Validate("A[nl]B"), kMultiTextTooBig);
    EXPECT_NE(captured.find("CMultiParser::Validate: Error Message too tall\n"), std::string::npos);
    // Also on a page that ends with [np].
    EXPECT_EQ(Validate("A[nl]B[np]C"), kMultiTextTooBig);
    EXPECT_EQ(message.error_position, 0u);
    DebugSetSink(nullptr);
    DebugSetTraceLevel(0);
}

TEST_F(MultiParserTest, DefaultsFromCacheOrDatabase) {
    EXPECT_EQ(Validate("A"), kMultiOk);  // caches the defaults (font 1, amber)
    env.Set(kDefaultFont, 2);
    env.Set(kDefaultForegroundColor, 1);
    // Without the database bit a change waits for the next validation.
    DrawPages("[fo2][cf3][fo][cf]A", 1);
    EXPECT_EQ(message.current_font, 1);
    EXPECT_EQ(message.foreground_colour, multi_colour_to_rgb15(9));
    EXPECT_EQ(Validate("A"), kMultiOk);
    EXPECT_EQ(Measure("[fo1][cf3][fo][cf]A"), kMultiOk);
    EXPECT_EQ(message.current_font, 2);
    EXPECT_EQ(message.foreground_colour, multi_colour_to_rgb15(1));
    // With it the database is read at each tag.
    env.Set(kSpecialFeatureSet, kFeatureDatabaseDefaults);
    env.Set(kDefaultFont, 1);
    env.Set(kDefaultFlashOn, 0);
    DrawPages("[fo2][fo][fl]A", 1);
    EXPECT_EQ(message.current_font, 1);
    EXPECT_EQ(message.flash_mode, 0);  // a default time of 0: no flashing
}

TEST_F(MultiParserTest, CompatibilityModeFontZeroIsFontOne) {
    EXPECT_EQ(Validate("[fo0]A"), kMultiUnsupportedTagValue);
    env.Set(kSpecialFeatureSet, kFeatureCompatibility);
    EXPECT_EQ(Measure("[fo0]A"), kMultiOk);
    EXPECT_EQ(message.current_font, 1);
}

TEST_F(MultiParserTest, FontFoundInAnotherSlot) {
    env.Set(FontNumber(7), 12);
    env.Set(FontVersionId(7), 0x0102);
    EXPECT_EQ(Validate("[fo12,0102]A"), kMultiOk);
    EXPECT_EQ(Validate("[fo12,0103]A"), kMultiFontVersionId);
}

TEST_F(MultiParserTest, ColourCapabilityOfTheModule) {
    const struct {
        uint32_t module;  // 116: RGB; anything else: monochrome
        const char* text;
        MultiParseResult result;
    } cases[] = {
        {116, "[cf4]", kMultiOk},
        {116, "[cb3]", kMultiOk},
        {0, "[cf4]", kMultiUnsupportedTagValue},
        {0, "[cf3]", kMultiUnsupportedTagValue},
        {0, "[cf9][cf1][cf0]", kMultiOk},
        {0, "[cb3]", kMultiUnsupportedTagValue},
        {0, "[cb9][cb0][cb]", kMultiOk},
        {0, "[cf255,128,0]", kMultiOk},
    };
    for (const auto& c : cases) {
        env.Set(kModuleId, c.module);
        EXPECT_EQ(Validate(c.text), c.result) << c.text;
    }
    struct TwoColour : FakeMultiEnvironment {
        MultiModuleType ModuleType() override { return {2, 5}; }
    } two;
    EXPECT_EQ(Validate("[cf3][cf1][cf9][cf0]"), kMultiOk);
    EXPECT_EQ(Validate("[cf4]"), kMultiUnsupportedTagValue);
    EXPECT_EQ(Measure("[cf255,128,0]"), kMultiOk);
    EXPECT_EQ(message.foreground_colour, 0x021Fu);
}

TEST_F(MultiParserTest, CharacterMatrixSign) {
    env.Set(kSignType, 4);
    env.Set(kSignWidthPixels, 100);
    env.Set(kSignHeightPixels, 21);
    env.Set(kCharacterWidthPixels, 5);
    env.Set(kCharacterHeightPixels, 7);
    env.Set(kModuleId, 0);
    const struct {
        const char* text;
        MultiParseResult result;
    } cases[] = {
        {"[tr1,1,10,7]A", kMultiOk},
        {"[tr2,1,10,7]", kMultiUnsupportedTagValue},
        {"[tr1,1,11,7]", kMultiUnsupportedTagValue},
        {"[tr1,2,10,7]", kMultiUnsupportedTagValue},
        {"[tr1,8,0,0]", kMultiOk},
        {"[ms47,xy3,8]", kMultiOk},
        {"[ms47,xy3,9]", kMultiUnsupportedTagValue},
        {"[ms47,g,0,0,logo.bmp]", kMultiUnsupportedTagValue},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Validate(c.text), c.result) << c.text;
    }
    // A moving-text step is rounded to the module's character cell.
    const struct {
        const char* text;
        uint8_t step;
    } steps[] = {{"[mvcl20,7,1,A]", 5}, {"[mvcl20,8,1,A]", 10}, {"[mvcl20,0,1,A]", 5}};
    for (const auto& s : steps) {
        EXPECT_EQ(Measure(s.text), kMultiOk);
        EXPECT_EQ(message.moving_texts[0].step, s.step) << s.text;
    }
    // No line spacing on character- and line-matrix signs.
    EXPECT_EQ(Measure("A[nl9]B"), kMultiOk);
    EXPECT_EQ(message.line_cells[0][0].line_spacing, 0);
}

TEST_F(MultiParserTest, LineMatrixChecksRowsOnly) {
    env.Set(kSignType, 5);
    env.Set(kCharacterHeightPixels, 8);
    env.Set(kCharacterWidthPixels, 5);
    EXPECT_EQ(Validate("[tr2,1,10,8]"), kMultiOk);
    EXPECT_EQ(Validate("[tr1,2,10,8]"), kMultiUnsupportedTagValue);
    EXPECT_EQ(Validate("[ms47,g,0,0,logo.bmp]"), kMultiOk);
}

TEST_F(MultiParserTest, NewLineSpacing) {
    // (largest font line spacing of the line + last font's line spacing + 1) / 2
    message.font.SetSlot(1);  // line spacing 4
    renderer.hook = [](CMessage& m) {
        if (m.element_kind == kElementText)
            m.CurrentLine().largest_font_line_spacing = 3;
        return kMultiOk;
    };
    EXPECT_EQ(Measure("A[nl]B[nl7]C"), kMultiOk);
    EXPECT_EQ(message.line_cells[0][0].line_spacing, 4);
    EXPECT_EQ(message.line_cells[0][1].line_spacing, 7);
    // Spacings too large for the 7-bit field saturate.
    env.Set(FontLineSpacing(1), 255);
    renderer.hook = [](CMessage& m) {
        if (m.element_kind == kElementText)
            m.CurrentLine().largest_font_line_spacing = 255;
        return kMultiOk;
    };
    EXPECT_EQ(Measure("A[nl]B"), kMultiOk);
    EXPECT_EQ(message.line_cells[0][0].line_spacing, 127);
}

TEST_F(MultiParserTest, AbsolutePositionSavesAndRestoresJustification) {
    EXPECT_EQ(Measure("[jl4][jp2][ms47,xy10,3]A"), kMultiOk);
    EXPECT_EQ(message.line_justification[0], 1);
    EXPECT_EQ(message.page_justification[0], 1);
    EXPECT_EQ(message.line_cells[0][0].absolute_x, 9);
    EXPECT_EQ(message.line_cells[0][0].y, 2);
    EXPECT_EQ(Measure("[jl4][jp2][ms47,xy10,3]A[ms47,xy20]B[nl]C"), kMultiOk);
    EXPECT_EQ(message.line_justification[0], 4);
    EXPECT_EQ(message.page_justification[0], 2);
}

TEST_F(MultiParserTest, MovingTextEntryAndSegmentWidth) {
    message.frame_rate = 100;
    EXPECT_EQ(Measure("[jl2]AB[mvl9r40,3,5,HELLO]"), kMultiOk);
    const moving_text_entry& e = message.moving_texts[0];
    EXPECT_EQ(e.mode, 4);
    EXPECT_EQ(e.linear_count, 9);
    EXPECT_EQ(e.width, 40u);
    EXPECT_EQ(e.step, 3);
    EXPECT_EQ(e.frames_per_step, 50);
    EXPECT_EQ(e.offset, kMovingTextNotStarted);
    EXPECT_EQ(message.line_cells[0][0].left_width, 40);
    EXPECT_EQ(message.line_cells[0][0].moving_text, 1);
    const auto runs = renderer.OfKind(kElementText);
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[1].text, "HELLO");
    // Frame counts saturate rather than wrap.
    EXPECT_EQ(Measure("[mvcl99999999,999,99,A]"), kMultiOk);
    EXPECT_EQ(message.moving_texts[0].frames_per_step, 255);
    EXPECT_EQ(message.moving_texts[0].step, 255);
    EXPECT_EQ(message.moving_texts[0].width, 65535u);
    // A line that recorded another justification cannot take moving text.
    renderer.hook = [](CMessage& m) {
        if (m.element_kind == kElementText)
            m.CurrentLine().recorded_justification = 2;
        return kMultiOk;
    };
    EXPECT_EQ(Validate("[jl3]A[mvcl9,1,1,B]"), kMultiTagConflict);
}

TEST_F(MultiParserTest, TextRectangleStoredAfterDelivery) {
    EXPECT_EQ(Measure("A[tr11,3,20,5]B[tr1,1,0,0]"), kMultiOk);
    const text_rectangle& r1 = message.text_rectangles[1];
    EXPECT_EQ(r1.x0, 10);
    EXPECT_EQ(r1.y0, 2);
    EXPECT_EQ(r1.x1, 30);
    EXPECT_EQ(r1.y1, 7);
    const text_rectangle& r2 = message.text_rectangles[2];
    EXPECT_EQ(r2.x1, 96);
    EXPECT_EQ(r2.y1, 16);
    const std::vector<uint32_t> expected = {
        kElementText,       kElementEndSegment,  kElementEndMeasuring, kElementTextRectangle,
        kElementText,       kElementEndSegment,  kElementEndMeasuring, kElementTextRectangle,
        kElementEndSegment, kElementEndMeasuring};
    EXPECT_EQ(renderer.Kinds(), expected);
}

class FlashRegionTest : public MultiParserTest {};

TEST_F(FlashRegionTest, PhasesLastTheirFrames) {
    const struct {
        const char* text;
        uint8_t rate;
        std::vector<uint32_t> phases;  // phase of region 0 at each redraw
    } cases[] = {
        {"[flt5o3]A", 10, {2, 2, 2, 2, 2, 1, 1, 1, 2}},
        {"[flt5o3]A", 4, {2, 2, 1, 1, 2}},
        {"[flo3t5]A", 10, {1, 1, 1, 2, 2, 2, 2, 2, 1}},
        {"[flt0o5]A", 10, {1, 1, 1, 1, 1, 1, 1}},  // a phase of no frames is skipped
        {"[flt5o0]A", 10, {2, 2, 2, 2, 2, 2, 2}},
        {"[flt0o0]A", 10, {2, 2, 2}},
    };
    for (const auto& c : cases) {
        const std::string text = c.text;
        parser.SetMessage(&renderer, RecordingRenderer::Callback, &message, text.data(),
                          static_cast<uint32_t>(text.size()));
        message.frame_rate = c.rate;
        std::vector<uint32_t> phases;
        for (size_t i = 0; i < c.phases.size(); ++i) {
            ASSERT_TRUE(parser.ReparsePage(&message));
            phases.push_back(message.flash_regions[0].phase);
        }
        EXPECT_EQ(phases, c.phases) << c.text << " at " << int(c.rate);
    }
}

TEST_F(FlashRegionTest, LongPhasesSaturate) {
    CMessage m;
    m.flash_mode = 1;
    m.flash_on_time = 99;
    m.frame_rate = 100;
    CMULTIParser::StepFlashRegion(&m);
    EXPECT_EQ(m.flash_regions[0].phase, kFlashShowing);
    EXPECT_EQ(m.flash_regions[0].countdown, 254);
    EXPECT_EQ(m.current_flash_region, 1u);
    // Past the last region nothing is stepped.
    m.current_flash_region = CMessage::kFlashRegions;
    CMULTIParser::StepFlashRegion(&m);
    EXPECT_EQ(m.current_flash_region, CMessage::kFlashRegions);
}

TEST_F(FlashRegionTest, FlashingCarriedIntoAPageStepsTheFirstRegion) {
    // 24 regions after the one stepped at the start of the page.
    const std::string text = "[fl]A[np]" + Repeat("[fl]", 24) + "B";
    EXPECT_EQ(Validate(text), kMultiOk);
    parser.SetMessage(&renderer, RecordingRenderer::Callback, &message, text.data(),
                      static_cast<uint32_t>(text.size()));
    EXPECT_TRUE(parser.ParseNextPage(&message));
    EXPECT_EQ(message.flash_mode, 1);
    EXPECT_TRUE(parser.ParseNextPage(&message));
    EXPECT_EQ(message.current_flash_region, 25u);
    const std::string more = "[fl]A[np]" + Repeat("[fl]", 25) + "B";
    parser.SetMessage(&renderer, RecordingRenderer::Callback, &message, more.data(),
                      static_cast<uint32_t>(more.size()));
    EXPECT_TRUE(parser.ParseNextPage(&message));
    EXPECT_FALSE(parser.ParseNextPage(&message));
}

}  // namespace

namespace {

// The controller's own environment reads the object store installed at start-up.
TEST(MultiParserObjectStore, ChecksTagsAgainstTheStore) {
    CDataBase db;
    auto set = [&](ObjectRef ref, uint32_t value) {
        ASSERT_EQ(db.SetInt(ref.id, ref.width, value, DbImage::kNv, kDbSkipValidation), kDbOk);
    };
    set(kSignType, 6);
    set(kSignWidthPixels, 120);
    set(kSignHeightPixels, 24);
    set(FontNumber(0), 1);
    set(FontNumber(4), 5);
    set(FontVersionId(4), 0x0A0B);
    sign_objects::AttachDatabase(&db);
    CMULTIParser parser;
    CMessage message;
    RecordingRenderer renderer;
    auto validate = [&](const std::string& text) {
        return parser.Validate(&renderer, RecordingRenderer::Callback, &message, text.data(),
                               static_cast<uint32_t>(text.size()));
    };
    EXPECT_EQ(validate("[fo5,0a0b]A[tr100,1,21,24]B"), kMultiOk);
    EXPECT_EQ(validate("[fo5,0a0c]A"), kMultiFontVersionId);
    EXPECT_EQ(validate("[fo6]A"), kMultiFontNotDefined);
    EXPECT_EQ(validate("[tr100,1,22,24]"), kMultiUnsupportedTagValue);
    sign_objects::AttachDatabase(nullptr);
    EXPECT_EQ(validate("[fo5]A"), kMultiFontNotDefined);
}

}  // namespace

namespace {

// Bitmap files are looked up in the boot monitor's flash file system.
TEST(MultiParserFlashFiles, BitmapMustExistInFlash) {
    monitor_test::TempBoard board;
    auto monitor = board.Boot();
    ASSERT_NE(monitor, nullptr);
    const char bytes[] = "BM";
    ASSERT_EQ(mon_tfsadd("Bitmaps/logo.bmp", "", "", bytes, 2), TFS_OKAY);
    ASSERT_EQ(mon_tfsadd("top.bmp", "", "", bytes, 2), TFS_OKAY);
    CMULTIParser parser;
    CMessage message;
    RecordingRenderer renderer;
    auto validate = [&](const std::string& text) {
        return parser.Validate(&renderer, RecordingRenderer::Callback, &message, text.data(),
                               static_cast<uint32_t>(text.size()));
    };
    EXPECT_EQ(validate("[ms47,g,0,0,logo.bmp][ms47,g,0,0,top.bmp]"), kMultiOk);
    const auto files = renderer.OfKind(kElementBitmapFile);
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(files[0].text, "Bitmaps/logo.bmp");
    EXPECT_EQ(files[1].text, "top.bmp");
    EXPECT_EQ(validate("[ms47,g,0,0,none.bmp]"), kMultiUnsupportedTagValue);
}

}  // namespace
