// Module register access against the simulated module bus: queries, the data-line test, and
// failure bitmaps of 64- and 128-bit modules decoded back to the dead LEDs put in.
#include "display/module_register_access.h"

#include <gtest/gtest.h>

#include <set>
#include <tuple>
#include <vector>

#include "display/tests/sign_fixture.h"
#include "platform/kernel/kernel.h"
#include "platform/sim/epld_bitstream.h"

namespace {

using sign_test::ConsoleText;
using sign_test::SignFixture;

sim::SignConfig Layout(sim::ModuleKind kind, std::vector<unsigned> lines) {
    sim::SignConfig config;
    config.modules = kind;
    config.lineLengths = std::move(lines);
    return config;
}

void LoadEpld(SignFixture& board) {
    const std::vector<uint8_t> bits = sim::MakeEpldBitstream(12, 64);
    ASSERT_TRUE(board.Sign().GetEpld().Load(bits.data(), bits.size()));
}

TEST(ModuleRegisterAccess, QueryGivesTheSizeCode) {
    for (const auto& [answer, size] : std::vector<std::pair<uint8_t, uint8_t>>{
             {0, 0}, {1, 8}, {6, 4}, {10, 4}, {40, 8}, {41, 0}, {255, 0}}) {
        EXPECT_EQ(ModuleSizeFromAnswer(answer), size) << int(answer);
    }
    SignFixture board(Layout(sim::ModuleKind::k8x8, {3, 2}));
    EXPECT_EQ(ModuleQuery(1, 0), 0) << "unprogrammed EPLD";
    LoadEpld(board);
    EXPECT_EQ(ModuleQuery(1, 0), 4);
    EXPECT_EQ(ModuleQuery(3, 1), 0);
    board.Sign().Modules().Configure(sim::ModuleKind::k16x16, {1});
    EXPECT_EQ(ModuleQuery(1, 0), 8);
}

TEST(ModuleRegisterAccess, DataLineTestReportsEachMismatch) {
    SignFixture board(Layout(sim::ModuleKind::k8x8, {3, 3, 3}));
    LoadEpld(board);
    for (uint32_t row = 0; row < 3; ++row) {
        EXPECT_EQ(DisplayBusTest(3, row, 0), 0u) << row;
    }
    EXPECT_EQ(ConsoleText(), "");
    // Bit 0 stuck on line 1: only test 1 (0x0101) notices.
    board.Sign().Modules().SetDataLineFault(1, 0x0001);
    EXPECT_EQ(DisplayBusTest(2, 1, 0), 0x2u);
    EXPECT_EQ(ConsoleText(), "Test: 1 Data: 0100 Expected: 0101\n\r");
    // A silent module fails every test run; mode 4 runs only tests 0, 2 and 4.
    board.Sign().Modules().Disconnect(2, 1);
    EXPECT_EQ(DisplayBusTest(3, 2, 0), 0x3Fu);
    EXPECT_EQ(DisplayBusTest(3, 2, 4), 0x15u);
    EXPECT_EQ(DisplayBusTest(1, 2, 4), 0u);
}

TEST(ModuleRegisterAccess, BitToPixelEdges) {
    uint16_t bitmap[8] = {};
    bitmap[0] = 0x0001;
    bitmap[3] = 0x8000;
    bitmap[4] = 0x0001;
    struct Case {
        uint32_t bit;
        uint16_t x, y;
        uint32_t value;
    };
    for (const Case& c : {Case{0, 15, 7, 1}, Case{63, 8, 0, 1}, Case{64, 7, 7, 1},
                          Case{65, 6, 7, 0}, Case{127, 0, 0, 0}}) {
        ModulePixel at{0xFFFF, 0xFFFF};
        EXPECT_EQ(ModuleBitToPixel64(c.bit, bitmap, 8, &at, 2), c.value) << c.bit;
        EXPECT_EQ(at.x, c.x) << c.bit;
        EXPECT_EQ(at.y, c.y) << c.bit;
    }
    // 16-pixel modules: bit 64 is offset 8, bit 41 row 2.
    ModulePixel at{};
    ModuleBitToPixel128(64, bitmap, 8, &at, 1);
    EXPECT_EQ(at.x, 7);
    EXPECT_EQ(at.y, 7);
    ModuleBitToPixel128(41, bitmap, 8, &at, 1);
    EXPECT_EQ(at.x, 14);
    EXPECT_EQ(at.y, 2);
    // Beyond the bitmap or the line: nothing.
    at = {0xFFFF, 0xFFFF};
    bitmap[7] = 0xFFFF;
    EXPECT_EQ(ModuleBitToPixel64(128, bitmap, 8, &at, 3), 0u);
    EXPECT_EQ(ModuleBitToPixel64(127, bitmap, 7, &at, 2), 0u);
    EXPECT_EQ(ModuleBitToPixel64(127, bitmap, 8, &at, 1), 0u);
    EXPECT_EQ(at.x, 0xFFFF);
}

// Dead LEDs put into a line come back from the bitmaps at the same places, channel by channel.
void RoundTrip(sim::ModuleKind kind, unsigned modules, std::set<std::tuple<int, int, int>> dead) {
    SignFixture board(Layout(kind, {modules, modules}));
    LoadEpld(board);
    const uint32_t size = kind == sim::ModuleKind::k8x8 ? 8 : 16;
    for (const auto& [x, y, colour] : dead) {
        ASSERT_TRUE(board.Sign().Modules().SetDeadLed(x, size + y, colour));  // line 1
    }
    const uint8_t code = ModuleQuery(1, 0);
    ASSERT_EQ(code, size == 8 ? 4 : 8);
    std::set<std::tuple<int, int, int>> found;
    uint16_t bitmap[8 * 16];
    const uint32_t channels = size == 8 ? 3 : 6;
    for (uint32_t ch = 0; ch < channels; ++ch) {
        ModuleSelectChannel(1, modules, size == 8 ? 2 * ch : ch);
        const uint32_t words = ModuleReadBitmap(modules, code, bitmap, sizeof bitmap / 2);
        ASSERT_EQ(words, modules * code);
        for (uint32_t b = 0; b < words * 16; ++b) {
            ModulePixel at{};
            const uint32_t set = size == 8 ? ModuleBitToPixel64(b, bitmap, words, &at, modules)
                                           : ModuleBitToPixel128(b, bitmap, words, &at, modules);
            if (set != 0) {
                const int y = size == 8 ? at.y : at.y + 8 * int(ch % 2);
                found.insert({at.x, y, size == 8 ? int(ch) : int(ch / 2)});
            }
        }
    }
    EXPECT_EQ(found, dead);
}

TEST(ModuleRegisterAccess, BitmapsOf64BitModulesRoundTrip) {
    RoundTrip(sim::ModuleKind::k8x8, 3,
              {{0, 0, 0}, {7, 7, 1}, {8, 3, 2}, {23, 0, 0}, {23, 7, 2}, {12, 5, 1}});
}

TEST(ModuleRegisterAccess, BitmapsOf128BitModulesRoundTrip) {
    RoundTrip(sim::ModuleKind::k16x16, 2,
              {{0, 0, 0}, {15, 15, 1}, {16, 8, 2}, {31, 7, 0}, {14, 2, 1}, {9, 12, 2}});
}

TEST(ModuleRegisterAccess, BitmapReadCountsWordsWithinTheBuffer) {
    SignFixture board(Layout(sim::ModuleKind::k8x8, {3}));
    LoadEpld(board);
    board.Sign().Modules().Disconnect(0, 0);  // every LED reads failed
    ModuleSelectChannel(0, 3, 0);
    uint16_t words[16];
    std::fill(std::begin(words), std::end(words), 0x1234);
    EXPECT_EQ(ModuleReadBitmap(3, 4, words, 16), 12u);
    EXPECT_EQ(words[11], 0xFFFF);
    EXPECT_EQ(words[12], 0x1234);
    EXPECT_EQ(ModuleReadBitmap(3, 8, words, 5), 5u);
    EXPECT_EQ(ModuleReadBitmap(3, 6, words, 16), 0u);
}

TEST(ModuleRegisterAccess, EachCommandHoldsTheThreadFiveTicks) {
    SignFixture board(Layout(sim::ModuleKind::k8x8, {3}));
    LoadEpld(board);
    struct Probe {
        TX_THREAD thread{};
        ULONG start = 0;
        ULONG end = 0;
        uint8_t size = 0;
        alignas(16) unsigned char stack[4096];
    } probe;
    kernel::Kernel k;
    k.Start([&](void*) {
        tx_thread_create(
            &probe.thread, "Display",
            [](ULONG_PTR input) {
                auto* p = reinterpret_cast<Probe*>(input);
                p->start = tx_time_get();
                p->size = ModuleQuery(1, 0);
                ModuleSelectChannel(0, 3, 0);
                p->end = tx_time_get();
            },
            reinterpret_cast<ULONG_PTR>(&probe), probe.stack, sizeof probe.stack, 5, 5,
            TX_NO_TIME_SLICE, TX_AUTO_START);
    });
    k.Advance(20);
    EXPECT_EQ(probe.size, 4);
    EXPECT_EQ(probe.end - probe.start, 10u);
}

}  // namespace
