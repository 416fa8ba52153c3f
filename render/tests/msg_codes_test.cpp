// Message ID and activation codes pack and unpack big-endian and compare by type, number and CRC.
#include <gtest/gtest.h>

#include <array>
#include <cstring>

#include "render/msg_activation_code.h"
#include "render/msg_id_code.h"

namespace {

using Octets12 = std::array<uint8_t, 12>;

TEST(MsgActivationCode, UnpackDecodesBigEndianFieldsAndPackRestoresThem) {
    const Octets12 in = {0x00, 0x3C, 0x05, 0x03, 0x00, 0x07, 0x01, 0x23, 0x0A, 0x00, 0x00, 0x01};
    CMsgActivationCode code;
    ASSERT_TRUE(code.Unpack(in.data()));
    EXPECT_EQ(code.duration, 60);
    EXPECT_EQ(code.priority, 5);
    EXPECT_EQ(code.memoryType, 3);
    EXPECT_EQ(code.messageNumber, 7);
    EXPECT_EQ(code.crc, 291);
    EXPECT_EQ(code.sourceAddress[0], 10);
    EXPECT_EQ(code.sourceAddress[1], 0);
    EXPECT_EQ(code.sourceAddress[2], 0);
    EXPECT_EQ(code.sourceAddress[3], 1);
    EXPECT_EQ(0, std::memcmp(code.raw, in.data(), 12));

    std::memset(code.raw, 0xEE, sizeof code.raw);
    code.Pack();
    EXPECT_EQ(0, std::memcmp(code.raw, in.data(), 12));
}

TEST(MsgActivationCode, PackPutsHighOctetsFirst) {
    CMsgActivationCode code;
    code.duration = 0xFFFF;
    code.priority = 255;
    code.memoryType = 7;
    code.messageNumber = 0x1234;
    code.crc = 0xABCD;
    const uint8_t address[4] = {127, 0, 0, 1};
    std::memcpy(code.sourceAddress, address, 4);
    code.Pack();
    const Octets12 expected = {0xFF, 0xFF, 0xFF, 0x07, 0x12, 0x34, 0xAB, 0xCD, 127, 0, 0, 1};
    EXPECT_EQ(0, std::memcmp(code.raw, expected.data(), 12));
}

TEST(MsgActivationCode, UnpackOfNullClearsEverything) {
    const Octets12 in = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    CMsgActivationCode code;
    ASSERT_TRUE(code.Unpack(in.data()));
    EXPECT_FALSE(code.Unpack(nullptr));
    EXPECT_EQ(code.duration, 0);
    EXPECT_EQ(code.priority, 0);
    EXPECT_EQ(code.memoryType, 0);
    EXPECT_EQ(code.messageNumber, 0);
    EXPECT_EQ(code.crc, 0);
    const uint8_t zeros[12] = {};
    EXPECT_EQ(0, std::memcmp(code.sourceAddress, zeros, 4));
    EXPECT_EQ(0, std::memcmp(code.raw, zeros, 12));
}

TEST(MsgActivationCode, SameMessageComparesTypeNumberAndCrcOnly) {
    const Octets12 base = {0x00, 0x3C, 0x05, 0x03, 0x00, 0x07, 0x01, 0x23, 0x0A, 0x00, 0x00, 0x01};
    struct Case {
        const char* what;
        int octet;
        uint8_t value;
        bool same;
    };
    const Case cases[] = {
        {"duration", 1, 0x3D, true},     {"priority", 2, 0x06, true},
        {"source", 11, 0x02, true},      {"memory type", 3, 0x04, false},
        {"number high", 4, 0x01, false}, {"number low", 5, 0x08, false},
        {"crc high", 6, 0x02, false},    {"crc low", 7, 0x24, false},
    };
    CMsgActivationCode a;
    a.Unpack(base.data());
    for (const Case& c : cases) {
        Octets12 changed = base;
        changed[c.octet] = c.value;
        CMsgActivationCode b;
        b.Unpack(changed.data());
        EXPECT_EQ(a.IsSameMessage(b), c.same) << c.what;
        EXPECT_EQ(b.IsSameMessage(a), c.same) << c.what;
    }
}

TEST(MsgIDCode, SetPacksBigEndian) {
    CMsgIDCode id;
    id.Set(3, 258, 291);
    const uint8_t expected[5] = {0x03, 0x01, 0x02, 0x01, 0x23};
    EXPECT_EQ(0, std::memcmp(id.raw, expected, 5));
}

TEST(MsgIDCode, UnpackDecodesAndNullClears) {
    const uint8_t in[5] = {0x07, 0xFF, 0xFE, 0x80, 0x01};
    CMsgIDCode id;
    ASSERT_TRUE(id.Unpack(in));
    EXPECT_EQ(id.memoryType, 7);
    EXPECT_EQ(id.messageNumber, 0xFFFE);
    EXPECT_EQ(id.crc, 0x8001);
    EXPECT_EQ(0, std::memcmp(id.raw, in, 5));

    EXPECT_FALSE(id.Unpack(nullptr));
    EXPECT_EQ(id.memoryType, 0);
    EXPECT_EQ(id.messageNumber, 0);
    EXPECT_EQ(id.crc, 0);
    const uint8_t zeros[5] = {};
    EXPECT_EQ(0, std::memcmp(id.raw, zeros, 5));
}

}  // namespace
