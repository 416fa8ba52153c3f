// Base64 encodes with padding and decodes, never writing past the room it is given.
#include "runtime/base64.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

std::string Encode(const std::string& in) {
    char out[64];
    size_t length = 0;
    EXPECT_EQ(Base64Encode(in.data(), in.size(), out, sizeof out, &length), kBase64Ok);
    EXPECT_EQ(std::strlen(out), length);
    return out;
}

std::string Decode(const std::string& in) {
    unsigned char out[64];
    size_t length = 99;
    EXPECT_EQ(Base64Decode(in.data(), in.size(), out, sizeof out, &length), kBase64Ok);
    return std::string(reinterpret_cast<char*>(out), length);
}

TEST(Base64, EncodesWithPadding) {
    const std::pair<std::string, std::string> cases[] = {
        {"", ""},
        {"f", "Zg=="},
        {"fo", "Zm8="},
        {"foo", "Zm9v"},
        {"foob", "Zm9vYg=="},
        {"foobar", "Zm9vYmFy"},
        {std::string("\xff\xfe\x00", 3), "//4A"},
    };
    for (const auto& [plain, coded] : cases) {
        EXPECT_EQ(Encode(plain), coded);
        EXPECT_EQ(Decode(coded), plain);
    }
}

TEST(Base64, EncodeNeedsRoomForTheTerminator) {
    char out[5];
    size_t length = 0;
    EXPECT_EQ(Base64Encode("abc", 3, out, 4, &length), kBase64NoRoom);
    EXPECT_EQ(length, 4u) << "the length is reported in any case";
    EXPECT_EQ(Base64Encode("abc", 3, out, 5, &length), kBase64Ok);
    EXPECT_STREQ(out, "YWJj");
    EXPECT_EQ(Base64Encode("abc", 3, out, 5, nullptr), kBase64MissingArgument);
    EXPECT_EQ(Base64Encode(nullptr, 3, out, 5, &length), kBase64MissingArgument);
}

TEST(Base64, DecodeGroups) {
    EXPECT_EQ(Decode("QQ=="), "A");
    EXPECT_EQ(Decode("QUI="), "AB");
    EXPECT_EQ(Decode("QUJD"), "ABC");
    EXPECT_EQ(Decode("QUJDQQ"), "ABC") << "a trailing group of two characters gives nothing";
    EXPECT_EQ(Decode("QQ"), "");
    EXPECT_EQ(Decode("Q*=="), "@") << "characters outside the alphabet count as 0";
}

TEST(Base64, DecodeChecksRoomBeforeWriting) {
    unsigned char out[8] = {};
    size_t length = 7;
    // 8 characters need (24 + 6) / 4 = 7 bytes of room.
    EXPECT_EQ(Base64Decode("QUJDQUJD", 8, out, 6, &length), kBase64NoRoom);
    EXPECT_EQ(length, 0u);
    EXPECT_EQ(out[0], 0);
    EXPECT_EQ(Base64Decode("QUJDQUJD", 8, out, 7, &length), kBase64Ok);
    EXPECT_EQ(length, 6u);
    EXPECT_EQ(Base64Decode(nullptr, 4, out, 7, &length), kBase64MissingArgument);
}

}  // namespace
