// The private branch's configuration scalars and tables: activation by number, the access mode of
// the conditional rows, serial numbers, flash figures, the peripheral edit gate, ports and the
// two-index colour-bit rows.

#include <gtest/gtest.h>

#include <string>

#include "database/global_database.h"
#include "database/object_ids.h"
#include "database/oid_access.h"
#include "mib_test_client.h"
#include "ntcip/bren_config.h"
#include "ntcip/mib_oid_engine.h"
#include "render/msg_activation_code.h"

namespace {

const std::string kBren = "1.3.6.1.4.1.1206.3.47";
const std::string kActivate = kBren + ".2.27.0";
const std::string kSplit = kBren + ".2.8.0";
const std::string kRdiLogicalId = kBren + ".2.17.3.0";
const std::string kColourBits = kBren + ".1.2.1.3";
const std::string kPeripheralEdit = kBren + ".2.15.1.0";
const std::string kPeripheralId = kBren + ".2.15.3.1.2.";
const std::string kPeripheralParameters = kBren + ".2.15.3.1.3.";
const std::string kPortSpeed = kBren + ".2.17.2.1.6.";

class BrenObjectsTest : public ::testing::Test {
protected:
    void SetUp() override {
        OidSetEngine(&MibOidEngine());
        g_DataBase.Set(dbo::brenPeripheralListEdit, 2, 0);
        g_DataBase.SetText(dbo::requestCode, "", 0, 0, 6);
    }
    void TearDown() override {
        mib.SetInt(kSplit, 1);
        OidSetEngine(nullptr);
    }
    CMsgActivationCode RequestedCode() {
        uint32_t length = 0;
        const char* raw = g_DataBase.GetText(dbo::requestCode, &length, 6);
        CMsgActivationCode code;
        EXPECT_EQ(length, CMsgActivationCode::kSize);
        code.Unpack(reinterpret_cast<const uint8_t*>(raw));
        return code;
    }
    mib_test::MibClient mib;
};

TEST_F(BrenObjectsTest, ActivationByNumberRequestsSlotSix) {
    const struct {
        uint32_t value;
        uint8_t memory_type;
        uint16_t number;
    } cases[] = {{773, 3, 5}, {196609, 3, 1}, {0xFFF, 15, 255}, {524287, 7, 0xFFFF}};
    for (const auto& c : cases) {
        SetUp();
        ASSERT_EQ(mib.SetInt(kActivate, c.value).error, 0u) << c.value;
        const CMsgActivationCode code = RequestedCode();
        EXPECT_EQ(code.memoryType, c.memory_type) << c.value;
        EXPECT_EQ(code.messageNumber, c.number) << c.value;
        EXPECT_EQ(code.duration, 0xFFFF);
        EXPECT_EQ(code.priority, 255);
        EXPECT_EQ(code.sourceAddress[0], 127);
        EXPECT_EQ(code.crc, 0) << "no message table rows here: the CRC read fails";
        EXPECT_EQ(g_DataBase.Get(dbo::requestSourceMode, 6), 2u);
        EXPECT_EQ(g_DataBase.Get(dbo::requestOrigin, 6), 2u);
    }
}

TEST_F(BrenObjectsTest, ActivationNumbersOutOfRangeRequestNothing) {
    for (uint32_t bad : {0u, 524288u}) {
        EXPECT_EQ(mib.SetInt(kActivate, bad).error, uint32_t{kSnmpBadValue}) << bad;
        uint32_t length = 1;
        g_DataBase.GetText(dbo::requestCode, &length, 6);
        EXPECT_EQ(length, 0u) << bad;
    }
}

TEST_F(BrenObjectsTest, ActivationRowAnswersTheMessageOnDisplay) {
    const uint8_t source[5] = {2, 0, 2, 0x12, 0x34};
    g_DataBase.SetText(dbo::dmsMsgTableSource, source, sizeof source, 0);
    EXPECT_EQ(mib.Get(kActivate).word, 0x20002u);
    EXPECT_EQ(mib.SetInt(kActivate, 773).word, 0x20002u) << "a set answers it too";
}

TEST_F(BrenObjectsTest, StoreSplitSwitchesTheConditionalRows) {
    g_DataBase.Set(dbo::brenRdiLogicalId, 7, 0);
    // A stored 2 (as after a restart) does not enable them: only a set does.
    g_DataBase.Set(dbo::messageStoreSplit, 2, 0);
    EXPECT_EQ(mib.SetInt(kRdiLogicalId, 9).error, uint32_t{kSnmpNoSuchName});
    EXPECT_EQ(mib.Get(kRdiLogicalId).word, 7u);

    ASSERT_EQ(mib.SetInt(kSplit, 2).error, 0u);
    EXPECT_EQ(mib.SetInt(kRdiLogicalId, 9).error, 0u);
    EXPECT_EQ(mib.Get(kRdiLogicalId).word, 9u);
    EXPECT_EQ(mib.SetInt(kRdiLogicalId, 70000).error, 0u) << "no range check while enabled";
    EXPECT_EQ(mib.Get(kRdiLogicalId).word, 9u) << "the 2-octet object refuses it";

    ASSERT_EQ(mib.SetInt(kSplit, 1).error, 0u);
    EXPECT_EQ(mib.SetInt(kRdiLogicalId, 5).error, uint32_t{kSnmpNoSuchName});
    EXPECT_EQ(mib.Get(kRdiLogicalId).word, 9u);
}

TEST_F(BrenObjectsTest, SerialNumbersRewriteTheModuleRows) {
    const auto version = [](uint32_t row) {
        uint32_t length = 0;
        const char* text = g_DataBase.GetText(dbo::moduleVersion, &length, row);
        return std::string(text, length);
    };
    ASSERT_EQ(mib.SetInt(kBren + ".2.28.0", 1234).error, 0u);
    EXPECT_EQ(version(1), "SN: 1234");
    ASSERT_EQ(mib.SetInt(kBren + ".2.29.0", 2147483647).error, 0u);
    EXPECT_EQ(version(6), "SN: 2147483647");
    ASSERT_EQ(mib.SetInt(kBren + ".2.28.0", 0).error, 0u);
    EXPECT_EQ(version(1), "SN: ----");
    EXPECT_EQ(mib.Get(kBren + ".2.28.0").word, 0u);
}

TEST_F(BrenObjectsTest, PlainRowsAndTheirRanges) {
    EXPECT_EQ(mib.SetInt(kBren + ".2.21.5.0", 8080).error, 0u);
    EXPECT_EQ(mib.Get(kBren + ".2.21.5.0").word, 8080u);
    EXPECT_EQ(mib.SetInt(kBren + ".2.21.5.0", 0).error, uint32_t{kSnmpBadValue});
    EXPECT_EQ(mib.Get(kBren + ".2.21.5.0").word, 8080u);
    EXPECT_EQ(mib.SetInt(kBren + ".2.11.0", 63).error, uint32_t{kSnmpBadValue}) << "hdlc gap";
    ASSERT_EQ(mib.SetInt(kBren + ".2.39.0", 77).error, 0u);
    EXPECT_EQ(g_DataBase.Get(dbo::brenLightSensorScale, 1), 77u) << "sensor 2";
    EXPECT_EQ(mib.GetNext(kBren + ".2.37.0").name, kBren + ".2.38.0");
}

TEST(FlashDeadSpace, PercentInSixtyFourBits) {
    const struct {
        uint64_t dead, available;
        uint32_t percent;
    } cases[] = {
        {0, 0, 0},
        {0, 1000, 0},
        {1000, 0, 100},
        {50'000'000, 50'000'000, 50},
        {3'000'000'000ull, 1'000'000'000ull, 75},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FlashDeadSpacePercent(c.dead, c.available), c.percent)
            << c.dead << " / " << c.available;
    }
}

TEST_F(BrenObjectsTest, FlashFiguresAreComputedAtEachRead) {
    g_DataBase.Set(dbo::brenFlashDeadSpace, 55, 0);
    const uint32_t answered = mib.Get(kBren + ".2.34.0").word;
    EXPECT_LE(answered, 100u);
    EXPECT_EQ(g_DataBase.Get(dbo::brenFlashDeadSpace), answered) << "stored as answered";
    EXPECT_LE(mib.Get(kBren + ".2.35.0").word, 100u);
}

TEST_F(BrenObjectsTest, PeripheralListTakesEditsOnlyWhileEditing) {
    g_DataBase.Set(dbo::brenPeripheralID, 12, 0, 6);
    g_DataBase.SetText(dbo::brenPeripheralParameters, "CLOCK", 5, 0, 6);
    EXPECT_EQ(mib.SetInt(kPeripheralId + "7", 0).error, uint32_t{kSnmpNoSuchName});
    EXPECT_EQ(mib.Get(kPeripheralId + "7").word, 12u);
    EXPECT_EQ(mib.Get(kPeripheralParameters + "7").text, "CLOCK");

    ASSERT_EQ(mib.SetInt(kPeripheralEdit, 1).error, 0u);
    ASSERT_EQ(mib.SetInt(kPeripheralId + "7", 0).error, 0u);
    EXPECT_EQ(mib.Get(kPeripheralId + "7").word, 0u);
    EXPECT_EQ(mib.Get(kPeripheralParameters + "7").text, "") << "ID 0 empties the entry";
    EXPECT_EQ(mib.SetText(kPeripheralParameters + "7", "LIGHT").error, 0u);
    EXPECT_EQ(mib.Get(kPeripheralId + "256").error, uint32_t{kSnmpNoSuchName});
}

TEST_F(BrenObjectsTest, PortSpeedsAndRowBounds) {
    g_DataBase.Set(dbo::rs232PortInSpeed, 9600, 0, 3);
    g_DataBase.Set(dbo::ifSpeed, 100'000'000, 0);
    EXPECT_EQ(mib.Get(kPortSpeed + "4").word, 9600u);
    EXPECT_EQ(mib.Get(kPortSpeed + "5").word, 100'000'000u);
    ASSERT_EQ(mib.SetInt(kPortSpeed + "5", 10'000'000).error, 0u);
    EXPECT_EQ(g_DataBase.Get(dbo::ifSpeed), 10'000'000u);
    const std::string absent[] = {kPortSpeed + "6", kPortSpeed + "0", kBren + ".2.32.4.1.2.10",
                                  kBren + ".2.18.2.1.2.51", kBren + ".2.30.3.1.2.6"};
    for (const std::string& oid : absent) {
        EXPECT_EQ(mib.Get(oid).error, uint32_t{kSnmpNoSuchName}) << oid;
    }
    ASSERT_EQ(mib.SetInt(kBren + ".2.32.4.1.2.9", 4).error, 0u);
    EXPECT_EQ(g_DataBase.Get(dbo::brenLineLength, 8), 4u);
}

TEST_F(BrenObjectsTest, ColourBitsHaveNoTypeOneRows) {
    g_DataBase.Set(dbo::pixelFailureColorBits, 0x5, 0, 500);  // type 2, row 1
    g_DataBase.Set(dbo::pixelFailureColorBits, 0x3, 0, 1000 + 499);
    EXPECT_EQ(mib.Get(kColourBits + ".1.5").error, uint32_t{kSnmpNoSuchName});
    EXPECT_EQ(mib.Get(kColourBits + ".2.0").error, uint32_t{kSnmpNoSuchName});
    EXPECT_EQ(mib.Get(kColourBits + ".2.501").error, uint32_t{kSnmpNoSuchName});
    EXPECT_EQ(mib.Get(kColourBits + ".3.500").word, 0x3u);
    const mib_test::Result next = mib.GetNext(kColourBits);
    EXPECT_EQ(next.name, kColourBits + ".2.1");
    EXPECT_EQ(next.word, 0x5u);
    EXPECT_EQ(mib.GetNext(kColourBits + ".1.7").name, kColourBits + ".2.1");
    EXPECT_EQ(mib.GetNext(kColourBits + ".2.500").name, kColourBits + ".3.1");
    EXPECT_EQ(mib.GetNext(kBren + ".1.2.1.2.3.500").name, kColourBits + ".2.1");
}

}  // namespace
