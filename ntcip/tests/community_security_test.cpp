// Community security through request processing: user communities read but never see the
// credentials, sets need a shared group bit, and an edited community is in force at once.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "database/global_database.h"
#include "database/object_ids.h"
#include "database/oid_access.h"
#include "mib_test_client.h"
#include "ntcip/snmp_agent.h"
#include "ntcip/snmp_process.h"

namespace {

const std::string kAdminOid = "1.3.6.1.4.1.1206.4.2.6.5.1.0";
const std::string kChapSecretOid = "1.3.6.1.4.1.1206.4.1.1.1.2.1.2.1";
const std::string kUserOid = "1.3.6.1.4.1.1206.4.2.6.5.3.1.2.2";
const std::string kMaskOid = "1.3.6.1.4.1.1206.4.2.6.5.3.1.3.2";
const std::string kGroupOid = "1.3.6.1.4.1.1206.4.1.2.3.2.1.2.1";  // group mask 0x2000000
const std::string kContactOid = "1.3.6.1.2.1.1.4.0";

int SendNothing(snmp_agent*, uint32_t, uint32_t, uint8_t*, uint32_t*) {
    return 0;
}

class CommunitySecurityTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_DataBase.SetText(dbo::communityNameAdmin, "quartermaster", 13, 0);
        for (uint32_t row = 0; row < dbo::communityNameUser.rows; ++row) {
            g_DataBase.SetText(dbo::communityNameUser, "", 0, 0, row);
            g_DataBase.Set(dbo::communityNameAccessMask, 0, 0, row);
        }
        agent_->transmit_buffer = transmit_.data();
        agent_->receive_buffer = receive_.data();
        agent_->net_driver = &SendNothing;
    }

    // One varbind through request processing; the response's error status.
    uint32_t Request(const char* community, uint32_t type, const std::string& oid,
                     uint16_t syntax = kSnmpNull, uint32_t word = 0, const std::string& text = "") {
        *pdu_ = snmp_pdu{};
        pdu_->type = type;
        pdu_->count = 1;
        snmp_object& v = pdu_->varbinds[0];
        size_t count = 0;
        OidParse(oid.data(), oid.size(), v.name, &count);
        v.name_length = static_cast<uint32_t>(count);
        v.syntax = syntax;
        if (syntax == kSnmpOctetString) {
            std::memcpy(v.octets(), text.data(), text.size());
            v.value_length = static_cast<uint32_t>(text.size());
        } else if (syntax != kSnmpNull) {
            v.value[0] = word;
            v.value_length = 4;
        }
        snmp_process(agent_.get(), 0, 0, community, 0, "", "", 0, pdu_.get(), 0);
        return pdu_->request.error_status;
    }
    uint32_t Get(const char* community, const std::string& oid) {
        return Request(community, kSnmpGetRequest, oid);
    }
    uint32_t SetInt(const char* community, const std::string& oid, uint32_t value,
                    uint16_t syntax = kSnmpInteger) {
        return Request(community, kSnmpSetRequest, oid, syntax, value);
    }
    uint32_t SetText(const char* community, const std::string& oid, const std::string& text) {
        return Request(community, kSnmpSetRequest, oid, kSnmpOctetString, 0, text);
    }

    mib_test::MibClient mib;  // links the MIB
    std::unique_ptr<snmp_agent> agent_ = std::make_unique<snmp_agent>();
    std::unique_ptr<snmp_pdu> pdu_ = std::make_unique<snmp_pdu>();
    std::vector<uint8_t> transmit_ = std::vector<uint8_t>(kSnmpMessageBufferSize);
    std::vector<uint8_t> receive_ = std::vector<uint8_t>(kSnmpMessageBufferSize);
};

TEST_F(CommunitySecurityTest, AdministratorFillsAUserRowThatThenGatesItsSets) {
    ASSERT_EQ(SetText("quartermaster", kUserOid, "operator"), 0u);
    EXPECT_EQ(Get("operator", kContactOid), 0u) << "a user with mask 0 reads";
    EXPECT_EQ(SetText("operator", kContactOid, "x"), uint32_t{kSnmpNoSuchName});
    EXPECT_EQ(SetInt("operator", kGroupOid, 7), uint32_t{kSnmpNoSuchName});

    ASSERT_EQ(SetInt("quartermaster", kMaskOid, 0x2000001, kSnmpGauge), 0u);
    EXPECT_EQ(SetInt("operator", kGroupOid, 7), 0u) << "shares bit 0x2000000";
    EXPECT_EQ(g_DataBase.Get(dbo::pmppGroupAddress, 0), 1u);
    EXPECT_EQ(SetInt("operator", "1.3.6.1.4.1.1206.4.1.2.2.1.0", 9), uint32_t{kSnmpNoSuchName})
        << "pmppConfigWord is group 0x4000000";
}

TEST_F(CommunitySecurityTest, UsersNeverSeeTheCredentials) {
    ASSERT_EQ(SetText("quartermaster", kUserOid, "operator"), 0u);
    ASSERT_EQ(SetInt("quartermaster", kMaskOid, 0xFFFFFFFF, kSnmpGauge), 0u);
    EXPECT_EQ(Get("operator", kAdminOid), uint32_t{kSnmpNoSuchName});
    EXPECT_EQ(Get("operator", kChapSecretOid), uint32_t{kSnmpNoSuchName});
    EXPECT_EQ(SetText("operator", kAdminOid, "takeover1"), uint32_t{kSnmpNoSuchName});
    EXPECT_EQ(Get("quartermaster", kAdminOid), 0u);
    EXPECT_EQ(Get("quartermaster", kChapSecretOid), 0u);
}

TEST_F(CommunitySecurityTest, ChangedAdministratorIsInForceAtTheNextRequest) {
    ASSERT_EQ(SetText("quartermaster", kAdminOid, "lighthouse"), 0u);
    EXPECT_EQ(Get("lighthouse", kAdminOid), 0u);
    EXPECT_EQ(pdu_->varbinds[0].value_length, 10u);
    const uint32_t bad = g_DataBase.Get(dbo::snmpInBadCommunityNames);
    Get("quartermaster", kContactOid);
    EXPECT_EQ(g_DataBase.Get(dbo::snmpInBadCommunityNames), bad + 1) << "the old name is unknown";
    EXPECT_EQ(SetText("lighthouse", kAdminOid, "short"), uint32_t{kSnmpBadValue});
    ASSERT_EQ(SetText("lighthouse", kAdminOid, "quartermaster"), 0u);
}

}  // namespace
