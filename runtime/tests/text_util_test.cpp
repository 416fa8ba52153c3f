// Text utilities compare without case, replace, fold and parse within the lengths they are given.
#include "runtime/text_util.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

TEST(TextUtil, CaseInsensitiveCompare) {
    EXPECT_EQ(StrCaseCmp("Hello", "hELLO"), 0);
    EXPECT_LT(StrCaseCmp("abc", "ABD"), 0);
    EXPECT_EQ(StrCaseCmp("abc", "ab"), 'c');
    EXPECT_EQ(StrCaseCmp("[", "{"), '[' - '{') << "only A-Z are folded";

    EXPECT_EQ(StrNCaseCmp("MS47,Name", "ms47,nAME,x", 9), 0);
    EXPECT_EQ(StrNCaseCmp("abc", "ABD", 3), -1);
    EXPECT_EQ(StrNCaseCmp("abd", "ABC", 3), 1);
    EXPECT_EQ(StrNCaseCmp("abc", "abd", 2), 0);
    EXPECT_EQ(StrNCaseCmp("a", "b", 0), 0);
}

TEST(TextUtil, StrNCaseCmpStopsAtTheEndOfTheShorterText) {
    // Both texts end inside n: the compare must not read the bytes behind either terminator.
    char* a = new char[3]{'a', 'b', '\0'};
    char* b = new char[3]{'A', 'B', '\0'};
    EXPECT_EQ(StrNCaseCmp(a, b, 100), 0);
    char* shorter = new char[2]{'a', '\0'};
    EXPECT_EQ(StrNCaseCmp(shorter, b, 100), -1);
    EXPECT_EQ(StrNCaseCmp(b, shorter, 100), 1);
    delete[] a;
    delete[] b;
    delete[] shorter;
}

TEST(TextUtil, StrToLowerFoldsOnlyTheGivenLength) {
    char text[] = "ABC-DEF";
    StrToLower(text, 5);
    EXPECT_STREQ(text, "abc-dEF");
}

TEST(TextUtil, StrReplaceAll) {
    char out[32];
    EXPECT_EQ(StrReplaceAll("one\ntwo", "\n", "\r\n", out, sizeof out), 1);
    EXPECT_STREQ(out, "one\r\ntwo");
    EXPECT_EQ(StrReplaceAll("one two", "\n", "\r\n", out, sizeof out), 0);
    EXPECT_STREQ(out, "one two");
    EXPECT_EQ(StrReplaceAll("aXaXa", "X", "", out, sizeof out), 1);
    EXPECT_STREQ(out, "aaa");
    EXPECT_EQ(StrReplaceAll("abc", "", "x", out, sizeof out), -3);
    EXPECT_EQ(StrReplaceAll(nullptr, "a", "x", out, sizeof out), -2);
    EXPECT_EQ(StrReplaceAll("abc", "a", nullptr, out, sizeof out), -2);
}

TEST(TextUtil, StrReplaceAllNeedsRoomForTheTerminator) {
    char out[8];
    std::memset(out, 'z', sizeof out);
    EXPECT_EQ(StrReplaceAll("a\nb\nc", "\n", "\r\n", out, 7), -1);  // needs 8 bytes
    EXPECT_EQ(out[0], '\0');
    EXPECT_EQ(out[7], 'z') << "nothing written beyond the given size";
    EXPECT_EQ(StrReplaceAll("a\nb\nc", "\n", "\r\n", out, 8), 1);
    EXPECT_STREQ(out, "a\r\nb\r\nc");
    EXPECT_EQ(StrReplaceAll("", "\n", "x", out, 0), -1);
}

TEST(TextUtil, HexValues) {
    EXPECT_EQ(HexDigitValue('7'), 7u);
    EXPECT_EQ(HexDigitValue('b'), 11u);
    EXPECT_EQ(HexDigitValue('F'), 15u);
    EXPECT_EQ(HexDigitValue('g'), 0u);
    EXPECT_EQ(HexStringToUint("1A2b"), 0x1A2Bu);
    EXPECT_EQ(HexStringToUint("0x10"), 0x010u) << "no prefix: x adds 0";
    EXPECT_EQ(HexStringToUint("DEADBEEF"), 0xDEADBEEFu);
    EXPECT_EQ(HexStringToUint(nullptr), 0u);
}

TEST(TextUtil, ParseDecimalList) {
    uint32_t values[4];
    size_t count = 0;
    EXPECT_EQ(ParseDecimalList("10, 20;30", 9, values, 4, &count), kParseOk);
    EXPECT_EQ(count, 3u);
    EXPECT_EQ(values[0], 10u);
    EXPECT_EQ(values[2], 30u);
    EXPECT_EQ(values[3], 0u);
    EXPECT_EQ(ParseDecimalList("10,20,30", 8, values, 2, &count), kParseTooMany);
    EXPECT_EQ(ParseDecimalList(nullptr, 8, values, 2, &count), kParseMissingArgument);
    EXPECT_EQ(ParseDecimalList("1", 1, nullptr, 2, &count), kParseMissingArgument);
}

TEST(TextUtil, ParseDecimalListStopsDigitRunsAtTheLength) {
    uint32_t values[2];
    size_t count = 0;
    // The run "12345" starts before the length of 3 but only "12" lies inside it.
    EXPECT_EQ(ParseDecimalList("7,12345", 4, values, 2, &count), kParseOk);
    EXPECT_EQ(count, 2u);
    EXPECT_EQ(values[1], 12u);
    EXPECT_EQ(ParseDecimalList("99999999999", 11, values, 2, &count), kParseOk);
    EXPECT_EQ(values[0], 0xFFFFFFFFu) << "values beyond 32 bits saturate";
    EXPECT_EQ(ParseDecimalList("5", 100, values, 2, &count), kParseOk) << "stops at the terminator";
    EXPECT_EQ(count, 1u);
}

TEST(TextUtil, LeapYears) {
    EXPECT_TRUE(IsLeapYear(2024));
    EXPECT_TRUE(IsLeapYear(2000));
    EXPECT_FALSE(IsLeapYear(1900));
    EXPECT_FALSE(IsLeapYear(2023));
}

}  // namespace
