// SNMP PDUs: every syntax round-trips, bad varbinds are refused or counted, limits hold.
#include "ntcip/snmp_pdu.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "database/global_database.h"
#include "database/object_ids.h"
#include "ntcip/snmp_counters.h"
#include "ntcip/tests/snmp_test_support.h"

using snmp_test::Bytes;
using snmp_test::CompatibilityMode;
using snmp_test::DebugCapture;
using snmp_test::Hex;
using snmp_test::ToHex;

namespace {

const uint32_t kSysDescr[] = {1, 3, 6, 1, 2, 1, 1, 1, 0};
const char* kSysDescrHex = "06 08 2B 06 01 02 01 01 01 00";

void SetName(snmp_object* object, const uint32_t* subids, uint32_t count) {
    std::memcpy(object->name, subids, count * sizeof(uint32_t));
    object->name_length = count;
}

std::string EncodeObject(const snmp_object& object, int* ok = nullptr) {
    uint8_t buffer[512];
    asn1_context ctx;
    g_asn1_open(&ctx, buffer, sizeof buffer, 0);
    int result = g_snmp_object_encode(&ctx, &object);
    if (ok) {
        *ok = result;
    } else {
        EXPECT_EQ(result, 1);
    }
    const uint8_t* start = nullptr;
    uint32_t length = 0;
    g_asn1_close(&ctx, &start, &length);
    return result ? ToHex(start, length) : "";
}

int DecodeObject(const std::string& hex, snmp_object* object, uint32_t* error = nullptr) {
    Bytes bytes = Hex(hex);
    asn1_context ctx;
    g_asn1_open_decode(&ctx, bytes.data(), static_cast<uint32_t>(bytes.size()));
    int ok = g_snmp_object_decode(&ctx, object);
    if (error) {
        *error = ctx.error;
    }
    return ok;
}

TEST(SnmpSyntax, TableBothWays) {
    struct Row {
        uint32_t syntax, cls, tag;
    };
    const Row rows[] = {{0, 0, 5},  {1, 0, 2},  {2, 0, 4},  {3, 0, 6}, {4, 1, 0},
                        {5, 1, 1},  {6, 1, 2},  {7, 1, 3},  {8, 1, 4}, {9, 0, 3},
                        {11, 1, 6}, {12, 2, 0}, {13, 2, 1}, {14, 2, 2}};
    for (const Row& row : rows) {
        uint32_t tag = 99, cls = 99, syntax = 99;
        ASSERT_TRUE(g_snmp_syntax2tag_cls(row.syntax, &tag, &cls));
        EXPECT_EQ(tag, row.tag);
        EXPECT_EQ(cls, row.cls);
        ASSERT_TRUE(g_snmp_tag_cls2syntax(row.tag, row.cls, &syntax));
        EXPECT_EQ(syntax, row.syntax);
    }
    uint32_t a = 0, b = 0;
    EXPECT_EQ(g_snmp_syntax2tag_cls(10, &a, &b), 0);
    EXPECT_EQ(g_snmp_syntax2tag_cls(15, &a, &b), 0);
    EXPECT_EQ(g_snmp_tag_cls2syntax(5, kAsn1Application, &a), 0);
    EXPECT_EQ(g_snmp_tag_cls2syntax(2, kAsn1Private, &a), 0);
}

TEST(SnmpObject, EncodesEverySyntaxItCarries) {
    struct Case {
        uint16_t syntax;
        uint32_t value_length;
        std::vector<uint8_t> octets;  // value area contents
        const char* value_hex;
    };
    auto word = [](uint32_t w) {
        std::vector<uint8_t> v(4);
        std::memcpy(v.data(), &w, 4);
        return v;
    };
    std::vector<uint8_t> oid_words(3 * 4);
    const uint32_t oid[] = {1, 3, 1206};
    std::memcpy(oid_words.data(), oid, sizeof oid);
    const Case cases[] = {
        {kSnmpNull, 0, {}, "05 00"},
        {kSnmpInteger, 4, word(static_cast<uint32_t>(-1)), "02 04 FF FF FF FF"},
        {kSnmpInteger, 4, word(4), "02 01 04"},
        {kSnmpOctetString, 5, {'H', 'E', 'L', 'L', 'O'}, "04 05 48 45 4C 4C 4F"},
        {kSnmpOctetString, 0, {}, "04 00"},
        {kSnmpObjectId, 3, oid_words, "06 03 2B 89 36"},
        {kSnmpIpAddress, 4, {127, 0, 0, 1}, "40 04 7F 00 00 01"},
        {kSnmpCounter, 4, word(0xFFFFFFFF), "41 05 00 FF FF FF FF"},
        {kSnmpGauge, 4, word(200), "42 02 00 C8"},
        {kSnmpTimeTicks, 4, word(360000), "43 03 05 7E 40"},
        {kSnmpOpaque, 2, {0x9F, 0x78}, "44 02 9F 78"},
        {kSnmpNoSuchObject, 0, {}, "80 00"},
        {kSnmpNoSuchInstance, 0, {}, "81 00"},
        {kSnmpEndOfMibView, 0, {}, "82 00"},
    };
    auto object = std::make_unique<snmp_object>();
    for (const Case& c : cases) {
        SetName(object.get(), kSysDescr, 9);
        object->syntax = c.syntax;
        object->value_length = c.value_length;
        std::copy(c.octets.begin(), c.octets.end(), object->octets());
        const std::string body = std::string(kSysDescrHex) + " " + c.value_hex;
        const size_t length = (body.size() + 1) / 3;
        char header[40];
        std::snprintf(header, sizeof header, "30 %02zX ", length);
        EXPECT_EQ(EncodeObject(*object), header + body) << c.syntax;

        // And back.
        auto back = std::make_unique<snmp_object>();
        ASSERT_TRUE(DecodeObject(header + body, back.get())) << c.syntax;
        EXPECT_EQ(back->syntax, c.syntax);
        EXPECT_EQ(back->name_length, 9u);
        if (c.syntax == kSnmpObjectId) {
            EXPECT_EQ(back->value_length, 12u);
        } else if (c.syntax != kSnmpInteger && c.syntax < kSnmpCounter) {
            EXPECT_EQ(back->value_length, c.value_length);
        }
        EXPECT_TRUE(std::equal(c.octets.begin(), c.octets.end(), back->octets())) << c.syntax;
    }
}

TEST(SnmpObject, SyntaxesWithoutAnEncodingCountABadValue) {
    snmp_counters_reset();
    const uint32_t stored = g_DataBase.Get(dbo::snmpOutBadValues);
    auto object = std::make_unique<snmp_object>();
    SetName(object.get(), kSysDescr, 9);
    for (uint16_t syntax :
         {uint16_t{kSnmpBitString}, uint16_t{kSnmpCounter64}, uint16_t{10}, uint16_t{15}}) {
        object->syntax = syntax;
        int ok = 1;
        EncodeObject(*object, &ok);
        EXPECT_EQ(ok, 0) << syntax;
    }
    EXPECT_EQ(snmp_out_bad_values(), 4u);
    EXPECT_EQ(g_DataBase.Get(dbo::snmpOutBadValues), stored + 4) << "the MIB counter too";
}

TEST(SnmpObject, UndecodableVarbinds) {
    const char* cases[] = {
        "30 0C 06 08 2B 06 01 02 01 01 01 00 03 00",                 // BIT STRING
        "30 0D 06 08 2B 06 01 02 01 01 01 00 46 01 01",              // Counter64
        "30 11 06 08 2B 06 01 02 01 01 01 00 40 05 7F 00 00 01 01",  // IpAddress of 5
        "30 0E 06 08 2B 06 01 02 01 01 01 00 30 02 05 00",           // constructed value
        "30 0C 06 08 2B 06 01 02 01 01 01 00 45 00",                 // application 5: no syntax
        "30 0C 04 08 2B 06 01 02 01 01 01 00 05 00",                 // name not an OID
        "30 0A 06 08 2B 06 01 02 01 01 01 00",                       // no value, compatibility off
        "30 0C 06 08 2B 06 01 02 01 01 01 00 04 03 41 42 43",        // value past the varbind
        "30 80 06 08 2B 06 01 02 01 01 01 00 05 00 00 00",           // indefinite varbind
        "30 0D 06 08 2B 06 01 02 01 01 01 00 05 00 00",              // a stray octet inside
    };
    for (const char* hex : cases) {
        auto object = std::make_unique<snmp_object>();
        EXPECT_EQ(DecodeObject(hex, object.get()), 0) << hex;
    }
}

TEST(SnmpObject, NamesOfMoreThanFortySubIdentifiersAreRefused) {
    std::string content = "2B";
    for (int i = 0; i < 38; ++i) {
        content += " 01";
    }
    auto hex = [](const std::string& oid) {
        const size_t oid_length = (oid.size() + 1) / 3;
        char text[64];
        std::snprintf(text, sizeof text, "30 %02zX 06 %02zX ", oid_length + 4, oid_length);
        return std::string(text) + oid + " 05 00";
    };
    auto object = std::make_unique<snmp_object>();
    ASSERT_TRUE(DecodeObject(hex(content), object.get()));
    EXPECT_EQ(object->name_length, 40u);
    DebugCapture capture;
    EXPECT_EQ(DecodeObject(hex(content + " 01"), object.get()), 0);
    EXPECT_EQ(capture.text(),
              "g_asn1_oid_decode failed 2\ng_snmp_object_decode failed at g_asn1_oid_decode\n");
}

TEST(SnmpObject, VarbindWithoutValueIsNullInCompatibilityMode) {
    CompatibilityMode compat;
    auto object = std::make_unique<snmp_object>();
    object->syntax = kSnmpInteger;
    object->value_length = 4;
    ASSERT_TRUE(DecodeObject("30 0A 06 08 2B 06 01 02 01 01 01 00", object.get()));
    EXPECT_EQ(object->syntax, kSnmpNull);
    EXPECT_EQ(object->value_length, 0u);
    EXPECT_EQ(object->name_length, 9u);
}

// A varbind list of n sysDescr.0 gets.
Bytes ListOf(int n) {
    auto pdu = snmp_test::NewPdu();
    for (int i = 0; i < n && i < kSnmpMaxVarbinds; ++i) {
        SetName(&pdu->varbinds[i], kSysDescr, 9);
        pdu->varbinds[i].syntax = kSnmpNull;
    }
    std::vector<uint8_t> buffer(4000);
    asn1_context ctx;
    g_asn1_open(&ctx, buffer.data(), static_cast<uint32_t>(buffer.size()), 0);
    const uint8_t* end = nullptr;
    g_asn1_eoc_encode(&ctx, &end);
    // The list encoder stops at 50; longer lists are written one varbind at a time.
    for (int i = n - 1; i >= 0; --i) {
        EXPECT_TRUE(g_snmp_object_encode(&ctx, &pdu->varbinds[0]));
    }
    EXPECT_TRUE(
        g_asn1_header_encode(&ctx, end, kAsn1Universal, kAsn1Constructed, kAsn1TagSequence));
    const uint8_t* start = nullptr;
    uint32_t length = 0;
    g_asn1_close(&ctx, &start, &length);
    return Bytes(start, start + length);
}

TEST(SnmpList, KeepsTheFirstFiftyVarbinds) {
    for (int n : {0, 1, 50, 51, 60}) {
        Bytes bytes = ListOf(n);
        auto pdu = snmp_test::NewPdu();
        asn1_context ctx;
        g_asn1_open_decode(&ctx, bytes.data(), static_cast<uint32_t>(bytes.size()));
        uint32_t total = 0;
        ASSERT_TRUE(g_snmp_list_decode(&ctx, pdu->varbinds, &pdu->count, nullptr, &total)) << n;
        EXPECT_EQ(pdu->count, std::min(n, 50)) << n;
        EXPECT_EQ(total, static_cast<uint32_t>(n));
    }
}

TEST(SnmpList, EncoderRefusesMoreThanFifty) {
    auto pdu = snmp_test::NewPdu();
    uint8_t buffer[64];
    asn1_context ctx;
    g_asn1_open(&ctx, buffer, sizeof buffer, 0);
    EXPECT_EQ(g_snmp_list_encode(&ctx, pdu->varbinds, 51), 0);
    g_asn1_open(&ctx, buffer, sizeof buffer, 0);
    EXPECT_EQ(g_snmp_list_encode(&ctx, pdu->varbinds, -1), 0);
}

TEST(SnmpList, FailingVarbindIsNamedByIndex) {
    // Second varbind has a BIT STRING value.
    Bytes bytes = Hex(
        "30 1C 30 0C 06 08 2B 06 01 02 01 01 01 00 05 00 30 0C 06 08 2B 06 01 02 01 01 01 00 03 "
        "00");
    DebugCapture capture;
    auto pdu = snmp_test::NewPdu();
    asn1_context ctx;
    g_asn1_open_decode(&ctx, bytes.data(), static_cast<uint32_t>(bytes.size()));
    EXPECT_EQ(g_snmp_list_decode(&ctx, pdu->varbinds, &pdu->count), 0);
    EXPECT_EQ(capture.text(), "g_snmp_list_decode: failed at g_snmp_object_decode idx 1\n");
}

TEST(SnmpList, AVarbindLongerThanItsListIsRefused) {
    // The list declares 12 octets; its varbind declares 14 and the data holds them.
    Bytes bytes = Hex("30 0C 30 0E 06 08 2B 06 01 02 01 01 01 00 04 02 41 42");
    DebugCapture quiet;
    for (bool compat : {false, true}) {
        snmp_compatibility_mode_set(compat);
        auto pdu = snmp_test::NewPdu();
        asn1_context ctx;
        g_asn1_open_decode(&ctx, bytes.data(), static_cast<uint32_t>(bytes.size()));
        EXPECT_EQ(g_snmp_list_decode(&ctx, pdu->varbinds, &pdu->count), 0) << compat;
        EXPECT_EQ(ctx.error, kAsn1Overrun) << compat;
    }
    snmp_compatibility_mode_set(false);
}

TEST(SnmpList, ListTwoOctetsShortIsAcceptedInCompatibilityMode) {
    // The list's length leaves out the NULL of its only varbind.
    Bytes bytes = Hex("30 0C 30 0C 06 08 2B 06 01 02 01 01 01 00 05 00");
    DebugCapture quiet;
    auto pdu = snmp_test::NewPdu();
    asn1_context ctx;
    g_asn1_open_decode(&ctx, bytes.data(), static_cast<uint32_t>(bytes.size()));
    EXPECT_EQ(g_snmp_list_decode(&ctx, pdu->varbinds, &pdu->count), 0);
    CompatibilityMode compat;
    g_asn1_open_decode(&ctx, bytes.data(), static_cast<uint32_t>(bytes.size()));
    ASSERT_EQ(g_snmp_list_decode(&ctx, pdu->varbinds, &pdu->count), 1);
    EXPECT_EQ(pdu->count, 1);
}

Bytes EncodePdu(const snmp_pdu& pdu, int version, int* ok = nullptr) {
    std::vector<uint8_t> buffer(3000);
    asn1_context ctx;
    g_asn1_open(&ctx, buffer.data(), static_cast<uint32_t>(buffer.size()), 0);
    int result = version == 1 ? g_snmp_pdu_v1_encode(&ctx, &pdu) : g_snmp_pdu_v2_encode(&ctx, &pdu);
    if (ok) {
        *ok = result;
    }
    const uint8_t* start = nullptr;
    uint32_t length = 0;
    g_asn1_close(&ctx, &start, &length);
    return result ? Bytes(start, start + length) : Bytes();
}

int DecodePdu(const Bytes& bytes, int version, snmp_pdu* pdu) {
    asn1_context ctx;
    g_asn1_open_decode(&ctx, bytes.data(), static_cast<uint32_t>(bytes.size()));
    return version == 1 ? g_snmp_pdu_v1_decode(&ctx, pdu) : g_snmp_pdu_v2_decode(&ctx, pdu);
}

TEST(SnmpPdu, ResponseEncodingIsByteExact) {
    auto pdu = snmp_test::NewPdu();
    pdu->type = kSnmpGetResponse;
    pdu->request = {0x1DE3D825, kSnmpNoSuchName, 1};
    pdu->count = 1;
    SetName(&pdu->varbinds[0], kSysDescr, 9);
    pdu->varbinds[0].syntax = kSnmpNull;
    EXPECT_EQ(ToHex(EncodePdu(*pdu, 1)),
              "A2 1C 02 04 1D E3 D8 25 02 01 02 02 01 01 30 0E 30 0C 06 08 2B 06 01 02 01 01 01 "
              "00 05 00");
}

TEST(SnmpPdu, TypesAcceptedByEachVersion) {
    auto pdu = snmp_test::NewPdu();
    pdu->count = 0;
    pdu->request = {7, 0, 0};
    pdu->trap = {};
    pdu->trap.enterprise_length = 7;
    const uint32_t enterprise[] = {1, 3, 6, 1, 4, 1, 1206};
    std::memcpy(pdu->trap.enterprise, enterprise, sizeof enterprise);
    for (uint32_t type = 0; type <= 9; ++type) {
        pdu->type = type;
        int v1 = 0, v2 = 0;
        Bytes one = EncodePdu(*pdu, 1, &v1);
        Bytes two = EncodePdu(*pdu, 2, &v2);
        EXPECT_EQ(v1, type <= 4 ? 1 : 0) << type;
        EXPECT_EQ(v2, (type <= 3 || (type >= 5 && type <= 7)) ? 1 : 0) << type;
        auto back = snmp_test::NewPdu();
        if (v1) {
            ASSERT_TRUE(DecodePdu(one, 1, back.get())) << type;
            EXPECT_EQ(back->type, type);
            // A version-2c decoder does not take a version-1 trap.
            EXPECT_EQ(DecodePdu(one, 2, back.get()), type == 4 ? 0 : 1) << type;
        }
        if (v2) {
            EXPECT_EQ(DecodePdu(two, 1, back.get()), type <= 3 ? 1 : 0) << type;
        }
    }
}

TEST(SnmpPdu, TrapHeaderRoundTripAndLenientForms) {
    auto pdu = snmp_test::NewPdu();
    pdu->type = kSnmpTrapV1;
    const uint32_t enterprise[] = {1, 3, 6, 1, 4, 1, 1206, 4, 2, 3};
    std::memcpy(pdu->trap.enterprise, enterprise, sizeof enterprise);
    pdu->trap.enterprise_length = 10;
    const uint8_t address[] = {127, 0, 0, 1};
    std::memcpy(pdu->trap.agent_address, address, 4);
    pdu->trap.generic_trap = 6;
    pdu->trap.specific_trap = 3;
    pdu->trap.time_stamp = 123456;
    pdu->count = 1;
    SetName(&pdu->varbinds[0], kSysDescr, 9);
    pdu->varbinds[0].syntax = kSnmpInteger;
    pdu->varbinds[0].value[0] = 9;
    Bytes bytes = EncodePdu(*pdu, 1);
    EXPECT_EQ(ToHex(Bytes(bytes.begin(), bytes.begin() + 32)),
              "A4 2E 06 0A 2B 06 01 04 01 89 36 04 02 03 40 04 7F 00 00 01 02 01 06 02 01 03 43 "
              "03 01 E2 40 30");
    auto back = snmp_test::NewPdu();
    ASSERT_TRUE(DecodePdu(bytes, 1, back.get()));
    EXPECT_EQ(back->trap.enterprise_length, 10u);
    EXPECT_EQ(back->trap.generic_trap, 6u);
    EXPECT_EQ(back->trap.specific_trap, 3u);
    EXPECT_EQ(back->trap.time_stamp, 123456u);
    EXPECT_EQ(std::memcmp(back->trap.agent_address, address, 4), 0);
    EXPECT_EQ(back->count, 1);

    // Agent address as OCTET STRING, time stamp as INTEGER.
    Bytes lenient =
        Hex("A4 1A 06 06 2B 06 01 04 01 01 04 04 0A 00 00 01 02 01 00 02 01 00 02 "
            "02 01 00 30 00");
    ASSERT_TRUE(DecodePdu(lenient, 1, back.get()));
    EXPECT_EQ(back->trap.time_stamp, 256u);
    EXPECT_EQ(back->trap.agent_address[0], 10);
}

TEST(SnmpPdu, FiftyOneVarbindsPrintMaxObjectsInVersionOne) {
    Bytes list = ListOf(51);
    Bytes body = Hex("02 01 05 02 01 00 02 01 00");
    body.insert(body.end(), list.begin(), list.end());
    Bytes bytes = Hex("A0 82");
    bytes.push_back(static_cast<uint8_t>(body.size() >> 8));
    bytes.push_back(static_cast<uint8_t>(body.size() & 0xFF));
    bytes.insert(bytes.end(), body.begin(), body.end());
    auto pdu = snmp_test::NewPdu();
    {
        DebugCapture capture;
        ASSERT_TRUE(DecodePdu(bytes, 1, pdu.get()));
        EXPECT_EQ(pdu->count, 50);
        EXPECT_EQ(capture.text(), "**** MAX OBJECTS EXCEEDED!");
    }
    {
        DebugCapture capture;
        ASSERT_TRUE(DecodePdu(bytes, 2, pdu.get()));
        EXPECT_EQ(pdu->count, 50);
        EXPECT_EQ(capture.text(), "");
    }
}

TEST(SnmpPdu, DebugLinesOfFailingCodecs) {
    auto pdu = snmp_test::NewPdu();
    pdu->type = kSnmpGetRequest;
    pdu->count = 1;
    SetName(&pdu->varbinds[0], kSysDescr, 9);
    pdu->varbinds[0].syntax = kSnmpCounter64;
    {
        DebugCapture capture(1);
        int ok = 1;
        EncodePdu(*pdu, 1, &ok);
        EXPECT_EQ(ok, 0);
        EXPECT_NE(capture.text().find("g_snmp_list_encode: object encode failed,asn1:0x"),
                  std::string::npos);
        EXPECT_NE(capture.text().find("g_snmp_pdu_v1_encode: g_snmp_list_encode failed\n"),
                  std::string::npos);
    }
    {
        DebugCapture capture;  // level 0 only
        EXPECT_EQ(DecodePdu(Hex("A0 06 02 01 05 02 01 00"), 1, pdu.get()), 0);
        EXPECT_EQ(capture.text(), "g_snmp_pdu_v1_decode: g_snmp_request_decode failed\n");
    }
    {
        DebugCapture capture;
        EXPECT_EQ(DecodePdu(Hex("A0 0B 02 01 05 02 01 00 02 01 00 31 00"), 1, pdu.get()), 0);
        EXPECT_EQ(capture.text(), "g_snmp_pdu_v1_decode: g_snmp_list_decode failed\n");
    }
    // An empty request encodes as A0 0B, three INTEGERs of one octet and 30 00 (13 octets): a
    // buffer that holds only the list fails at the request header, one that lacks only the PDU
    // header fails there.
    pdu->count = 0;
    struct Case {
        uint32_t room;
        unsigned level;
        const char* line;
    };
    const Case cases[] = {
        {2, 1, "g_snmp_pdu_v1_encode: g_snmp_request_encode failed\n"},
        {2, 0, ""},  // a level-1 line
        {11, 0, "g_snmp_pdu_v1_encode: g_snmp_header_encode failed\n"},
        {12, 0, "g_snmp_pdu_v1_encode: g_snmp_header_encode failed\n"},
        {13, 1, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.room);
        std::vector<uint8_t> buffer(c.room);
        asn1_context ctx;
        g_asn1_open(&ctx, buffer.data(), c.room, 0);
        DebugCapture capture(c.level);
        EXPECT_EQ(g_snmp_pdu_v1_encode(&ctx, pdu.get()), c.room == 13 ? 1 : 0);
        EXPECT_EQ(capture.text(), c.line);
        // Version 2c encodes without debug lines.
        g_asn1_open(&ctx, buffer.data(), c.room, 0);
        DebugCapture quiet(1);
        g_snmp_pdu_v2_encode(&ctx, pdu.get());
        EXPECT_EQ(quiet.text(), "");
    }
}

// An OBJECT IDENTIFIER value announces itself at level 1 before it is written.
TEST(SnmpObject, ObjectIdentifierValueTraceLine) {
    auto object = std::make_unique<snmp_object>();
    SetName(object.get(), kSysDescr, 9);
    object->syntax = kSnmpObjectId;
    const uint32_t value[] = {1, 3, 6, 1, 4, 1, 1206};
    std::memcpy(object->value, value, sizeof value);
    object->value_length = 7;
    {
        DebugCapture capture(1);
        EXPECT_EQ(EncodeObject(*object),
                  "30 13 " + std::string(kSysDescrHex) + " 06 07 2B 06 01 04 01 89 36");
        unsigned asn1 = 0, end = 0, ul = 0, len = 0;
        char tail = 0;
        ASSERT_EQ(
            std::sscanf(capture.text().c_str(), "asn1:0x%08X,end:0x%08X,ul:0x%08X,len:0x%08X%c",
                        &asn1, &end, &ul, &len, &tail),
            5)
            << capture.text();
        EXPECT_EQ(len, 7u);
        EXPECT_EQ(tail, '\n');
        EXPECT_EQ(ul, static_cast<unsigned>(reinterpret_cast<uintptr_t>(object->value)));
        EXPECT_EQ(capture.text().size(), std::string("asn1:0x,end:0x,ul:0x,len:0x\n").size() + 32);
    }
    DebugCapture level0;
    EncodeObject(*object);
    EXPECT_EQ(level0.text(), "");
}

TEST(SnmpPdu, RequestIdIsUnsignedBothWays) {
    auto pdu = snmp_test::NewPdu();
    ASSERT_TRUE(DecodePdu(Hex("A0 0B 02 01 FF 02 01 00 02 01 00 30 00"), 2, pdu.get()));
    EXPECT_EQ(pdu->request.request_id, 255u);
    pdu->type = kSnmpGetResponse;
    EXPECT_EQ(ToHex(EncodePdu(*pdu, 2)), "A2 0C 02 02 00 FF 02 01 00 02 01 00 30 00");
}

}  // namespace
