// The 1206.3.16 subtree: where each storage row keeps its value, the start values, the mapped
// rows (shut-off temperature, restart request, climate units, daylight state, power supplies),
// the tables' bounds and the walk.

#include "ntcip/ledstar_objects.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "database/global_database.h"
#include "database/object_ids.h"
#include "database/recording_notify_sink.h"
#include "mib_test_client.h"
#include "ntcip/mib_engine.h"
#include "runtime/letter_id.h"

namespace {

const std::string kBranch = "1.3.6.1.4.1.1206.3.16";
std::string At(const std::string& suffix) {
    return kBranch + "." + suffix;
}

constexpr DbImage V = DbImage::kVolatile;

class LedstarObjects : public ::testing::Test {
protected:
    void SetUp() override {
        ledstar_volatile_defaults(g_DataBase);
        g_DataBase.Set(dbo::brenShutOffTemp, 85, kDbReplayFlags);
        g_DataBase.Set(dbo::dmsSWReset, 0, kDbReplayFlags);
        g_DataBase.Set(dbo::brenResetCommand, 1, kDbReplayFlags);
    }
    void TearDown() override {
        g_DataBase.SetNotifySink(nullptr);
        g_DataBase.SetNotificationEnabled(false);
    }
    mib_test::MibClient mib;
};

// Each writable storage row keeps its value in its own volatile cell: a distinct value per row,
// all set first and read back after, both over the MIB and in the store.
TEST_F(LedstarObjects, StorageRowsKeepTheirOwnCells) {
    const struct {
        std::string suffix;
        uint32_t id;
        uint32_t width;
        uint32_t value;
    } ints[] = {
        {"1.1.2.0", 25128, 1, 1},        {"1.1.6.0", 25129, 1, 99},
        {"1.1.7.0", 25130, 1, 7},        {"1.1.8.0", 25131, 1, 8},
        {"1.1.11.0", 25136, 1, 11},      {"1.1.12.0", 25137, 1, 12},
        {"1.1.13.0", 25138, 1, 13},      {"1.1.14.0", 25139, 1, 14},
        {"1.1.15.0", 25140, 1, 15},      {"1.1.16.0", 25141, 1, 16},
        {"1.1.17.0", 25142, 1, 17},      {"1.1.18.0", 25143, 1, 255},
        {"1.1.19.0", 25144, 1, 1},       {"1.1.21.0", 25145, 1, 1},
        {"1.1.22.0", 25146, 1, 22},      {"1.1.20.1.0", 25160, 1, 1},
        {"1.1.20.2.0", 25164, 4, 65535}, {"1.1.20.6.0", 25180, 4, 206},
        {"1.1.20.8.0", 25188, 4, 208},   {"1.1.20.9.0", 25192, 4, 209},
    };
    const struct {
        std::string suffix;
        uint32_t id;
        std::string text;
    } texts[] = {
        {"1.1.10.0", 25132, "abcd"},
        {"1.1.20.3.0", 25168, std::string(16, 'c')},
        {"1.1.20.4.0", 25172, "four"},
        {"1.1.20.5.0", 25176, std::string(15, 'e')},
        {"1.2.10.0", 25204, std::string(255, 's')},
    };
    for (const auto& c : ints) {
        ASSERT_EQ(mib.SetInt(At(c.suffix), c.value).error, 0u) << c.suffix;
    }
    for (const auto& c : texts) {
        ASSERT_EQ(mib.SetText(At(c.suffix), c.text).error, 0u) << c.suffix;
    }
    for (const auto& c : ints) {
        EXPECT_EQ(mib.Get(At(c.suffix)).word, c.value) << c.suffix;
        EXPECT_EQ(g_DataBase.GetInt(c.id, c.width, V), c.value) << c.suffix;
    }
    for (const auto& c : texts) {
        EXPECT_EQ(mib.Get(At(c.suffix)).text, c.text) << c.suffix;
        uint32_t length = 0;
        const char* stored = g_DataBase.GetString(c.id, 4, V, &length);
        EXPECT_EQ(std::string(stored, length), c.text) << c.suffix;
    }
}

// Values outside a row's constraint, sets of read-only rows and instances that do not exist
// store nothing.
TEST_F(LedstarObjects, RefusedSetsStoreNothing) {
    ASSERT_EQ(mib.SetInt(At("1.1.22.0"), 5).error, 0u);
    ASSERT_EQ(mib.SetText(At("1.1.10.0"), "keep").error, 0u);
    g_DataBase.Set(dbo::ledstarLightReadings, 44, kDbReplayFlags);
    const struct {
        std::string suffix;
        bool text;
        uint32_t value;
        uint32_t error;
    } cases[] = {
        {"1.1.2.0", false, 2, kSnmpBadValue},
        {"1.1.6.0", false, 100, kSnmpBadValue},
        {"1.1.10.0", true, 0, kSnmpBadValue},
        {"1.1.20.5.0", true, 0, kSnmpBadValue},
        {"1.1.22.0", true, 0, kSnmpBadValue},
        {"1.1.22.1", false, 9, kSnmpNoSuchName},
        {"1.1.4.0", false, 3, kSnmpNoSuchName},
        {"1.2.5.0", false, 3, kSnmpNoSuchName},
        {"1.1.20.7.0", false, 3, kSnmpNoSuchName},
        {"1.1.5.1.2.1", false, 3, kSnmpNoSuchName},
        {"1.2.16.1.2.1", true, 0, kSnmpNoSuchName},
        {"1.2.11.1.3.1.1", true, 0, kSnmpNoSuchName},
        {"1.2.8.1.4.1.1.1", false, 3, kSnmpNoSuchName},
    };
    for (const auto& c : cases) {
        const mib_test::Result r = c.text ? mib.SetText(At(c.suffix), std::string(20, 'x'))
                                          : mib.SetInt(At(c.suffix), c.value);
        EXPECT_EQ(r.error, c.error) << c.suffix;
    }
    EXPECT_EQ(mib.Get(At("1.1.22.0")).word, 5u);
    EXPECT_EQ(mib.Get(At("1.1.10.0")).text, "keep");
    EXPECT_EQ(mib.Get(At("1.1.2.0")).word, 0u);
    EXPECT_EQ(mib.Get(At("1.1.20.5.0")).text, "");
    EXPECT_EQ(mib.Get(At("1.2.5.0")).word, 44u);
    EXPECT_EQ(mib.Get(At("1.1.5.1.2.1")).word, 1u);
    EXPECT_EQ(mib.Get(At("1.2.16.1.2.1")).text, "");
}

// After a start every storage cell reads 0 or the empty string, the 1.1.5 cells 1, whatever
// the cells held before.
TEST_F(LedstarObjects, StartValues) {
    for (const DbObject* object :
         {&dbo::ledstarConfigBytes, &dbo::ledstarConfigSettings, &dbo::ledstarConfigColumn2,
          &dbo::ledstarConfigColumn3, &dbo::ledstarExtraWord, &dbo::ledstarExtraSettings,
          &dbo::ledstarStatusWord, &dbo::ledstarLightReadings, &dbo::ledstarStatusCounts,
          &dbo::ledstarCubeColumn4, &dbo::ledstarCubeColumn5, &dbo::ledstarPowerColumn2,
          &dbo::ledstarPowerSpare, &dbo::ledstarPowerColumn6}) {
        for (uint32_t r = 0; r < object->rows; ++r) {
            g_DataBase.Set(*object, 77, kDbReplayFlags, r);
        }
    }
    for (const DbObject* object :
         {&dbo::ledstarConfigText, &dbo::ledstarExtraTexts, &dbo::ledstarStatusRemark,
          &dbo::ledstarCubeColumn6, &dbo::ledstarGridColumn3, &dbo::ledstarTextColumn2}) {
        for (uint32_t r = 0; r < object->rows; ++r) {
            g_DataBase.SetText(*object, "old", 3, kDbReplayFlags, r);
        }
    }
    g_DataBase.Set(dbo::controllerStatusFlags, 5, kDbReplayFlags);
    g_DataBase.Set(dbo::daylightTimeStatus, 2, kDbReplayFlags);
    ledstar_volatile_defaults(g_DataBase);
    const struct {
        std::string suffix;
        uint32_t word;
        std::string text;
    } cases[] = {
        {"1.1.20.7.0", 0, ""},      {"1.2.13.0", 0, ""},  // before the clock's first evaluation
        {"1.1.2.0", 0, ""},         {"1.1.8.0", 0, ""},         {"1.1.22.0", 0, ""},
        {"1.1.10.0", 0, ""},        {"1.1.5.1.2.5", 1, ""},     {"1.1.5.1.3.1", 1, ""},
        {"1.1.20.2.0", 0, ""},      {"1.1.20.5.0", 0, ""},      {"1.1.20.9.0", 0, ""},
        {"1.2.7.0", 0, ""},         {"1.2.19.0", 0, ""},        {"1.2.20.0", 0, ""},
        {"1.2.8.1.4.1.1.1", 0, ""}, {"1.2.8.1.5.6.5.5", 0, ""}, {"1.2.8.1.6.6.5.5", 0, ""},
        {"1.2.9.1.2.1", 0, ""},     {"1.2.9.1.6.5", 0, ""},     {"1.2.11.1.3.5.5", 0, ""},
        {"1.2.16.1.2.5", 0, ""},
    };
    for (const auto& c : cases) {
        const mib_test::Result r = mib.Get(At(c.suffix));
        EXPECT_EQ(r.error, 0u) << c.suffix;
        EXPECT_EQ(r.word, c.word) << c.suffix;
        EXPECT_EQ(r.text, c.text) << c.suffix;
    }
    for (uint32_t r = 0; r < dbo::ledstarPowerSpare.rows; ++r) {
        EXPECT_EQ(g_DataBase.Get(dbo::ledstarPowerSpare, r), 0u) << "unserved power cell " << r;
    }
    EXPECT_EQ(g_DataBase.Get(dbo::ledstarStatusWord), 0u);
}

// Table cells are told apart by every index: a value in one cell shows in that cell only.
TEST_F(LedstarObjects, TableCellsFollowTheirIndexes) {
    g_DataBase.Set(dbo::ledstarCubeColumn4, 41, kDbReplayFlags, 25 * 2 + 5 * 3 + 4);  // (3, 4, 5)
    g_DataBase.Set(dbo::ledstarCubeColumn5, 51, kDbReplayFlags, 149);                 // (6, 5, 5)
    g_DataBase.SetText(dbo::ledstarCubeColumn6, "c6", 2, kDbReplayFlags, 5);          // (1, 2, 1)
    g_DataBase.SetText(dbo::ledstarGridColumn3, "g", 1, kDbReplayFlags, 5 * 3 + 1);   // (4, 2)
    g_DataBase.SetText(dbo::ledstarTextColumn2, "t5", 2, kDbReplayFlags, 4);
    g_DataBase.Set(dbo::ledstarPowerColumn3, 33, kDbReplayFlags, 2);
    g_DataBase.Set(dbo::ledstarConfigColumn3, 9, kDbReplayFlags, 3);
    const struct {
        std::string suffix;
        uint32_t word;
        std::string text;
    } cases[] = {
        {"1.2.8.1.4.3.4.5", 41, ""}, {"1.2.8.1.4.3.5.4", 0, ""},   {"1.2.8.1.4.4.3.5", 0, ""},
        {"1.2.8.1.5.6.5.5", 51, ""}, {"1.2.8.1.6.1.2.1", 0, "c6"}, {"1.2.8.1.6.2.1.1", 0, ""},
        {"1.2.8.1.1.3.4.5", 3, ""},  {"1.2.8.1.2.3.4.5", 4, ""},   {"1.2.8.1.3.3.4.5", 5, ""},
        {"1.2.11.1.3.4.2", 0, "g"},  {"1.2.11.1.3.2.4", 0, ""},    {"1.2.11.1.1.4.2", 4, ""},
        {"1.2.11.1.2.4.2", 2, ""},   {"1.2.16.1.2.5", 0, "t5"},    {"1.2.16.1.1.5", 5, ""},
        {"1.2.9.1.3.3", 33, ""},     {"1.2.9.1.2.3", 0, ""},       {"1.2.9.1.1.4", 4, ""},
        {"1.1.5.1.3.4", 9, ""},      {"1.1.5.1.2.4", 1, ""},       {"1.1.5.1.1.2", 2, ""},
    };
    for (const auto& c : cases) {
        const mib_test::Result r = mib.Get(At(c.suffix));
        EXPECT_EQ(r.error, 0u) << c.suffix;
        EXPECT_EQ(r.word, c.word) << c.suffix;
        EXPECT_EQ(r.text, c.text) << c.suffix;
    }
}

// Index 0, an index past its bound and a name of the wrong length find no object; a get-next
// past a table's last cell goes on with the next row.
TEST_F(LedstarObjects, TableBounds) {
    for (const std::string suffix :
         {"1.2.8.1.4.0.1.1", "1.2.8.1.4.1.0.1", "1.2.8.1.4.1.1.0", "1.2.8.1.4.7.1.1",
          "1.2.8.1.4.1.6.1", "1.2.8.1.4.1.1.6", "1.2.8.1.4.1.1",   "1.2.8.1.4.1.1.1.1",
          "1.2.11.1.3.1.0",  "1.2.11.1.3.0.1",  "1.2.11.1.3.6.1",  "1.2.11.1.3.1.6",
          "1.2.11.1.3.1",    "1.2.16.1.2.6",    "1.2.16.1.2.0",    "1.2.16.1.2.1.1",
          "1.2.9.1.5.0",     "1.2.9.1.5.6",     "1.1.5.1.2.0",     "1.1.5.1.2.6",
          "1.1.1",           "1.1.1.0.0",       "1.2.22.0"}) {
        EXPECT_EQ(mib.Get(At(suffix)).error, uint32_t{kSnmpNoSuchName}) << suffix;
    }
    const struct {
        std::string from;
        std::string next;
    } nexts[] = {
        {"1.1.5.1.3.5", "1.1.6.0"},
        {"1.1.5.1.2.0", "1.1.5.1.2.1"},
        {"1.2.9.1.6.5", "1.2.10.0"},
        {"1.2.11.1.1.1.5", "1.2.11.1.1.2.1"},
        {"1.2.11.1.3.5.5", "1.2.12.0"},
        {"1.2.11.1.2.1.0", "1.2.11.1.2.1.1"},
        {"1.2.16.1.2.5", "1.2.17.0"},
        {"1.1.20.9.0", "1.1.21.0"},
        {"1.1", "1.1.1.0"},
    };
    for (const auto& c : nexts) {
        EXPECT_EQ(mib.GetNext(At(c.from)).name, At(c.next)) << c.from;
    }
    EXPECT_EQ(mib.GetNext(At("1.2.21.0")).name.rfind(kBranch + ".", 0), std::string::npos)
        << "the last row leads out of the subtree";
}

// A walk of the subtree answers every served instance once, in order, and stays in it.
TEST_F(LedstarObjects, WalkVisitsEveryServedInstanceInOrder) {
    std::vector<std::string> names;
    std::string name = kBranch;
    for (int step = 0; step < 400; ++step) {
        const mib_test::Result r = mib.GetNext(name);
        if (r.error != 0 || r.name.rfind(kBranch + ".", 0) != 0) {
            break;
        }
        names.push_back(r.name);
        name = r.name;
    }
    // 20 + 9 + 17 scalars; 1.1.5, 1.2.9 and 1.2.16 rows 1..5; 1.2.11 cells (1..5, 1..5).
    EXPECT_EQ(names.size(), 20u + 9u + 17u + 3u * 5u + 6u * 5u + 2u * 5u + 3u * 25u);
    ASSERT_FALSE(names.empty());
    EXPECT_EQ(names.front(), At("1.1.1.0"));
    EXPECT_EQ(names.back(), At("1.2.21.0"));
}

TEST_F(LedstarObjects, ShutOffTemperatureIsValidatedAndAnnounced) {
    RecordingNotifySink sink;
    g_DataBase.SetNotifySink(&sink);
    g_DataBase.SetNotificationEnabled(true);
    EXPECT_EQ(mib.SetInt(At("1.1.1.0"), 40).error, uint32_t{kSnmpBadValue});
    EXPECT_EQ(g_DataBase.Get(dbo::brenShutOffTemp), 85u);
    EXPECT_TRUE(sink.Letters().empty());
    const mib_test::Result r = mib.SetInt(At("1.1.1.0"), 0);
    EXPECT_EQ(r.error, 0u);
    EXPECT_EQ(r.word, 0u);
    EXPECT_EQ(g_DataBase.Get(dbo::brenShutOffTemp), 0u);
    int letters = 0;
    for (uint32_t letter : sink.Letters()) {
        letters += letter == kLetterShutOffTempChanged ? 1 : 0;
    }
    EXPECT_EQ(letters, 1);
    EXPECT_EQ(uint32_t{kLetterShutOffTempChanged}, 87u);
}

TEST_F(LedstarObjects, RestartRequest) {
    const struct {
        uint32_t value;
        uint32_t error;
        uint32_t reset_command;
        uint32_t sw_reset;
    } cases[] = {
        {1, 0, 3, 0},
        {2, 0, 1, 1},
        {3, 0, 1, 1},
        {4, 0, 1, 1},
        {0, kSnmpBadValue, 1, 0},
        {5, kSnmpBadValue, 1, 0},
    };
    for (const auto& c : cases) {
        SetUp();
        const mib_test::Result r = mib.SetInt(At("1.1.9.0"), c.value);
        EXPECT_EQ(r.error, c.error) << c.value;
        EXPECT_EQ(g_DataBase.Get(dbo::brenResetCommand), c.reset_command) << c.value;
        EXPECT_EQ(g_DataBase.Get(dbo::dmsSWReset), c.sw_reset) << c.value;
        EXPECT_EQ(mib.Get(At("1.1.9.0")).word, c.sw_reset) << "a read answers dmsSWReset";
    }
}

// Rows that answer other objects of the controller, some of them transformed.
TEST_F(LedstarObjects, MappedRows) {
    struct Stored {
        const DbObject* object;
        uint32_t row;
        uint32_t value;
    };
    const struct {
        std::string suffix;
        std::vector<Stored> stored;
        uint32_t answer;
    } cases[] = {
        {"1.1.3.0", {{&dbo::fdotMaxNumPixelFailure, 0, 65535}}, 65535},
        {"1.1.4.0", {{&dbo::dmsPowerNumRows, 0, 5}}, 5},
        {"1.1.20.7.0", {{&dbo::controllerStatusFlags, 0, 5}}, 5},
        {"1.2.1.0", {{&dbo::temperatureSensorValue, 1, 0xFB}}, static_cast<uint32_t>(-5)},
        {"1.2.2.0",
         {{&dbo::temperatureSensorValue, 1, 0}, {&dbo::temperatureSensorValue, 2, 30}},
         30},
        {"1.2.3.0", {{&dbo::dmsClimateCtrlOnStatus, 0, 0}}, 1},
        {"1.2.3.0", {{&dbo::dmsClimateCtrlOnStatus, 0, 1}}, 0},
        {"1.2.4.0",
         {{&dbo::dmsClimateCtrlOnStatus, 0, 0}, {&dbo::dmsClimateCtrlOnStatus, 1, 2}},
         0},
        {"1.2.4.0",
         {{&dbo::dmsClimateCtrlOnStatus, 0, 1}, {&dbo::dmsClimateCtrlOnStatus, 1, 0}},
         1},
        {"1.2.5.0", {{&dbo::ledstarLightReadings, 0, 150}}, 150},
        {"1.2.7.0", {{&dbo::ledstarLightReadings, 2, 7}}, 7},
        {"1.2.13.0", {{&dbo::daylightTimeStatus, 0, 2}}, 1},
        {"1.2.13.0", {{&dbo::daylightTimeStatus, 0, 1}}, 0},
        {"1.2.13.0", {{&dbo::daylightTimeStatus, 0, 0}}, 0},
        {"1.2.9.1.5.3", {{&dbo::dmsPowerStatus, 2, 2}}, 1},
        {"1.2.9.1.5.3", {{&dbo::dmsPowerStatus, 2, 3}}, 0},
        {"1.2.9.1.5.3", {{&dbo::dmsPowerStatus, 2, 1}, {&dbo::dmsPowerStatus, 1, 2}}, 0},
        {"1.2.9.1.5.2", {{&dbo::dmsPowerStatus, 1, 2}, {&dbo::dmsPowerStatus, 2, 3}}, 1},
    };
    for (const auto& c : cases) {
        for (const Stored& s : c.stored) {
            g_DataBase.Set(*s.object, s.value, kDbReplayFlags, s.row);
        }
        const mib_test::Result r = mib.Get(At(c.suffix));
        EXPECT_EQ(r.error, 0u) << c.suffix;
        EXPECT_EQ(r.word, c.answer) << c.suffix;
    }
    ASSERT_EQ(mib.SetInt(At("1.1.3.0"), 12).error, 0u);
    EXPECT_EQ(g_DataBase.Get(dbo::fdotMaxNumPixelFailure), 12u);
}

}  // namespace
