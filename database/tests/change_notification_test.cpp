// Change notices: every row of the four tables, the catalogue letter and the switches.

#include "database/change_notification.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "database/config_catalogue.h"
#include "database/object_ids.h"
#include "database/tests/db_test_support.h"
#include "database/write_mode_scope.h"

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

TEST_F(NotificationTest, NvLetterTable) {
    std::vector<Probe> probes;
    for (uint32_t k = 0; k < 16; ++k) {
        // Event class clear times post their letter on every write, changed or not.
        probes.push_back({NV, dbo::eventClassClearTime.Row(k), 4, {6 + k}, 0, {6 + k}, 0});
    }
    const Probe more[] = {
        {NV, 94100, 1, {22}, 0, {}, 0},  // event class limits
        {NV, 94115, 1, {22}, 0, {}, 0},
        {NV, 34284, 0, {34}, 0x20000, {}, 0},  // dmsIllumBrightnessValues
        {NV, 95628, 1, {24}, 0, {}, 0},        // messageStoreSplit
        {NV, 95632, 1, {31, 93}, 0x40000000, {}, 0},
        {NV, 95623, 1, {87, 93}, 0, {}, 0},    // brenShutOffTemp
        {NV, 48848, 4, {89}, 0, {89}, 0},      // globalLocalTimeDifferential
        {NV, 48852, 4, {90, 93}, 0, {90}, 0},  // controllerStandardTimeZone
        {NV, 57, 1, {96, 93}, 0, {}, 0},       // dmsSignType: unchanged posts nothing
        {NV, 95833, 1, {105}, 0, {}, 0},       // brenCommCommand
        {NV, 98652, 4, {106, 93}, 0, {}, 0},   // rs232PortInSpeed
        {NV, 98668, 4, {106, 93}, 0, {}, 0},
        {NV, 95796, 2, {106, 93}, 0, {}, 0},  // brenCommConfigInnerCharTimeout
        {NV, 95804, 2, {106, 93}, 0, {}, 0},
        {NV, 95700, 4, {110, 93}, 0, {}, 0},         // brenFeatureSet
        {NV, 95656, 4, {119, 93}, 0x100000, {}, 0},  // brenSpecialFeatureSet
    };
    probes.insert(probes.end(), std::begin(more), std::end(more));
    for (const Probe& p : probes) {
        Run(p);
    }
}

TEST_F(NotificationTest, NvFlagTable) {
    const Probe probes[] = {
        {NV, 48840, 4, {}, 0x1, {}, 0},           // globalTime
        {NV, 95630, 2, {93}, 0x40000000, {}, 0},  // brenModuleID
        {NV, 56, 1, {93}, 0x40000000, {}, 0},     // dmsSignAccess
        {NV, 62, 2, {93}, 0x40000000, {}, 0},     // vmsSignHeightPixels
        {NV, 64, 2, {93}, 0x40000000, {}, 0},     // vmsSignWidthPixels
        {NV, 36124, 1, {}, 0x400, {}, 0},         // dmsGraphicStatus
        {NV, 36173, 1, {}, 0x400, {}, 0},
        {NV, 33592, 1, {}, 0x800, {}, 0},  // dmsMessageStatus
        {NV, 34191, 1, {}, 0x800, {}, 0},
        {NV, 95660, 4, {93}, 0x80000, {}, 0},     // brenRemoteIPAddress
        {NV, 95664, 2, {93}, 0x80000, {}, 0},     // brenRemoteIPPort
        {NV, 95616, 1, {}, 0x800000, {}, 0},      // displayTestMode
        {NV, 34260, 2, {}, 0x8000, {}, 0},        // dmsTimeCommLoss
        {NV, 34280, 1, {}, 0x20000, {}, 0},       // dmsIllumControl
        {NV, 34281, 1, {}, 0x20000, {}, 0},       // dmsIllumManLevel
        {NV, 34288, 1, {}, 0x20000, {}, 0},       // dmsIllumBrightnessValuesError
        {NV, 95620, 1, {93}, 0x20000, {}, 0},     // brenIllumBrightnessScaler
        {NV, 95722, 1, {93}, 0x40000000, {}, 0},  // brenLineLength
        {NV, 95730, 1, {93}, 0x40000000, {}, 0},
        {NV, 95636, 4, {93}, 0x20000000, {}, 0},  // brenhdlcAddress
    };
    for (const Probe& p : probes) {
        Run(p);
    }
}

TEST_F(NotificationTest, VolatileTables) {
    const Probe probes[] = {
        {VOL, 223, 1, {23}, 0, {}, 0},            // lampTestActivation
        {VOL, 17024, 0, {91}, 0, {91}, 0},        // requestCode, slot 0
        {VOL, 17048, 0, {91}, 0, {91}, 0},        // requestCode, slot 6
        {VOL, 24440, 0, {92}, 0, {}, 0},          // ifPhysAddress
        {VOL, 17157, 1, {123}, 0, {}, 0},         // pixelPowerLimitMode
        {VOL, 128, 0, {}, 0x4000, {}, 0x4000},    // dmsActivateMessage
        {VOL, 132, 1, {}, 0x1000, {}, 0},         // dmsControlMode
        {VOL, 222, 1, {}, 0x200000, {}, 0},       // pixelTestActivation
        {VOL, 17160, 1, {}, 0x8000000, {}, 0},    // brenFileTransferStatus
        {VOL, 17016, 1, {}, 0x200, {}, 0},        // brenResetCommand
        {VOL, 133, 1, {}, 0x200, {}, 0},          // dmsMemoryMgmt
        {VOL, 142, 2, {}, 0x20000, {}, 0x20000},  // dmsIllumPhotocellLevelStatus
        {VOL, 80, 1, {}, 0x800, {}, 0},           // dmsMessageStatus, volatile rows
        {VOL, 83, 1, {}, 0x800, {}, 0},
        {VOL, 17218, 1, {}, 0x1000000, {}, 0},  // brenPeripheralListEdit
        // The configuration catalogue is not consulted for the volatile image.
        {VOL, 57, 1, {}, 0, {}, 0},
        {VOL, 95, 1, {}, 0, {}, 0},
    };
    for (const Probe& p : probes) {
        Run(p);
    }
}

// Ids just outside the rows post nothing.
TEST_F(NotificationTest, NeighboursOfTheRowsPostNothing) {
    const Probe probes[] = {
        {NV, 55, 1, {}, 0, {}, 0},     {NV, 65, 1, {}, 0, {}, 0},    {NV, 59, 1, {}, 0, {}, 0},
        {NV, 33591, 1, {}, 0, {}, 0},  {NV, 36174, 1, {}, 0, {}, 0}, {NV, 95629, 1, {}, 0, {}, 0},
        {NV, 95657, 1, {}, 0, {}, 0},  {NV, 95665, 1, {}, 0, {}, 0}, {NV, 94180, 0, {}, 0, {}, 0},
        {NV, 34289, 1, {}, 0, {}, 0},  {NV, 95617, 1, {}, 0, {}, 0}, {NV, 95731, 1, {}, 0, {}, 0},
        {NV, 95805, 1, {}, 0, {}, 0},  {NV, 98672, 4, {}, 0, {}, 0}, {NV, 95834, 1, {}, 0, {}, 0},
        {VOL, 79, 1, {}, 0, {}, 0},    {VOL, 84, 1, {}, 0, {}, 0},   {VOL, 17023, 1, {}, 0, {}, 0},
        {VOL, 17052, 1, {}, 0, {}, 0}, {VOL, 224, 1, {}, 0, {}, 0},  {VOL, 17219, 1, {}, 0, {}, 0},
    };
    for (const Probe& p : probes) {
        Run(p);
    }
}

// The 70 settings of CONFIG.XML, by their object names: a changed write of the first and of the
// last object of each posts letter 93 and an unchanged one does not.
TEST_F(NotificationTest, ConfigurationCatalogueObjectsPostLetter93) {
    const char* names[] = {
        "dmsSignHeight",
        "dmsSignWidth",
        "dmsHorizontalBorder",
        "dmsVerticalBorder",
        "dmsSignAccess",
        "dmsSignType",
        "dmsBeaconType",
        "vmsSignHeightPixels",
        "vmsSignWidthPixels",
        "vmsCharacterHeightPixels",
        "vmsCharacterWidthPixels",
        "chapName",
        "chapSecret",
        "brenIllumBrightnessScaler",
        "brenSignSerialNum",
        "brenControllerSerialNum",
        "globalDaylightSaving",
        "dstBeginMonth",
        "controllerStandardTimeZone",
        "dstBeginOccurrences",
        "dstBeginDayOfWeek",
        "dstBeginDayOfMonth",
        "dstBeginSecondsToTransition",
        "dstEndMonth",
        "dstEndOccurrences",
        "dstEndDayOfWeek",
        "dstEndDayOfMonth",
        "dstEndSecondsToTransition",
        "dstSecondsToAdjust",
        "brenLegibilityRatioThreshold",
        "fdotMaxNumPixelFailure",
        "rs232PortInSpeed",
        "ifSpeed",
        "brenShutOffTemp",
        "brenCallbackNumber",
        "brenCallbackMinTimeBetweenAttempts",
        "brenCallbackMaxAttempts",
        "brenLCDPassword",
        "brenModuleID",
        "brenCommConfigFlowControl",
        "brenCommConfigProtocol",
        "brenCommConfigTraps",
        "brenCommConfigInnerCharTimeout",
        "brenCommConfigParameters",
        "brenEnableRealTimePixelDiagnostics",
        "brenhdlcAddress",
        "brenLCDAdminPassword",
        "brenTrapsGeneric",
        "brenTrapsEnterpriseSpecific",
        "brenTrapsExpirationDuration",
        "brenPeripheralID",
        "brenPeripheralParameters",
        "brenPeripheralAuxIOTableIndex",
        "brenTBSCBayHeightInModules",
        "brenTBSCBayWidthInModules",
        "brenModTimeout",
        "brenLineLength",
        "brenSpecialFeatureSet",
        "vmsHorizontalPitch",
        "vmsVerticalPitch",
        "brenRemoteIPAddress",
        "brenRemoteIPPort",
        "brenHostIPPort",
        "brenHostHttpPort",
        "brenEthernetMode",
        "brenCANBaudRate",
        "brenCANMaxLineLength",
        "brenFeatureSet",
        "brenNTPIPAddress",
        "brenNTPPollTime",
    };
    ASSERT_EQ(std::size(names), 70u);
    for (const char* name : names) {
        const DbObject* object = dbo::Find(name);
        ASSERT_NE(object, nullptr) << name;
        ASSERT_EQ(object->image, NV);
        // ifSpeed is one object in the catalogue although the MIB column has more rows.
        const uint32_t rows = std::string(name) == "ifSpeed" ? 1 : object->rows;
        for (uint32_t row : {0u, rows - 1}) {
            const uint32_t id = object->Row(row);
            SCOPED_TRACE(testing::Message() << name << " row " << row << " id " << id);
            const Probe p{NV, id, object->IsString() ? 0u : object->width, {}, 0, {}, 0};
            Write(p, 1, kDbReplayFlags);
            sink.Clear();
            Write(p, 2, kDbNotify | kDbSkipValidation);
            EXPECT_EQ(std::count(sink.Letters().begin(), sink.Letters().end(), 93u), 1);
            EXPECT_EQ(sink.Letters().back(), 93u);  // after the letter of the letter table
            sink.Clear();
            Write(p, 2, kDbNotify | kDbSkipValidation);
            EXPECT_EQ(std::count(sink.Letters().begin(), sink.Letters().end(), 93u), 0);
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
    EXPECT_EQ(db->SetRegisterTime(48840, 4, 1000, NV, kDbNotify), kDbOk);
    EXPECT_EQ(sink.Flags(), 0x1u);
    sink.Clear();
    EXPECT_EQ(db->SetRegisterTime(48840, 4, 1000, NV, kDbNotify | kDbIgnoredFlag), kDbOk);
    EXPECT_EQ(sink.FlagCalls(), 0u);  // row kind 2: an unchanged time is not announced
}

TEST_F(NotificationTest, NothingIsPostedWhileNotificationIsOff) {
    db->SetNotificationEnabled(false);
    EXPECT_EQ(db->SetInt(95632, 1, 1, NV, kDbNotify), kDbOk);
    EXPECT_EQ(db->SetInt(128, 1, 1, VOL, kDbNotify), kDbOk);
    EXPECT_TRUE(sink.Letters().empty());
    EXPECT_EQ(sink.FlagCalls(), 0u);
    db->SetNotificationEnabled(true);
    {
        DbBulkWriteScope bulk(kDbSwapValidate);
        EXPECT_EQ(db->SetInt(95632, 1, 0, NV, kDbNotify), kDbOk);
    }
    EXPECT_TRUE(sink.Letters().empty());
    // Without the notify flag nothing is posted either.
    EXPECT_EQ(db->SetInt(95632, 1, 1, NV, 0), kDbOk);
    EXPECT_TRUE(sink.Letters().empty());
    EXPECT_EQ(db->SetInt(95632, 1, 0, NV, kDbNotify), kDbOk);
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
