// A notified write reaches the tasks as letters and event flags; quiet writes stay quiet.

#include "database/change_notification.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "database/config_catalogue.h"
#include "database/object_ids.h"
#include "database/tests/db_test_support.h"
#include "database/write_mode_scope.h"
#include "runtime/letter_id.h"

namespace {
constexpr DbImage NV = DbImage::kNv;
constexpr DbImage VOL = DbImage::kVolatile;
using Letters = std::vector<uint32_t>;

struct Probe {
    DbImage image;
    uint32_t id;
    uint32_t width;  // 0: a string object
    Letters changedLetters;
    uint32_t changedFlags;
    Letters unchangedLetters;
    uint32_t unchangedFlags;
};

class NotificationTest : public DbTest {
protected:
    // Writes A, then B with the notify flag (a changed write), then B again (unchanged), and
    // returns what each notified write posted.
    void Run(const Probe& p) {
        SCOPED_TRACE(testing::Message() << (p.image == NV ? "NV " : "volatile ") << p.id);
        const uint32_t flags = kDbNotify | kDbSkipValidation;
        Write(p, 1, kDbReplayFlags);
        sink.Clear();
        Write(p, 2, flags);
        EXPECT_EQ(sink.Letters(), p.changedLetters);
        EXPECT_EQ(sink.Flags(), p.changedFlags);
        EXPECT_LE(sink.FlagCalls(), 1u);
        sink.Clear();
        Write(p, 2, flags);
        EXPECT_EQ(sink.Letters(), p.unchangedLetters);
        EXPECT_EQ(sink.Flags(), p.unchangedFlags);
    }
    void Write(const Probe& p, uint32_t value, uint32_t flags) {
        if (p.width == 0) {
            const std::string text(value, 'x');
            ASSERT_EQ(db->SetString(p.id, 4, text.data(), value, p.image, flags), kDbOk);
        } else {
            ASSERT_EQ(db->SetInt(p.id, p.width, value, p.image, flags), kDbOk);
        }
    }
};

// What a notified write tells the tasks: a letter of the image's letter table, bits of the
// "database" event flags and, for a setting of CONFIG.XML, the configuration letter last. Some
// objects speak on every write, the others only when the value changes; every row of a column
// speaks, its neighbours do not.
TEST_F(NotificationTest, WritesTellTheTasksWhatChanged) {
    constexpr uint32_t kConfig = kLetterConfigObjectChanged;
    const Probe probes[] = {
        // On every write: a class of the event log is cleared even at the same time.
        {NV,
         dbo::eventClassClearTime.id,
         4,
         {kLetterEventLogClearClassFirst},
         0,
         {kLetterEventLogClearClassFirst},
         0},
        {NV,
         dbo::eventClassClearTime.LastId(),
         4,
         {kLetterEventLogClearClassLast},
         0,
         {kLetterEventLogClearClassLast},
         0},
        {NV,
         dbo::globalLocalTimeDifferential.id,
         4,
         {kLetterClockOffsetChanged},
         0,
         {kLetterClockOffsetChanged},
         0},
        // On a change only; settings of CONFIG.XML add the configuration letter.
        {NV, dbo::messageStoreSplit.id, 1, {kLetterMessageStoreSplit}, 0, {}, 0},
        {NV, dbo::brenShutOffTemp.id, 1, {kLetterShutOffTempChanged, kConfig}, 0, {}, 0},
        {NV, dbo::dmsSignType.id, 1, {kLetterFontsChanged, kConfig}, 0, {}, 0},
        {NV,
         dbo::controllerStandardTimeZone.id,
         4,
         {kLetterTimeZoneChanged, kConfig},
         0,
         {kLetterTimeZoneChanged},
         0},
        // A letter and flag bits together.
        {NV, dbo::dmsIllumBrightnessValues.id, 0, {kLetterBrightnessTableChanged}, 0x20000, {}, 0},
        {NV,
         dbo::brenSpecialFeatureSet.id,
         4,
         {kLetterSpecialFeatureSetChanged, kConfig},
         0x100000,
         {},
         0},
        {NV,
         dbo::brenEnableRealTimePixelDiagnostics.id,
         1,
         {kLetterPixelDiagnosticsEnable, kConfig},
         0x40000000,
         {},
         0},
        // Flag bits alone; the first and last rows of columns.
        {NV, dbo::globalTime.id, 4, {}, 0x1, {}, 0},
        {NV, dbo::dmsMessageStatus.id, 1, {}, 0x800, {}, 0},
        {NV, dbo::dmsMessageStatus.LastId(), 1, {}, 0x800, {}, 0},
        {NV, dbo::dmsGraphicStatus.LastId(), 1, {}, 0x400, {}, 0},
        {NV, dbo::rs232PortInSpeed.LastId(), 4, {kLetterPortSettingsChanged, kConfig}, 0, {}, 0},
        {NV, dbo::brenLineLength.LastId(), 1, {kConfig}, 0x40000000, {}, 0},
        // Volatile objects; the configuration catalogue is not consulted there.
        {VOL, dbo::lampTestActivation.id, 1, {kLetterLampTestActivation}, 0, {}, 0},
        {VOL,
         dbo::requestCode.LastId(),
         0,
         {kLetterActivationRequest},
         0,
         {kLetterActivationRequest},
         0},
        {VOL, dbo::ifPhysAddress.id, 0, {kLetterMacAddressChanged}, 0, {}, 0},
        {VOL, dbo::dmsActivateMessage.id, 0, {}, 0x4000, {}, 0x4000},
        {VOL, dbo::dmsControlMode.id, 1, {}, 0x1000, {}, 0},
        {VOL, dbo::dmsMessageStatusVolatile.LastId(), 1, {}, 0x800, {}, 0},
        {VOL, dbo::dmsSignType.id, 1, {}, 0, {}, 0},
        // Neighbours of the rows.
        {NV, dbo::dmsMessageStatus.id - 1, 1, {}, 0, {}, 0},
        {NV, dbo::dmsGraphicStatus.LastId() + 1, 1, {}, 0, {}, 0},
        {NV, dbo::brenSpecialFeatureSet.id + 1, 1, {}, 0, {}, 0},
        {NV, dbo::brenCommConfigInnerCharTimeout.LastId() + 1, 1, {}, 0, {}, 0},
        {VOL, dbo::requestCode.id - 1, 1, {}, 0, {}, 0},
        {VOL, dbo::brenPeripheralListEdit.id + 1, 1, {}, 0, {}, 0},
    };
    for (const Probe& p : probes) {
        Run(p);
    }
}

// Every setting of CONFIG.XML, first and last row: a changed write posts the configuration
// letter once, after the letter of the letter table; an unchanged one does not.
TEST_F(NotificationTest, ConfigurationSettingsPostTheConfigurationLetter) {
    for (const ConfigCatalogueRow& row : kConfigCatalogue) {
        for (uint32_t id : {row.firstId, row.lastId}) {
            SCOPED_TRACE(testing::Message() << row.name << " id " << id);
            const uint32_t width = row.kind == DbKind::kString ? 0u : row.width;
            const Probe p{NV, id, width, {}, 0, {}, 0};
            Write(p, 1, kDbReplayFlags);
            sink.Clear();
            Write(p, 2, kDbNotify | kDbSkipValidation);
            const Letters& letters = sink.Letters();
            EXPECT_EQ(std::count(letters.begin(), letters.end(), kLetterConfigObjectChanged), 1);
            EXPECT_EQ(letters.back(), kLetterConfigObjectChanged);
            sink.Clear();
            Write(p, 2, kDbNotify | kDbSkipValidation);
            EXPECT_EQ(std::count(sink.Letters().begin(), sink.Letters().end(),
                                 kLetterConfigObjectChanged),
                      0);
        }
    }
}

TEST_F(NotificationTest, DstBeginMonthRowWithRuleFlagsPostsOnlyLetter93) {
    Poke(dbo::dstBeginMonth.Row(4), 1, 3, NV);
    EXPECT_EQ(db->SetInt(dbo::dstBeginMonth.Row(4), 1, 7, NV, kDbNotify | kDbSkipValidation),
              kDbOk);
    EXPECT_EQ(sink.Letters(), Letters{93});
    EXPECT_EQ(sink.FlagCalls(), 0u);
}

TEST_F(NotificationTest, RegisterTimeNotifiesLikeAnIntegerWrite) {
    EXPECT_EQ(db->SetRegisterTime(dbo::globalTime.id, 4, 1000, NV, kDbNotify), kDbOk);
    EXPECT_EQ(sink.Flags(), 0x1u);
    sink.Clear();
    EXPECT_EQ(db->SetRegisterTime(dbo::globalTime.id, 4, 1000, NV, kDbNotify | kDbIgnoredFlag),
              kDbOk);
    EXPECT_EQ(sink.FlagCalls(), 0u);  // row kind 2: an unchanged time is not announced
}

TEST_F(NotificationTest, NothingIsPostedWhileNotificationIsOff) {
    db->SetNotificationEnabled(false);
    EXPECT_EQ(db->SetInt(dbo::brenEnableRealTimePixelDiagnostics.id, 1, 1, NV, kDbNotify), kDbOk);
    EXPECT_EQ(db->SetInt(128, 1, 1, VOL, kDbNotify), kDbOk);
    EXPECT_TRUE(sink.Letters().empty());
    EXPECT_EQ(sink.FlagCalls(), 0u);
    db->SetNotificationEnabled(true);
    {
        DbBulkWriteScope bulk(kDbSwapValidate);
        EXPECT_EQ(db->SetInt(dbo::brenEnableRealTimePixelDiagnostics.id, 1, 0, NV, kDbNotify),
                  kDbOk);
    }
    EXPECT_TRUE(sink.Letters().empty());
    // Without the notify flag nothing is posted either.
    EXPECT_EQ(db->SetInt(dbo::brenEnableRealTimePixelDiagnostics.id, 1, 1, NV, 0), kDbOk);
    EXPECT_TRUE(sink.Letters().empty());
    EXPECT_EQ(db->SetInt(dbo::brenEnableRealTimePixelDiagnostics.id, 1, 0, NV, kDbNotify), kDbOk);
    EXPECT_EQ(sink.Letters(), (Letters{31, 93}));
}

TEST(MatchNotifyRow, FirstMatchingRowAndKinds) {
    const NotifyRow rows[] = {{10, 20, 100, 2}, {15, 15, 200, 1}, {15, 30, 300, 1}};
    uint32_t index = 99;
    EXPECT_EQ(MatchNotifyRow(15, kNoticeChanged, rows, &index), 1);
    EXPECT_EQ(index, 0u);
    EXPECT_EQ(MatchNotifyRow(15, kNoticeUnchanged, rows, &index), 1);
    EXPECT_EQ(index, 1u);
    EXPECT_EQ(MatchNotifyRow(25, kNoticeUnchanged, rows, &index), 1);
    EXPECT_EQ(index, 2u);
    index = 99;
    EXPECT_EQ(MatchNotifyRow(9, kNoticeChanged, rows, &index), 0);
    EXPECT_EQ(MatchNotifyRow(31, kNoticeChanged, rows, &index), 0);
    EXPECT_EQ(MatchNotifyRow(0x80000000u + 15, kNoticeChanged, rows, &index), 0);
    EXPECT_EQ(index, 99u);
}
}  // namespace
