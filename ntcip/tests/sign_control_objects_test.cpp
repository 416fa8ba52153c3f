// Sign control: the activation code (last served on read, request on write, its answer kept
// across the activation), the control-mode rule, memory management on every access, the reset
// request, plain mappings and the action table's limits.

#include "ntcip/sign_control_objects.h"

#include <gtest/gtest.h>

#include <string>

#include "database/global_database.h"
#include "database/object_ids.h"
#include "mib_test_client.h"
#include "ntcip/tests/agent_harness.h"

namespace {

const std::string kDms = "1.3.6.1.4.1.1206.4.2.3";
const std::string kControlMode = kDms + ".6.1.0";
const std::string kSwReset = kDms + ".6.2.0";
const std::string kActivate = kDms + ".6.3.0";
const std::string kTableSource = kDms + ".6.5.0";
const std::string kPowerLossTime = kDms + ".6.10.0";
const std::string kResetMessage = kDms + ".6.11.0";
const std::string kMemoryMgmt = kDms + ".6.16.0";
const std::string kActionCode = kDms + ".8.2.1.2.";
const std::string kServed = std::string("\xFF\xFF\x03\x03\x00\x01\x12\x34\x7F\x00\x00\x01", 12);
const std::string kRequested = std::string("\x00\x0A\x80\x03\x00\x02\x56\x78\x7F\x00\x00\x01", 12);

std::string Stored(const DbObject& object, uint32_t row = 0) {
    uint32_t length = 0;
    const char* text = g_DataBase.GetText(object, &length, row);
    return std::string(text, length);
}

int g_clears = 0;
// Memory clear as the display does it: act on the stored request, then store normal.
void ClearMemory() {
    ++g_clears;
    if (g_DataBase.Get(dbo::dmsMemoryMgmt) == 3) {
        g_DataBase.SetText(dbo::dmsMessageMultiString, "", 0, kDbReplayFlags, 0);
        g_DataBase.Set(dbo::dmsMemoryMgmt, 2, kDbReplayFlags);
    }
}

class SignControlObjects : public ::testing::Test {
protected:
    void SetUp() override {
        g_clears = 0;
        SignControlServices services;
        services.clear_memory = &ClearMemory;
        sign_control_set_services(services);
        g_DataBase.SetText(dbo::storedActivateMessage, kServed.data(), 12, kDbReplayFlags);
        g_DataBase.SetText(dbo::dmsActivateMessage, "", 0, kDbReplayFlags);
        g_DataBase.Set(dbo::dmsControlMode, 4, kDbReplayFlags);
        g_DataBase.Set(dbo::dmsMemoryMgmt, 2, kDbReplayFlags);
        g_DataBase.Set(dbo::dmsSWReset, 0, kDbReplayFlags);
    }
    void TearDown() override { sign_control_set_services({}); }
    mib_test::MibClient mib;
};

TEST_F(SignControlObjects, ActivationCodeReadsTheServedCodeAndStoresTheRequest) {
    EXPECT_EQ(mib.Get(kActivate).text, kServed);
    EXPECT_EQ(mib.SetText(kActivate, kRequested).text, kRequested) << "what it stored";
    EXPECT_EQ(Stored(dbo::dmsActivateMessage), kRequested);
    EXPECT_EQ(mib.Get(kActivate).text, kServed) << "a read is the last served code";
    for (size_t length : {11u, 13u, 0u}) {
        EXPECT_EQ(mib.SetText(kActivate, std::string(length, '\x01')).error,
                  uint32_t{kSnmpBadValue})
            << length;
    }
    EXPECT_EQ(Stored(dbo::dmsActivateMessage), kRequested);
}

TEST_F(SignControlObjects, ControlModeTakesOnlyCentralOverrideFromLocal) {
    const struct {
        uint32_t stored, written, error, after;
    } cases[] = {
        {2, 5, 0, 5},
        {2, 4, kSnmpBadValue, 2},
        {4, 4, kSnmpBadValue, 4},
        {4, 5, kSnmpBadValue, 4},
        {5, 5, kSnmpBadValue, 5},
        {2, 7, kSnmpBadValue, 2},  // the row's enumeration
    };
    for (const auto& c : cases) {
        g_DataBase.Set(dbo::dmsControlMode, c.stored, kDbReplayFlags);
        EXPECT_EQ(mib.SetInt(kControlMode, c.written).error, c.error)
            << c.stored << "->" << c.written;
        EXPECT_EQ(g_DataBase.Get(dbo::dmsControlMode), c.after);
    }
}

TEST_F(SignControlObjects, MemoryManagementRunsOnEveryAccess) {
    g_DataBase.SetText(dbo::dmsMessageMultiString, "OLD", 3, kDbReplayFlags, 0);
    g_DataBase.Set(dbo::dmsMemoryMgmt, 3, kDbReplayFlags);
    EXPECT_EQ(mib.Get(kMemoryMgmt).word, 3u) << "answered before the step";
    EXPECT_EQ(Stored(dbo::dmsMessageMultiString), "");
    EXPECT_EQ(mib.Get(kMemoryMgmt).word, 2u);
    EXPECT_EQ(mib.GetNext(kDms + ".6.15.0").word, 2u);
    EXPECT_EQ(g_clears, 3);
    // Both passes of a set run it; the commit stores first.
    g_DataBase.SetText(dbo::dmsMessageMultiString, "OLD", 3, kDbReplayFlags, 0);
    EXPECT_EQ(mib.SetInt(kMemoryMgmt, 3).word, 3u);
    EXPECT_EQ(g_clears, 5);
    EXPECT_EQ(Stored(dbo::dmsMessageMultiString), "");
    EXPECT_EQ(g_DataBase.Get(dbo::dmsMemoryMgmt), 2u);
    EXPECT_EQ(mib.SetInt(kMemoryMgmt, 5).error, uint32_t{kSnmpBadValue});
}

TEST_F(SignControlObjects, PlainObjectsMapAndReadOnlyOnesRefuse) {
    EXPECT_EQ(mib.SetInt(kPowerLossTime, 300).word, 300u);
    EXPECT_EQ(g_DataBase.Get(dbo::dmsShortPowerLossTime), 300u);
    const std::string code("\x03\x00\x05\xAB\xCD", 5);
    EXPECT_EQ(mib.SetText(kResetMessage, code).text, code);
    EXPECT_EQ(mib.SetText(kResetMessage, "1234").error, uint32_t{kSnmpBadValue});
    EXPECT_EQ(Stored(dbo::dmsResetMessage), code);
    EXPECT_EQ(mib.SetText(kTableSource, code).error, uint32_t{kSnmpNoSuchName});
    EXPECT_EQ(mib.SetInt(kSwReset, 2).error, uint32_t{kSnmpBadValue});
    EXPECT_EQ(mib.SetInt(kSwReset, 1).word, 1u);
    EXPECT_EQ(g_DataBase.Get(dbo::dmsSWReset), 1u);
}

TEST_F(SignControlObjects, ActionTableHoldsRowsOneTo255) {
    const struct {
        uint32_t row;
        bool exists;
    } cases[] = {{0, false}, {1, true}, {255, true}, {256, false}};
    for (const auto& c : cases) {
        EXPECT_EQ(mib.Get(kActionCode + std::to_string(c.row)).error == 0, c.exists) << c.row;
        EXPECT_EQ(mib.Get(kDms + ".8.2.1.1." + std::to_string(c.row)).word, c.exists ? c.row : 0)
            << c.row;
    }
    const std::string code("\x03\x00\x07\x12\x34", 5);
    EXPECT_EQ(mib.SetText(kActionCode + "255", code).text, code);
    EXPECT_EQ(Stored(dbo::dmsActionMsgCode, 254), code);
    EXPECT_EQ(mib.Get(kActionCode + "255.1").error, uint32_t{kSnmpNoSuchName});
    g_DataBase.Set(dbo::numActionTableEntries, 255, kDbReplayFlags);
    EXPECT_EQ(mib.Get(kDms + ".8.1.0").word, 255u);
}

// Request processing runs the activation between the handler's answer and its conversion; an
// activation reads many strings, and the answer must still be the code that was stored.
int g_activations = 0;
int ReadManyStringsThenAccept() {
    ++g_activations;
    for (int i = 0; i < 8; ++i) {
        uint32_t length = 0;
        g_DataBase.GetText(dbo::storedActivateMessage, &length);
    }
    return 0;
}

TEST(SignControlAgent, ActivationAnswerOutlivesTheActivation) {
    snmp_test::AgentHarness agent;
    g_DataBase.SetText(dbo::storedActivateMessage, kServed.data(), 12, kDbReplayFlags);
    snmp_process_hooks hooks = snmp_process_get_hooks();
    hooks.activate_requested_message = &ReadManyStringsThenAccept;
    snmp_process_set_hooks(hooks);
    snmp_test::Varbind set;
    set.name = {1, 3, 6, 1, 4, 1, 1206, 4, 2, 3, 6, 3, 0};
    set.syntax = kSnmpOctetString;
    set.octets = kRequested;
    const std::optional<snmp_test::Bytes> sent =
        agent.Exchange(snmp_test::Request(0, snmp_test::kAdmin, kSnmpSetRequest, {set}));
    snmp_process_set_hooks({});
    ASSERT_TRUE(sent.has_value());
    const std::optional<snmp_test::Decoded> r = snmp_test::Decode(*sent);
    ASSERT_TRUE(r.has_value());
    EXPECT_EQ(g_activations, 1);
    EXPECT_EQ(r->pdu->request.error_status, kSnmpNoError);
    EXPECT_EQ(snmp_test::Text(r->pdu->varbinds[0]), kRequested);
}

}  // namespace
