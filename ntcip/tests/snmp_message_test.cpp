// SNMP messages from net-snmp decode, responses encode back, and request slots never run out.
#include "ntcip/snmp_message.h"

#include <gtest/gtest.h>

#include <cstring>

#include "database/global_database.h"
#include "database/object_ids.h"
#include "ntcip/snmp_counters.h"
#include "ntcip/tests/snmp_test_support.h"

using snmp_test::Bytes;
using snmp_test::CompatibilityMode;
using snmp_test::DebugCapture;
using snmp_test::Fixture;
using snmp_test::Hex;
using snmp_test::ToHex;

namespace {

const uint8_t kLoopback[4] = {127, 0, 0, 1};
constexpr uint32_t kPeerPort = 40161;

using Parser = int (*)(snmp_pending_table*, uint32_t, const uint8_t*, const uint8_t*, uint32_t,
                       snmp_message_fields*, snmp_pdu*);
using Preparer = int (*)(snmp_pending_table*, uint8_t*, const snmp_message_fields*, const snmp_pdu*,
                         snmp_reply*);

std::vector<uint32_t> Name(const snmp_object& object) {
    return std::vector<uint32_t>(object.name, object.name + object.name_length);
}

class SnmpMessage : public ::testing::Test {
protected:
    int Parse(Parser parser, const Bytes& bytes) {
        return parser(&pending_, kPeerPort, kLoopback, bytes.data(),
                      static_cast<uint32_t>(bytes.size()), &fields_, pdu_.get());
    }
    int Prepare(Preparer preparer) {
        return preparer(&pending_, transmit_.data(), &fields_, pdu_.get(), &reply_);
    }
    Bytes Reply() const { return Bytes(reply_.message, reply_.message + reply_.length); }

    snmp_pending_table pending_{};
    snmp_message_fields fields_{};
    std::unique_ptr<snmp_pdu> pdu_ = snmp_test::NewPdu();
    std::vector<uint8_t> transmit_ = std::vector<uint8_t>(kSnmpMessageBufferSize);
    snmp_reply reply_{};
};

struct FixtureCase {
    const char* file;
    Parser parser;
    uint32_t version;
    const char* community;
    uint32_t type;
    uint32_t request_id;
    int16_t count;
    std::vector<uint32_t> first_name;
    uint16_t first_syntax;
};

const std::vector<uint32_t> kSysDescr = {1, 3, 6, 1, 2, 1, 1, 1, 0};
const std::vector<uint32_t> kControlMode = {1, 3, 6, 1, 4, 1, 1206, 4, 2, 3, 6, 1, 0};
const std::vector<uint32_t> kMultiString3 = {1, 3, 6, 1, 4, 1, 1206, 4, 2, 3, 5, 8, 1, 3, 3, 1};

TEST_F(SnmpMessage, DecodesRequestsCapturedFromNetSnmp) {
    const FixtureCase cases[] = {
        {"v1_get_sysdescr.bin", snmpv1_parse_message, 0, "public", kSnmpGetRequest, 0x1DE3D825, 1,
         kSysDescr, kSnmpNull},
        {"v2c_get_two.bin", snmpv2c_parse_message, 1, "public", kSnmpGetRequest, 0x5D7B8FA9, 2,
         kSysDescr, kSnmpNull},
        {"v1_getnext.bin",
         snmpv1_parse_message,
         0,
         "public",
         kSnmpGetNextRequest,
         0x34682905,
         1,
         {1, 3, 6, 1, 4, 1, 1206, 4, 2, 3, 6, 1},
         kSnmpNull},
        {"v2c_getnext.bin",
         snmpv2c_parse_message,
         1,
         "public",
         kSnmpGetNextRequest,
         0x78F61A90,
         1,
         {1, 3, 6, 1, 2, 1, 1},
         kSnmpNull},
        {"v1_set_integer.bin", snmpv1_parse_message, 0, "administrator", kSnmpSetRequest,
         0x1CFECE6A, 1, kControlMode, kSnmpInteger},
        {"v1_set_octets.bin", snmpv1_parse_message, 0, "administrator", kSnmpSetRequest, 0x1E8C37F2,
         1, kMultiString3, kSnmpOctetString},
        {"v2c_set_integer_octets.bin", snmpv2c_parse_message, 1, "administrator", kSnmpSetRequest,
         0x656753A7, 2, kControlMode, kSnmpInteger},
        {"v2c_getbulk.bin",
         snmpv2c_parse_message,
         1,
         "public",
         kSnmpGetBulkRequest,
         0x719E7FFE,
         1,
         {1, 3, 6, 1, 2, 1, 1},
         kSnmpNull},
    };
    for (const FixtureCase& c : cases) {
        SCOPED_TRACE(c.file);
        Bytes bytes = Fixture(c.file);
        ASSERT_FALSE(bytes.empty());
        uint32_t version = 99;
        ASSERT_TRUE(
            snmp_message_version(bytes.data(), static_cast<uint32_t>(bytes.size()), &version));
        EXPECT_EQ(version, c.version);
        ASSERT_EQ(Parse(c.parser, bytes), 1);
        EXPECT_EQ(fields_.version, c.version);
        EXPECT_STREQ(fields_.community, c.community);
        EXPECT_EQ(fields_.response_tag, 0u);
        EXPECT_EQ(pdu_->type, c.type);
        EXPECT_EQ(pdu_->request.request_id, c.request_id);
        ASSERT_EQ(pdu_->count, c.count);
        EXPECT_EQ(Name(pdu_->varbinds[0]), c.first_name);
        EXPECT_EQ(pdu_->varbinds[0].syntax, c.first_syntax);

        // Each request holds the lowest free slot with the requester's address.
        ASSERT_EQ(fields_.pending_slot, 0u);
        EXPECT_EQ(pending_.entries[0].port, kPeerPort);
        EXPECT_EQ(std::memcmp(pending_.entries[0].address, kLoopback, 4), 0);
        EXPECT_EQ(snmp_pending_release(&pending_, fields_.pending_slot), 1);
    }
}

TEST_F(SnmpMessage, SetValuesFromNetSnmp) {
    ASSERT_TRUE(Parse(snmpv1_parse_message, Fixture("v1_set_integer.bin")));
    EXPECT_EQ(pdu_->varbinds[0].value[0], 4u);
    EXPECT_EQ(pdu_->varbinds[0].value_length, 4u);
    snmp_pending_release(&pending_, fields_.pending_slot);

    ASSERT_TRUE(Parse(snmpv1_parse_message, Fixture("v1_set_octets.bin")));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(pdu_->varbinds[0].octets()),
                          pdu_->varbinds[0].value_length),
              "HELLO[nl]WORLD");
    snmp_pending_release(&pending_, fields_.pending_slot);

    ASSERT_TRUE(Parse(snmpv2c_parse_message, Fixture("v2c_set_integer_octets.bin")));
    EXPECT_EQ(static_cast<int32_t>(pdu_->varbinds[0].value[0]), -1);  // sent as the octet FF
    EXPECT_EQ(pdu_->varbinds[1].syntax, kSnmpOctetString);
    EXPECT_EQ(pdu_->varbinds[1].value_length, 14u);
}

TEST_F(SnmpMessage, GetBulkIsRecognisedAndItsSlotCanBeGivenBack) {
    Bytes bulk = Fixture("v2c_getbulk.bin");
    ASSERT_TRUE(Parse(snmpv2c_parse_message, bulk));
    EXPECT_EQ(pdu_->type, kSnmpGetBulkRequest);
    EXPECT_EQ(pdu_->request.error_status, 0u);  // non-repeaters
    EXPECT_EQ(pdu_->request.error_index, 10u);  // max-repetitions
    EXPECT_EQ(snmp_pending_in_use(&pending_), 1u);
    EXPECT_EQ(snmp_pending_release(&pending_, fields_.pending_slot), 1);
    EXPECT_EQ(snmp_pending_release(&pending_, fields_.pending_slot), 0);

    // Inside a version-1 message a GetBulk PDU does not decode at all.
    bulk[4] = 0x00;
    EXPECT_EQ(Parse(snmpv1_parse_message, bulk), 0);
    EXPECT_EQ(snmp_pending_in_use(&pending_), 0u);
}

TEST_F(SnmpMessage, ResponseReEncodesTheRequestWithTheResponseTag) {
    struct Case {
        const char* file;
        Parser parser;
        Preparer preparer;
    };
    const Case cases[] = {
        {"v1_get_sysdescr.bin", snmpv1_parse_message, snmpv1_prepare_response_message},
        {"v2c_get_two.bin", snmpv2c_parse_message, snmpv2c_prepare_response_message},
        {"v1_set_octets.bin", snmpv1_parse_message, snmpv1_prepare_response_message},
    };
    for (const auto& [file, parser, preparer] : cases) {
        SCOPED_TRACE(file);
        Bytes request = Fixture(file);
        ASSERT_TRUE(Parse(parser, request));
        pdu_->type = kSnmpGetResponse;
        ASSERT_EQ(Prepare(preparer), 1);
        Bytes expected = request;
        const size_t tag_at = 7 + expected[6];  // after version and community
        ASSERT_EQ(expected[tag_at] & 0xE0, 0xA0);
        expected[tag_at] = 0xA2;
        EXPECT_EQ(ToHex(Reply()), ToHex(expected));
        EXPECT_EQ(reply_.port, kPeerPort);
        EXPECT_EQ(std::memcmp(reply_.address, kLoopback, 4), 0);
        EXPECT_EQ(reply_.message + reply_.length, transmit_.data() + transmit_.size());
        EXPECT_EQ(snmp_pending_in_use(&pending_), 0u);
    }
}

TEST_F(SnmpMessage, ResponseWithValuesDecodesBack) {
    ASSERT_TRUE(Parse(snmpv2c_parse_message, Fixture("v2c_get_two.bin")));
    pdu_->type = kSnmpGetResponse;
    snmp_object& descr = pdu_->varbinds[0];
    descr.syntax = kSnmpOctetString;
    descr.value_length = 9;
    std::memcpy(descr.octets(), "DMS 1.0\0x", 9);
    pdu_->varbinds[1].syntax = kSnmpTimeTicks;
    pdu_->varbinds[1].value[0] = 0x80000000;
    ASSERT_EQ(Prepare(snmpv2c_prepare_response_message), 1);
    Bytes reply = Reply();
    EXPECT_EQ(reply[0], 0x30);

    // The agent's own response, fed back, is a GetResponse: no slot, tag all ones.
    ASSERT_TRUE(Parse(snmpv2c_parse_message, reply));
    EXPECT_EQ(fields_.response_tag, kSnmpNoResponseTag);
    EXPECT_EQ(fields_.pending_slot, kSnmpNoPendingSlot);
    EXPECT_EQ(snmp_pending_in_use(&pending_), 0u);
    EXPECT_EQ(pdu_->request.request_id, 0x5D7B8FA9u);
    EXPECT_EQ(pdu_->varbinds[0].value_length, 9u);
    EXPECT_EQ(std::memcmp(pdu_->varbinds[0].octets(), "DMS 1.0\0x", 9), 0);
    EXPECT_EQ(pdu_->varbinds[1].value[0], 0x80000000u);
}

TEST_F(SnmpMessage, GetResponsesAreCountedOnlyInVersionOne) {
    Bytes v1 = Fixture("v1_get_sysdescr.bin");
    v1[13] = 0xA2;
    Bytes v2 = Fixture("v2c_get_two.bin");
    v2[13] = 0xA2;
    snmp_counters_reset();
    const uint32_t stored = g_DataBase.Get(dbo::snmpInGetResponses);
    ASSERT_TRUE(Parse(snmpv1_parse_message, v1));
    EXPECT_EQ(fields_.response_tag, kSnmpNoResponseTag);
    ASSERT_TRUE(Parse(snmpv2c_parse_message, v2));
    EXPECT_EQ(snmp_in_get_responses(), 1u);
    EXPECT_EQ(g_DataBase.Get(dbo::snmpInGetResponses), stored + 1) << "the MIB counter too";
    EXPECT_EQ(snmp_pending_in_use(&pending_), 0u);
}

TEST_F(SnmpMessage, EleventhRequestInFlightFindsNoSlot) {
    Bytes get = Fixture("v1_get_sysdescr.bin");
    for (uint32_t i = 0; i < kSnmpPendingSlots; ++i) {
        ASSERT_EQ(Parse(snmpv1_parse_message, get), 1);
        EXPECT_EQ(fields_.pending_slot, i);
    }
    EXPECT_EQ(Parse(snmpv1_parse_message, get), 0);
    EXPECT_EQ(fields_.pending_slot, kSnmpNoPendingSlot);

    // Answering one frees its slot for the next request.
    fields_.pending_slot = 4;
    pdu_->type = kSnmpGetResponse;
    ASSERT_EQ(Prepare(snmpv1_prepare_response_message), 1);
    ASSERT_EQ(Parse(snmpv1_parse_message, get), 1);
    EXPECT_EQ(fields_.pending_slot, 4u);
}

TEST_F(SnmpMessage, UnansweredRequestsNeverExhaustTheSlots) {
    // A wrong community, a GetBulk, a version-3 discovery: each ends without a
    // response and gives its slot back.
    const std::pair<const char*, Parser> unanswered[] = {
        {"v1_get_sysdescr.bin", snmpv1_parse_message},
        {"v2c_getbulk.bin", snmpv2c_parse_message},
        {"v3_discovery.bin", snmpv3_parse_message},
    };
    for (int round = 0; round < 20; ++round) {
        for (const auto& [file, parser] : unanswered) {
            ASSERT_EQ(Parse(parser, Fixture(file)), 1) << file << " round " << round;
            EXPECT_EQ(snmp_pending_release(&pending_, fields_.pending_slot), 1);
        }
    }
    EXPECT_EQ(snmp_pending_in_use(&pending_), 0u);
}

TEST_F(SnmpMessage, RefusedResponsesStillFreeTheirSlot) {
    Bytes get = Fixture("v1_get_sysdescr.bin");
    struct Case {
        Preparer preparer;
        uint32_t version, security_model, security_flags, message_model;
    };
    const Case refused[] = {
        {snmpv1_prepare_response_message, 1, 1, 0, 0},
        {snmpv1_prepare_response_message, 0, 2, 0, 0},
        {snmpv1_prepare_response_message, 0, 1, 1, 0},
        {snmpv1_prepare_response_message, 0, 1, 0, 2},
        {snmpv2c_prepare_response_message, 2, 2, 0, 2},  // version 2 decodes but is not answered
        {snmpv2c_prepare_response_message, 1, 3, 0, 2},
        {snmpv2c_prepare_response_message, 1, 2, 0, 0},
        {snmpv3_prepare_response_message, 3, 1, 0, 2},
        {snmpv3_prepare_response_message, 3, 0, 0, 3},
    };
    for (const Case& c : refused) {
        ASSERT_TRUE(Parse(snmpv1_parse_message, get));
        fields_.version = c.version;
        fields_.security_model = c.security_model;
        fields_.security_flags = c.security_flags;
        fields_.message_model = c.message_model;
        pdu_->type = kSnmpGetResponse;
        EXPECT_EQ(Prepare(c.preparer), 0) << c.version << " " << c.security_model;
        EXPECT_EQ(snmp_pending_in_use(&pending_), 0u);
    }
    // A slot that is not in use gives no response.
    EXPECT_EQ(Prepare(snmpv1_prepare_response_message), 0);
}

TEST_F(SnmpMessage, ResponseTooBigForTheBufferIsNotSent) {
    DebugCapture quiet;
    ASSERT_TRUE(Parse(snmpv1_parse_message, Fixture("v1_get_51.bin")));
    ASSERT_EQ(pdu_->count, 50);
    for (int i = 0; i < pdu_->count; ++i) {
        pdu_->varbinds[i].syntax = kSnmpOctetString;
        pdu_->varbinds[i].value_length = 30;
        std::memset(pdu_->varbinds[i].octets(), 'A', 30);
    }
    pdu_->type = kSnmpGetResponse;
    EXPECT_EQ(Prepare(snmpv1_prepare_response_message), 1);  // 50 x 52 octets fit
    ASSERT_TRUE(Parse(snmpv1_parse_message, Fixture("v1_get_sysdescr.bin")));
    for (int i = 0; i < 50; ++i) {
        pdu_->varbinds[i] = pdu_->varbinds[0];
        pdu_->varbinds[i].syntax = kSnmpOctetString;
        pdu_->varbinds[i].value_length = 100;
    }
    pdu_->count = 50;
    pdu_->type = kSnmpGetResponse;
    EXPECT_EQ(Prepare(snmpv1_prepare_response_message), 0);
    EXPECT_EQ(snmp_pending_in_use(&pending_), 0u);
}

TEST_F(SnmpMessage, VersionOneResponseClearsTheTransmitBuffer) {
    std::fill(transmit_.begin(), transmit_.end(), 0xAA);
    ASSERT_TRUE(Parse(snmpv1_parse_message, Fixture("v1_get_sysdescr.bin")));
    pdu_->type = kSnmpGetResponse;
    ASSERT_TRUE(Prepare(snmpv1_prepare_response_message));
    EXPECT_EQ(transmit_[0], 0x00);
    EXPECT_EQ(transmit_[transmit_.size() - reply_.length - 1], 0x00);
}

TEST_F(SnmpMessage, FiftyOneVarbindsKeepFifty) {
    DebugCapture capture;
    ASSERT_TRUE(Parse(snmpv1_parse_message, Fixture("v1_get_51.bin")));
    EXPECT_EQ(pdu_->count, 50);
    EXPECT_EQ(pdu_->varbinds[49].name[15], 50u);
    EXPECT_EQ(capture.text(), "**** MAX OBJECTS EXCEEDED!");
}

// A version-1 GetRequest for sysDescr.0 with the given community.
Bytes GetWithCommunity(const std::string& community) {
    Bytes pdu =
        Hex("A0 1C 02 04 1D E3 D8 25 02 01 00 02 01 00 30 0E 30 0C 06 08 2B 06 01 02 01 "
            "01 01 00 05 00");
    Bytes body = Hex("02 01 00 04");
    body.push_back(static_cast<uint8_t>(community.size()));
    body.insert(body.end(), community.begin(), community.end());
    body.insert(body.end(), pdu.begin(), pdu.end());
    Bytes message;
    message.push_back(0x30);
    message.push_back(static_cast<uint8_t>(body.size()));
    for (uint8_t octet : body) {
        message.push_back(octet);  // not insert: GCC 12 -O3 warns falsely on it
    }
    return message;
}

TEST_F(SnmpMessage, CommunityOfMoreThanFiftyOneOctetsIsRefused) {
    EXPECT_EQ(ToHex(GetWithCommunity("public")), ToHex(Fixture("v1_get_sysdescr.bin")));
    const std::string longest(51, 'c');
    std::memset(fields_.context_engine_id, 0x5A, sizeof fields_.context_engine_id);
    ASSERT_EQ(Parse(snmpv1_parse_message, GetWithCommunity(longest)), 1);
    EXPECT_EQ(fields_.community, longest);
    snmp_pending_release(&pending_, fields_.pending_slot);
    for (size_t length : {52, 60, 90}) {
        EXPECT_EQ(Parse(snmpv1_parse_message, GetWithCommunity(std::string(length, 'c'))), 0);
        EXPECT_EQ(Parse(snmpv2c_parse_message, GetWithCommunity(std::string(length, 'c'))), 0);
    }
    EXPECT_EQ(fields_.context_engine_id[0], 0x5A);  // nothing written past the community
    EXPECT_EQ(snmp_pending_in_use(&pending_), 0u);
}

TEST_F(SnmpMessage, EveryTruncationOfARealRequestIsRefused) {
    const std::pair<const char*, Parser> cases[] = {
        {"v1_set_octets.bin", snmpv1_parse_message},
        {"v2c_set_integer_octets.bin", snmpv2c_parse_message},
        {"v3_discovery.bin", snmpv3_parse_message},
    };
    for (const auto& [file, parser] : cases) {
        Bytes full = Fixture(file);
        DebugCapture quiet;
        for (size_t length = 0; length < full.size(); ++length) {
            // A copy of exactly this length, so that any read past it is caught by ASan.
            Bytes part(full.begin(), full.begin() + length);
            EXPECT_EQ(Parse(parser, part), 0) << file << " cut at " << length;
        }
        EXPECT_EQ(snmp_pending_in_use(&pending_), 0u);
    }
}

TEST_F(SnmpMessage, MalformedMessagesAreRefused) {
    const Bytes get = Fixture("v1_get_sysdescr.bin");
    auto with = [&get](std::initializer_list<std::pair<size_t, uint8_t>> edits) {
        Bytes bytes = get;
        for (const auto& [at, value] : edits) {
            bytes.at(at) = value;
        }
        return bytes;
    };
    Bytes indefinite = with({{1, 0x80}});
    indefinite.push_back(0x00);
    indefinite.push_back(0x00);
    Bytes indefinite_pdu = with({{14, 0x80}});
    indefinite_pdu.push_back(0x00);
    indefinite_pdu.push_back(0x00);
    Bytes list_past_pdu = with({{28, 0x10}});
    list_past_pdu.insert(list_past_pdu.end(), {0x05, 0x00, 0x05, 0x00});
    const std::pair<const char*, Bytes> cases[] = {
        {"indefinite message", indefinite},
        {"indefinite PDU", indefinite_pdu},
        {"message shorter than its community", with({{1, 0x05}})},
        {"PDU longer than the message", with({{1, 0x27}})},
        {"community past the data", with({{6, 0x7F}})},
        {"not a SEQUENCE", with({{0, 0x31}})},
        {"version not an INTEGER", with({{2, 0x04}})},
        {"community not an OCTET STRING", with({{5, 0x02}})},
        {"PDU of application class", with({{13, 0x60}})},
        {"varbind list length past the PDU", list_past_pdu},
        {"name length 0x84 FF FF FF FF", Hex("30 2D 02 01 00 04 06 70 75 62 6C 69 63 A0 20 02 04 "
                                             "1D E3 D8 25 02 01 00 02 01 00 30 12 30 10 06 84 FF "
                                             "FF FF FF 2B 06 01 02 01 01 01 00 05 00")},
    };
    DebugCapture quiet;
    for (const auto& [what, bytes] : cases) {
        EXPECT_EQ(Parse(snmpv1_parse_message, bytes), 0) << what;
        EXPECT_EQ(snmp_pending_in_use(&pending_), 0u) << what;
    }
    // Octets after the message are ignored (a serial frame may carry them).
    Bytes trailing = get;
    trailing.push_back(0x00);
    trailing.push_back(0x00);
    EXPECT_EQ(Parse(snmpv1_parse_message, trailing), 1);
}

TEST_F(SnmpMessage, VarbindWithoutValueInCompatibilityMode) {
    // sysDescr.0 with no value; every enclosing length counts only what is sent.
    Bytes bytes =
        Hex("30 27 02 01 00 04 06 70 75 62 6C 69 63 A0 1A 02 04 1D E3 D8 25 02 01 00 "
            "02 01 00 30 0C 30 0A 06 08 2B 06 01 02 01 01 01 00");
    DebugCapture quiet;
    EXPECT_EQ(Parse(snmpv1_parse_message, bytes), 0);
    CompatibilityMode compat;
    ASSERT_EQ(Parse(snmpv1_parse_message, bytes), 1);
    EXPECT_EQ(pdu_->varbinds[0].syntax, kSnmpNull);
    EXPECT_EQ(Name(pdu_->varbinds[0]), kSysDescr);
}

// The mode follows bit 0x20 of brenSpecialFeatureSet in the database; other bits do not count.
TEST_F(SnmpMessage, CompatibilityModeFollowsTheSpecialFeatureSet) {
    // sysDescr.0 without a value, and a message whose SEQUENCE is declared 2 octets short.
    const Bytes no_value =
        Hex("30 27 02 01 00 04 06 70 75 62 6C 69 63 A0 1A 02 04 1D E3 D8 25 02 01 00 "
            "02 01 00 30 0C 30 0A 06 08 2B 06 01 02 01 01 01 00");
    Bytes short_message = Fixture("v1_get_sysdescr.bin");
    short_message[1] = static_cast<uint8_t>(short_message[1] - 2);
    const uint32_t saved = g_DataBase.Get(dbo::brenSpecialFeatureSet);
    DebugCapture quiet;
    for (const uint32_t features : {0x0u, 0xFFFFFFDFu, 0x20u, 0x0u}) {
        SCOPED_TRACE(testing::Message() << "brenSpecialFeatureSet 0x" << std::hex << features);
        ASSERT_EQ(g_DataBase.Set(dbo::brenSpecialFeatureSet, features, kDbReplayFlags), kDbOk);
        const int expected = (features & 0x20) != 0 ? 1 : 0;
        EXPECT_EQ(Parse(snmpv1_parse_message, no_value), expected);
        EXPECT_EQ(Parse(snmpv1_parse_message, short_message), expected);
        snmp_pending_release(&pending_, 0);
        snmp_pending_release(&pending_, 1);
    }
    g_DataBase.Set(dbo::brenSpecialFeatureSet, saved, kDbReplayFlags);
}

TEST_F(SnmpMessage, MessageVersion) {
    uint32_t version = 0;
    EXPECT_TRUE(snmp_message_version(Fixture("v3_discovery.bin").data(), 64, &version));
    EXPECT_EQ(version, 3u);
    Bytes v4 = Hex("30 03 02 01 04");
    EXPECT_TRUE(snmp_message_version(v4.data(), 5, &version));
    EXPECT_EQ(version, 4u);
    for (const char* hex : {"31 03 02 01 00", "30 03 04 01 00", "30 05 02 01 00", "", "30"}) {
        Bytes bytes = Hex(hex);
        EXPECT_EQ(snmp_message_version(bytes.data(), static_cast<uint32_t>(bytes.size()), &version),
                  0)
            << hex;
    }
}

TEST_F(SnmpMessage, VersionThreeDiscoveryFromNetSnmp) {
    ASSERT_EQ(Parse(snmpv3_parse_message, Fixture("v3_discovery.bin")), 1);
    EXPECT_EQ(fields_.message_model, 3u);
    EXPECT_EQ(fields_.response_tag, 0x64A7D079u);  // the msgID
    EXPECT_EQ(pending_.entries[fields_.pending_slot].response_tag, 0x64A7D079u);
    EXPECT_EQ(fields_.community[0], 0x30);  // msgSecurityParameters: a SEQUENCE of 14 octets
    EXPECT_STREQ(fields_.context_engine_id, "");
    EXPECT_STREQ(fields_.context_name, "");
    EXPECT_EQ(pdu_->type, kSnmpGetRequest);
    EXPECT_EQ(pdu_->request.request_id, 0x64F0718Du);
    EXPECT_EQ(pdu_->count, 0);
}

TEST_F(SnmpMessage, VersionThreeResponseFormat) {
    ASSERT_EQ(Parse(snmpv3_parse_message, Fixture("v3_discovery.bin")), 1);
    fields_.version = 3;
    fields_.security_model = 0;
    fields_.security_flags = 4;
    fields_.message_model = 2;
    std::strcpy(fields_.community, "usm");
    std::strcpy(fields_.context_engine_id, "engine");
    std::strcpy(fields_.context_name, "ctx");
    pdu_->type = kSnmpGetResponse;
    ASSERT_EQ(Prepare(snmpv3_prepare_response_message), 1);
    EXPECT_EQ(ToHex(Reply()),
              "30 39 02 01 03 30 10 02 04 64 A7 D0 79 02 02 0B B8 04 01 04 02 01 03 04 03 75 73 "
              "6D 30 1D 04 06 65 6E 67 69 6E 65 04 03 63 74 78 A2 0E 02 04 64 F0 71 8D 02 01 00 "
              "02 01 00 30 00");
}

// A version-3 message with the given context fields.
Bytes VersionThree(size_t engine_id_length, size_t name_length) {
    std::vector<uint8_t> buffer(600);
    asn1_context ctx;
    g_asn1_open(&ctx, buffer.data(), static_cast<uint32_t>(buffer.size()), 0);
    const std::string engine(engine_id_length, 'e');
    const std::string name(name_length, 'n');
    auto octets = [&ctx](const std::string& text) {
        const uint8_t* end = nullptr;
        return g_asn1_octets_encode(&ctx, &end, reinterpret_cast<const uint8_t*>(text.data()),
                                    static_cast<uint32_t>(text.size())) &&
               g_asn1_header_encode(&ctx, end, kAsn1Universal, kAsn1Primitive, kAsn1TagOctetString);
    };
    const Bytes pdu = Hex("A0 0B 02 01 01 02 01 00 02 01 00 30 00");
    const Bytes head = Hex("02 01 03 30 0D 02 01 07 02 02 05 DC 04 01 04 02 01 03 04 00");
    const uint8_t* message_end = nullptr;
    const uint8_t* scoped_end = nullptr;
    const uint8_t* end = nullptr;
    g_asn1_eoc_encode(&ctx, &message_end);
    g_asn1_eoc_encode(&ctx, &scoped_end);
    EXPECT_TRUE(g_asn1_octets_encode(&ctx, &end, pdu.data(), static_cast<uint32_t>(pdu.size())));
    EXPECT_TRUE(octets(name) && octets(engine));
    EXPECT_TRUE(
        g_asn1_header_encode(&ctx, scoped_end, kAsn1Universal, kAsn1Constructed, kAsn1TagSequence));
    EXPECT_TRUE(g_asn1_octets_encode(&ctx, &end, head.data(), static_cast<uint32_t>(head.size())));
    EXPECT_TRUE(g_asn1_header_encode(&ctx, message_end, kAsn1Universal, kAsn1Constructed,
                                     kAsn1TagSequence));
    const uint8_t* start = nullptr;
    uint32_t length = 0;
    g_asn1_close(&ctx, &start, &length);
    return Bytes(start, start + length);
}

TEST_F(SnmpMessage, VersionThreeContextFieldsOfMoreThanFortyNineOctetsAreRefused) {
    ASSERT_EQ(Parse(snmpv3_parse_message, VersionThree(49, 49)), 1);
    EXPECT_EQ(std::string(fields_.context_engine_id), std::string(49, 'e'));
    EXPECT_EQ(std::string(fields_.context_name), std::string(49, 'n'));
    EXPECT_EQ(fields_.response_tag, 7u);
    snmp_pending_release(&pending_, fields_.pending_slot);
    EXPECT_EQ(Parse(snmpv3_parse_message, VersionThree(50, 0)), 0);
    EXPECT_EQ(Parse(snmpv3_parse_message, VersionThree(0, 50)), 0);
    EXPECT_EQ(Parse(snmpv3_parse_message, VersionThree(200, 0)), 0);
    EXPECT_EQ(snmp_pending_in_use(&pending_), 0u);
}

}  // namespace
