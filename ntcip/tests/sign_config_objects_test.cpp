// The sign's configuration scalars: exact instances, the write-enable switch, the store's own
// checks instead of the row's range, change notices, and wrong value types on open rows.

#include <gtest/gtest.h>

#include <string>

#include "database/global_database.h"
#include "database/object_ids.h"
#include "database/recording_notify_sink.h"
#include "mib_test_client.h"
#include "ntcip/mib_engine.h"
#include "runtime/letter_id.h"

namespace {

const std::string kDms = "1.3.6.1.4.1.1206.4.2.3";
const std::string kSignAccess = kDms + ".1.1.0";
const std::string kSignType = kDms + ".1.2.0";
const std::string kLegend = kDms + ".1.7.0";
const std::string kTechnology = kDms + ".1.9.0";
const std::string kSignHeightPixels = kDms + ".2.3.0";
const std::string kMonochrome = kDms + ".2.7.0";

class SignConfigObjects : public ::testing::Test {
protected:
    void SetUp() override {
        g_DataBase.Set(dbo::dmsSignType, 3, kDbReplayFlags);
        g_DataBase.Set(dbo::dmsSignAccess, 1, kDbReplayFlags);
        g_DataBase.Set(dbo::vmsSignHeightPixels, 48, kDbReplayFlags);
        g_DataBase.Set(dbo::dmsLegend, 2, kDbReplayFlags);
        g_DataBase.Set(dbo::dmsSignTechnology, 2, kDbReplayFlags);
        g_DataBase.SetText(dbo::monochromeColor, "\xFF\xB4\x00", 3, kDbReplayFlags);
        MibSetWriteEnable(2);
    }
    void TearDown() override {
        MibSetWriteEnable(1);
        g_DataBase.SetNotifySink(nullptr);
        g_DataBase.SetNotificationEnabled(false);
    }
    mib_test::MibClient mib;
};

TEST_F(SignConfigObjects, OnlyTheExactInstanceExists) {
    const struct {
        std::string oid;
        uint32_t error;
        uint32_t word;
    } cases[] = {
        {kSignType, 0, 3},
        {kSignType + ".1", kSnmpNoSuchName, 0},
        {kSignAccess + ".1", kSnmpNoSuchName, 0},
        {kDms + ".1.2", kSnmpNoSuchName, 0},
        {kDms + ".1.10.0", kSnmpNoSuchName, 0},
        {kLegend, 0, 2},
        {kTechnology, 0, 2},
    };
    for (const auto& c : cases) {
        const mib_test::Result r = mib.Get(c.oid);
        EXPECT_EQ(r.error, c.error) << c.oid;
        EXPECT_EQ(r.word, c.word) << c.oid;
    }
    EXPECT_EQ(mib.GetNext(kSignAccess).name, kSignType);
    EXPECT_EQ(mib.GetNext(kDms + ".1.9.0").name, kDms + ".2.1.0");
    const mib_test::Result colour = mib.Get(kMonochrome);
    EXPECT_EQ(colour.text, std::string("\xFF\xB4\x00", 3)) << "stored octets, stored length";
}

TEST_F(SignConfigObjects, WriteEnabledRowsOpenOnlyWithTheSwitch) {
    MibSetWriteEnable(1);
    EXPECT_EQ(mib.SetInt(kSignAccess, 5).error, uint32_t{kSnmpNoSuchName});
    EXPECT_EQ(g_DataBase.Get(dbo::dmsSignAccess), 1u);
    MibSetWriteEnable(2);
    EXPECT_EQ(mib.SetInt(kSignAccess, 5).word, 5u);
    EXPECT_EQ(g_DataBase.Get(dbo::dmsSignAccess), 5u);
}

TEST_F(SignConfigObjects, OpenRowsSkipTheRangeButNotTheType) {
    // The row's range is the engine's; once open only the store judges.
    EXPECT_EQ(mib.SetInt(kSignType, 7).error, 0u);
    EXPECT_EQ(g_DataBase.Get(dbo::dmsSignType), 7u);
    EXPECT_EQ(mib.SetInt(kSignHeightPixels, 4).error, 0u);
    EXPECT_EQ(g_DataBase.Get(dbo::vmsSignHeightPixels), 4u);
    // A value of another type is refused, and the stale staged word is not stored.
    for (const std::string& oid : {kSignType, kSignHeightPixels}) {
        const uint32_t before = oid == kSignType ? g_DataBase.Get(dbo::dmsSignType)
                                                 : g_DataBase.Get(dbo::vmsSignHeightPixels);
        EXPECT_EQ(mib.SetInt(oid, 9, 0xFFFFFFFF, kSnmpOctetString).error, uint32_t{kSnmpBadValue})
            << oid;
        const uint32_t after = oid == kSignType ? g_DataBase.Get(dbo::dmsSignType)
                                                : g_DataBase.Get(dbo::vmsSignHeightPixels);
        EXPECT_EQ(after, before) << oid;
    }
}

TEST_F(SignConfigObjects, ReadOnlyObjectsRefuseEverySet) {
    for (const std::string& oid : {kLegend, kTechnology}) {
        EXPECT_EQ(mib.SetInt(oid, 1).error, uint32_t{kSnmpNoSuchName}) << oid;
    }
    EXPECT_EQ(mib.SetText(kMonochrome, "abc").error, uint32_t{kSnmpNoSuchName});
    EXPECT_EQ(g_DataBase.Get(dbo::dmsLegend), 2u);
}

TEST_F(SignConfigObjects, SignTypeNoticeOnChangeOnly) {
    RecordingNotifySink sink;
    g_DataBase.SetNotifySink(&sink);
    g_DataBase.SetNotificationEnabled(true);
    auto fontLetters = [&] {
        int n = 0;
        for (uint32_t letter : sink.Letters()) {
            n += letter == kLetterFontsChanged ? 1 : 0;
        }
        return n;
    };
    ASSERT_EQ(mib.SetInt(kSignType, 3).error, 0u);
    EXPECT_EQ(fontLetters(), 0) << "its own value: no letter";
    ASSERT_EQ(mib.SetInt(kSignType, 4).error, 0u);
    EXPECT_EQ(fontLetters(), 1);
    EXPECT_EQ(uint32_t{kLetterFontsChanged}, 96u);
    sink.Clear();
    ASSERT_EQ(mib.SetInt(kSignAccess, 9).error, 0u);
    EXPECT_NE(sink.Flags() & 0x40000000u, 0u) << "configuration reload bit";
}

}  // namespace
