// The message group: the table's rows by memory type and number (limits, the permanent rows kept
// in changeable slots, blank rows, the current buffer's volatile copy), the store's refusals as
// error statuses, and the computed counts.

#include <gtest/gtest.h>

#include <string>

#include "database/global_database.h"
#include "database/object_ids.h"
#include "mib_test_client.h"
#include "ntcip/mib_engine.h"

namespace {

const std::string kDms = "1.3.6.1.4.1.1206.4.2.3";
const std::string kEntry = kDms + ".5.8.1.";

std::string Cell(int column, int memory_type, int number) {
    return kEntry + std::to_string(column) + "." + std::to_string(memory_type) + "." +
           std::to_string(number);
}

enum Col { kType = 1, kNumber, kText, kOwner, kCrc, kBeacon, kPixel, kPriority, kStatus };

class MessageTableObjects : public ::testing::Test {
protected:
    void SetUp() override {
        for (uint32_t s = 0; s < dbo::dmsMessageStatus.rows; ++s) {
            g_DataBase.Set(dbo::dmsMessageStatus, 1, kDbReplayFlags, s);
            g_DataBase.SetText(dbo::dmsMessageMultiString, "", 0, kDbReplayFlags, s);
        }
        for (uint32_t i = 0; i < 4; ++i) {
            g_DataBase.Set(dbo::dmsMessageStatusVolatile, 1, kDbReplayFlags, i);
        }
        Text(dbo::dmsMessageMultiStringPermanent, "", 0);
        g_DataBase.Set(dbo::dmsMessageStatusPermanent, 4, kDbReplayFlags, 0);
        g_DataBase.Set(dbo::dmsNumPermanentMsg, 2, kDbReplayFlags);
        g_DataBase.Set(dbo::messageStoreSplit, 1, kDbReplayFlags);
        g_DataBase.Set(dbo::dmsControlMode, 4, kDbReplayFlags);
        g_DataBase.Set(dbo::brenSpecialFeatureSet, 0, kDbReplayFlags);
        g_DataBase.Set(dbo::dmsMaxChangeableMsg, 500, kDbReplayFlags);
        g_DataBase.Set(dbo::dmsNumChangeableMsg, 0, kDbReplayFlags);
        Text(dbo::currentBufferMultiString, "", 0);
        Text(dbo::currentBufferMultiStringCopy, "", 0);
        MibSetWriteEnable(2);
    }
    void TearDown() override {
        MibSetWriteEnable(1);
        g_DataBase.Set(dbo::brenSpecialFeatureSet, 0, kDbReplayFlags);  // compatibility off
        g_DataBase.Set(dbo::messageStoreSplit, 1, kDbReplayFlags);
    }

    static void Text(const DbObject& object, const std::string& text, uint32_t row) {
        g_DataBase.SetText(object, text.data(), static_cast<uint32_t>(text.size()), kDbReplayFlags,
                           row);
    }
    static std::string Stored(const DbObject& object, uint32_t row) {
        uint32_t length = 0;
        const char* text = g_DataBase.GetText(object, &length, row);
        return std::string(text, length);
    }
    mib_test::MibClient mib;
};

TEST_F(MessageTableObjects, RowsExistWithinEachMemoryTypesLimit) {
    g_DataBase.Set(dbo::dmsNumPermanentMsg, 4, kDbReplayFlags);
    const struct {
        int memory_type, number;
        bool exists;
    } cases[] = {
        {2, 1, true},    {2, 4, true},  {2, 5, false},  {3, 1, true},    {3, 500, true},
        {3, 501, false}, {4, 4, true},  {4, 5, false},  {5, 1, true},    {5, 2, false},
        {6, 1, true},    {6, 2, false}, {7, 255, true}, {7, 256, false}, {8, 1, false},
        {1, 1, false},   {0, 1, false}, {3, 0, false},  {2, 0, false},
    };
    for (const auto& c : cases) {
        const mib_test::Result r = mib.Get(Cell(kStatus, c.memory_type, c.number));
        EXPECT_EQ(r.error == 0, c.exists) << c.memory_type << "." << c.number;
    }
    // Extra or missing sub-identifiers name nothing.
    EXPECT_EQ(mib.Get(Cell(kStatus, 3, 1) + ".1").error, uint32_t{kSnmpNoSuchName});
    EXPECT_EQ(mib.Get(kEntry + "9.3").error, uint32_t{kSnmpNoSuchName});
}

TEST_F(MessageTableObjects, UpperChangeableSlotsOnlyWhenSplitAndLocallyControlled) {
    const struct {
        uint32_t split, control_mode;
        bool exists;
    } cases[] = {{2, 2, true}, {2, 5, true}, {2, 4, false}, {1, 2, false}, {1, 5, false}};
    for (const auto& c : cases) {
        g_DataBase.Set(dbo::messageStoreSplit, c.split, kDbReplayFlags);
        g_DataBase.Set(dbo::dmsControlMode, c.control_mode, kDbReplayFlags);
        EXPECT_EQ(mib.Get(Cell(kStatus, 3, 501)).error == 0, c.exists)
            << c.split << "/" << c.control_mode;
        EXPECT_EQ(mib.Get(Cell(kStatus, 3, 600)).error == 0, c.exists);
        EXPECT_NE(mib.Get(Cell(kStatus, 3, 601)).error, 0u);
    }
}

TEST_F(MessageTableObjects, PermanentFromThreeReadsTheChangeableSlots) {
    g_DataBase.Set(dbo::dmsNumPermanentMsg, 4, kDbReplayFlags);
    g_DataBase.Set(dbo::dmsMessageStatus, 4, kDbReplayFlags, 500);
    g_DataBase.Set(dbo::dmsMessageCRC, 0x1234, kDbReplayFlags, 500);
    Text(dbo::dmsMessageMultiString, "SLOT 500", 500);
    EXPECT_EQ(mib.Get(Cell(kStatus, 2, 3)).word, 4u);
    EXPECT_EQ(mib.Get(Cell(kType, 2, 3)).word, 3u);
    EXPECT_EQ(mib.Get(Cell(kNumber, 2, 3)).word, 501u);
    EXPECT_EQ(mib.Get(Cell(kCrc, 2, 3)).word, 0x1234u);
    EXPECT_EQ(mib.Get(Cell(kText, 2, 3)).text, "SLOT 500");
    // Permanent 1 and 2 answer their own memory type and number.
    EXPECT_EQ(mib.Get(Cell(kType, 2, 2)).word, 2u);
    EXPECT_EQ(mib.Get(Cell(kNumber, 2, 2)).word, 2u);
}

TEST_F(MessageTableObjects, PermanentRowsRefuseWritesInEveryMode) {
    g_DataBase.Set(dbo::dmsNumPermanentMsg, 4, kDbReplayFlags);
    // Even a slot open for editing is not written through its permanent row.
    g_DataBase.Set(dbo::dmsMessageStatus, 2, kDbReplayFlags, 500);
    Text(dbo::dmsMessageMultiString, "KEEP", 500);
    Text(dbo::dmsMessageMultiStringPermanent, "P1", 0);
    EXPECT_EQ(mib.SetText(Cell(kText, 2, 3), "NEW").error, uint32_t{kSnmpGenErr});
    EXPECT_EQ(Stored(dbo::dmsMessageMultiString, 500), "KEEP");
    EXPECT_EQ(mib.SetText(Cell(kOwner, 2, 4), "X").error, uint32_t{kSnmpGenErr});
    EXPECT_EQ(mib.SetInt(Cell(kStatus, 2, 3), 8).error, uint32_t{kSnmpGenErr});
    EXPECT_EQ(g_DataBase.Get(dbo::dmsMessageStatus, 500), 2u);
    EXPECT_EQ(mib.SetText(Cell(kText, 2, 1), "NEW").error, uint32_t{kSnmpGenErr});
    EXPECT_EQ(Stored(dbo::dmsMessageMultiStringPermanent, 0), "P1");
}

TEST_F(MessageTableObjects, BlankRowsShareTextAndOwnerWithPermanentOne) {
    EXPECT_EQ(mib.SetText(Cell(kText, 7, 5), "[jp3]").error, 0u);
    EXPECT_EQ(mib.Get(Cell(kText, 2, 1)).text, "[jp3]");
    EXPECT_EQ(mib.Get(Cell(kPriority, 7, 37)).word, 37u);
    EXPECT_EQ(mib.Get(Cell(kStatus, 7, 9)).word, 4u) << "permanent 1's status";
    for (int number : {1, 128, 255}) {
        EXPECT_EQ(mib.Get(Cell(kCrc, 7, number)).word, 0u);
    }
    const struct {
        int column;
        uint32_t value;
    } refused[] = {{kCrc, 1}, {kBeacon, 1}, {kPixel, 1}, {kPriority, 3}, {kStatus, 6}};
    for (const auto& c : refused) {
        EXPECT_EQ(mib.SetInt(Cell(c.column, 7, 5), c.value).error, uint32_t{kSnmpGenErr})
            << c.column;
    }
    EXPECT_EQ(g_DataBase.Get(dbo::dmsMessageStatusPermanent, 0), 4u);
}

TEST_F(MessageTableObjects, StoreRefusalsAreTheErrorStatus) {
    // Changeable 7 is valid: its text stays.
    g_DataBase.Set(dbo::dmsMessageStatus, 4, kDbReplayFlags, 6);
    Text(dbo::dmsMessageMultiString, "OLD", 6);
    EXPECT_EQ(mib.SetText(Cell(kText, 3, 7), "NEW").error, uint32_t{kSnmpGenErr});
    EXPECT_EQ(Stored(dbo::dmsMessageMultiString, 6), "OLD");
    EXPECT_EQ(mib.Get(Cell(kText, 3, 7)).text, "OLD");
    // Status requests follow the transition rule.
    EXPECT_EQ(mib.SetInt(Cell(kStatus, 3, 1), 7).error, uint32_t{kSnmpBadValue});
    EXPECT_EQ(mib.SetInt(Cell(kStatus, 3, 1), 6).error, 0u);
    EXPECT_EQ(g_DataBase.Get(dbo::dmsMessageStatus, 0), 6u);
    // Once modifying, every column takes its edit.
    g_DataBase.Set(dbo::dmsMessageStatus, 2, kDbReplayFlags, 0);
    EXPECT_EQ(mib.SetText(Cell(kText, 3, 1), "HELLO").error, 0u);
    EXPECT_EQ(Stored(dbo::dmsMessageMultiString, 0), "HELLO");
    EXPECT_EQ(mib.SetInt(Cell(kPriority, 3, 1), 9).word, 9u);
    EXPECT_EQ(mib.SetInt(Cell(kCrc, 3, 1), 0xBEEF).word, 0xBEEFu);
    // The same for a volatile row.
    EXPECT_EQ(mib.SetText(Cell(kText, 4, 2), "V").error, uint32_t{kSnmpGenErr});
    EXPECT_EQ(mib.SetInt(Cell(kStatus, 4, 2), 6).error, 0u);
    EXPECT_EQ(g_DataBase.Get(dbo::dmsMessageStatusVolatile, 1), 6u);
}

TEST_F(MessageTableObjects, CrcOfAnotherTypeIsRefusedUnwritten) {
    g_DataBase.Set(dbo::dmsMessageStatus, 2, kDbReplayFlags, 0);
    g_DataBase.Set(dbo::dmsMessageCRC, 0x1111, kDbReplayFlags, 0);
    EXPECT_EQ(mib.SetText(Cell(kCrc, 3, 1), "\x22\x22").error, uint32_t{kSnmpBadValue});
    EXPECT_EQ(g_DataBase.Get(dbo::dmsMessageCRC, 0), 0x1111u);
}

TEST_F(MessageTableObjects, CurrentBufferReadsItsCopyWhileTheCopyHasText) {
    g_DataBase.Set(dbo::currentBufferStatus, 2, kDbReplayFlags);
    EXPECT_EQ(mib.SetText(Cell(kText, 5, 1), "WRITTEN").text, "WRITTEN");
    EXPECT_EQ(Stored(dbo::currentBufferMultiString, 0), "WRITTEN");
    Text(dbo::currentBufferMultiStringCopy, "ON SIGN", 0);
    g_DataBase.Set(dbo::currentBufferStatusCopy, 4, kDbReplayFlags);
    EXPECT_EQ(mib.Get(Cell(kText, 5, 1)).text, "ON SIGN");
    EXPECT_EQ(mib.Get(Cell(kStatus, 5, 1)).word, 4u);
    EXPECT_EQ(Stored(dbo::currentBufferMultiString, 0), "WRITTEN");
}

TEST_F(MessageTableObjects, GetNextWalksTypesInOrder) {
    const struct {
        std::string from, next;
    } cases[] = {
        {kEntry + "1", Cell(kType, 2, 1)},        {Cell(kType, 1, 7), Cell(kType, 2, 1)},
        {Cell(kType, 2, 2), Cell(kType, 3, 1)},   {Cell(kType, 3, 500), Cell(kType, 4, 1)},
        {Cell(kType, 6, 1), Cell(kType, 7, 1)},   {Cell(kType, 7, 255), Cell(kNumber, 2, 1)},
        {Cell(kStatus, 7, 255), kDms + ".5.9.0"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(mib.GetNext(c.from).name, c.next) << c.from;
    }
}

TEST_F(MessageTableObjects, ScalarsAnswerTheirComputedValues) {
    const std::string numChangeable = kDms + ".5.2.0";
    const std::string maxChangeable = kDms + ".5.3.0";
    const std::string freeChangeable = kDms + ".5.4.0";
    g_DataBase.Set(dbo::dmsNumChangeableMsg, 3, kDbReplayFlags);
    EXPECT_EQ(mib.Get(numChangeable).word, 3u) << "the stored count";
    EXPECT_EQ(mib.Get(freeChangeable).word, 750000u - 3 * 1500u);
    g_DataBase.Set(dbo::messageStoreSplit, 2, kDbReplayFlags);
    for (uint32_t s : {0u, 499u, 599u}) {
        g_DataBase.Set(dbo::dmsMessageStatus, 4, kDbReplayFlags, s);
    }
    EXPECT_EQ(mib.Get(numChangeable).word, 3u) << "counted over all 600 slots";
    for (uint32_t s = 0; s < 600; ++s) {
        g_DataBase.Set(dbo::dmsMessageStatus, 4, kDbReplayFlags, s);
    }
    EXPECT_EQ(mib.Get(numChangeable).word, 600u);
    EXPECT_EQ(mib.Get(freeChangeable).word, 0u) << "never below nothing";
    EXPECT_EQ(mib.Get(maxChangeable).word, 500u);
    g_DataBase.Set(dbo::brenSpecialFeatureSet, 0x20, kDbReplayFlags);
    EXPECT_EQ(mib.Get(maxChangeable).word, 25u);
    EXPECT_EQ(mib.Get(kDms + ".5.1.0.0").error, uint32_t{kSnmpNoSuchName});
}

}  // namespace
