// Traps: the record and ring cut and drop as specified, and the encoded message is a version-1
// Trap-PDU with the fixed enterprise.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "ntcip/snmp_trap.h"
#include "ntcip/tests/agent_harness.h"
#include "ntcip/trap_buffer.h"

namespace {

using namespace snmp_test;

trap_varbind Varbind(std::vector<uint32_t> name, uint8_t syntax, const void* value,
                     uint32_t length) {
    trap_varbind v{};
    std::copy(name.begin(), name.end(), v.name);
    v.name_length = static_cast<uint32_t>(name.size());
    v.syntax = syntax;
    v.value = value;
    v.value_length = length;
    return v;
}

trap_record Record(uint32_t specific, uint32_t expiry) {
    static const uint32_t word = 7;
    const trap_varbind v = Varbind({1, 3, 6, 1, 2, 1, 1, 3, 0}, kSnmpTimeTicks, &word, 4);
    trap_record r{};
    trap_record_fill(&r, 6, specific, 1, &v, expiry);
    return r;
}

TEST(TrapBuffer, ElevenPushesLoseTheFirstAndPopInOrder) {
    CTrapBuffer ring;
    for (uint32_t i = 1; i <= 11; ++i) {
        ring.Push(Record(i, 0));
    }
    EXPECT_EQ(ring.Count(), 10u);
    trap_record out{};
    for (uint32_t i = 2; i <= 11; ++i) {
        ASSERT_TRUE(ring.Pop(&out));
        EXPECT_EQ(out.specific_trap, i);
        EXPECT_EQ(out.varbinds[0].value, out.values[0]);  // points into the out record
    }
    EXPECT_TRUE(ring.IsEmpty());
    EXPECT_FALSE(ring.Pop(&out));
}

TEST(TrapBuffer, DiscardExpiredDropsRecordsDueNowFromTheOldestOn) {
    CTrapBuffer ring;
    ring.Push(Record(1, 100));
    ring.Push(Record(2, 100));
    ring.Push(Record(3, 200));
    ring.Push(Record(4, 50));  // behind a later one: stays until that one goes
    ring.DiscardExpired(99);
    EXPECT_EQ(ring.Count(), 4u);
    ring.DiscardExpired(100);
    EXPECT_EQ(ring.Count(), 2u);
    trap_record out{};
    ASSERT_TRUE(ring.Pop(&out));
    EXPECT_EQ(out.specific_trap, 3u);
}

TEST(TrapRecord, FillCutsCountsNamesAndValues) {
    const std::string text(25, 'x');
    std::vector<uint32_t> long_name(45, 1);
    trap_varbind vs[12];
    for (auto& v : vs) {
        v = Varbind(long_name, kSnmpOctetString, text.data(), 25);
    }
    trap_record r{};
    trap_record_fill(&r, 6, 1, 12, vs, 0);
    EXPECT_EQ(r.varbind_count, 10u);
    EXPECT_EQ(r.varbinds[9].name_length, 40u);
    EXPECT_EQ(r.varbinds[9].value_length, 20u);
    EXPECT_EQ(std::memcmp(r.varbinds[9].value, text.data(), 20), 0);
}

class TrapMessage : public ::testing::Test {
protected:
    void SetUp() override {
        sent_.clear();
        snmp_trap_transports t{};
        t.udp_client_send_data = &Capture;
        snmp_trap_set_transports(t);
    }
    void TearDown() override { snmp_trap_set_transports({}); }

    static int Capture(const uint8_t* message, uint32_t length, uint32_t port,
                       const uint8_t address[4]) {
        sent_.emplace_back(message, message + length);
        port_ = port;
        std::memcpy(address_, address, 4);
        return 0;
    }
    static inline std::vector<Bytes> sent_;
    static inline uint32_t port_ = 0;
    static inline uint8_t address_[4] = {};
    AgentHarness agent_;
};

TEST_F(TrapMessage, EnterpriseSpecificTrapCarriesItsVarbinds) {
    const uint8_t address[4] = {127, 0, 0, 1};
    const char* location = "MM 12";
    const uint32_t now = 123456;
    const trap_varbind vs[] = {
        Varbind({1, 3, 6, 1, 2, 1, 1, 6, 0}, kSnmpOctetString, location, 5),
        Varbind({1, 3, 6, 1, 4, 1, 1206, 4, 2, 6, 3, 1, 0}, kSnmpCounter, &now, 4)};
    ASSERT_EQ(snmp_trap(&agent_.agent(), kTrapViaUdpClient, 0, address, 3, 3, nullptr, 0, "", "", 3,
                        6, 17, 2, vs),
              1);
    ASSERT_EQ(sent_.size(), 1u);
    EXPECT_EQ(port_, 162u);
    EXPECT_EQ(address_[0], 127);
    std::optional<Decoded> d = Decode(sent_[0]);
    ASSERT_TRUE(d.has_value());
    EXPECT_EQ(d->fields.version, 0u);
    EXPECT_STREQ(d->fields.community, "tamsol");
    const snmp_pdu& pdu = *d->pdu;
    EXPECT_EQ(pdu.type, kSnmpTrapV1);
    EXPECT_EQ(std::vector<uint32_t>(pdu.trap.enterprise,
                                    pdu.trap.enterprise + pdu.trap.enterprise_length),
              (std::vector<uint32_t>{1, 3, 6, 1, 4, 47}));
    EXPECT_EQ(pdu.trap.generic_trap, 6u);
    EXPECT_EQ(pdu.trap.specific_trap, 17u);
    ASSERT_EQ(pdu.count, 2);
    EXPECT_EQ(Text(pdu.varbinds[0]), "MM 12");
    EXPECT_EQ(pdu.varbinds[1].syntax, kSnmpCounter);
    EXPECT_EQ(pdu.varbinds[1].value[0], now);
}

TEST_F(TrapMessage, GenericTrapsCarryNoVarbindsAndRefusalsSendNothing) {
    const uint8_t address[4] = {10, 1, 2, 3};
    const uint32_t word = 1;
    const trap_varbind v = Varbind({1, 3, 6, 1, 2, 1, 1, 3, 0}, kSnmpInteger, &word, 4);
    ASSERT_EQ(snmp_trap(&agent_.agent(), kTrapViaUdpClient, 1162, address, 0, 0, "public", 0, "",
                        "", 0, 2, 9, 1, &v),
              1);
    ASSERT_EQ(sent_.size(), 1u);
    EXPECT_EQ(port_, 1162u);
    std::optional<Decoded> d = Decode(sent_[0]);
    ASSERT_TRUE(d.has_value());
    EXPECT_STREQ(d->fields.community, "public");
    EXPECT_EQ(d->pdu->trap.generic_trap, 2u);
    EXPECT_EQ(d->pdu->trap.specific_trap, 0u);
    EXPECT_EQ(d->pdu->count, 0);

    EXPECT_EQ(snmp_trap(nullptr, kTrapViaUdpClient, 0, address, 0, 0, nullptr, 0, "", "", 0, 6, 1,
                        0, nullptr),
              0);
    auto pdu = NewPdu();
    EXPECT_EQ(sendPduTrap(&agent_.agent(), kTrapViaUdpClient, 0, address, 1, 0, "x", 0, "", nullptr,
                          pdu.get()),
              -1);
    EXPECT_EQ(sendPduTrap(&agent_.agent(), kTrapViaUdpClient, 0, address, 0, 0, "x", 1, "", nullptr,
                          pdu.get()),
              -1);
    EXPECT_EQ(sent_.size(), 1u);
}

TEST(TrapRadio, FieldsCarryAddressPortsAndTheLogicalIdDigits) {
    uint8_t out[kTrapRadioFieldsSize];
    const uint8_t remote[4] = {192, 168, 1, 20};
    snmp_trap_radio_fields(out, remote, 162, 4021);
    EXPECT_EQ(ToHex(out, sizeof out),
              "02 C0 A8 01 14 11 00 00 00 00 00 00 A1 00 A2 30 34 30 32 31");
}

}  // namespace
