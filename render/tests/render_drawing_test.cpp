// Element drawing: produced texts, field status objects, flashing at other frame rates,
// moving text without width, graphic statuses and graphic data limits.

#include <gtest/gtest.h>

#include <string>

#include "database/data_base.h"
#include "database/object_ids.h"
#include "render/render_fields.h"
#include "render/render_glyph_cache.h"
#include "render/render_graphics.h"
#include "render/render_moving_text.h"
#include "render/render_objects.h"
#include "render/tests/render_fixture.h"

namespace {

using render_test::Sign;
namespace ro = render_objects;

constexpr uint32_t kTuesday1405 = 1796738700;

std::string Produce(uint32_t kind, const char* format, uint16_t field = 0) {
    CMessage m;
    m.element_kind = kind;
    std::snprintf(m.element.format, sizeof m.element.format, "%s", format);
    m.element.field = field;
    char out[kProducedTextSize];
    const uint32_t n = RenderProduceText(m, out, sizeof out);
    return std::string(out, n);
}

TEST(RenderFields, ProducedTextsFollowTheirFormats) {
    Sign sign;
    sign.store.SetVolatile(ro::kControllerLocalTime.id, 4, kTuesday1405);
    sign.store.SetVolatile(ro::kTempMaxAmbient.id, 1, 0xD8);  // -40
    sign.store.SetVolatile(ro::kCurrentSpeed.id, 1, 100);
    sign.store.SetVolatile(ro::SensorValue(2).id, 2, 100);
    struct Case {
        uint32_t kind;
        const char* format;
        const char* text;
    } cases[] = {
        {kElementTimeField, "%#I:%M", " 2:05"},
        {kElementTimeField, "%H:%M", "14:05"},
        {kElementTimeField, "%a", "TUE"},
        {kElementTimeField, "%A", "TUESDAY"},
        {kElementTimeField, "%d/%m/%y %Y", "08/12/26 2026"},
        {kElementCelsiusField, "%3d", "-40"},
        {kElementFahrenheitField, "%3d", "-40"},
        {kElementSpeedMphField, "%3d", " 62"},
        {kElementSpeedKmhField, "%2d", "100"},
        {kElementCelsiusField, "-7", "-7"},  // maker fields carry the finished number
        {kElementCelsiusField, "%n%s", "%n%s"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Produce(c.kind, c.format), c.text) << c.format;
    }
    CMessage m;
    m.element_kind = kElementSpeedSensor;
    std::snprintf(m.element.format, sizeof m.element.format, "%%3d");
    m.element.sensor = 2;
    m.element.unit = 1;
    char out[kProducedTextSize];
    EXPECT_EQ(std::string(out, RenderProduceText(m, out, sizeof out)), " 62");
}

TEST(RenderFields, RemoteTextIsCutToItsRangeAndToTheTextBuffer) {
    Sign sign;
    const std::string remote = std::string(300, 'R') + "END";
    sign.store.SetVolatileString(ro::kRemoteTextId, remote.data(),
                                 static_cast<uint32_t>(remote.size()));
    struct Case {
        uint16_t offset;
        uint8_t length;
        std::string text;
    } cases[] = {
        {300, 2, "EN"},
        {300, 200, "END"},
        {303, 5, ""},
        {400, 5, ""},
        {0, 255, std::string(50, 'R')},
    };
    for (const Case& c : cases) {
        CMessage m;
        m.element_kind = kElementRemoteText;
        m.element.remote_offset = c.offset;
        m.element.remote_length = c.length;
        char out[kProducedTextSize];
        EXPECT_EQ(std::string(out, RenderProduceText(m, out, sizeof out)), c.text) << c.offset;
    }
}

TEST(RenderFields, DrawingOnTheSignFillsTheFieldStatusRowsButATrialRenderDoesNot) {
    Sign sign(RenderSignGeometry{.width = 120, .height = 16});
    sign.store.SetVolatile(ro::kControllerLocalTime.id, 4, kTuesday1405);
    ASSERT_EQ(sign.Load("[f2] [f8]"), kMultiOk);
    CDataBase& db = sign.store.Database();
    uint32_t length = 0;
    EXPECT_STREQ(db.GetString(ro::MultiFieldValueId(0), 4, DbImage::kVolatile, &length), "14:05");
    EXPECT_STREQ(db.GetString(ro::MultiFieldValueId(1), 4, DbImage::kVolatile, &length), "08");
    EXPECT_EQ(sign.store.Volatile(ro::MultiFieldCode(0).id, 1), 2u);
    EXPECT_EQ(sign.store.Volatile(ro::MultiFieldCode(1).id, 1), 8u);
    EXPECT_EQ(sign.store.Volatile(ro::kMultiFieldRows.id, 1), 2u);
    sign.player->NextFrame();  // a redraw fills the same rows again
    EXPECT_EQ(sign.store.Volatile(ro::kMultiFieldRows.id, 1), 2u);

    Sign trial(RenderSignGeometry{.width = 120, .height = 16});
    trial.player->Message().trial_render = 1;
    ASSERT_EQ(trial.Load("[f2] [f8]"), kMultiOk);
    EXPECT_EQ(trial.store.Volatile(ro::kMultiFieldRows.id, 1), 0u);
    EXPECT_EQ(trial.store.Volatile(ro::MultiFieldCode(0).id, 1), 0u);
}

TEST(RenderFields, FieldsPastTheLastStatusRowReuseItAndTouchNothingBeyond) {
    Sign sign(RenderSignGeometry{.width = 400, .height = 16});
    sign.store.SetVolatile(ro::kControllerLocalTime.id, 4, kTuesday1405);
    CDataBase& db = sign.store.Database();
    db.SetString(dbo::lampFailureStuckOn.id, 4, "\x01", 1, DbImage::kVolatile, 0);
    std::string text;
    for (int i = 0; i < 14; ++i) {
        text += "[f8] ";
    }
    ASSERT_EQ(sign.Load(text.c_str()), kMultiOk);
    uint32_t length = 0;
    const char* last = db.GetString(ro::MultiFieldValueId(ro::kFieldStatusRows - 1), 4,
                                    DbImage::kVolatile, &length);
    EXPECT_EQ(std::string(last, length), "08");
    EXPECT_EQ(sign.store.Volatile(ro::kMultiFieldRows.id, 1), ro::kFieldStatusRows);
    const char* lamp = db.GetString(dbo::lampFailureStuckOn.id, 4, DbImage::kVolatile, &length);
    EXPECT_EQ(std::string(lamp, length), "\x01") << "the row after the table is not a field row";
}

// A clock that moves on at every read: the measuring and the drawing pass see other days.
class RunningClock : public CRenderSignStore {
public:
    using CRenderSignStore::CRenderSignStore;
    uint32_t GetVolatile(uint32_t id, uint32_t width) override {
        if (id == ro::kControllerLocalTime.id) {
            return kTuesday1405 + 86400 * (reads++ % 2);  // TUESDAY, WEDNESDAY
        }
        return CRenderSignStore::GetVolatile(id, width);
    }
    uint32_t reads = 0;
};

TEST(RenderFields, AFieldIsReadOncePerScanSoFullJustificationKeepsItsPositions) {
    RenderSignGeometry g{.width = 120, .height = 16};
    Sign fixed(g);
    fixed.store.SetVolatile(ro::kControllerLocalTime.id, 4, kTuesday1405);
    ASSERT_EQ(fixed.Load("[jl5][f7,4]"), kMultiOk);
    std::vector<uint32_t> expected;
    for (int32_t x = 0; x < 120; ++x)
        expected.push_back(fixed.Colour(x, 8));

    RunningClock clock(g);  // installed in place of the fixture's store
    CRender render;
    render.AllocateSurface(16, 120, 15);
    CRenderPlayer player(render);
    ASSERT_EQ(player.Load("[jl5][f7,4]", 11), kMultiOk);
    clock.reads = 0;
    player.NextFrame();
    EXPECT_GE(clock.reads, 1u);
    for (int32_t x = 0; x < 120; ++x) {
        EXPECT_EQ(render.Surface().GetPixel(x, 8) >> 16, expected[x]) << x;
    }
}

TEST(RenderFields, AFieldThatDoesNotFitIsTooBig) {
    // The field's first character is the one that does not fit.
    Sign sign;
    sign.store.SetVolatileString(ro::kRemoteTextId, "ab", 2);
    EXPECT_EQ(sign.Validate("[fo4][jl2]zzzr[ms47,r0,2]"), kMultiTextTooBig);
    EXPECT_EQ(sign.Validate("[fo4][jl2]zzzr[hc61]"), kMultiTextTooBig);
    EXPECT_EQ(sign.Validate("[fo4][jl2]zzzq[hc61]"), kMultiOk);
    EXPECT_EQ(sign.Validate("[fo4][jl2]zzo[ms47,r0,2]"), kMultiOk);
}

TEST(RenderFlash, PhasesLastTheirTimeInFramesOfTheRendererRate) {
    struct Case {
        uint8_t rate;
        const char* text;
        const char* shown;  // per frame
    } cases[] = {
        {10, "[flt5o3]A", "11111000111110001"},
        {4, "[flt5o3]A", "11001100"},  // ceil(5 x 4 / 10), ceil(3 x 4 / 10),
        {10, "[flo3t5]A", "00011111000111110"},
    };
    for (const Case& c : cases) {
        Sign sign(RenderSignGeometry{.width = 20, .height = 14});
        sign.render.frame_rate = c.rate;
        ASSERT_EQ(sign.Load(std::string("[fo1]") + c.text), kMultiOk);
        std::string shown;
        for (size_t f = 0; f < std::strlen(c.shown); ++f) {
            if (f > 0)
                sign.player->NextFrame();
            shown += sign.LitColumns(0, 14).first >= 0 ? '1' : '0';
        }
        EXPECT_EQ(shown, c.shown) << c.text << " at " << int(c.rate);
    }
}

TEST(RenderMovingText, TextWithoutWidthNeitherStepsNorDraws) {
    for (const char* text : {"[mvcl40,2,1,]", "[mvcr40,2,1,Z]", "[mvll40,2,1,ZZ]", "[mvlr40,2,1,Z]",
                             "[mvcl40,0,0,Z]A"}) {
        Sign sign(RenderSignGeometry{.width = 64, .height = 7});
        ASSERT_EQ(sign.Load(std::string("[fo4]") + text), kMultiOk) << text;
        for (int f = 0; f < 5; ++f) {
            EXPECT_TRUE(sign.player->NextFrame()) << text;
        }
        const moving_text_entry& e = sign.player->Message().moving_texts[0];
        EXPECT_EQ(e.text_width, 0u) << text;
        EXPECT_EQ(e.offset, kMovingTextNotStarted) << text;
    }
}

TEST(RenderMovingText, LinearLeftHoldsAtItsEndForItsCount) {
    moving_text_entry e;
    e.mode = 3;
    e.width = 10;
    e.text_width = 14;
    e.step = 2;
    e.frames_per_step = 1;
    e.linear_count = 3;
    std::vector<int32_t> x;
    for (int f = 0; f < 12; ++f)
        x.push_back(RenderAdvanceMovingText(e));
    // Reaches the end at frame 2, then holds 3 frames more.
    EXPECT_EQ(x, (std::vector<int32_t>{0, -2, -4, -4, -4, -4, 0, -2, -4, -4, -4, -4}));
}

TEST(RenderMovingText, CircularLeftFillsTheWindowWithCopies) {
    Sign sign(RenderSignGeometry{.width = 96, .height = 7});
    // 40 pixels of text (lit 20, unlit 14, lit 6), step 2: 4 copies, at 0, 40, 80 and 120.
    ASSERT_EQ(sign.Load("[fo4][jl2][mvcl96,2,1,t..f]"), kMultiOk);
    EXPECT_EQ(sign.player->Message().moving_texts[0].text_width, 40u);
    for (int32_t x : {0, 19, 34, 40, 80, 95})
        EXPECT_TRUE(sign.Lit(x, 3)) << x;
    for (int32_t x : {20, 33, 60, 73})
        EXPECT_FALSE(sign.Lit(x, 3)) << x;
    sign.player->NextFrame();  // two pixels on: copies at -2, 38, 78, 118
    for (int32_t x : {0, 17, 32, 78, 95})
        EXPECT_TRUE(sign.Lit(x, 3)) << x;
    for (int32_t x : {18, 31, 58, 71})
        EXPECT_FALSE(sign.Lit(x, 3)) << x;
}

TEST(RenderMovingText, WindowIsPlacedByTheLineJustificationAlsoAsThePagesFirstElement) {
    struct Case {
        const char* text;
        int32_t first;
        int32_t last;
    } cases[] = {
        {"[fo4][jl2][mvcl48,1,1,t]", 0, 47},
        {"[fo4][jl3][mvcl48,1,1,t]", 24, 71},
        {"[fo4][jl4][mvcl48,1,1,t]", 48, 95},
        {"[fo4][jl3][mvcl96,1,1,t]", 0, 95},
        // After a text on the line the window follows it, the segment centred as a whole.
        {"[fo4][jl3]j[mvcl38,1,1,t]", 24, 71},
    };
    for (const Case& c : cases) {
        Sign sign(RenderSignGeometry{.width = 96, .height = 7});
        ASSERT_EQ(sign.Load(c.text), kMultiOk) << c.text;
        EXPECT_EQ(sign.LitColumns(0, 7), (std::pair<int32_t, int32_t>{c.first, c.last})) << c.text;
    }
}

TEST(RenderMovingText, CircularTextOfSeveralRunsRepeatsAsAWhole) {
    // A red run 4 pixels wide and a green one 6 wide: the text repeats every 10 pixels.
    constexpr uint32_t kRed = 0x001F;
    constexpr uint32_t kGreen = 0x03E0;
    struct Case {
        const char* text;
        uint32_t frame;
        int32_t firstRed;  // the pattern red, red, red, red, green x 6 from here
    } cases[] = {
        {"[fo4][jl2][mvcl48,1,1,[cf1]d[cf3]f]", 0, 0},
        {"[fo4][jl2][mvcl48,1,1,[cf1]d[cf3]f]", 3, 7},  // 3 pixels on to the left
        // Circular right: O starts at 10 - 48 + 1 = -37, then (-37 - 1) mod 10 = -8.
        {"[fo4][jl2][mvcr48,1,1,[cf1]d[cf3]f]", 1, 8},
        {"[fo4][jl2][mvcr48,1,1,[cf1]d[cf3]f]", 3, 0},
    };
    for (const Case& c : cases) {
        Sign sign(RenderSignGeometry{.width = 48, .height = 7});
        ASSERT_EQ(sign.Load(c.text), kMultiOk) << c.text;
        for (uint32_t f = 0; f < c.frame; ++f)
            sign.player->NextFrame();
        for (int32_t x = 0; x < 48; ++x) {
            const int32_t phase = ((x - c.firstRed) % 10 + 10) % 10;
            EXPECT_EQ(sign.Colour(x, 3), phase < 4 ? kRed : kGreen)
                << c.text << " frame " << c.frame << " x " << x;
        }
    }
}

TEST(RenderGraphics, StatusBecomesInUseUnlessPermanentAndTrialsLeaveItAlone) {
    struct Case {
        uint8_t status;
        bool trial;
        uint32_t after;
    } cases[] = {{4, false, 5}, {6, false, 6}, {5, false, 5}, {4, true, 4}};
    for (const Case& c : cases) {
        Sign sign(RenderSignGeometry{.width = 16, .height = 16});
        sign.store.AddGraphic(7, 3, 2, 2, 2, {1, 1, 1, 1}, false, {}, c.status);
        sign.player->Message().trial_render = c.trial ? 1 : 0;
        ASSERT_EQ(sign.Load("[g3,4,5]"), kMultiOk);
        EXPECT_EQ(sign.store.Nv(ro::GraphicStatus(7).id, 1), c.after) << int(c.status);
        EXPECT_EQ(sign.Colour(3, 4), render_test::kAmber);
        EXPECT_EQ(sign.Colour(5, 6), 0u);
    }
    Sign sign;
    sign.store.AddGraphic(0, 3, 2, 2, 2, {1, 1, 1, 1}, false, {}, 1);  // not ready
    EXPECT_EQ(sign.Validate("[g3]"), kMultiGraphicNotDefined);
}

TEST(RenderGraphics, TransparentBlackOfATwentyFourBitGraphicIsNotDrawn) {
    Sign sign(RenderSignGeometry{.width = 16, .height = 16});
    sign.store.AddGraphic(0, 1, 1, 2, 4, {0, 0, 0, 0, 0, 255}, true, {0, 0, 0});
    ASSERT_EQ(sign.Load("[cb1][g1,1,1]"), kMultiOk);
    EXPECT_EQ(sign.Colour(0, 0), 0u);
    EXPECT_EQ(sign.Colour(1, 0), 0x1Fu);  // red
}

TEST(RenderGraphics, PixelDataIsReadWithinEachBlockAndStopsAfterTheLastBlock) {
    Sign sign(RenderSignGeometry{.width = 64, .height = 64});
    sign.store.SetVolatile(ro::kGraphicBlockSize.id, 2, 16);
    // 4096 one-byte pixels would need 256 blocks; only 63 exist and block 0 holds 10 bytes.
    std::vector<uint8_t> pixels(63 * 16, 1);
    sign.store.AddGraphic(0, 1, 64, 64, 2, pixels);
    sign.store.SetNvString(ro::GraphicBlockId(0, 0), std::string(10, '\1').data(), 10);
    ASSERT_EQ(sign.Load("[g1,1,1]"), kMultiOk);
    EXPECT_TRUE(sign.Lit(9, 0));
    EXPECT_FALSE(sign.Lit(10, 0));  // past block 0's stored bytes
    EXPECT_TRUE(sign.Lit(16, 0));
    EXPECT_TRUE(sign.Lit(63 * 16 % 64 - 1, 63 * 16 / 64));
    EXPECT_FALSE(sign.Lit(63 * 16 % 64, 63 * 16 / 64));  // beyond block 62
}

TEST(RenderGraphics, ClassicColoursAndTwoColourModules) {
    Sign sign;
    EXPECT_EQ(RenderRgb24ToRgb15(RenderColourToRgb24(1)), 0x1Fu);
    EXPECT_EQ(RenderColourToRgb24(7), 0xFFFFFFu);
    EXPECT_EQ(RenderColourToRgb24(10), 0u);
    sign.store.SetNv(dbo::brenModuleID.id, 2, 12);
    EXPECT_EQ(RenderColourToRgb24(8), 0x00FFFFu);
    EXPECT_EQ(RenderColourToRgb24(7), 0u);
}

TEST(RenderBitmap, AFileThatDisappearedIsNotDrawn) {
    Sign sign(RenderSignGeometry{.width = 16, .height = 16});
    sign.store.AddFile("Bitmaps/X.BMP", {'B', 'M'});  // present for the parser, not a BMP
    EXPECT_EQ(sign.Load("[ms47,g,0,0,X.BMP]"), kMultiOk);
    EXPECT_EQ(sign.LitColumns(0, 16).first, -1);
}

}  // namespace

namespace {

TEST(RenderGlyphCache, ReadsLikeTheFontTableAndForgetsAtEachScan) {
    Sign sign(RenderSignGeometry{.width = 64, .height = 30});
    // Font 5: 30 rows; 'x' 20 columns (75 bytes, read through the table each time), 'o' 2.
    sign.store.SetNv(CNTCIPFont::FontNumberId(4), 1, 5);
    sign.store.SetNv(CNTCIPFont::FontHeightId(4), 1, 30);
    std::vector<uint8_t> checker(75);
    for (size_t i = 0; i < checker.size(); ++i)
        checker[i] = static_cast<uint8_t>(0xA5 ^ i);
    sign.store.SetNv(CNTCIPFont::CharacterWidthId(4, 'x'), 1, 20);
    sign.store.SetNvString(CNTCIPFont::CharacterBitmapId(4, 'x'), checker.data(), 75);
    sign.store.SetNv(CNTCIPFont::CharacterWidthId(4, 'o'), 1, 2);
    sign.store.SetNvString(CNTCIPFont::CharacterBitmapId(4, 'o'), "\xF0\x0F\xFF", 3);  // 24 bits

    CRenderGlyphCache cache;
    CNTCIPFont table(4);
    cache.Select(4);
    for (uint8_t code : {uint8_t('x'), uint8_t('o'), uint8_t('q'), uint8_t(0)}) {
        EXPECT_EQ(cache.CharWidth(code), table.CharWidth(code)) << code;
        for (int row = -1; row <= 30; ++row)
            for (int column = -1; column <= 20; ++column)
                ASSERT_EQ(cache.PixelIsSet(code, column, row), table.PixelIsSet(code, column, row))
                    << code << " " << column << "," << row;
    }

    ASSERT_EQ(sign.Load("[fo4][jl2]c"), kMultiOk);
    EXPECT_EQ(sign.LitColumns(0, 30).second, 2);
    sign.store.SetNv(CNTCIPFont::CharacterWidthId(3, 'c'), 1, 5);
    sign.store.SetNvString(CNTCIPFont::CharacterBitmapId(3, 'c'), std::string(5, '\xFF').data(), 5);
    sign.player->NextFrame();  // the next frame draws the changed glyph
    EXPECT_EQ(sign.LitColumns(0, 30).second, 4);
}

}  // namespace
