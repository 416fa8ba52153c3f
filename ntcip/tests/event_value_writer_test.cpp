// The event value writer encodes each syntax minimally and never loses the tail of an encoding that
// fills its buffer.
#include "ntcip/event_value_writer.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "ntcip/tests/snmp_test_support.h"

namespace {

std::string Encode(const std::function<uint32_t(ber_writer*)>& write, uint32_t* error = nullptr,
                   uint32_t capacity = 512) {
    std::vector<uint8_t> buffer(capacity);
    ber_writer w;
    ber_writer_init(&w, buffer.data(), capacity);
    const uint32_t e = write(&w);
    if (error != nullptr) {
        *error = e;
    }
    return snmp_test::ToHex(buffer.data(), static_cast<size_t>(w.count));
}

TEST(EventValueWriter, EncodesEachSyntaxMinimally) {
    const uint32_t oid[] = {1, 3, 6, 1, 4, 1, 1206};
    const uint8_t address[] = {10, 0, 0, 1};
    const struct Case {
        const char* expected;
        std::function<uint32_t(ber_writer*)> write;
    } cases[] = {
        {"02 01 00", [](ber_writer* w) { return ber_write_integer(w, 0); }},
        {"02 02 00 80", [](ber_writer* w) { return ber_write_integer(w, 128); }},
        {"02 02 FF 7F", [](ber_writer* w) { return ber_write_integer(w, -129); }},
        {"02 01 FF", [](ber_writer* w) { return ber_write_integer(w, -1); }},
        {"02 04 80 00 00 00", [](ber_writer* w) { return ber_write_integer(w, INT32_MIN); }},
        {"41 02 00 C8", [](ber_writer* w) { return ber_write_counter(w, 200); }},
        {"41 01 00", [](ber_writer* w) { return ber_write_counter(w, 0); }},
        {"42 05 00 FF FF FF FF", [](ber_writer* w) { return ber_write_gauge(w, 0xFFFFFFFF); }},
        {"43 02 01 00", [](ber_writer* w) { return ber_write_timeticks(w, 256); }},
        {"05 00", [](ber_writer* w) { return ber_write_null(w); }},
        {"40 04 0A 00 00 01", [&](ber_writer* w) { return ber_write_ipaddress(w, address); }},
        {"06 07 2B 06 01 04 01 89 36", [&](ber_writer* w) { return ber_write_oid(w, oid, 7); }},
        {"04 02 61 62",
         [](ber_writer* w) {
             return ber_write_octets(w, reinterpret_cast<const uint8_t*>("ab"), 2);
         }},
    };
    for (const Case& c : cases) {
        uint32_t error = 99;
        EXPECT_EQ(Encode(c.write, &error), c.expected);
        EXPECT_EQ(error, kBerWriterOk) << c.expected;
    }
}

TEST(EventValueWriter, LongStringsTakeLongLengthsAndAreCutToTheRoom) {
    const std::vector<uint8_t> octets(600, 0x5A);
    uint32_t error = 0;
    std::string hex =
        Encode([&](ber_writer* w) { return ber_write_octets(w, octets.data(), 300); }, &error);
    EXPECT_EQ(hex.substr(0, 11), "04 82 01 2C");
    EXPECT_EQ(error, kBerWriterOk);
    EXPECT_EQ(hex.size(), (4u + 300u) * 3u - 1u);

    // 600 octets into 512 bytes: cut so that the whole encoding, length included, is kept.
    std::vector<uint8_t> buffer(512, 0);
    ber_writer w;
    ber_writer_init(&w, buffer.data(), 512);
    EXPECT_EQ(ber_write_octets(&w, octets.data(), 600), kBerWriterTruncated);
    ASSERT_EQ(w.count, 511);
    const uint32_t length = uint32_t{buffer[2]} << 8 | buffer[3];
    EXPECT_EQ(buffer[1], 0x82);
    EXPECT_EQ(4u + length, 511u);
    EXPECT_EQ(buffer[510], 0x5A);
    // Nothing fits after that.
    EXPECT_EQ(ber_writer_room(&w), 0u);
    EXPECT_EQ(ber_write_octets(&w, octets.data(), 1), kBerWriterFull);
}

TEST(EventValueWriter, RoomStepsAtTheLengthFormBoundaries) {
    const struct {
        uint32_t capacity, room;
    } cases[] = {{3, 0}, {4, 1}, {130, 127}, {131, 127}, {132, 127}, {133, 128}, {512, 507}};
    for (const auto& c : cases) {
        std::vector<uint8_t> buffer(c.capacity);
        ber_writer w;
        ber_writer_init(&w, buffer.data(), c.capacity);
        EXPECT_EQ(ber_writer_room(&w), c.room) << c.capacity;
    }
    EXPECT_EQ(ber_writer_room(nullptr), 0u);
    EXPECT_EQ(ber_write_null(nullptr), kBerWriterMissing);
    ber_writer w{};
    EXPECT_EQ(ber_writer_init(&w, nullptr, 10), kBerWriterMissing);
    uint8_t byte = 0;
    ber_writer_init(&w, &byte, 1);
    EXPECT_EQ(ber_writer_back(&w), kBerWriterAtBegin);
}

}  // namespace
