// Frames of every depth pack, count, fill, copy and stream their pixels without touching
// anything outside the picture.

#include "display/frame.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

namespace {

struct Depth {
    uint32_t bits;
    uint32_t max;
    uint32_t bytes16x80;  // buffer of a 16 x 80 frame
};

const Depth kDepths[] = {
    {1, 1, 160}, {2, 3, 320}, {3, 7, 480}, {15, 0xFFFF, 2560}, {24, 0xFFFFFF, 3840},
};

class EveryDepth : public ::testing::TestWithParam<Depth> {};

// A value for pixel i that spreads over all the bits of the depth, with some zeros.
uint32_t Pattern(uint32_t i, uint32_t max) {
    return (i % 5 == 0) ? 0 : (i * 2654435761u) % max + 1;
}

std::vector<uint8_t> Bytes(disp::frame& f) {
    std::vector<uint8_t> out(f.State()->ByteSize());
    uint32_t offset = 0, count = 0;
    EXPECT_TRUE(f.ReadChunk(offset, out.data(), uint32_t(out.size()), count));
    return out;
}

TEST_P(EveryDepth, PixelsRoundTripAndKeepTheLitCount) {
    const Depth d = GetParam();
    disp::frame f;
    // Odd sizes so that pixels straddle bytes and the last byte is partly used.
    ASSERT_TRUE(f.Create(5, 7, 0, d.bits));
    EXPECT_EQ(f.BitsPerPixel(), d.bits);
    EXPECT_EQ(f.LitCount(), 0u);
    uint32_t lit = 0;
    for (uint16_t y = 0; y < 5; ++y) {
        for (uint16_t x = 0; x < 7; ++x) {
            const uint32_t v = Pattern(y * 7 + x, d.max);
            lit += v != 0;
            ASSERT_TRUE(f.SetPixel(disp::pixel(x, y, v)));
        }
    }
    EXPECT_EQ(f.LitCount(), lit);
    for (uint16_t y = 0; y < 5; ++y) {
        for (uint16_t x = 0; x < 7; ++x) {
            disp::pixel p(x, y);
            ASSERT_TRUE(f.GetPixel(p));
            EXPECT_EQ(p.value, Pattern(y * 7 + x, d.max)) << x << "," << y;
        }
    }
    // Clearing a lit pixel twice lowers the count once; lighting a lit one changes nothing.
    f.SetPixel(disp::pixel(1, 0, 0));
    f.SetPixel(disp::pixel(1, 0, 0));
    EXPECT_EQ(f.LitCount(), lit - 1);
    f.SetPixel(disp::pixel(2, 0, 1));
    EXPECT_EQ(f.LitCount(), lit - 1);
    // Outside the picture nothing is read or written.
    disp::pixel outside(7, 0, 1);
    EXPECT_FALSE(f.SetPixel(outside));
    EXPECT_FALSE(f.GetPixel(outside));
    EXPECT_FALSE(f.SetPixel(disp::pixel(0, 5, 1)));
    EXPECT_EQ(f.LitCount(), lit - 1);
}

TEST_P(EveryDepth, CreateRefusesValuesAndStatesItCannotHold) {
    const Depth d = GetParam();
    disp::frame f;
    EXPECT_FALSE(f.Create(16, 80, d.max + 1, d.bits));
    EXPECT_EQ(f.State(), nullptr);
    EXPECT_FALSE(f.Create(0, 80, 0, d.bits));
    EXPECT_FALSE(f.Create(16, 0, 0, d.bits));
    ASSERT_TRUE(f.Create(16, 80, d.max, d.bits));
    EXPECT_EQ(f.State()->ByteSize(), d.bytes16x80);
    EXPECT_EQ(f.LitCount(), 16u * 80u);
    EXPECT_FALSE(f.Create(16, 80, 0, d.bits));
    EXPECT_TRUE(f.Destroy());
    EXPECT_FALSE(f.Destroy());
    EXPECT_EQ(f.LitCount(), 0u);
    EXPECT_EQ(f.Height(), 0u);
}

TEST_P(EveryDepth, CreateWithAValueFillsEveryPixelAndFillRestoresIt) {
    const Depth d = GetParam();
    const uint32_t value = Pattern(3, d.max);
    disp::frame f;
    ASSERT_TRUE(f.Create(3, 11, value, d.bits));
    for (uint16_t y = 0; y < 3; ++y) {
        for (uint16_t x = 0; x < 11; ++x) {
            disp::pixel p(x, y);
            ASSERT_TRUE(f.GetPixel(p));
            EXPECT_EQ(p.value, value);
        }
    }
    f.SetPixel(disp::pixel(4, 1, 0));
    f.SetPixel(disp::pixel(5, 2, d.max));
    EXPECT_FALSE(f.Fill());  // lit pixels remain: the fill value is not 0
    disp::pixel p(4, 1);
    f.GetPixel(p);
    EXPECT_EQ(p.value, value);
    EXPECT_EQ(f.LitCount(), 33u);

    disp::frame blank;
    ASSERT_TRUE(blank.Create(3, 11, 0, d.bits));
    blank.SetPixel(disp::pixel(10, 2, 1));
    EXPECT_TRUE(blank.Fill());
    EXPECT_EQ(blank.LitCount(), 0u);
}

TEST_P(EveryDepth, CopyTakesThePictureOfAnEqualFrameOnly) {
    const Depth d = GetParam();
    disp::frame a, b, transposed, other;
    ASSERT_TRUE(a.Create(16, 80, 0, d.bits));
    ASSERT_TRUE(b.Create(16, 80, 0, d.bits));
    ASSERT_TRUE(transposed.Create(80, 16, 0, d.bits));
    ASSERT_TRUE(other.Create(16, 80, 0, d.bits == 15 ? 24 : 15));
    for (uint16_t i = 0; i < 80; ++i) {
        a.SetPixel(disp::pixel(i, uint16_t(i % 16), Pattern(i + 1, d.max)));
    }
    ASSERT_TRUE(b.Copy(&a));
    EXPECT_EQ(Bytes(b), Bytes(a));
    EXPECT_EQ(b.LitCount(), a.LitCount());
    EXPECT_FALSE(transposed.Copy(&a));
    EXPECT_FALSE(other.Copy(&a));
    EXPECT_FALSE(b.Copy(nullptr));
    EXPECT_TRUE(b.Copy(&b));
    EXPECT_EQ(Bytes(b), Bytes(a));
    disp::frame empty;
    EXPECT_FALSE(empty.Copy(&a));
    EXPECT_FALSE(b.Copy(&empty));
}

TEST_P(EveryDepth, ChunksRoundTripAndKeepTheLitCount) {
    const Depth d = GetParam();
    disp::frame f;
    ASSERT_TRUE(f.Create(9, 13, 0, d.bits));
    const uint32_t size = f.State()->ByteSize();
    std::mt19937 random(d.bits);
    std::vector<uint8_t> image(size);
    for (auto& b : image) {
        b = uint8_t(random() % 3 == 0 ? 0 : random());
    }
    // Written in uneven pieces; the offset advances by each piece.
    uint32_t offset = 0;
    for (uint32_t piece = 1; offset < size; piece = piece * 2 + 1) {
        const uint32_t n = std::min(piece, size - offset);
        const uint32_t before = offset;
        ASSERT_TRUE(f.WriteChunk(offset, image.data() + before, n));
        EXPECT_EQ(offset, before + n);
    }
    // The lit count follows the bytes written, pixel by pixel.
    uint32_t lit = 0;
    for (uint16_t y = 0; y < 9; ++y) {
        for (uint16_t x = 0; x < 13; ++x) {
            disp::pixel p(x, y);
            f.GetPixel(p);
            lit += p.value != 0;
        }
    }
    EXPECT_EQ(f.LitCount(), lit);
    // A read that runs past the end returns what is left and zeroes the rest.
    std::vector<uint8_t> out(size + 5, 0xEE);
    offset = 1;
    uint32_t count = 0;
    ASSERT_TRUE(f.ReadChunk(offset, out.data(), size + 5, count));
    EXPECT_EQ(count, size - 1);
    EXPECT_EQ(offset, size);
    EXPECT_EQ(0, std::memcmp(out.data(), image.data() + 1, size - 1));
    for (uint32_t k = size - 1; k < size + 5; ++k) {
        EXPECT_EQ(out[k], 0) << k;
    }
    EXPECT_FALSE(f.ReadChunk(offset, out.data(), 4, count));
    EXPECT_EQ(count, 0u);
}

TEST_P(EveryDepth, ChunksOutsideTheBufferAreRefusedWhole) {
    const Depth d = GetParam();
    disp::frame f;
    ASSERT_TRUE(f.Create(4, 4, 0, d.bits));
    const uint32_t size = f.State()->ByteSize();
    const std::vector<uint8_t> ones(size + 1, 0xFF);
    const struct {
        uint32_t offset;
        uint32_t length;
    } refused[] = {
        {0, size + 1},         // one byte past the end
        {1, size},             // ends one byte past
        {size, 1},             // starts at the end
        {0xFFFFFFF0u, 0x20u},  // offset + length wraps around
        {1, 0xFFFFFFFFu},
    };
    for (const auto& r : refused) {
        uint32_t offset = r.offset;
        EXPECT_FALSE(f.WriteChunk(offset, ones.data(), r.length)) << r.offset << "+" << r.length;
        EXPECT_EQ(offset, r.offset);
    }
    EXPECT_EQ(f.LitCount(), 0u);
    EXPECT_EQ(Bytes(f), std::vector<uint8_t>(size, 0));
    uint32_t offset = 0, count = 7;
    uint8_t byte = 0;
    EXPECT_FALSE(f.WriteChunk(offset, nullptr, 1));
    EXPECT_FALSE(f.ReadChunk(offset, nullptr, 1, count));
    EXPECT_EQ(count, 0u);
    offset = 0xFFFFFFFFu;
    EXPECT_FALSE(f.ReadChunk(offset, &byte, 1, count));
    disp::frame empty;
    offset = 0;
    EXPECT_FALSE(empty.WriteChunk(offset, &byte, 1));
    EXPECT_FALSE(empty.ReadChunk(offset, &byte, 1, count));
}

INSTANTIATE_TEST_SUITE_P(Frames, EveryDepth, ::testing::ValuesIn(kDepths),
                         [](const auto& info) { return "Bits" + std::to_string(info.param.bits); });

TEST(Frame, OtherDepthsAreRefused) {
    for (uint32_t depth : {0u, 4u, 8u, 16u, 32u}) {
        disp::frame f;
        EXPECT_FALSE(f.Create(16, 80, 0, depth)) << depth;
        EXPECT_EQ(f.State(), nullptr);
        EXPECT_EQ(f.BitsPerPixel(), 0u);
    }
}

TEST(Frame, OneBitFrameOfThreeByThree) {
    disp::frame f;
    ASSERT_TRUE(f.Create(3, 3, 1, 1));
    EXPECT_EQ(f.State()->ByteSize(), 2u);
    EXPECT_EQ(Bytes(f), (std::vector<uint8_t>{0xFF, 0xFF}));
    EXPECT_EQ(f.LitCount(), 9u);
    f.SetPixel(disp::pixel(0, 0, 0));
    EXPECT_EQ(Bytes(f)[0], 0xFE);
    EXPECT_EQ(f.LitCount(), 8u);
    f.SetPixel(disp::pixel(0, 0, 0));
    EXPECT_EQ(f.LitCount(), 8u);
    // Any nonzero value lights a 1-bit pixel.
    f.SetPixel(disp::pixel(0, 0, 2));
    EXPECT_EQ(f.LitCount(), 9u);
}

TEST(Frame, PackedLayouts) {
    disp::frame two;
    ASSERT_TRUE(two.Create(2, 4, 2, 2));
    EXPECT_EQ(Bytes(two), (std::vector<uint8_t>{0xAA, 0xAA}));
    two.SetPixel(disp::pixel(1, 0, 3));
    EXPECT_EQ(Bytes(two)[0], 0xAE);  // pixel 1 in bits 2-3

    // Width 3: pixel (2, 0) takes bits 6-8, the top two bits of byte 0 and bit 0 of byte 1.
    disp::frame three;
    ASSERT_TRUE(three.Create(2, 3, 0, 3));
    three.SetPixel(disp::pixel(2, 0, 7));
    EXPECT_EQ(Bytes(three), (std::vector<uint8_t>{0xC0, 0x01, 0x00}));
    three.SetPixel(disp::pixel(2, 0, 2));
    EXPECT_EQ(Bytes(three), (std::vector<uint8_t>{0x80, 0x00, 0x00}));

    disp::frame fifteen;
    ASSERT_TRUE(fifteen.Create(1, 2, 0, 15));
    fifteen.SetPixel(disp::pixel(1, 0, 0x0102));
    EXPECT_EQ(Bytes(fifteen), (std::vector<uint8_t>{0, 0, 0x02, 0x01}));

    disp::frame rgb;
    ASSERT_TRUE(rgb.Create(1, 2, 0, 24));
    rgb.SetPixel(disp::pixel(1, 0, 0x010000));
    EXPECT_EQ(rgb.LitCount(), 1u);
    EXPECT_EQ(Bytes(rgb), (std::vector<uint8_t>{0, 0, 0, 0, 0, 0x01}));
    rgb.SetPixel(disp::pixel(1, 0, 0));
    EXPECT_EQ(rgb.LitCount(), 0u);
}

TEST(Frame, ReadChunkNearTheEndZeroFillsTheRest) {
    disp::frame f;
    ASSERT_TRUE(f.Create(16, 80, 1, 1));
    ASSERT_EQ(f.State()->ByteSize(), 160u);
    uint8_t out[20];
    std::memset(out, 0x55, sizeof out);
    uint32_t offset = 150, count = 0;
    ASSERT_TRUE(f.ReadChunk(offset, out, 20, count));
    EXPECT_EQ(count, 10u);
    EXPECT_EQ(offset, 160u);
    for (int k = 0; k < 20; ++k) {
        EXPECT_EQ(out[k], k < 10 ? 0xFF : 0x00) << k;
    }
}

}  // namespace
