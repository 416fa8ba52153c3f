// Defaults give the factory sign, rewrite the volatile image and keep the installation on reset.

#include "database/factory_defaults.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "database/data_base.h"
#include "database/object_ids.h"
#include "database/write_mode_scope.h"

namespace {

constexpr DbImage N = DbImage::kNv;
constexpr DbImage V = DbImage::kVolatile;

class FactoryDefaults : public ::testing::Test {
protected:
    void SetUp() override {
        DefaultHooks hooks;
        hooks.monitorVersion = [] { return "MicroMonitor-1.0"; };
        db_set_default_hooks(hooks);
    }
    void TearDown() override { db_set_default_hooks({}); }

    void RunAll(CDataBase& database, int mode) {
        DbBulkWriteScope scope;
        dms_factory_defaults(database, mode);
        mib2_factory_defaults(database, mode);
        private_factory_defaults(database, mode);
        global_factory_defaults(database, mode);
        for (const auto& [id, value] : kHeader) {
            database.SetInt(id, 4, value, DbImage::kNv, 0);
        }
    }
    void RunVolatile(CDataBase& database) {
        DbBulkWriteScope scope;
        dms_volatile_defaults(database);
        mib2_volatile_defaults(database);
        private_volatile_defaults(database);
        global_volatile_defaults(database);
    }
    std::string Text(DbImage image, uint32_t id) {
        uint32_t n = 0;
        const char* text = db.GetString(id, 4, image, &n);
        return std::string(text, n);
    }

    // Every row of every named object of an image: integers as numbers, strings as stored.
    std::map<uint32_t, std::string> Snapshot(DbImage image) {
        std::map<uint32_t, std::string> values;
        for (const DbObject& o : dbo::kAll) {
            for (uint32_t row = 0; o.image == image && row < o.rows; ++row) {
                const uint32_t id = o.Row(row);
                values[id] = o.IsString() ? "s:" + Text(image, id)
                                          : std::to_string(db.GetInt(id, o.width, image));
            }
        }
        return values;
    }
    // Gives every row of every named object of an image a value no default has.
    void Scribble(DbImage image) {
        for (const DbObject& o : dbo::kAll) {
            for (uint32_t row = 0; o.image == image && row < o.rows; ++row) {
                const uint32_t id = o.Row(row);
                if (o.IsString()) {
                    db.SetString(id, 4, "old", 3, image, kDbReplayFlags);
                } else {
                    db.SetInt(id, o.width, db.GetInt(id, o.width, image) ^ 0x5A, image,
                              kDbReplayFlags);
                }
            }
        }
    }
    // Ids of the image whose value the defaults set: they replace a scribbled value.
    std::set<uint32_t> WrittenByDefaults(DbImage image) {
        Scribble(image);
        const std::map<uint32_t, std::string> scribbled = Snapshot(image);
        RunAll(db, kDefaultsFirstStart);
        RunVolatile(db);
        std::set<uint32_t> written;
        for (const auto& [id, value] : Snapshot(image)) {
            if (value != scribbled.at(id)) {
                written.insert(id);
            }
        }
        return written;
    }

    // The header words are written by the task after the groups.
    static constexpr std::pair<uint32_t, uint32_t> kHeader[] = {
        {0, 3},        {4, 98712},  {40, 1},        {8, 40},     {44, 48736},
        {48776, 1},    {12, 48776}, {48780, 46832}, {95608, 1},  {16, 95608},
        {95612, 3000}, {98608, 1},  {20, 98608},    {98612, 72}, {98680, 1},
        {24, 98680},   {98684, 20}, {98700, 1},     {28, 98700}, {98704, 12}};
    CDataBase db;
};

// A fresh controller is a full-matrix sign of 24 x 16 pixels with no message, no graphic and no
// font yet, that answers to the factory communities.
TEST_F(FactoryDefaults, FirstStartGivesTheFactorySign) {
    RunAll(db, kDefaultsFirstStart);
    RunVolatile(db);
    EXPECT_EQ(db.Get(dbo::dmsSignType), 6u);
    EXPECT_EQ(db.Get(dbo::vmsSignWidthPixels), 24u);
    EXPECT_EQ(db.Get(dbo::vmsSignHeightPixels), 16u);
    EXPECT_EQ(Text(N, dbo::communityNameAdmin.id), "quartermaster");
    EXPECT_EQ(Text(N, dbo::communityNameUser.id), "tamsol");
    for (uint32_t row : {0u, 599u}) {
        EXPECT_EQ(db.Get(dbo::dmsMessageStatus, row), 1u) << "message row not used " << row;
        EXPECT_EQ(Text(N, dbo::dmsMessageMultiString.Row(row)), "") << row;
    }
    for (uint32_t row : {0u, 49u}) {
        EXPECT_EQ(db.Get(dbo::dmsGraphicStatus, row), 1u) << "graphic row not used " << row;
    }
    EXPECT_EQ(db.Get(dbo::fontNumber), 0u);
    // A message shows lit text on a dark sign.
    EXPECT_EQ(db.Get(dbo::defaultBackgroundColor), 0u);
    EXPECT_EQ(db.Get(dbo::defaultForegroundColor), 7u);
}

// The volatile defaults also run over a used image (after a commanded reset): every volatile
// object they set at the first start gets the same value again, zeros and empty strings
// included.
TEST_F(FactoryDefaults, VolatileDefaultsRewriteEveryObjectOfAUsedImage) {
    RunAll(db, kDefaultsFirstStart);
    const std::set<uint32_t> written = WrittenByDefaults(V);
    ASSERT_GT(written.size(), 100u);
    const std::map<uint32_t, std::string> fresh = Snapshot(V);
    Scribble(V);
    RunVolatile(db);
    const std::map<uint32_t, std::string> again = Snapshot(V);
    for (uint32_t id : written) {
        EXPECT_EQ(again.at(id), fresh.at(id)) << "volatile " << id;
    }
}

// NV objects that only a first start writes (rows marked first start): a commanded factory reset
// keeps them. Inclusive id ranges.
struct IdRange {
    uint32_t first, last;
};
constexpr IdRange kFirstStartOnly[] = {
    {48, 71},                                        // geometry, pixels, pitch, monochromeColor
    {25782, 25782},                                  // NV 25782
    {27792, 28191}, {30192, 30591}, {31592, 31791},  // message rows 501-600: text, owner, CRC,
    {32292, 32391}, {32892, 32991}, {33492, 33591},  // beacon, pixel service, priority,
    {34092, 34191},                                  // status
    {35320, 48775},                                  // graphics and their blocks
    {98628, 98631}, {98652, 98671},                  // ifSpeed, rs232PortInSpeed
    {95620, 95687}, {95696, 98399},                  // private installation settings
    {48784, 48791}, {48840, 49035},                  // CHAP texts, time, zone, daylight saving
};
bool FirstStartOnly(uint32_t id) {
    for (const IdRange& range : kFirstStartOnly) {
        if (id >= range.first && id <= range.last) {
            return true;
        }
    }
    return false;
}

// Mode 1 over an image where every NV object differs from its default: what the first start set
// returns to its factory value, except the installation (first start only), which is kept.
TEST_F(FactoryDefaults, FactoryResetRewritesAllButTheInstallation) {
    const std::set<uint32_t> written = WrittenByDefaults(N);
    ASSERT_GT(written.size(), 100u);
    const std::map<uint32_t, std::string> fresh = Snapshot(N);
    Scribble(N);
    const std::map<uint32_t, std::string> scribbled = Snapshot(N);
    RunAll(db, kDefaultsFactoryReset);
    const std::map<uint32_t, std::string> reset = Snapshot(N);
    for (uint32_t id : written) {
        EXPECT_EQ(reset.at(id), FirstStartOnly(id) ? scribbled.at(id) : fresh.at(id))
            << "NV " << id;
    }
}

TEST_F(FactoryDefaults, FactoryResetKeepsInstallationAndResetsTheRest) {
    RunAll(db, kDefaultsFirstStart);
    // The installation changes.
    db.SetInt(dbo::dmsSignType.id, 1, 3, N, kDbReplayFlags);
    db.SetInt(33592 + 520, 1, 4, N, kDbReplayFlags);  // row 521 valid
    db.SetString(25792 + 4 * 520, 4, "KEEP", 4, N, kDbReplayFlags);
    db.SetInt(36124 + 2, 1, 4, N, kDbReplayFlags);  // graphic 3 ready
    db.SetString(36176 + 4 * (63 * 2), 4, "blk", 3, N, kDbReplayFlags);
    db.SetInt(dbo::brenRemoteIPPort.id, 2, 2000, N, kDbReplayFlags);
    db.SetString(dbo::chapName.id, 4, "OTHER", 5, N, kDbReplayFlags);
    db.SetInt(dbo::dstBeginMonth.id, 1, 3, N, kDbReplayFlags);
    db.SetInt(dbo::brenPeripheralID.Row(1), 2, 99, N, kDbReplayFlags);
    // What a reset returns.
    db.SetString(dbo::dmsMessageMultiString.id, 4, "MSG", 3, N, kDbReplayFlags);
    db.SetInt(dbo::dmsMessageStatus.id, 1, 4, N, kDbReplayFlags);
    db.SetString(dbo::communityNameAdmin.id, 4, "admin2", 6, N, kDbReplayFlags);
    db.SetInt(dbo::fontNumber.id, 1, 9, N, kDbReplayFlags);
    db.SetInt(dbo::eventClassLimit.id, 1, 7, N, kDbReplayFlags);

    RunAll(db, kDefaultsFactoryReset);
    RunVolatile(db);
    EXPECT_EQ(db.GetInt(dbo::dmsSignType.id, 1, N), 3u);
    EXPECT_EQ(db.GetInt(33592 + 520, 1, N), 4u);
    EXPECT_EQ(Text(N, 25792 + 4 * 520), "KEEP");
    EXPECT_EQ(db.GetInt(36124 + 2, 1, N), 4u);
    EXPECT_EQ(Text(N, 36176 + 4 * (63 * 2)), "blk") << "a ready graphic keeps its blocks";
    EXPECT_EQ(db.GetInt(dbo::brenRemoteIPPort.id, 2, N), 2000u);
    EXPECT_EQ(Text(N, 48784), "OTHER");
    EXPECT_EQ(db.GetInt(dbo::dstBeginMonth.id, 1, N), 3u);
    EXPECT_EQ(db.GetInt(dbo::brenPeripheralID.Row(1), 2, N), 99u);
    EXPECT_EQ(Text(N, 25792), "");
    EXPECT_EQ(db.GetInt(dbo::dmsMessageStatus.id, 1, N), 1u);
    EXPECT_EQ(Text(N, 94260), "quartermaster");
    EXPECT_EQ(db.GetInt(dbo::fontNumber.id, 1, N), 0u);
    EXPECT_EQ(db.GetInt(dbo::eventClassLimit.id, 1, N), 0u);
    EXPECT_EQ(db.GetInt(dbo::dmsNumPermanentMsg.id, 2, V), 3u) << "one valid permanent message";
    EXPECT_EQ(db.GetInt(dbo::dmsGraphicNumEntries.id, 1, V), 1u) << "graphic 3 counted";
    EXPECT_EQ(db.GetInt(4, 1, V), 20u);
}

TEST_F(FactoryDefaults, VolatileCountsFollowTheNvImage) {
    RunAll(db, kDefaultsFirstStart);
    for (uint32_t row : {0u, 9u, 499u}) {
        db.SetInt(33592 + row, 1, 4, N, kDbReplayFlags);
    }
    db.SetInt(dbo::dmsSignType.id, 1, 132, N, kDbReplayFlags);
    db.SetInt(36124 + 5, 1, 5, N, kDbReplayFlags);
    db.SetInt(36124 + 6, 1, 6, N, kDbReplayFlags);
    db.SetString(36176 + 4 * (63 * 7 + 62), 4, "x", 1, N, kDbReplayFlags);  // graphic 8, status 1
    RunVolatile(db);
    EXPECT_EQ(db.GetInt(dbo::dmsNumChangeableMsg.id, 2, V), 3u);
    EXPECT_EQ(db.GetInt(dbo::dmsFreeChangeableMemory.id, 4, V), 750000u - 4500u);
    EXPECT_EQ(db.GetInt(dbo::dmsNumPermanentMsg.id, 2, V), 2u);
    EXPECT_EQ(db.GetInt(4, 1, V), 1u) << "character matrix sign";
    EXPECT_EQ(db.GetInt(dbo::dmsGraphicNumEntries.id, 1, V), 1u) << "status 4 or 5 only";
    EXPECT_EQ(Text(N, 36176 + 4 * (63 * 7 + 62)), "") << "unused graphic loses its blocks";
}

TEST_F(FactoryDefaults, BootLoaderVersionFallsBackToTheFirmwareVersion) {
    DefaultHooks hooks;
    hooks.monitorVersion = [] { return "nodash"; };
    db_set_default_hooks(hooks);
    RunVolatile(db);
    EXPECT_EQ(Text(V, 12240), "1.9.4588.53");
}

}  // namespace
