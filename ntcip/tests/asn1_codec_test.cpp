// The ASN.1 codec writes minimal BER and reads it back, refusing malformed input safely.
#include "ntcip/asn1_codec.h"

#include <gtest/gtest.h>

#include <array>
#include <functional>

#include "ntcip/tests/snmp_test_support.h"

using snmp_test::Bytes;
using snmp_test::CompatibilityMode;
using snmp_test::Hex;
using snmp_test::ToHex;

namespace {

// Runs an encoder on a fresh 64-octet buffer and returns what it wrote.
std::string Encoded(const std::function<int(asn1_context*)>& encode) {
    uint8_t buffer[64];
    asn1_context ctx;
    g_asn1_open(&ctx, buffer, sizeof buffer, 0);
    EXPECT_EQ(encode(&ctx), 1) << "error " << ctx.error;
    const uint8_t* start = nullptr;
    uint32_t length = 0;
    g_asn1_close(&ctx, &start, &length);
    return ToHex(start, length);
}

std::string EncodedInt(int32_t value) {
    return Encoded([value](asn1_context* ctx) {
        const uint8_t* end = nullptr;
        return g_asn1_int_encode(ctx, &end, value) &&
               g_asn1_header_encode(ctx, end, kAsn1Universal, kAsn1Primitive, kAsn1TagInteger);
    });
}

std::string EncodedUint(uint32_t value) {
    return Encoded([value](asn1_context* ctx) {
        const uint8_t* end = nullptr;
        return g_asn1_uint_encode(ctx, &end, value) &&
               g_asn1_header_encode(ctx, end, kAsn1Universal, kAsn1Primitive, kAsn1TagInteger);
    });
}

std::string EncodedOid(std::vector<uint32_t> subids) {
    return Encoded([&subids](asn1_context* ctx) {
        const uint8_t* end = nullptr;
        return g_asn1_oid_encode(ctx, &end, subids.data(), static_cast<uint32_t>(subids.size())) &&
               g_asn1_header_encode(ctx, end, kAsn1Universal, kAsn1Primitive, kAsn1TagObjectId);
    });
}

TEST(Asn1Encode, IntegersAreMinimalAndNegativesAreFourOctets) {
    const std::pair<int32_t, const char*> cases[] = {
        {-1, "02 04 FF FF FF FF"},
        {127, "02 01 7F"},
        {128, "02 02 00 80"},
        {0, "02 01 00"},
        {255, "02 02 00 FF"},
        {256, "02 02 01 00"},
        {-128, "02 04 FF FF FF 80"},
        {INT32_MIN, "02 04 80 00 00 00"},
        {INT32_MAX, "02 04 7F FF FF FF"},
    };
    for (const auto& [value, expected] : cases) {
        EXPECT_EQ(EncodedInt(value), expected) << value;
    }
}

TEST(Asn1Encode, UnsignedTakesALeadingZeroWhenTheTopBitIsSet) {
    EXPECT_EQ(EncodedUint(4294967295u), "02 05 00 FF FF FF FF");
    EXPECT_EQ(EncodedUint(0x80000000u), "02 05 00 80 00 00 00");
    EXPECT_EQ(EncodedUint(255), "02 02 00 FF");
    EXPECT_EQ(EncodedUint(0), "02 01 00");
}

TEST(Asn1Encode, LengthsUseTheFewestOctets) {
    const std::pair<uint32_t, const char*> cases[] = {
        {0, "00"},
        {127, "7F"},
        {128, "81 80"},
        {200, "81 C8"},
        {255, "81 FF"},
        {256, "82 01 00"},
        {1000, "82 03 E8"},
        {65536, "83 01 00 00"},
        {0xFFFFFFFF, "84 FF FF FF FF"},
    };
    for (const auto& [length, expected] : cases) {
        EXPECT_EQ(
            Encoded([length](asn1_context* ctx) { return g_asn1_length_encode(ctx, 1, length); }),
            expected)
            << length;
    }
    EXPECT_EQ(Encoded([](asn1_context* ctx) { return g_asn1_length_encode(ctx, 0, 0); }), "80");
}

TEST(Asn1Encode, HeaderOfOctetStringsOfSeveralLengths) {
    for (const auto& [count, prefix] : std::vector<std::pair<uint32_t, std::string>>{
             {127, "04 7F"}, {200, "04 81 C8"}, {1000, "04 82 03 E8"}}) {
        std::vector<uint8_t> buffer(1100);
        std::vector<uint8_t> content(count, 0x41);
        asn1_context ctx;
        g_asn1_open(&ctx, buffer.data(), static_cast<uint32_t>(buffer.size()), 0);
        const uint8_t* end = nullptr;
        ASSERT_TRUE(g_asn1_octets_encode(&ctx, &end, content.data(), count));
        ASSERT_TRUE(
            g_asn1_header_encode(&ctx, end, kAsn1Universal, kAsn1Primitive, kAsn1TagOctetString));
        const uint8_t* start = nullptr;
        uint32_t length = 0;
        g_asn1_close(&ctx, &start, &length);
        EXPECT_EQ(length, count + prefix.size() / 3 + 1);
        EXPECT_EQ(ToHex(start, prefix.size() / 3 + 1), prefix);
    }
}

TEST(Asn1Encode, Identifiers) {
    struct Case {
        uint32_t cls, constructed, tag;
        const char* expected;
    };
    const Case cases[] = {
        {kAsn1Universal, kAsn1Primitive, kAsn1TagInteger, "02"},
        {kAsn1Universal, kAsn1Constructed, kAsn1TagSequence, "30"},
        {kAsn1Application, kAsn1Primitive, 3, "43"},
        {kAsn1Context, kAsn1Constructed, 0, "A0"},
        {kAsn1Context, kAsn1Constructed, 5, "A5"},
        {kAsn1Private, kAsn1Primitive, 30, "DE"},
        {kAsn1Universal, kAsn1Primitive, 31, "1F 1F"},
        {kAsn1Application, kAsn1Primitive, 200, "5F 81 48"},
        {kAsn1Context, kAsn1Constructed, 1206, "BF 89 36"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Encoded([&c](asn1_context* ctx) {
                      return g_asn1_id_encode(ctx, c.cls, c.constructed, c.tag);
                  }),
                  c.expected)
            << c.tag;
    }
}

TEST(Asn1Encode, ObjectIdentifiers) {
    EXPECT_EQ(EncodedOid({1, 3, 6, 1, 2, 1, 1, 1, 0}), "06 08 2B 06 01 02 01 01 01 00");
    EXPECT_EQ(EncodedOid({1, 3, 6, 1, 4, 1, 1206}), "06 07 2B 06 01 04 01 89 36");
    EXPECT_EQ(EncodedOid({2, 999}), "06 02 88 37");
    EXPECT_EQ(EncodedOid({1, 3, 0xFFFFFFFF}), "06 06 2B 8F FF FF FF 7F");
    EXPECT_EQ(Encoded([](asn1_context* ctx) {
                  const uint8_t* end = nullptr;
                  return g_asn1_null_encode(ctx, &end) &&
                         g_asn1_header_encode(ctx, end, kAsn1Universal, kAsn1Primitive,
                                              kAsn1TagNull);
              }),
              "05 00");
}

TEST(Asn1Encode, OneSubIdentifierIsRefused) {
    uint8_t buffer[16];
    asn1_context ctx;
    g_asn1_open(&ctx, buffer, sizeof buffer, 0);
    const uint32_t one[] = {1};
    const uint8_t* end = nullptr;
    EXPECT_EQ(g_asn1_oid_encode(&ctx, &end, one, 1), 0);
    EXPECT_EQ(ctx.error, kAsn1OidTooShort);
}

TEST(Asn1Encode, RunningOutOfRoomNeverWritesBeforeTheBuffer) {
    std::array<uint8_t, 16> guarded;
    guarded.fill(0xAA);
    const uint8_t text[] = "0123456789";
    asn1_context ctx;
    g_asn1_open(&ctx, guarded.data() + 4, 8, 0);
    const uint8_t* end = nullptr;
    EXPECT_EQ(g_asn1_octets_encode(&ctx, &end, text, 10), 0);
    EXPECT_EQ(ctx.error, kAsn1NoRoom);

    g_asn1_open(&ctx, guarded.data() + 4, 8, 0);
    EXPECT_EQ(g_asn1_int_encode(&ctx, &end, -1), 1);
    EXPECT_EQ(g_asn1_header_encode(&ctx, end, kAsn1Universal, kAsn1Primitive, kAsn1TagInteger), 1);
    EXPECT_EQ(g_asn1_uint_encode(&ctx, &end, 0xFFFFFFFF), 0);
    EXPECT_EQ(ctx.error, kAsn1NoRoom);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(guarded[i], 0xAA);
        EXPECT_EQ(guarded[12 + i], 0xAA);
    }
}

// Decoding: a value's header then its contents, from hex.
struct Decoder {
    Bytes bytes;
    asn1_context ctx;
    const uint8_t* end = nullptr;
    uint32_t cls = 0, constructed = 0, tag = 0;

    explicit Decoder(const std::string& hex) : bytes(Hex(hex)) {
        g_asn1_open_decode(&ctx, bytes.data(), static_cast<uint32_t>(bytes.size()));
    }
    int Header() { return g_asn1_header_decode(&ctx, &end, &cls, &constructed, &tag); }
};

TEST(Asn1Decode, Integers) {
    struct Case {
        const char* hex;
        int ok;
        int32_t value;
        uint32_t error;
    };
    const Case cases[] = {
        {"02 01 7F", 1, 127, 0},
        {"02 01 80", 1, -128, 0},
        {"02 02 00 80", 1, 128, 0},
        {"02 01 FF", 1, -1, 0},
        {"02 04 FF FF FF FF", 1, -1, 0},
        {"02 05 00 FF FF FF FF", 1, -1, 0},  // the fifth octet shifts the top one out
        {"02 06 00 00 00 00 00 01", 0, 0, kAsn1TooLong},
        {"02 00 02 01 05", 0, 0, kAsn1Overrun},  // no content: never borrows the next value
    };
    for (const Case& c : cases) {
        Decoder d(c.hex);
        ASSERT_TRUE(d.Header()) << c.hex;
        int32_t value = 0;
        EXPECT_EQ(g_asn1_int_decode(&d.ctx, d.end, &value), c.ok) << c.hex;
        if (c.ok) {
            EXPECT_EQ(value, c.value) << c.hex;
        }
        EXPECT_EQ(d.ctx.error, c.error) << c.hex;
    }
}

TEST(Asn1Decode, Unsigned) {
    struct Case {
        const char* hex;
        int ok;
        uint32_t value;
    };
    const Case cases[] = {
        {"02 05 00 FF FF FF FF", 1, 4294967295u}, {"02 01 FF", 1, 255},
        {"02 04 1D E3 D8 25", 1, 0x1DE3D825},     {"02 05 01 00 00 00 00", 0, 0},
        {"02 06 00 00 FF FF FF FF", 0, 0},
    };
    for (const Case& c : cases) {
        Decoder d(c.hex);
        ASSERT_TRUE(d.Header());
        uint32_t value = 0;
        EXPECT_EQ(g_asn1_uint_decode(&d.ctx, d.end, &value), c.ok) << c.hex;
        if (c.ok) {
            EXPECT_EQ(value, c.value) << c.hex;
        } else {
            EXPECT_EQ(d.ctx.error, kAsn1TooLong) << c.hex;
        }
    }
}

TEST(Asn1Decode, LengthForms) {
    struct Case {
        const char* hex;
        uint32_t definite;
        uint32_t length;
    };
    const Case cases[] = {
        {"7F", 1, 127}, {"81 C8", 1, 200}, {"82 03 E8", 1, 1000},
        {"80", 0, 0},   {"00", 1, 0},      {"85 01 00 00 00 05", 1, 5},
    };
    for (const Case& c : cases) {
        Decoder d(c.hex);
        uint32_t definite = 9;
        uint32_t length = 0;
        ASSERT_TRUE(g_asn1_length_decode(&d.ctx, &definite, &length)) << c.hex;
        EXPECT_EQ(definite, c.definite) << c.hex;
        if (definite) {
            EXPECT_EQ(length, c.length) << c.hex;
        }
    }
}

TEST(Asn1Decode, HighTagNumbers) {
    Decoder d("BF 89 36 00");
    ASSERT_TRUE(d.Header());
    EXPECT_EQ(d.cls, kAsn1Context);
    EXPECT_EQ(d.constructed, kAsn1Constructed);
    EXPECT_EQ(d.tag, 1206u);
}

TEST(Asn1Decode, ObjectIdentifiers) {
    struct Case {
        const char* hex;
        std::vector<uint32_t> subids;
    };
    const Case cases[] = {
        {"06 01 2B", {1, 3}},
        {"06 02 88 37", {2, 999}},
        {"06 01 27", {0, 39}},
        {"06 01 4F", {1, 39}},
        {"06 08 2B 06 01 02 01 01 01 00", {1, 3, 6, 1, 2, 1, 1, 1, 0}},
        {"06 07 2B 06 01 04 01 89 36", {1, 3, 6, 1, 4, 1, 1206}},
    };
    for (const Case& c : cases) {
        Decoder d(c.hex);
        ASSERT_TRUE(d.Header());
        uint32_t subids[40];
        uint32_t count = 0;
        ASSERT_TRUE(g_asn1_oid_decode(&d.ctx, d.end, subids, 40, &count)) << c.hex;
        EXPECT_EQ(std::vector<uint32_t>(subids, subids + count), c.subids) << c.hex;
    }
}

TEST(Asn1Decode, BrokenObjectIdentifiersPrintWhereTheyFailed) {
    struct Case {
        const char* hex;
        uint32_t capacity;
        uint32_t error;
        const char* line;
    };
    const Case cases[] = {
        {"06 00 05 00", 40, kAsn1Overrun, "g_asn1_oid_decode failed 1\n"},
        {"06 03 2B 06 01", 2, kAsn1TooLong, "g_asn1_oid_decode failed 2\n"},
        // The last sub-identifier claims an octet beyond the value.
        {"06 02 2B 89 36", 40, kAsn1Overrun, "g_asn1_oid_decode failed 3\n"},
        {"06 02 2B 89", 40, kAsn1EndOfData, "g_asn1_oid_decode failed 3\n"},
    };
    for (const Case& c : cases) {
        snmp_test::DebugCapture capture;
        Decoder d(c.hex);
        ASSERT_TRUE(d.Header()) << c.hex;
        uint32_t subids[40];
        uint32_t count = 7;
        EXPECT_EQ(g_asn1_oid_decode(&d.ctx, d.end, subids, c.capacity, &count), 0) << c.hex;
        EXPECT_EQ(count, 0u);
        EXPECT_EQ(d.ctx.error, c.error) << c.hex;
        EXPECT_EQ(capture.text(), c.line) << c.hex;
    }
}

TEST(Asn1Decode, OctetStringsNeverOverfillTheDestination) {
    Decoder d("04 06 70 75 62 6C 69 63");
    ASSERT_TRUE(d.Header());
    std::array<uint8_t, 8> destination;
    destination.fill(0xEE);
    uint32_t count = 0;
    EXPECT_EQ(g_asn1_octets_decode(&d.ctx, d.end, destination.data(), 5, &count), 0);
    EXPECT_EQ(d.ctx.error, kAsn1TooLong);
    EXPECT_EQ(destination[0], 0xEE);

    Decoder e("04 06 70 75 62 6C 69 63");
    ASSERT_TRUE(e.Header());
    ASSERT_TRUE(g_asn1_octets_decode(&e.ctx, e.end, destination.data(), 6, &count));
    EXPECT_EQ(count, 6u);
    EXPECT_EQ(std::string(destination.begin(), destination.begin() + 6), "public");
    EXPECT_EQ(destination[6], 0xEE);  // no terminator added
}

TEST(Asn1Decode, LengthsPastTheDataAreRefusedAtTheHeader) {
    for (const char* hex :
         {"04 05 41 42", "30 82 0B B8 02 01 00", "04 84 FF FF FF FF 00", "04 81", "04"}) {
        Decoder d(hex);
        EXPECT_EQ(d.Header(), 0) << hex;
        EXPECT_EQ(d.ctx.error, kAsn1EndOfData) << hex;
    }
}

TEST(Asn1Decode, PrimitivesRefuseAnIndefiniteLength) {
    Decoder d("04 80 41 42 00 00");
    ASSERT_TRUE(d.Header());
    EXPECT_EQ(d.end, nullptr);
    uint8_t destination[8];
    uint32_t count = 0;
    int32_t value = 0;
    EXPECT_EQ(g_asn1_octets_decode(&d.ctx, d.end, destination, sizeof destination, &count), 0);
    EXPECT_EQ(d.ctx.error, kAsn1Indefinite);
    EXPECT_EQ(g_asn1_int_decode(&d.ctx, d.end, &value), 0);
    EXPECT_EQ(g_asn1_null_decode(&d.ctx, d.end), 0);
}

TEST(Asn1Decode, EndOfContentsIndefiniteForm) {
    Decoder good("30 80 05 00 00 00");
    ASSERT_TRUE(good.Header());
    const uint8_t* null_end = nullptr;
    uint32_t cls, constructed, tag;
    ASSERT_TRUE(g_asn1_header_decode(&good.ctx, &null_end, &cls, &constructed, &tag));
    ASSERT_TRUE(g_asn1_null_decode(&good.ctx, null_end));
    EXPECT_EQ(g_asn1_eoc_decode(&good.ctx, nullptr), 1);

    Decoder bad("30 80 05 00 00 01");
    ASSERT_TRUE(bad.Header());
    ASSERT_TRUE(g_asn1_header_decode(&bad.ctx, &null_end, &cls, &constructed, &tag));
    ASSERT_TRUE(g_asn1_null_decode(&bad.ctx, null_end));
    EXPECT_EQ(g_asn1_eoc_decode(&bad.ctx, nullptr), 0);
    EXPECT_EQ(bad.ctx.error, kAsn1BadEoc);
}

// A SEQUENCE whose contents (a NULL and `extra` filler octets) run past its
// declared length of 2.
int DecodeOverrun(int extra, uint32_t* error) {
    std::string hex = "30 02 05 00";
    for (int i = 0; i < extra; ++i) {
        hex += " 00";
    }
    hex += " 05 00";
    Decoder d(hex);
    EXPECT_TRUE(d.Header());
    const uint8_t* sequence_end = d.end;
    d.ctx.position = sequence_end + extra;  // the contents were read this far
    int ok = g_asn1_eoc_decode(&d.ctx, sequence_end);
    *error = d.ctx.error;
    return ok;
}

TEST(Asn1Decode, TwoOctetsPastTheEndOnlyInCompatibilityMode) {
    uint32_t error = 0;
    EXPECT_EQ(DecodeOverrun(0, &error), 1);
    EXPECT_EQ(DecodeOverrun(2, &error), 0);
    EXPECT_EQ(error, kAsn1WrongEnd);
    {
        CompatibilityMode compat;
        EXPECT_EQ(DecodeOverrun(2, &error), 1);
        for (int extra : {1, 3}) {
            EXPECT_EQ(DecodeOverrun(extra, &error), 0) << extra;
            EXPECT_EQ(error, kAsn1WrongEnd) << extra;
        }
    }
}

TEST(Asn1Decode, EncodedValuesDecodeBack) {
    const int32_t ints[] = {0, 1, -1, 127, 128, -128, -129, 32767, 65536, INT32_MIN, INT32_MAX};
    for (int32_t value : ints) {
        Decoder d(EncodedInt(value));
        ASSERT_TRUE(d.Header());
        int32_t back = 0;
        ASSERT_TRUE(g_asn1_int_decode(&d.ctx, d.end, &back));
        EXPECT_EQ(back, value);
    }
    const uint32_t uints[] = {0, 255, 256, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFF};
    for (uint32_t value : uints) {
        Decoder d(EncodedUint(value));
        ASSERT_TRUE(d.Header());
        uint32_t back = 0;
        ASSERT_TRUE(g_asn1_uint_decode(&d.ctx, d.end, &back));
        EXPECT_EQ(back, value);
    }
}

}  // namespace
