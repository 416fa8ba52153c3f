// The surface adapter shows a render surface as a frame with one colour mapping for set, get
// and chunked reads, and the render adapter hands the primary face the rendered page and
// drives the display task's sequence.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "display/diagnostics.h"
#include "display/display_sequencer.h"
#include "display/face.h"
#include "display/face_config.h"
#include "display/frame.h"
#include "display/render_adapter.h"
#include "display/surface_adapter.h"
#include "render/surface.h"
#include "render/tests/render_fixture.h"

namespace {

struct Served {
    uint8_t bits;
    uint32_t max;
};

class SurfaceDepths : public ::testing::TestWithParam<Served> {};

TEST_P(SurfaceDepths, SetGetAndChunksAgreeWithAFrameOfTheDepth) {
    const Served d = GetParam();
    CSurface surface;
    ASSERT_NE(surface.Allocate(3, 5, d.bits), nullptr);
    disp::surface_adapter adapter(&surface);
    ASSERT_TRUE(adapter.Create(3, 5, 0, d.bits));
    EXPECT_EQ(adapter.BitsPerPixel(), d.bits);
    disp::frame reference;
    ASSERT_TRUE(reference.Create(3, 5, 0, d.bits));
    uint32_t lit = 0;
    for (uint16_t i = 0; i < 15; ++i) {
        const uint32_t v = i % 4 == 0 ? 0 : (i * 2654435761u) % d.max + 1;
        const disp::pixel p(uint16_t(i % 5), uint16_t(i / 5), v);
        ASSERT_TRUE(adapter.SetPixel(p));
        reference.SetPixel(p);
        lit += v != 0;
    }
    for (uint16_t i = 0; i < 15; ++i) {
        disp::pixel got(uint16_t(i % 5), uint16_t(i / 5));
        disp::pixel want = got;
        ASSERT_TRUE(adapter.GetPixel(got));
        reference.GetPixel(want);
        EXPECT_EQ(got.value, want.value) << i;
    }
    adapter.Bind();
    EXPECT_EQ(adapter.LitCount(), lit);
    // The stream is the packed layout of a frame of the same depth, so a frame copies it.
    disp::frame copy;
    ASSERT_TRUE(copy.Create(3, 5, 0, d.bits));
    ASSERT_TRUE(copy.Copy(&adapter));
    std::vector<uint8_t> a(copy.State()->ByteSize()), b(a.size());
    uint32_t offset = 0, count = 0;
    copy.ReadChunk(offset, a.data(), uint32_t(a.size()), count);
    offset = 0;
    reference.ReadChunk(offset, b.data(), uint32_t(b.size()), count);
    EXPECT_EQ(a, b);
    EXPECT_EQ(copy.LitCount(), lit);
}

INSTANTIATE_TEST_SUITE_P(Adapter, SurfaceDepths,
                         ::testing::Values(Served{1, 1}, Served{2, 3}, Served{15, 0x7FFF}),
                         [](const auto& info) { return "Bits" + std::to_string(info.param.bits); });

TEST(SurfaceAdapter, TwoBitPixelsKeepOneColourMapping) {
    CSurface surface;
    ASSERT_NE(surface.Allocate(1, 4, 2), nullptr);
    disp::surface_adapter adapter(&surface);
    adapter.Create(1, 4, 0, 2);
    for (uint16_t v = 0; v < 4; ++v) {
        ASSERT_TRUE(adapter.SetPixel(disp::pixel(v, 0, v)));
    }
    // Bit 0 is red and bit 1 green on the surface as well.
    EXPECT_EQ(surface.GetPixel(1, 0), CSurface::kTwoBitRed);
    EXPECT_EQ(surface.GetPixel(2, 0), CSurface::kTwoBitGreen);
    EXPECT_EQ(surface.GetPixel(3, 0), CSurface::kTwoBitRed | CSurface::kTwoBitGreen);
    surface.SetPixel(0, 0, 0x037F);  // amber drawn by the renderer: red and green
    disp::pixel p(0, 0);
    adapter.GetPixel(p);
    EXPECT_EQ(p.value, 3u);
    uint8_t out[2] = {0xEE, 0xEE};
    uint32_t offset = 0, count = 0;
    ASSERT_TRUE(adapter.ReadChunk(offset, out, 2, count));
    EXPECT_EQ(out[0], 0xE7);  // pixels 3, 1, 2, 3 from bit 0 up
    EXPECT_EQ(out[1], 0x00);
    EXPECT_EQ(offset, 4u);
}

TEST(SurfaceAdapter, FifteenBitChunksRunLowByteFirst) {
    CSurface surface;
    ASSERT_NE(surface.Allocate(2, 2, 15), nullptr);
    surface.Fill(0x0102);
    disp::surface_adapter adapter(&surface);
    adapter.Create(2, 2, 0, 15);
    uint8_t out[10];
    std::memset(out, 0xEE, sizeof out);
    uint32_t offset = 0, count = 0;
    ASSERT_TRUE(adapter.ReadChunk(offset, out, 8, count));
    EXPECT_EQ(std::vector<uint8_t>(out, out + 8), (std::vector<uint8_t>{2, 1, 2, 1, 2, 1, 2, 1}));
    EXPECT_EQ(out[8], 0xEE);  // nothing past the length given
    EXPECT_EQ(count, 8u);
    EXPECT_EQ(offset, 8u);
    EXPECT_FALSE(adapter.ReadChunk(offset, out, 8, count));
    EXPECT_EQ(count, 0u);
    // From an odd offset the stream continues mid-pixel; a long read stops at the end.
    offset = 3;
    std::memset(out, 0xEE, sizeof out);
    ASSERT_TRUE(adapter.ReadChunk(offset, out, 10, count));
    EXPECT_EQ(count, 5u);
    EXPECT_EQ(std::vector<uint8_t>(out, out + 10),
              (std::vector<uint8_t>{1, 2, 1, 2, 1, 0, 0, 0, 0, 0}));
    offset = 0xFFFFFFFFu;
    EXPECT_FALSE(adapter.ReadChunk(offset, out, 10, count));
}

TEST(SurfaceAdapter, OneBitChunksPackFromBitZero) {
    CSurface surface;
    ASSERT_NE(surface.Allocate(4, 4, 1), nullptr);
    surface.SetPixel(1, 0, 1);
    disp::surface_adapter adapter(&surface);
    adapter.Create(4, 4, 0, 1);
    uint8_t out[2] = {0xEE, 0xEE};
    uint32_t offset = 0, count = 0;
    ASSERT_TRUE(adapter.ReadChunk(offset, out, 2, count));
    EXPECT_EQ(out[0], 0x02);
    EXPECT_EQ(out[1], 0x00);
    EXPECT_EQ(offset, 16u);
    // A short output stops at a pixel boundary and the next call goes on from there.
    offset = 0;
    surface.SetPixel(0, 2, 1);  // pixel 8
    ASSERT_TRUE(adapter.ReadChunk(offset, out, 1, count));
    EXPECT_EQ(offset, 8u);
    ASSERT_TRUE(adapter.ReadChunk(offset, out, 1, count));
    EXPECT_EQ(out[0], 0x01);
    EXPECT_EQ(offset, 16u);
}

TEST(SurfaceAdapter, OtherSurfacesAreNotServed) {
    CSurface eight;
    ASSERT_NE(eight.Allocate(2, 2, 8), nullptr);
    disp::surface_adapter adapter(&eight);
    adapter.Create(2, 2, 0, 8);
    disp::pixel p(0, 0, 1);
    EXPECT_FALSE(adapter.SetPixel(p));
    EXPECT_FALSE(adapter.GetPixel(p));
    uint8_t out[4];
    uint32_t offset = 0, count = 9;
    EXPECT_FALSE(adapter.ReadChunk(offset, out, 4, count));
    EXPECT_EQ(count, 0u);
    // Frame operations that need a state of its own fail.
    EXPECT_FALSE(adapter.Fill());
    EXPECT_FALSE(adapter.WriteChunk(offset, out, 1));
}

TEST(SurfaceAdapter, LitCountIsCountedOncePerPicture) {
    CSurface surface;
    ASSERT_NE(surface.Allocate(16, 96, 15), nullptr);
    disp::surface_adapter adapter(&surface);
    adapter.Create(16, 96, 0, 15);
    surface.SetPixel(3, 3, 0x8000);  // only the stored top bit: still not 0
    surface.SetPixel(4, 3, 0x0001);
    adapter.Bind();
    EXPECT_EQ(adapter.LitCount(), 2u);
    // The renderer draws straight into the surface: the count is of the picture bound.
    surface.SetPixel(5, 3, 0x0001);
    EXPECT_EQ(adapter.LitCount(), 2u);
    adapter.Invalidate();
    EXPECT_EQ(adapter.LitCount(), 3u);
    adapter.SetPixel(disp::pixel(5, 3, 0));
    EXPECT_EQ(adapter.LitCount(), 2u);
    adapter.Bind();
    surface.Fill(0x7FFF);
    adapter.Bind();
    EXPECT_EQ(adapter.LitCount(), 16u * 96u);
}

class Sequencer : public disp::display_sequencer {
public:
    void StepFrameSequence() override { calls.push_back("step"); }
    void CountDownMessageTime() override { calls.push_back("count down"); }
    std::vector<std::string> calls;
};

class QuietDiagnostics : public disp::diagnostics {};

disp::face_config FaceOf(const char* name, disp::diagnostics* diag, disp::frame_engine* engine) {
    disp::face_config c;
    disp::SetConfigName(c.face_name, name);
    disp::SetConfigName(c.bus_name, "null");
    c.pixel_height = 16;
    c.pixel_width = 96;
    c.module_height = 8;
    c.module_width = 8;
    c.bits_per_pixel = 15;
    c.module_lines = 2;
    c.line_lengths[0] = c.line_lengths[1] = 12;
    c.total_modules = 24;
    c.diag = diag;
    c.engine = engine;
    return c;
}

TEST(RenderAdapter, HandsThePrimaryFaceTheRenderedPage) {
    render_test::Sign sign;
    ASSERT_EQ(sign.Load("[cf9]ABC"), kMultiOk);
    sign.render.page_number = 2;
    sign.render.page_on_time = 30;
    sign.render.page_off_time = 5;
    disp::render_adapter adapter(&sign.render);
    EXPECT_EQ(adapter.GetFrame()->Height(), 0u);  // not open yet
    QuietDiagnostics diag;
    disp::face_config config = FaceOf("primary", &diag, &adapter);
    disp::face face;
    ASSERT_TRUE(face.Open(&config));
    EXPECT_EQ(adapter.Config(), &config);
    disp::frame* f = adapter.GetFrame();
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->Height(), 16u);
    EXPECT_EQ(f->Width(), 96u);
    EXPECT_EQ(f->BitsPerPixel(), 15u);
    EXPECT_EQ(f->attributes.page_number, 2);
    EXPECT_EQ(f->attributes.page_on_time, 30);
    EXPECT_EQ(f->attributes.page_off_time, 5);
    uint32_t lit = 0;
    for (uint16_t y = 0; y < 16; ++y) {
        for (uint16_t x = 0; x < 96; ++x) {
            disp::pixel p(x, y);
            ASSERT_TRUE(f->GetPixel(p));
            EXPECT_EQ(p.value, sign.Colour(x, y)) << x << "," << y;
            lit += p.value != 0;
        }
    }
    EXPECT_GT(lit, 0u);
    EXPECT_EQ(f->LitCount(), lit);
    ASSERT_TRUE(face.Close());
    EXPECT_EQ(adapter.Config(), nullptr);
}

TEST(RenderAdapter, UpdateStepsTheSequenceOfThePrimaryFaceOnly) {
    CRender render;
    disp::render_adapter adapter(&render);
    Sequencer sequencer;
    adapter.SetSequencer(&sequencer);
    adapter.Update(0);  // no face
    EXPECT_TRUE(sequencer.calls.empty());
    for (const char* name : {"secondary", "primary"}) {
        QuietDiagnostics diag;
        disp::face_config config = FaceOf(name, &diag, &adapter);
        disp::face face;
        ASSERT_TRUE(face.Open(&config));
        face.Update(0);
        face.Close();
    }
    EXPECT_EQ(sequencer.calls, (std::vector<std::string>{"step", "count down"}));
}

}  // namespace
