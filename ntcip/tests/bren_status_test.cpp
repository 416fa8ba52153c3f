// The private branch's transfer, status and pixel test result objects: block bounds, the
// file-transfer step after a status set, and the row bounds of the registry and sensor tables.

#include "ntcip/bren_status.h"

#include <gtest/gtest.h>

#include <string>

#include "database/global_database.h"
#include "database/object_ids.h"
#include "mib_test_client.h"

namespace {

const std::string kBren = "1.3.6.1.4.1.1206.3.47";
const std::string kTransferStatus = kBren + ".4.1.0";
const std::string kTransferBlock = kBren + ".4.5.0";
const std::string kChunk = kBren + ".11.3.1.3.";

int g_polls = 0;
uint32_t g_status_seen = 0;

void CountingPoll() {
    ++g_polls;
    g_status_seen = g_DataBase.Get(dbo::brenFileTransferStatus);
}

class BrenStatusTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_polls = 0;
        BrenSetFileTransferPoll(&CountingPoll);
    }
    void TearDown() override { BrenSetFileTransferPoll(nullptr); }
    mib_test::MibClient mib;
};

TEST_F(BrenStatusTest, StatusSetRunsOneTransferStep) {
    ASSERT_EQ(mib.SetInt(kTransferStatus, 3).error, 0u);
    EXPECT_EQ(g_polls, 1) << "commit pass only";
    EXPECT_EQ(g_status_seen, 3u) << "after the value is stored";
    ASSERT_EQ(mib.SetInt(kBren + ".4.4.0", 7).error, 0u);
    EXPECT_EQ(mib.Get(kTransferStatus).word, 3u);
    EXPECT_EQ(g_polls, 1) << "other columns and gets do not step it";
    EXPECT_EQ(mib.SetInt(kTransferStatus, 15).error, uint32_t{kSnmpBadValue});
    EXPECT_EQ(g_polls, 1);
}

TEST_F(BrenStatusTest, BlockTakesUpTo1024Octets) {
    const std::string full(1024, '\x5A');
    ASSERT_EQ(mib.SetText(kTransferBlock, full).error, 0u);
    EXPECT_EQ(mib.Get(kTransferBlock).text, full);
    EXPECT_EQ(mib.SetText(kTransferBlock, std::string(1025, 'x')).error, uint32_t{kSnmpBadValue});
    EXPECT_EQ(mib.Get(kTransferBlock).text, full) << "nothing stored";
}

TEST_F(BrenStatusTest, RegistryAndSensorRowBounds) {
    g_DataBase.SetText(dbo::pixelTestResultChunk, "last", 4, 0, 26 * 63 - 1);
    EXPECT_EQ(mib.Get(kChunk + "26.63").text, "last");
    const std::string absent[] = {kChunk + "27.1",        kChunk + "1.64",
                                  kChunk + "0.1",         kChunk + "1.0",
                                  kBren + ".5.10.1.2.5",  kBren + ".5.10.1.2.0",
                                  kBren + ".11.2.1.2.27", kBren + ".11.6.1.2.3"};
    for (const std::string& oid : absent) {
        EXPECT_EQ(mib.Get(oid).error, uint32_t{kSnmpNoSuchName}) << oid;
    }
    g_DataBase.Set(dbo::brenSensorValue, 812, 0, 3);
    EXPECT_EQ(mib.Get(kBren + ".5.10.1.2.4").word, 812u);
    EXPECT_EQ(mib.Get(kBren + ".5.10.1.1.4").word, 4u);
    EXPECT_EQ(mib.GetNext(kChunk + "1.63").name, kChunk + "2.1");
    EXPECT_EQ(mib.GetNext(kBren + ".11.3.1.2.26.63").name, kChunk + "1.1");
}

TEST_F(BrenStatusTest, PlainRows) {
    g_DataBase.Set(dbo::brenSensorPercent, 95, 0, 2);
    EXPECT_EQ(mib.Get(kBren + ".5.9.0").word, 95u) << "third percentage";
    const std::string text(1500, 'r');
    ASSERT_EQ(mib.SetText(kBren + ".6.2.0", text).error, 0u) << "remote text has no bound";
    EXPECT_EQ(mib.Get(kBren + ".6.2.0").text, text);
    EXPECT_EQ(mib.SetInt(kBren + ".3.2.0", 4).error, uint32_t{kSnmpBadValue});
    ASSERT_EQ(mib.SetText(kBren + ".3.1.0", "5551234").error, 0u);
    EXPECT_EQ(mib.Get(kBren + ".3.1.0").text, "5551234");
    EXPECT_EQ(mib.SetText(kBren + ".9.1.0", "x").error, uint32_t{kSnmpNoSuchName}) << "ro";
    ASSERT_EQ(mib.SetInt(kBren + ".5.5.0", 4321).error, 0u);
    EXPECT_EQ(g_DataBase.Get(dbo::brenLCDPassword), 4321u);
}

}  // namespace
