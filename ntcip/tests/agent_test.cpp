// Requests captured from net-snmp go through an agent on an in-process transport and get
// the answers net-snmp would print; what the agent does not serve gets silence, and it
// keeps answering.

#include <gtest/gtest.h>

#include "database/db_services.h"
#include "ntcip/tests/agent_harness.h"

using namespace snmp_test;

namespace {

const std::vector<uint32_t> kSysDescr = {1, 3, 6, 1, 2, 1, 1, 1, 0};
const std::vector<uint32_t> kSysUpTime = {1, 3, 6, 1, 2, 1, 1, 3, 0};
const std::vector<uint32_t> kSysName = {1, 3, 6, 1, 2, 1, 1, 5, 0};

// A v1 get whose one name has `count` sub-identifiers (1.3.1.1...), encoded by hand since
// the codec's own names stop at 40.
Bytes GetOfLongName(uint32_t count) {
    auto append = [](Bytes& out, const Bytes& more) {
        for (uint8_t octet : more)
            out.push_back(octet);
    };
    auto wrap = [&](uint8_t tag, const Bytes& body) {
        Bytes out;
        out.push_back(tag);
        if (body.size() >= 128) {
            out.push_back(0x82);
            out.push_back(static_cast<uint8_t>(body.size() >> 8));
        }
        out.push_back(static_cast<uint8_t>(body.size()));
        append(out, body);
        return out;
    };
    Bytes oid;
    oid.push_back(0x2B);
    for (uint32_t i = 2; i < count; ++i)
        oid.push_back(0x01);
    Bytes varbind_body = wrap(0x06, oid);
    append(varbind_body, Hex("05 00"));
    Bytes pdu_body = Hex("02 01 01 02 01 00 02 01 00");
    append(pdu_body, wrap(0x30, wrap(0x30, varbind_body)));
    const std::string community = kAdmin;
    Bytes message = Hex("02 01 00");
    append(message, wrap(0x04, Bytes(community.begin(), community.end())));
    append(message, wrap(0xA0, pdu_body));
    return wrap(0x30, message);
}

Varbind At(const std::vector<uint32_t>& name) {
    Varbind v;
    v.name = name;
    return v;
}

Bytes Captured(const std::string& name) {
    Bytes bytes = Fixture("agent/" + name);
    EXPECT_FALSE(bytes.empty()) << name;
    return bytes;
}

Decoded Answer(AgentHarness& agent, const Bytes& request) {
    std::optional<Bytes> sent = agent.Exchange(request);
    EXPECT_TRUE(sent.has_value());
    std::optional<Decoded> decoded = sent ? Decode(*sent) : std::nullopt;
    EXPECT_TRUE(decoded.has_value());
    if (!decoded) {
        return Decoded{};
    }
    EXPECT_EQ(decoded->pdu->type, kSnmpGetResponse);
    return std::move(*decoded);
}

class Agent : public ::testing::Test {
protected:
    AgentHarness agent_;
};

TEST_F(Agent, CreationTakesBothBuffersAndTheDispatchStack) {
    EXPECT_EQ(agent_.status(), 0);
    EXPECT_EQ(agent_.used(), 2 * kSnmpMessageBufferSize + 2048);
    EXPECT_STREQ(agent_.agent().name, "pmpp");
}

// .1.3.6.1.2.1.1.1.0 = STRING: "DMS field controller"
// .1.3.6.1.2.1.1.3.0 = Timeticks: (N) -- whole seconds since start
TEST_F(Agent, GetOfTwoScalars) {
    agent_.kernel().Advance(6000);
    Decoded r = Answer(agent_, Captured("get_v1_sysdescr_uptime.bin"));
    ASSERT_EQ(r.pdu->count, 2);
    EXPECT_EQ(r.pdu->request.error_status, kSnmpNoError);
    EXPECT_EQ(r.pdu->varbinds[0].syntax, kSnmpOctetString);
    EXPECT_EQ(Text(r.pdu->varbinds[0]), kSysDescrText);
    EXPECT_EQ(r.pdu->varbinds[1].syntax, kSnmpTimeTicks);
    EXPECT_EQ(r.pdu->varbinds[1].value[0], 60u) << "one minute after start";
    EXPECT_EQ(r.fields.version, 0u);
    EXPECT_STREQ(r.fields.community, kAdmin);
}

// Get-next answers the next object served, across groups and across subtrees; past the last object
// it is noSuchName with the name unchanged.
TEST_F(Agent, GetNextAcrossRowsGroupsAndTheEnd) {
    struct Case {
        const char* fixture;
        std::vector<uint32_t> name;
        uint16_t syntax;
        uint32_t status;
    } cases[] = {
        {"getnext_v1_mib2.bin", kSysDescr, kSnmpOctetString, kSnmpNoError},
        // sysServices is followed by ifNumber.
        {"getnext_v2c_sysservices.bin", {1, 3, 6, 1, 2, 1, 2, 1, 0}, kSnmpInteger, kSnmpNoError},
        // Past the snmp group the walk crosses into the next served subtree.
        {"getnext_v1_last_snmp.bin",
         {1, 3, 6, 1, 4, 1, 1206, 2, 1, 1, 1, 0},
         kSnmpInteger,
         kSnmpNoError},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fixture);
        Decoded r = Answer(agent_, Captured(c.fixture));
        ASSERT_EQ(r.pdu->count, 1);
        EXPECT_EQ(Name(r.pdu->varbinds[0]), c.name);
        EXPECT_EQ(r.pdu->request.error_status, c.status);
        if (c.status == kSnmpNoError) {
            EXPECT_EQ(r.pdu->varbinds[0].syntax, c.syntax);
            EXPECT_EQ(r.pdu->request.error_index, 0u);
        } else {
            EXPECT_EQ(r.pdu->request.error_index, 1u);
        }
    }
}

// Error in packet. Reason: (noSuchName) / (badValue), Failed object: the first varbind.
TEST_F(Agent, RefusalsCarryStatusAndIndex) {
    struct Case {
        const char* fixture;
        uint32_t status;
    } cases[] = {
        {"set_v2c_sysdescr.bin", kSnmpNoSuchName},               // read-only: noSuchName
        {"set_v1_syscontact_integer.bin", kSnmpBadValue},        // INTEGER on an OCTET STRING row
        {"set_v1_syslocation_toolong.bin", kSnmpBadValue},       // 256 octets, row allows 0..255
        {"get_v1_public_admin_community.bin", kSnmpNoSuchName},  // user asks a protected object
        {"get_v1_ifdescr2.bin", kSnmpNoSuchName},
    };
    const uint32_t read_onlys = g_DataBase.Get(dbo::snmpInReadOnlys);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fixture);
        Decoded r = Answer(agent_, Captured(c.fixture));
        EXPECT_EQ(r.pdu->request.error_status, c.status);
        EXPECT_EQ(r.pdu->request.error_index, 1u);
    }
    EXPECT_EQ(g_DataBase.Get(dbo::snmpInReadOnlys), read_onlys + 1);
    uint32_t length = 0;
    EXPECT_STREQ(g_DataBase.GetText(dbo::sysContact, &length), "") << "refused sets write nothing";
    EXPECT_STREQ(g_DataBase.GetText(dbo::sysLocation, &length), "");
    EXPECT_STREQ(g_DataBase.GetText(dbo::sysDescr, &length), kSysDescrText);
}

// .1.3.6.1.2.1.1.5.0 = STRING: "sign-12"
TEST_F(Agent, SetStoresAndAnswersTheValueReadBack) {
    Decoded r = Answer(agent_, Captured("set_v1_sysname.bin"));
    EXPECT_EQ(r.pdu->request.error_status, kSnmpNoError);
    EXPECT_EQ(Name(r.pdu->varbinds[0]), kSysName);
    EXPECT_EQ(Text(r.pdu->varbinds[0]), "sign-12");
    uint32_t length = 0;
    EXPECT_STREQ(g_DataBase.GetText(dbo::sysName, &length), "sign-12");
}

// A shut-off temperature the store refuses is refused before the commit pass, through each of
// the three rows over it: the other values of the set are not written either.
TEST_F(Agent, RefusedShutOffTemperatureKeepsTheRestOfItsSet) {
    using Oid = std::vector<uint32_t>;
    const Oid stored = {1, 3, 6, 1, 4, 1, 1206, 3, 16, 1, 1, 22, 0};  // a storage row
    const struct {
        const char* name;
        Oid oid;
    } rows[] = {{"1206.3.16 branch", {1, 3, 6, 1, 4, 1, 1206, 3, 16, 1, 1, 1, 0}},
                {"private branch", {1, 3, 6, 1, 4, 1, 1206, 3, 47, 2, 4, 0}},
                {"fdot branch", {1, 3, 6, 1, 4, 1, 1206, 3, 6, 11, 4, 0}}};
    auto integer = [](const Oid& name, uint32_t value) {
        Varbind v;
        v.name = name;
        v.syntax = kSnmpInteger;
        v.integer = value;
        return v;
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        g_DataBase.Set(dbo::brenShutOffTemp, 85, kDbReplayFlags);
        g_DataBase.Set(dbo::ledstarConfigSettings, 9, kDbReplayFlags, 10);  // 1.1.22.0
        Decoded r = Answer(agent_, Request(0, kAdmin, kSnmpSetRequest,
                                           {integer(stored, 5), integer(row.oid, 40)}));
        EXPECT_EQ(r.pdu->request.error_status, kSnmpBadValue);
        EXPECT_EQ(r.pdu->request.error_index, 2u);
        EXPECT_EQ(g_DataBase.Get(dbo::ledstarConfigSettings, 10), 9u);
        EXPECT_EQ(g_DataBase.Get(dbo::brenShutOffTemp), 85u);

        r = Answer(agent_,
                   Request(0, kAdmin, kSnmpSetRequest, {integer(stored, 5), integer(row.oid, 0)}));
        EXPECT_EQ(r.pdu->request.error_status, kSnmpNoError);
        EXPECT_EQ(g_DataBase.Get(dbo::ledstarConfigSettings, 10), 5u);
        EXPECT_EQ(g_DataBase.Get(dbo::brenShutOffTemp), 0u);
    }
}

TEST_F(Agent, UnservedRequestsGetSilenceAndFreeTheirPendingSlot) {
    const uint32_t bad_names = g_DataBase.Get(dbo::snmpInBadCommunityNames);
    const Bytes wrong = Captured("get_v1_wrong_community.bin");
    const Bytes bulk = Captured("getbulk_v2c.bin");
    const Bytes v3 = Captured("get_v3_discovery.bin");
    for (int i = 0; i < 20; ++i) {
        EXPECT_FALSE(agent_.Exchange(bulk).has_value());
        EXPECT_FALSE(agent_.Exchange(v3).has_value());
        EXPECT_FALSE(agent_.Exchange(wrong).has_value());
    }
    EXPECT_EQ(g_DataBase.Get(dbo::snmpInBadCommunityNames), bad_names + 20);
    EXPECT_EQ(snmp_pending_in_use(&agent_.agent().pending), 0u);
    Decoded r = Answer(agent_, Captured("get_v1_sysdescr_uptime.bin"));
    EXPECT_EQ(Text(r.pdu->varbinds[0]), kSysDescrText);
}

TEST_F(Agent, MalformedAndOversizedInputKeepsTheAgentAnswering) {
    const Bytes inputs[] = {
        Hex("02 01 00"),              // not a SEQUENCE
        Hex("30 03 04 01 00"),        // version is not an INTEGER
        Hex("30 05 02 01 04 04 00"),  // version 4
        Request(0, std::string(60, 'a'), kSnmpGetRequest, {At(kSysDescr)}),  // community too long
        GetOfLongName(128),
        Hex("30 82 0B B8"),  // declares more than it holds
    };
    for (const Bytes& input : inputs) {
        EXPECT_FALSE(agent_.Exchange(input).has_value()) << ToHex(input);
    }
    Decoded r = Answer(agent_, Request(1, kAdmin, kSnmpGetRequest, {At(kSysDescr)}));
    EXPECT_EQ(r.pdu->request.error_status, kSnmpNoError);
    EXPECT_EQ(r.fields.version, 1u) << "answered in the request's version";
}

}  // namespace
