// Rendered frames compared pixel for pixel with the golden images in render/tests/golden.
// Each image stacks the frames of one case top to bottom; look at them to see what the sign
// shows. DMS_UPDATE_GOLDEN=1 rewrites them.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "render/render_objects.h"
#include "render/tests/golden_png.h"
#include "render/tests/render_fixture.h"

namespace {

using render_test::Sign;

constexpr uint32_t kTuesday1405 = 1796738700;  // Tuesday 8 December 2026, 14:05:00

RenderSignGeometry Full(int32_t width, int32_t height) {
    RenderSignGeometry g;
    g.width = width;
    g.height = height;
    return g;
}

// 10 x 10 test graphics.
std::vector<uint8_t> Ring(uint8_t on, uint8_t off) {
    std::vector<uint8_t> p;
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x)
            p.push_back((x == 0 || y == 0 || x == 9 || y == 9 || x == y) ? on : off);
    return p;
}
std::vector<uint8_t> PackBits(const std::vector<uint8_t>& pixels) {
    std::vector<uint8_t> bytes((pixels.size() + 7) / 8, 0);
    for (size_t i = 0; i < pixels.size(); ++i)
        if (pixels[i])
            bytes[i / 8] |= static_cast<uint8_t>(0x80 >> (i % 8));
    return bytes;
}
std::vector<uint8_t> ColourBars() {
    std::vector<uint8_t> p;
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x)
            p.push_back(static_cast<uint8_t>(y < 2 ? 0 : x));
    return p;
}
std::vector<uint8_t> RgbGradient() {
    std::vector<uint8_t> p;  // blue, green, red per pixel; a black square in the middle
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x) {
            const bool hole = x >= 3 && x <= 6 && y >= 3 && y <= 6;
            p.push_back(hole ? 0 : static_cast<uint8_t>(y * 25));
            p.push_back(hole ? 0 : static_cast<uint8_t>(x * 25));
            p.push_back(hole ? 0 : 255);
        }
    return p;
}

void AddGraphics(Sign& s) {
    s.store.AddGraphic(0, 1, 10, 10, 1, PackBits(Ring(1, 0)), true, {0});
    s.store.AddGraphic(1, 2, 10, 10, 1, PackBits(Ring(1, 0)), false);
    s.store.AddGraphic(2, 3, 10, 10, 2, Ring(1, 0), true, {0});
    s.store.AddGraphic(3, 4, 10, 10, 3, ColourBars(), true, {0});
    s.store.AddGraphic(4, 5, 10, 10, 4, RgbGradient(), true, {0, 0, 0});
}

std::vector<uint8_t> Bmp24(int32_t width, int32_t height) {
    const uint32_t stride = (static_cast<uint32_t>(width) * 3 + 3) & ~3u;
    const uint32_t size = 54 + stride * static_cast<uint32_t>(height);
    std::vector<uint8_t> b(size, 0);
    auto le = [&](size_t at, uint32_t v, int n) {
        for (int i = 0; i < n; ++i)
            b[at + i] = static_cast<uint8_t>(v >> (8 * i));
    };
    b[0] = 'B';
    b[1] = 'M';
    le(2, size, 4);
    le(10, 54, 4);
    le(14, 40, 4);
    le(18, static_cast<uint32_t>(width), 4);
    le(22, static_cast<uint32_t>(height), 4);
    le(26, 1, 2);
    le(28, 24, 2);
    for (int32_t row = 0; row < height; ++row) {  // stored bottom-up
        const int32_t y = height - 1 - row;
        for (int32_t x = 0; x < width; ++x) {
            uint8_t* p = &b[54 + row * stride + x * 3];
            p[0] = static_cast<uint8_t>(x * 16);             // blue
            p[1] = static_cast<uint8_t>(y * 20);             // green
            p[2] = static_cast<uint8_t>(x == y ? 255 : 64);  // red
        }
    }
    return b;
}

struct GoldenCase {
    const char* name;
    RenderSignGeometry geometry;
    std::vector<std::string> texts;  // each loaded in turn, frames stacked
    uint32_t frames = 1;             // frames of each text
    bool pages = false;              // step pages instead of frames
    std::function<void(Sign&)> setup = nullptr;
};

RenderSignGeometry CharacterMatrix() {
    RenderSignGeometry g = Full(30, 14);
    g.signType = 4;
    g.characterWidth = 5;
    g.characterHeight = 7;
    g.moduleId = 0;  // 5-pixel character cells
    return g;
}

RenderSignGeometry LineMatrix() {
    RenderSignGeometry g = Full(60, 32);
    g.signType = 5;
    g.characterHeight = 16;
    return g;
}

RenderSignGeometry OneBit() {
    RenderSignGeometry g = Full(64, 16);
    g.bitsPerPixel = 1;
    return g;
}

const GoldenCase kCases[] = {
    {"line_justification", Full(120, 48), {"[jl2]LEFT[nl][jl3]MIDDLE[nl][jl4]RIGHT"}},
    {"line_segments", Full(120, 16), {"[jl2]AB[jl3]CD[jl4]EF", "[jl2]LEFT[jl4]RIGHT"}},
    {"page_justification", Full(96, 32), {"[jp2]TOP", "[jp3]MIDDLE", "[jp4]BOTTOM"}},
    {"full_justification", Full(96, 32), {"[jl5]ABC[nl]FULL", "[jl5][fo4]cab.a"}},
    {"mixed_fonts", Full(96, 16), {"[fo1]Big[fo3]ABC[fo2]Narrow", "[fo4]ab[fo1]Xy[fo3]12"}},
    {"fields_time",
     Full(120, 32),
     {"[f1] [f2][nl][f7] [f7,4]", "[f8]/[f9]/[f10][nl][f11]"},
     1,
     false,
     [](Sign& s) {
         s.store.SetVolatile(render_objects::kControllerLocalTime.id, 4, kTuesday1405);
     }},
    {"fields_values",
     Full(120, 32),
     {"[f3]C [f4]F[nl][f5] [f6]", "[ms47,r0,6]-[ms47,r7,4][nl][ms47,spm,1,3] [ms47,spk,1,3]"},
     1,
     false,
     [](Sign& s) {
         s.store.SetVolatile(render_objects::kTempMaxAmbient.id, 1, 0xD8);  // -40
         s.store.SetVolatile(render_objects::kCurrentSpeed.id, 1, 100);
         s.store.SetVolatileString(render_objects::kRemoteTextId, "REMOTE TEXT", 11);
         s.store.SetVolatile(render_objects::SensorValue(1).id, 2, 80);
     }},
    {"flash_on_first", Full(64, 16), {"[flt5o3]ON[/fl] X"}, 9},
    {"flash_off_first", Full(64, 16), {"[flo3t5]OFF[/fl] X"}, 9},
    {"flash_two_regions", Full(64, 16), {"[flt2o2]A[/fl] [flo1t3]B[/fl]"}, 6},
    {"moving_circular_left", Full(64, 16), {"[jl2][mvcl64,6,1,MOVE ]"}, 6},
    {"moving_circular_right", Full(64, 16), {"[jl2][mvcr64,6,1,MOVE ]"}, 6},
    {"moving_linear_left", Full(48, 16), {"[jl2][mvl2l48,12,1,LINEAR TEXT]"}, 9},
    {"moving_linear_right", Full(48, 16), {"[jl2][mvl2r48,12,1,LINEAR TEXT]"}, 9},
    {"graphics",
     Full(64, 14),
     {"[fo4][jp2][jl2]zzl[nl0]zzl[cf5][g1,2,3][g2,14,3][g3,26,3][g4,38,3][g5,50,3]",
      "[fo4][jp2][jl2]zzl[nl0]zzl[cf5][cb1][g1,2,3][g2,14,3][g3,26,3][g4,38,3][g5,50,3]"},
     1,
     false,
     AddGraphics},
    {"bitmap",
     Full(32, 16),
     {"[ms47,g,4,2,PIC.BMP]A", "[ms47,g,0,0,Bitmaps/PIC.BMP]"},
     1,
     false,
     [](Sign& s) { s.store.AddFile("Bitmaps/PIC.BMP", Bmp24(16, 12)); }},
    {"character_matrix", CharacterMatrix(), {"[fo3]ABC12[nl]21", "[fo3][jp4][jl4]CBA"}},
    {"line_matrix", LineMatrix(), {"[fo3][jp2]ABC[nl]12", "[fo3][jp4]BC[nl]1"}},
    {"full_matrix_rectangles",
     Full(96, 16),
     {"[tr1,1,48,16][jl2]LEFT[tr49,1,48,16][jl4][jp2][fo3]12"}},
    {"one_bit", OneBit(), {"HELLO"}},
    {"pages", Full(64, 16), {"[pt10o0]ONE[np][jl2]TWO[np][fo2]THREE"}, 3, true},
};

class GoldenTest : public ::testing::TestWithParam<GoldenCase> {};

TEST_P(GoldenTest, MatchesGoldenImage) {
    const GoldenCase& c = GetParam();
    Sign sign(c.geometry);
    if (c.setup) {
        c.setup(sign);
    }
    golden::Sheet sheet;
    for (const std::string& text : c.texts) {
        ASSERT_EQ(sign.Load(text), kMultiOk) << text << " at " << sign.player->ErrorPosition();
        sheet.Add(sign.Surface());
        for (uint32_t frame = 1; frame < c.frames; ++frame) {
            ASSERT_TRUE(c.pages ? sign.player->NextPage() : sign.player->NextFrame()) << text;
            sheet.Add(sign.Surface());
        }
    }
    golden::Expect(c.name, sheet);
}

INSTANTIATE_TEST_SUITE_P(Render, GoldenTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<GoldenCase>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
