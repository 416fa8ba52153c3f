// Colour conversions between surfaces and frames keep every channel, and the 24-bit packing
// of a render surface gives the sign's byte order with its lit count.

#include "display/pixel_format.h"

#include <gtest/gtest.h>

#include <vector>

#include "display/frame.h"
#include "render/surface.h"

namespace {

TEST(PixelFormat, FifteenBitColoursWidenToTwentyFourBits) {
    const struct {
        uint32_t rgb15;
        uint32_t rgb24;
    } cases[] = {
        {0x0000, 0x000000}, {0x7FFF, 0xFFFFFF}, {0x0421, 0x080808}, {0x001F, 0xFF0000},
        {0x03E0, 0x00FF00}, {0x7C00, 0x0000FF}, {0x037F, 0xFFDE00},  // amber
    };
    for (const auto& c : cases) {
        EXPECT_EQ(disp::Rgb15ToRgb24(c.rgb15), c.rgb24) << std::hex << c.rgb15;
        EXPECT_EQ(disp::Rgb24ToRgb15(c.rgb24), c.rgb15) << std::hex << c.rgb24;
    }
    for (uint32_t c = 0; c < 0x8000; ++c) {
        ASSERT_EQ(disp::Rgb24ToRgb15(disp::Rgb15ToRgb24(c)), c);
    }
}

TEST(PixelFormat, NarrowDepthsKeepTheChannelsTheyHave) {
    const struct {
        uint32_t colour;
        uint32_t one, two, three;
    } cases[] = {
        {0x0000, 0, 0, 0}, {0x001F, 1, 1, 1}, {0x03E0, 1, 2, 2},
        {0x7C00, 1, 0, 4}, {0x037F, 1, 3, 3}, {0x7FFF, 1, 3, 7},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(disp::Rgb15ToDepth(c.colour, 1), c.one) << std::hex << c.colour;
        EXPECT_EQ(disp::Rgb15ToDepth(c.colour, 2), c.two) << std::hex << c.colour;
        EXPECT_EQ(disp::Rgb15ToDepth(c.colour, 3), c.three) << std::hex << c.colour;
    }
    // Each value of a narrow depth survives the way through a colour and back.
    for (uint32_t depth : {1u, 2u, 3u}) {
        for (uint32_t v = 0; v < (1u << depth); ++v) {
            EXPECT_EQ(disp::Rgb15ToDepth(disp::DepthToRgb15(v, depth), depth), v) << depth;
        }
    }
    // The 2-bit colours are the surface's own.
    CSurface surface;
    ASSERT_NE(surface.Allocate(1, 1, 2), nullptr);
    for (uint32_t v = 0; v < 4; ++v) {
        surface.SetPixel(0, 0, disp::DepthToRgb15(v, 2));
        EXPECT_EQ(surface.GetPixel(0, 0), disp::DepthToRgb15(v, 2));
    }
    EXPECT_EQ(disp::Rgb15ToDepth(0x1234, 8), 0u);
    EXPECT_EQ(disp::DepthToRgb15(1, 8), 0u);
}

TEST(PixelFormat, ConvertFrameBetweenDepths) {
    disp::frame colour, rgb, mono, back;
    ASSERT_TRUE(colour.Create(2, 3, 0, 15));
    ASSERT_TRUE(rgb.Create(2, 3, 0, 24));
    ASSERT_TRUE(mono.Create(2, 3, 1, 1));
    ASSERT_TRUE(back.Create(2, 3, 0, 15));
    const uint32_t colours[] = {0, 0x001F, 0x03E0, 0x7C00, 0x037F, 0x7FFF};
    for (uint16_t i = 0; i < 6; ++i) {
        colour.SetPixel(disp::pixel(uint16_t(i % 3), uint16_t(i / 3), colours[i]));
    }
    ASSERT_TRUE(disp::ConvertFrame(colour, rgb));
    ASSERT_TRUE(disp::ConvertFrame(colour, mono));
    ASSERT_TRUE(disp::ConvertFrame(rgb, back));
    for (uint16_t i = 0; i < 6; ++i) {
        disp::pixel p(uint16_t(i % 3), uint16_t(i / 3));
        rgb.GetPixel(p);
        EXPECT_EQ(p.value, disp::Rgb15ToRgb24(colours[i]));
        mono.GetPixel(p);
        EXPECT_EQ(p.value, colours[i] != 0 ? 1u : 0u);
        back.GetPixel(p);
        EXPECT_EQ(p.value, colours[i]);
    }
    EXPECT_EQ(rgb.LitCount(), 5u);
    EXPECT_EQ(mono.LitCount(), 5u);
    disp::frame other, empty;
    ASSERT_TRUE(other.Create(3, 2, 0, 24));
    EXPECT_FALSE(disp::ConvertFrame(colour, other));
    EXPECT_FALSE(disp::ConvertFrame(empty, rgb));
}

TEST(PixelFormat, PackSurfaceGivesTheSignByteOrder) {
    CSurface surface;
    ASSERT_NE(surface.Allocate(2, 3, 15), nullptr);
    surface.SetPixel(0, 0, 0x7FFF);
    surface.SetPixel(1, 0, 0x0421);
    surface.SetPixel(2, 0, 0x001F);  // red
    surface.SetPixel(0, 1, 0x7C00);  // blue
    disp::frame f;
    ASSERT_TRUE(f.Create(2, 3, 0xFFFFFF, 24));
    ASSERT_TRUE(disp::PackSurfaceRgb24(surface, f));
    std::vector<uint8_t> bytes(18);
    uint32_t offset = 0, count = 0;
    f.ReadChunk(offset, bytes.data(), 18, count);
    EXPECT_EQ(bytes, (std::vector<uint8_t>{0xFF, 0xFF, 0xFF, 0x08, 0x08, 0x08, 0x00, 0x00, 0xFF,
                                           0xFF, 0x00, 0x00, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(f.LitCount(), 4u);
    disp::pixel p(2, 0);
    f.GetPixel(p);
    EXPECT_EQ(p.value, 0xFF0000u);

    disp::frame wrongSize, wrongDepth;
    ASSERT_TRUE(wrongSize.Create(3, 2, 0, 24));
    ASSERT_TRUE(wrongDepth.Create(2, 3, 0, 15));
    EXPECT_FALSE(disp::PackSurfaceRgb24(surface, wrongSize));
    EXPECT_FALSE(disp::PackSurfaceRgb24(surface, wrongDepth));
    CSurface mono;
    ASSERT_NE(mono.Allocate(2, 3, 1), nullptr);
    EXPECT_FALSE(disp::PackSurfaceRgb24(mono, f));
}

}  // namespace
