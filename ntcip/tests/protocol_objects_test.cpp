// The protocols subtree and community security: CHAP rows, group-address encoding, the
// community table's bounds, and refused values that store nothing.

#include "ntcip/protocol_objects.h"

#include <gtest/gtest.h>

#include <string>

#include "database/db_services.h"
#include "database/factory_defaults.h"
#include "database/global_database.h"
#include "database/object_ids.h"
#include "mib_test_client.h"
#include "ntcip/snmp_pdu.h"

namespace {

const std::string kProtocols = "1.3.6.1.4.1.1206.4.1";
const std::string kChapName = kProtocols + ".1.1.2.1.1.";
const std::string kChapSecret = kProtocols + ".1.1.2.1.2.";
const std::string kGroupIndex = kProtocols + ".2.3.2.1.1.";
const std::string kGroupEncoded = kProtocols + ".2.3.2.1.2.";
const std::string kGroupNumber = kProtocols + ".2.3.2.1.3.";
const std::string kSecurity = "1.3.6.1.4.1.1206.4.2.6.5";
const std::string kAdmin = kSecurity + ".1.0";
const std::string kCommunityIndex = kSecurity + ".3.1.1.";
const std::string kCommunityUser = kSecurity + ".3.1.2.";
const std::string kCommunityMask = kSecurity + ".3.1.3.";

class ProtocolObjectsTest : public ::testing::Test {
protected:
    void SetUp() override {
        global_volatile_defaults(g_DataBase);
        for (uint32_t row = 0; row < dbo::pmppGroupAddress.rows; ++row) {
            g_DataBase.Set(dbo::pmppGroupAddress, 0, 0, row);
        }
        g_DataBase.SetText(dbo::chapName, "dms", 3, 0);
        g_DataBase.SetText(dbo::communityNameAdmin, "quartermaster", 13, 0);
    }
    mib_test::MibClient mib;
};

TEST_F(ProtocolObjectsTest, ScalarsAnswerTheirObjects) {
    EXPECT_EQ(mib.Get(kProtocols + ".1.1.1.0").word, 1u) << "chapSecretsMax";
    EXPECT_EQ(mib.Get(kProtocols + ".1.7.1.1.0").word, 2050u) << "snmpMaxPacketSize";
    ASSERT_EQ(mib.SetInt(kProtocols + ".2.2.1.0", 65535).error, 0u) << "pmppConfigWord";
    EXPECT_EQ(mib.Get(kProtocols + ".2.2.1.0").word, 65535u);
    EXPECT_EQ(mib.Get(kSecurity + ".2.0").word, 100u) << "communityNamesMax";
    EXPECT_EQ(mib.Get(kAdmin).text, "quartermaster");
}

TEST_F(ProtocolObjectsTest, ChapTableHasOneRow) {
    EXPECT_EQ(mib.Get(kChapName + "1").text, "dms");
    EXPECT_EQ(mib.Get(kChapName + "2").error, uint32_t{kSnmpNoSuchName});
    EXPECT_EQ(mib.Get(kChapName + "0").error, uint32_t{kSnmpNoSuchName});
    ASSERT_EQ(mib.SetText(kChapSecret + "1", std::string(40, 's')).error, 0u)
        << "the secret has no bound";
    EXPECT_EQ(mib.Get(kChapSecret + "1").text, std::string(40, 's'));
    EXPECT_EQ(mib.GetNext(kChapName + "1").name, kChapSecret + "1");
}

TEST_F(ProtocolObjectsTest, ChapNameFitsTheLinkField) {
    ASSERT_EQ(mib.SetText(kChapName + "1", std::string(31, 'n')).error, 0u);
    EXPECT_EQ(std::string(db_get_chap_name()), std::string(31, 'n'));
    EXPECT_EQ(mib.SetText(kChapName + "1", std::string(32, 'x')).error, uint32_t{kSnmpBadValue});
    EXPECT_EQ(mib.Get(kChapName + "1").text, std::string(31, 'n')) << "nothing stored";
}

TEST_F(ProtocolObjectsTest, GroupAddressEncoding) {
    struct Case {
        std::string oid;
        uint32_t set;
        uint32_t error;
        uint32_t stored;   // station number in the object
        uint32_t encoded;  // hdlcGroupAddress read back
    };
    const Case cases[] = {
        {kGroupEncoded + "3", 131, 0, 32, 131}, {kGroupEncoded + "1", 5, 0, 1, 7},
        {kGroupEncoded + "1", 0, 0, 0, 0},      {kGroupEncoded + "1", 0xFFFFFFFF, 0, 63, 255},
        {kGroupNumber + "2", 62, 0, 62, 251},   {kGroupNumber + "2", 63, kSnmpBadValue, 0, 0},
    };
    for (const Case& c : cases) {
        SetUp();
        const uint32_t row = std::stoul(c.oid.substr(c.oid.rfind('.') + 1));
        EXPECT_EQ(mib.SetInt(c.oid, c.set).error, c.error) << c.oid << " := " << c.set;
        EXPECT_EQ(g_DataBase.Get(dbo::pmppGroupAddress, row - 1), c.stored) << c.oid;
        EXPECT_EQ(mib.Get(kGroupEncoded + std::to_string(row)).word, c.encoded) << c.oid;
        EXPECT_EQ(mib.Get(kGroupNumber + std::to_string(row)).word, c.stored) << c.oid;
    }
}

TEST_F(ProtocolObjectsTest, GroupAddressWithBitZeroClearIsRefused) {
    ASSERT_EQ(mib.SetInt(kGroupEncoded + "1", 131).error, 0u);
    for (uint32_t bad : {4u, 130u, 0xFFFFFFFEu}) {
        EXPECT_EQ(mib.SetInt(kGroupEncoded + "1", bad).error, uint32_t{kSnmpBadValue}) << bad;
        EXPECT_EQ(mib.Get(kGroupNumber + "1").word, 32u) << "row unchanged after " << bad;
    }
}

TEST_F(ProtocolObjectsTest, GroupLookupSeesTheStoredNumber) {
    EXPECT_EQ(db_find_group_address(62), 0);
    ASSERT_EQ(mib.SetInt(kGroupNumber + "2", 62).error, 0u);
    EXPECT_EQ(db_find_group_address(62), 255);
}

TEST_F(ProtocolObjectsTest, GroupTableRows) {
    EXPECT_EQ(mib.Get(kGroupIndex + "10").word, 10u);
    EXPECT_EQ(mib.Get(kGroupIndex + "11").error, uint32_t{kSnmpNoSuchName});
    EXPECT_EQ(mib.GetNext(kGroupIndex + "10").name, kGroupEncoded + "1");
    EXPECT_EQ(mib.SetInt(kGroupEncoded + "11", 7).error, uint32_t{kSnmpNoSuchName});
}

TEST_F(ProtocolObjectsTest, CommunityTable) {
    EXPECT_EQ(mib.Get(kCommunityIndex + "57").word, 57u);
    EXPECT_EQ(mib.Get(kCommunityIndex + "101").error, uint32_t{kSnmpNoSuchName});
    EXPECT_EQ(mib.Get(kCommunityIndex + "0").error, uint32_t{kSnmpNoSuchName});
    EXPECT_EQ(mib.GetNext(kCommunityIndex + "100").name, kCommunityUser + "1");

    ASSERT_EQ(mib.SetText(kCommunityUser + "2", "operator").error, 0u);
    ASSERT_EQ(mib.SetInt(kCommunityMask + "2", 0x2000000, 0xFFFFFFFF, kSnmpGauge).error, 0u);
    uint32_t mask = 0;
    EXPECT_EQ(db_community_access("operator", &mask), 1) << "in force at the next request";
    EXPECT_EQ(mask, 0x2000000u);
    ASSERT_EQ(mib.SetText(kAdmin, "newadmin1").error, 0u);
    EXPECT_EQ(db_community_access("newadmin1", &mask), 2);
    EXPECT_EQ(db_community_access("quartermaster", &mask), 0);
}

TEST_F(ProtocolObjectsTest, CommunityNamesOutsideTheirLengthsStoreNothing) {
    ASSERT_EQ(mib.SetText(kCommunityUser + "3", "station").error, 0u);
    const struct {
        std::string oid;
        std::string text;
    } cases[] = {
        {kAdmin, "short7c"},
        {kAdmin, std::string(17, 'a')},
        {kCommunityUser + "3", "five5"},
        {kCommunityUser + "3", std::string(17, 'u')},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(mib.SetText(c.oid, c.text).error, uint32_t{kSnmpBadValue}) << c.text;
    }
    EXPECT_EQ(mib.Get(kAdmin).text, "quartermaster");
    EXPECT_EQ(mib.Get(kCommunityUser + "3").text, "station");
}

TEST_F(ProtocolObjectsTest, GroupMaskOfARowGatesItsSet) {
    EXPECT_EQ(mib.SetInt(kGroupEncoded + "4", 7, 0x1).error, uint32_t{kSnmpNoSuchName});
    EXPECT_EQ(mib.SetInt(kGroupEncoded + "4", 7, 0x2000001).error, 0u);
    EXPECT_EQ(mib.Get(kGroupNumber + "4").word, 1u);
    EXPECT_EQ(mib.SetInt(kProtocols + ".2.2.1.0", 9, 0x2000000).error, uint32_t{kSnmpNoSuchName})
        << "pmppConfigWord is group 0x4000000";
}

}  // namespace
