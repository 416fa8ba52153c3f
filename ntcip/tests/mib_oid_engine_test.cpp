// Objects by identifier through the MIB engine: gets, sets with their checks, and the staging of
// a request in progress left as it was.

#include "ntcip/mib_oid_engine.h"

#include <gtest/gtest.h>

#include <string>

#include "database/global_database.h"
#include "database/script_parser.h"
#include "ntcip/mib_engine.h"
#include "ntcip/snmp_set_staging.h"

namespace {

const std::string kContact = "1.3.6.1.2.1.1.4.0";
const std::string kName = "1.3.6.1.2.1.1.5.0";

class MibOidEngineTest : public ::testing::Test {
protected:
    void SetUp() override {
        MibInit(nullptr);
        OidSetEngine(&MibOidEngine());
        g_DataBase.SetString(98616, 4, "", 0, DbImage::kNv, kDbReplayFlags);
    }
    void TearDown() override { OidSetEngine(nullptr); }
    std::string Octets(const std::string& oid) {
        uint8_t out[100];
        uint32_t n = 0;
        EXPECT_TRUE(oid_get_octets(oid.data(), oid.size(), out, sizeof out, &n)) << oid;
        return std::string(reinterpret_cast<char*>(out), n);
    }
    bool SetText(const std::string& oid, const std::string& text) {
        return oid_set_octets(oid.data(), oid.size(), reinterpret_cast<const uint8_t*>(text.data()),
                              static_cast<uint32_t>(text.size()), 0, 0xFFFFFFFF);
    }
};

TEST_F(MibOidEngineTest, SetAndGetThroughTheHandlers) {
    ASSERT_TRUE(SetText(kContact, "operations"));
    EXPECT_EQ(Octets(kContact), "operations");
    uint32_t n = 0;
    const char* stored = g_DataBase.GetString(98616, 4, DbImage::kNv, &n);
    EXPECT_EQ(std::string(stored, n), "operations");
    int32_t ticks = -1;
    EXPECT_TRUE(oid_get_int("1.3.6.1.2.1.1.3.0", 17, &ticks));
    EXPECT_GE(ticks, 0);
    char text[20];
    EXPECT_TRUE(oid_get_octets_base64(kContact.data(), kContact.size(), text, 3, &n));
    EXPECT_EQ(std::string(text, n), "b3Bl") << "cut to the room, then encoded";
}

TEST_F(MibOidEngineTest, RefusedRequests) {
    int32_t value = 0;
    EXPECT_FALSE(oid_get_int("1.3.6.1.2.1.1.99.0", 18, &value)) << "unknown object";
    EXPECT_FALSE(oid_get_int(kContact.data(), kContact.size(), &value)) << "not an integer";
    EXPECT_FALSE(oid_set_int(kContact.data(), kContact.size(), 5, 0, 0xFFFFFFFF)) << "type";
    EXPECT_FALSE(SetText("1.3.6.1.2.1.1.1.0", "descr")) << "read-only";
    EXPECT_FALSE(SetText("1.3.6.1.2.1.1.2.0", "12345")) << "an OID of part of a sub-identifier";
    EXPECT_FALSE(SetText(kContact, std::string(2001, 'x'))) << "longer than the set buffer";
    EXPECT_EQ(Octets(kContact), "");
}

TEST_F(MibOidEngineTest, StagingOfARequestInProgressIsKept) {
    g_SnmpSetCommit = 0;
    g_SnmpSetInt = 77;
    g_SnmpSetLength = 3;
    g_SnmpSetBuffer[0] = 'q';
    g_SnmpGroupMask = 0x10;
    ASSERT_TRUE(SetText(kName, "sign-7"));
    EXPECT_EQ(g_SnmpSetCommit, 0);
    EXPECT_EQ(g_SnmpSetInt, 77u);
    EXPECT_EQ(g_SnmpSetLength, 3u);
    EXPECT_EQ(g_SnmpSetBuffer[0], 'q');
    EXPECT_EQ(g_SnmpGroupMask, 0x10u);
    g_SnmpSetCommit = 1;
}

TEST_F(MibOidEngineTest, ScriptSettingsTheMibAcceptsHold) {
    const std::string script =
        "<SCRIPT>\r\n\t<OBJ oid=\"1.3.6.1.2.1.1.4.0\" str=\"night desk\"/>\r\n"
        "\t<OBJ oid=\"1.3.6.1.2.1.1.1.0\" str=\"refused\"/>\r\n"
        "\t<OBJ oid=\"1.3.6.1.2.1.1.5.0\" base64=\"U0lHTg==\"/>\r\n</SCRIPT>\r\n";
    ASSERT_EQ(ScriptParser(script.data(), static_cast<uint32_t>(script.size())), kScriptOk);
    EXPECT_EQ(Octets(kContact), "night desk");
    EXPECT_EQ(Octets(kName), "SIGN");
}

}  // namespace
