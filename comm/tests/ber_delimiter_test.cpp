// The delimiter yields exactly the whole SNMP messages of a byte stream, however it is cut, and
// refuses at once what cannot be a message instead of waiting for bytes that never come.

#include "comm/ber_delimiter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

struct Outcome {
    std::vector<Bytes> messages;
    bool refused = false;  // both users stop there: the datagram is dropped, the connection closed
};

Outcome Delimit(const Bytes& stream, size_t capacity = 64) {
    std::vector<uint8_t> buffer(capacity);
    BerDelimiter delimiter(buffer.data(), buffer.size());
    Outcome out;
    for (uint8_t b : stream) {
        switch (delimiter.Push(b)) {
            case BerDelimiter::Step::kMessage:
                out.messages.emplace_back(delimiter.Message(),
                                          delimiter.Message() + delimiter.Length());
                break;
            case BerDelimiter::Step::kRefused:
                out.refused = true;
                return out;
            case BerDelimiter::Step::kMore:
                break;
        }
    }
    return out;
}

Bytes Message(size_t content, uint8_t fill = 0xAB) {
    Bytes m{0x30};
    if (content < 0x80) {
        m.push_back(uint8_t(content));
    } else if (content < 0x100) {
        m.insert(m.end(), {0x81, uint8_t(content)});
    } else {
        m.insert(m.end(), {0x82, uint8_t(content >> 8), uint8_t(content)});
    }
    m.insert(m.end(), content, fill);
    return m;
}

Bytes Join(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) {
        out.insert(out.end(), p.begin(), p.end());
    }
    return out;
}

TEST(BerDelimiter, CutsMessagesOutOfAStream) {
    struct Case {
        const char* what;
        Bytes stream;
        size_t capacity;
        std::vector<Bytes> messages;
        bool refused;
    };
    const Case cases[] = {
        {"one short form", Message(5), 64, {Message(5)}, 0},
        {"three back to back",
         Join({Message(3, 1), Message(0), Message(40, 2)}),
         64,
         {Message(3, 1), Message(0), Message(40, 2)},
         0},
        {"long form length", Message(200), 300, {Message(200)}, 0},
        {"two-octet length", Message(0x123), 0x200, {Message(0x123)}, 0},
        {"exactly the buffer", Message(62), 64, {Message(62)}, 0},
        {"one more than the buffer", Message(63), 64, {}, 1},
        {"length 2^31", {0x30, 0x84, 0x80, 0x00, 0x00, 0x00}, 64, {}, 1},
        {"five length octets", {0x30, 0x85, 0, 0, 0, 0, 1}, 64, {}, 1},
        {"indefinite length", {0x30, 0x80, 0x00, 0x00}, 64, {}, 1},
        {"a message, then another tag", Join({Message(2), {0x02, 0x01}}), 64, {Message(2)}, 1},
        {"half a length waits", {0x30, 0x82, 0x00}, 64, {}, 0},
        {"a partial message waits", {0x30, 0x05, 1, 2}, 64, {}, 0},
    };
    for (const Case& c : cases) {
        const Outcome out = Delimit(c.stream, c.capacity);
        EXPECT_EQ(out.messages, c.messages) << c.what;
        EXPECT_EQ(out.refused, c.refused) << c.what;
    }
}

TEST(BerDelimiter, ResetDropsAPartialMessage) {
    uint8_t buffer[64];
    BerDelimiter delimiter(buffer, sizeof buffer);
    for (uint8_t b : Bytes{0x30, 0x84, 0x00, 0x00}) {
        EXPECT_EQ(delimiter.Push(b), BerDelimiter::Step::kMore);
    }
    delimiter.Reset();  // a new datagram
    const Bytes next = Message(3);
    BerDelimiter::Step last = BerDelimiter::Step::kMore;
    for (uint8_t b : next) {
        last = delimiter.Push(b);
    }
    ASSERT_EQ(last, BerDelimiter::Step::kMessage);
    EXPECT_EQ(Bytes(delimiter.Message(), delimiter.Message() + delimiter.Length()), next);
}

}  // namespace
