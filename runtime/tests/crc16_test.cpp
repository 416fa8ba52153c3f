// The CRC-16 gives the known table and residue and honours its option bits.
#include "runtime/crc16.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

TEST(Crc16, TableEntries) {
    EXPECT_EQ(Crc16TableEntry(0), 0x0000);
    EXPECT_EQ(Crc16TableEntry(1), 0x1189);
    EXPECT_EQ(Crc16TableEntry(128), 0x8408);
    EXPECT_EQ(Crc16TableEntry(255), 0x0F78);
}

TEST(Crc16, OptionBits) {
    struct Case {
        const char* text;
        unsigned options;
        uint16_t expected;
    };
    // X.25 frame check sequence of "123456789" is 0x906E; its raw register is ~0x906E.
    const Case cases[] = {
        {"abc", 7, 0x259E},       {"abc", 6, 0x259E},       {"123456789", 2, 0x906E},
        {"123456789", 0, 0x6F91}, {"123456789", 1, 0x6F91}, {"123456789", 4, 0x916F},
        {"123456789", 6, 0x6E90}, {"", 0, 0xFFFF},          {"", 7, 0x0000},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Crc16Compute(0xFFFF, c.text, std::strlen(c.text), c.options), c.expected)
            << c.text << " options " << c.options;
    }
}

TEST(Crc16, StateLifecycle) {
    Crc16State state;
    uint16_t value = 0;
    EXPECT_EQ(Crc16Update(&state, "a", 1), kCrc16NotOpen);
    EXPECT_EQ(Crc16Final(&state, &value, 0), kCrc16NotOpen);
    EXPECT_EQ(Crc16Close(&state), kCrc16NotOpen);
    ASSERT_EQ(Crc16Init(&state, 0xFFFF), kCrc16Ok);
    ASSERT_EQ(Crc16Update(&state, "ab", 2), kCrc16Ok);
    const uint16_t partial = state.crc;
    EXPECT_EQ(Crc16Init(&state, 0x1234), kCrc16AlreadyOpen);
    EXPECT_EQ(state.crc, partial) << "an open state keeps its crc";
    ASSERT_EQ(Crc16Update(&state, "c", 1), kCrc16Ok);
    ASSERT_EQ(Crc16Final(&state, &value, 7), kCrc16Ok);
    EXPECT_EQ(value, 0x259E) << "updates in pieces equal one update";
    EXPECT_EQ(Crc16Final(&state, &value, 0), kCrc16Ok) << "the state stays open after Final";
    EXPECT_EQ(Crc16Close(&state), kCrc16Ok);
    EXPECT_EQ(state.tag, kCrc16ClosedTag);
    EXPECT_EQ(Crc16Update(&state, "a", 1), kCrc16NotOpen);
    EXPECT_EQ(Crc16Init(&state, 0xFFFF), kCrc16Ok) << "a closed state can be opened again";
    EXPECT_EQ(Crc16Update(nullptr, "a", 1), kCrc16MissingArgument);
    EXPECT_EQ(Crc16Update(&state, nullptr, 1), kCrc16MissingArgument);
    EXPECT_EQ(Crc16Final(&state, nullptr, 0), kCrc16MissingArgument);
}

TEST(Crc16, AppendingTheSwappedCheckGivesTheGoodResidue) {
    // The X.25 check appended low byte first leaves the register at the residue 0xF0B8.
    std::vector<uint8_t> frame(1000);
    for (size_t i = 0; i < frame.size(); ++i) {
        frame[i] = static_cast<uint8_t>(i * 7 + 3);
    }
    const uint16_t fcs = Crc16Compute(0xFFFF, frame.data(), frame.size(), 2);
    frame.push_back(static_cast<uint8_t>(fcs & 0xFF));
    frame.push_back(static_cast<uint8_t>(fcs >> 8));
    EXPECT_EQ(Crc16Compute(0xFFFF, frame.data(), frame.size(), 0), 0xF0B8);
}

}  // namespace
