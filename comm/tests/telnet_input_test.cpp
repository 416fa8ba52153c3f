// Telnet input: option negotiation is answered and stripped, line ends are normalised.
#include "comm/telnet_input.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::string B(std::initializer_list<int> bytes) {
    std::string s;
    for (const int b : bytes) {
        s.push_back(static_cast<char>(b));
    }
    return s;
}

struct Case {
    const char* name;
    std::vector<std::string> segments;
    std::string data;
    std::string answer;
};

TEST(TelnetInputTest, NegotiationAndLineEnds) {
    const Case cases[] = {
        {"plain text", {"abc"}, "abc", ""},
        {"CR LF is one CR", {"a\r\nb"}, "a\rb", ""},
        {"CR NUL is one CR", {B({'a', '\r', 0, 'b'})}, "a\rb", ""},
        {"CR LF split over segments", {"a\r", "\nb"}, "a\rb", ""},
        {"lone LF stays", {"a\nb"}, "a\nb", ""},
        {"CR CR LF", {"\r\r\n"}, "\r\r", ""},
        {"IAC IAC is 255", {B({255, 255, 'x'})}, B({255, 'x'}), ""},
        {"DO echo and DO SGA are agreed", {B({255, 253, 1, 255, 253, 3, 'x'})}, "x", ""},
        {"DO other option is refused", {B({255, 253, 24, 'x'})}, "x", B({255, 252, 24})},
        {"WILL option is refused", {B({255, 251, 31})}, "", B({255, 254, 31})},
        {"WONT and DONT need no answer", {B({255, 252, 1, 255, 254, 3})}, "", ""},
        {"subnegotiation skipped", {B({255, 250, 24, 0, 'v', 't', 255, 240, 'k'})}, "k", ""},
        {"IAC inside subnegotiation", {B({255, 250, 1, 255, 255, 2, 255, 240, 'k'})}, "k", ""},
        {"command split over segments",
         {B({'a', 255}), B({253}), B({24, 'b'})},
         "ab",
         B({255, 252, 24})},
        {"two-byte commands skipped", {B({255, 241, 'a', 255, 244, 'b'})}, "ab", ""},
        {"unterminated subnegotiation swallows", {B({255, 250, 'a', 'b', 'c'})}, "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CTelnetInput input;
        std::string data;
        std::string answer;
        for (const std::string& segment : c.segments) {
            input.Take(segment, &data, &answer);
        }
        EXPECT_EQ(data, c.data);
        EXPECT_EQ(answer, c.answer);
    }
}

TEST(TelnetInputTest, OfferIsWillEchoAndWillSuppressGoAhead) {
    EXPECT_EQ(CTelnetInput::Offer(), B({255, 251, 1, 255, 251, 3}));
}

}  // namespace
