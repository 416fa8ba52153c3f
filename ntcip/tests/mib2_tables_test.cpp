// The MIB-II groups beyond system and snmp: instances of each table, the shared port speed with
// its per-port lists, columns that answer no instance, and the network-settings flag.

#include "ntcip/mib2_tables.h"

#include <gtest/gtest.h>

#include <string>

#include "database/factory_defaults.h"
#include "database/global_database.h"
#include "database/object_ids.h"
#include "mib_test_client.h"
#include "ntcip/mib_engine.h"
#include "ntcip/sign_control_objects.h"

namespace {

const std::string kMib2 = "1.3.6.1.2.1";
const std::string kIfEntry = kMib2 + ".2.2.1";
const std::string kIpRoute = kMib2 + ".4.21.1";
const std::string kLapbOper = kMib2 + ".10.16.2.1";
const std::string kPortEntry = kMib2 + ".10.33.2.1";
const std::string kInSpeed = kPortEntry + ".5";
const std::string kOutSpeed = kPortEntry + ".6";

class Mib2Tables : public ::testing::Test {
protected:
    void SetUp() override {
        mib2_volatile_defaults(g_DataBase);
        for (uint32_t p = 0; p < 5; ++p) {
            g_DataBase.Set(dbo::rs232PortInSpeed, 38400, kDbReplayFlags, p);
        }
        g_DataBase.Set(dbo::rs232Number, 5, kDbReplayFlags);
        g_NetworkSettingsChanged = 0;
    }
    void TearDown() override { MibSetWriteEnable(1); }
    mib_test::MibClient mib;
};

TEST_F(Mib2Tables, TablesServeTheirInstancesOnly) {
    const struct {
        std::string oid;
        uint32_t error;
        uint32_t word;
    } cases[] = {
        {kMib2 + ".2.1.0", 0, 1},   // ifNumber
        {kIfEntry + ".1.1", 0, 1},  // ifIndex.1
        {kIfEntry + ".1.2", kSnmpNoSuchName, 0},
        {kIfEntry + ".2.2", kSnmpNoSuchName, 0},
        {kIfEntry + ".4.1", 0, 1518},  // ifMtu.1
        {kIfEntry + ".1.0", kSnmpNoSuchName, 0},
        {kMib2 + ".4.20.1.1.1", 0, 0},  // ipAdEntAddr.1
        {kMib2 + ".4.20.1.1.2", kSnmpNoSuchName, 0},
        {kIpRoute + ".8.1", 0, 1},                        // ipRouteType.1
        {kMib2 + ".4.22.1.1.1", kSnmpNoSuchName, 0},      // ipNetToMedia answers nothing
        {kMib2 + ".10.7.2.1.1.1", 0, 1},                  // dot3StatsIndex.1
        {kMib2 + ".10.7.5.1.3.1.1", kSnmpNoSuchName, 0},  // dot3CollFrequencies
        {kMib2 + ".10.16.1.1.1.5", 0, 5},                 // LAPB admin column 1, port 5
        {kMib2 + ".10.16.1.1.1.6", kSnmpNoSuchName, 0},
        {kMib2 + ".10.33.1.0", 0, 5},  // rs232Number
        {kPortEntry + ".1.5", 0, 5},
        {kPortEntry + ".1.6", kSnmpNoSuchName, 0},
        {kMib2 + ".10.33.3.1.1.3", 0, 3},  // rs232AsyncPortIndex.3
        {kMib2 + ".4.1.0", 0, g_DataBase.Get(dbo::ipForwarding)},
        {kMib2 + ".4.23.0", 0, 0},  // ipRoutingDiscards
        {kMib2 + ".4.23.1", kSnmpNoSuchName, 0},
    };
    for (const auto& c : cases) {
        const mib_test::Result r = mib.Get(c.oid);
        EXPECT_EQ(r.error, c.error) << c.oid;
        EXPECT_EQ(r.word, c.word) << c.oid;
    }
    EXPECT_EQ(mib.Get(kIfEntry + ".2.1").text, "Ethernet Port");
}

TEST_F(Mib2Tables, GetNextSkipsWhatAnswersNoInstance) {
    const struct {
        std::string from;
        std::string next;
    } cases[] = {
        {kIpRoute + ".13.1", kMib2 + ".4.23.0"},       // ipRoutingDiscards sorts after the tables
        {kMib2 + ".4.23.0", kMib2 + ".10.7.2.1.1.1"},  // over ipNetToMedia
        {kMib2 + ".4.19.0", kMib2 + ".4.20.1.1.1"},
        {kMib2 + ".10.7.2.1.17.1", kMib2 + ".10.16.1.1.1.1"},  // over dot3Coll
        {kLapbOper + ".1.5", kLapbOper + ".13.1"},  // oper columns 4 and 5 are not walked into
        {kIfEntry + ".1.1", kIfEntry + ".2.1"},
        {kMib2 + ".2.1.0", kIfEntry + ".1.1"},
        {kMib2 + ".3", kMib2 + ".4.1.0"},  // address translation is not served
        {kPortEntry + ".6.5", kMib2 + ".10.33.3.1.1.1"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(mib.GetNext(c.from).name, c.next) << c.from;
    }
}

TEST_F(Mib2Tables, PortSpeedStoresOnlyWhatThePortSupports) {
    const struct {
        uint32_t port;
        uint32_t speed;
        bool stored;
    } cases[] = {
        {1, 9600, true},   {1, 1200, false},  {1, 115200, true},  {1, 56000, false},
        {2, 1200, true},   {2, 512000, true}, {2, 57600, false},  {3, 38400, true},
        {3, 57600, false}, {4, 128000, true}, {4, 115200, false}, {5, 9600, false},
        {1, 0, false},     {3, 19200, true},
    };
    for (const auto& c : cases) {
        for (const std::string& column : {kInSpeed, kOutSpeed}) {
            g_DataBase.Set(dbo::rs232PortInSpeed, 4800, kDbReplayFlags, c.port - 1);
            const std::string oid = column + "." + std::to_string(c.port);
            const mib_test::Result r = mib.SetInt(oid, c.speed);
            const uint32_t expected = c.stored ? c.speed : 4800;
            EXPECT_EQ(r.error, 0u) << oid << " := " << c.speed;
            EXPECT_EQ(r.word, expected) << oid << " := " << c.speed;
            EXPECT_EQ(mib.Get(kInSpeed + "." + std::to_string(c.port)).word, expected);
            EXPECT_EQ(mib.Get(kOutSpeed + "." + std::to_string(c.port)).word, expected);
        }
    }
    EXPECT_EQ(mib.SetInt(kInSpeed + ".6", 9600).error, uint32_t{kSnmpNoSuchName});
}

TEST_F(Mib2Tables, CommittedAddressSetsMarkTheNetworkChanged) {
    const struct {
        std::string oid;
        uint16_t syntax;
        bool network;
    } cases[] = {
        {kMib2 + ".4.20.1.1.1", kSnmpIpAddress, true},  // ipAdEntAddr
        {kMib2 + ".4.20.1.3.1", kSnmpIpAddress, true},  // ipAdEntNetMask
        {kIpRoute + ".1.1", kSnmpIpAddress, true},      // ipRouteDest
        {kIpRoute + ".7.1", kSnmpIpAddress, false},     // ipRouteNextHop
        {kIpRoute + ".11.1", kSnmpIpAddress, false},    // ipRouteMask
        {kIpRoute + ".3.1", kSnmpInteger, false},       // ipRouteMetric1
    };
    MibSetWriteEnable(2);  // the address and mask are write-enabled rows
    for (const auto& c : cases) {
        g_NetworkSettingsChanged = 0;
        const mib_test::Result r = mib.SetInt(c.oid, 0x0A000001, 0xFFFFFFFF, c.syntax);
        EXPECT_EQ(r.error, 0u) << c.oid;
        EXPECT_EQ(r.word, 0x0A000001u) << c.oid;
        EXPECT_EQ(mib.Get(c.oid).word, 0x0A000001u) << c.oid;
        EXPECT_EQ(g_NetworkSettingsChanged, c.network ? 1 : 0) << c.oid;
    }
}

TEST_F(Mib2Tables, WritableRowsThatStoreNothingKeepTheirValue) {
    const struct {
        std::string oid;
        uint32_t error;
        uint32_t word;
    } cases[] = {
        {kMib2 + ".10.16.1.1.9.2", 0, 0},  // LAPB admin column 9 accepts and keeps
        {kLapbOper + ".4.1", 0, 0},
        {kLapbOper + ".1.1", kSnmpNoSuchName, 1},  // read-only
        {kIfEntry + ".8.1", kSnmpNoSuchName, 1},   // ifOperStatus
        {kMib2 + ".4.13.0", kSnmpNoSuchName, 0},   // ipReasmTimeout
    };
    for (const auto& c : cases) {
        const mib_test::Result r = mib.SetInt(c.oid, 2);
        EXPECT_EQ(r.error, c.error) << c.oid;
        EXPECT_EQ(mib.Get(c.oid).word, c.word) << c.oid;
    }
    EXPECT_EQ(mib.SetInt(kMib2 + ".4.3.0", 2).error, uint32_t{kSnmpBadValue}) << "a Counter row";
    EXPECT_EQ(mib.SetInt(kIfEntry + ".7.1", 2).word, 2u) << "ifAdminStatus stores";
    EXPECT_EQ(mib.SetInt(kIfEntry + ".7.1", 4).error, uint32_t{kSnmpBadValue});
    EXPECT_EQ(mib.Get(kIfEntry + ".7.1").word, 2u);
    EXPECT_EQ(mib.SetInt(kIfEntry + ".5.1", 9600, 0xFFFFFFFF, kSnmpGauge).error,
              uint32_t{kSnmpNoSuchName})
        << "ifSpeed is closed until write-enabled";
    MibSetWriteEnable(2);
    EXPECT_EQ(mib.SetInt(kIfEntry + ".5.1", 9600, 0xFFFFFFFF, kSnmpGauge).word, 9600u);
    EXPECT_EQ(g_DataBase.Get(dbo::ifSpeed), 9600u);
}

}  // namespace
