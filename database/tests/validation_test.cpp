// The validation rules of integer and string writes.

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "database/data_base.h"
#include "database/object_ids.h"
#include "database/tests/db_test_support.h"

namespace {
constexpr DbImage NV = DbImage::kNv;
constexpr DbImage VOL = DbImage::kVolatile;

struct Preset {
    DbImage image;
    uint32_t id, width, value;
};

struct IntCase {
    const char* what;
    DbImage image;
    uint32_t id, width, value;
    std::vector<Preset> setup;
    DbResult expect;
};

class ValidationTest : public DbTest {
protected:
    void Apply(const std::vector<Preset>& presets) {
        for (const Preset& p : presets) {
            Set(p.image, p.id, p.width, p.value);
        }
    }
    void Set(DbImage image, uint32_t id, uint32_t width, uint32_t value) {
        Poke(id, width, value, image);
    }
    // Runs one write and checks the result; a refused write leaves the object as it was, writes
    // no record and posts no notice.
    void Check(const IntCase& c) {
        SCOPED_TRACE(c.what);
        Apply(c.setup);
        const uint32_t before = db->GetInt(c.id, c.width, c.image);
        ClearRecords();
        EXPECT_EQ(db->SetInt(c.id, c.width, c.value, c.image, kDbNotify), c.expect);
        if (c.expect == kDbOk) {
            EXPECT_EQ(db->GetInt(c.id, c.width, c.image), c.value);
        } else {
            EXPECT_EQ(db->GetInt(c.id, c.width, c.image), before);
            EXPECT_TRUE(journal.Records().empty());
            EXPECT_TRUE(sink.Letters().empty());
            EXPECT_EQ(sink.FlagCalls(), 0u);
        }
    }
};

// Message-table columns whose rows may only change while the row's status allows it. Each
// column is tried at its first and last row, and the row's status object is found from the id.
TEST_F(ValidationTest, MessageColumnsFollowTheirRowStatus) {
    struct Column {
        DbImage image;
        uint32_t first, width, rows, status;
        std::set<uint32_t> allowed;  // statuses that let the write through
    };
    const Column columns[] = {
        {VOL, 60, 2, 4, 80, {2, 3}},  // dmsMessageCRC
        {VOL, 68, 1, 4, 80, {2}},     // dmsMessageBeacon
        {VOL, 72, 1, 4, 80, {2}},     // dmsMessagePixelService
        {VOL, 76, 1, 4, 80, {2}},     // dmsMessageRunTimePriority
        {NV, 30592, 2, 600, 33592, {2, 3}}, {NV, 31792, 1, 600, 33592, {2}},
        {NV, 32392, 1, 600, 33592, {2}},    {NV, 32992, 1, 600, 33592, {2}},
    };
    for (const Column& col : columns) {
        for (uint32_t row : {0u, col.rows - 1}) {
            const uint32_t id = col.first + row * col.width;
            for (uint32_t status = 1; status <= 8; ++status) {
                SCOPED_TRACE(testing::Message() << "id " << id << " status " << status);
                // Every other row holds status 2, so only the right row can refuse.
                for (uint32_t r = 0; r < col.rows; ++r) {
                    Set(col.image, col.status + r, 1, r == row ? status : 2);
                }
                const uint32_t value = 1 + (status % 3);
                Set(col.image, id, col.width, 0);
                const DbResult expected = col.allowed.count(status) ? kDbOk : kDbGenError;
                EXPECT_EQ(db->SetInt(id, col.width, value, col.image, 0), expected);
                EXPECT_EQ(db->GetInt(id, col.width, col.image), expected == kDbOk ? value : 0u);
            }
        }
    }
}

// The status transition rule, for every pair of current and new status, in both tables.
TEST_F(ValidationTest, MessageStatusTransitions) {
    const std::set<uint32_t> acceptedFrom[9] = {
        {},               // (unused)
        {8},              // 1 notUsed
        {6},              // 2 modifying
        {7},              // 3 validating
        {3},              // 4 valid
        {3},              // 5 error
        {1, 2, 4, 5},     // 6 modifyReq
        {2},              // 7 validateReq
        {1, 2, 4, 5, 8},  // 8 notUsedReq
    };
    struct Table {
        DbImage image;
        uint32_t first, last;
        const char* outOfRangeLog;
    };
    const Table tables[] = {{VOL, 80, 83, "Vol MsgStatus9 error\n"}, {NV, 33592, 34191, ""}};
    for (const Table& t : tables) {
        for (uint32_t id : {t.first, t.last}) {
            for (uint32_t current = 0; current <= 9; ++current) {
                for (uint32_t next = 0; next <= 10; ++next) {
                    SCOPED_TRACE(testing::Message()
                                 << "id " << id << ": " << current << " -> " << next);
                    Set(t.image, id, 1, current);
                    CapturedDebug().clear();
                    // A current status outside 1-8 counts as 1.
                    const uint32_t effective = current >= 1 && current <= 8 ? current : 1;
                    DbResult expected = kDbGenError;
                    if (next >= 1 && next <= 8) {
                        expected = acceptedFrom[next].count(effective) ? kDbOk : kDbBadValue;
                    }
                    EXPECT_EQ(db->SetInt(id, 1, next, t.image, 0), expected);
                    EXPECT_EQ(db->GetInt(id, 1, t.image), expected == kDbOk ? next : current);
                    EXPECT_EQ(CapturedDebug(),
                              expected == kDbGenError ? t.outOfRangeLog : std::string());
                }
            }
        }
    }
}

TEST_F(ValidationTest, SingleObjectRules) {
    const IntCase cases[] = {
        // per-peripheral status bytes
        {"peripheral status 4 refused (first)", VOL, 4192, 1, 4, {}, kDbBadValue},
        {"peripheral status 4 refused (last)", VOL, 4223, 1, 4, {}, kDbBadValue},
        {"peripheral status 3 accepted", VOL, 4200, 1, 3, {}, kDbOk},
        {"before the status bytes", VOL, 4191, 1, 4, {}, kDbOk},
        {"after the status bytes", VOL, 4224, 1, 4, {}, kDbOk},
        {"status bytes are volatile only", NV, 4192, 1, 4, {}, kDbOk},
        // dmsControlMode
        {"control mode 2 -> 5", VOL, 132, 1, 5, {{VOL, 132, 1, 2}}, kDbOk},
        {"control mode 2 -> 4", VOL, 132, 1, 4, {{VOL, 132, 1, 2}}, kDbBadValue},
        {"control mode 4 -> 5", VOL, 132, 1, 5, {{VOL, 132, 1, 4}}, kDbBadValue},
        {"control mode 5 -> 2", VOL, 132, 1, 2, {{VOL, 132, 1, 5}}, kDbBadValue},
        // brenShutOffTemp without product bounds (both 0)
        {"shut-off 0 accepted", NV, 95623, 1, 0, {{NV, 95623, 1, 85}}, kDbOk},
        {"shut-off 85 out of bounds 0..0", NV, 95623, 1, 85, {}, kDbBadValue},
        // globalDaylightSaving
        {"daylight saving 1 refused", NV, 48844, 1, 1, {}, kDbGenError},
        {"daylight saving 20 with row 1 at 14",
         NV,
         48844,
         1,
         20,
         {{NV, 48856, 1, 14}},
         kDbGenError},
        {"daylight saving 20 with row 1 at 13", NV, 48844, 1, 20, {{NV, 48856, 1, 13}}, kDbOk},
        {"daylight saving 2", NV, 48844, 1, 2, {}, kDbOk},
        {"daylight saving 3", NV, 48844, 1, 3, {}, kDbOk},
        // dstBeginMonth
        {"dstBeginMonth 15 refused (row 1)", NV, 48856, 1, 15, {}, kDbGenError},
        {"dstBeginMonth 15 refused (row 10)", NV, 48865, 1, 15, {}, kDbGenError},
        {"dstBeginMonth 15 after the table", NV, 48866, 1, 15, {}, kDbOk},
        {"dstBeginMonth 4", NV, 48860, 1, 4, {}, kDbOk},
    };
    for (const IntCase& c : cases) {
        Check(c);
    }
}

TEST_F(ValidationTest, ShutOffTemperatureUsesTheProductBounds) {
    db->SetCriticalTempBounds([] { return 40; }, [] { return 90; });
    const IntCase cases[] = {
        {"lowest", NV, 95623, 1, 40, {}, kDbOk},       {"highest", NV, 95623, 1, 90, {}, kDbOk},
        {"below", NV, 95623, 1, 39, {}, kDbBadValue},  {"above", NV, 95623, 1, 91, {}, kDbBadValue},
        {"zero disables", NV, 95623, 1, 0, {}, kDbOk},
    };
    for (const IntCase& c : cases) {
        // The verdict without the write first: the stored value and the journal stay.
        const uint32_t before = db->Get(dbo::brenShutOffTemp);
        ClearRecords();
        EXPECT_EQ(db->Check(dbo::brenShutOffTemp, c.value), c.expect) << c.what;
        EXPECT_EQ(db->Get(dbo::brenShutOffTemp), before) << c.what;
        EXPECT_TRUE(journal.Records().empty()) << c.what;
        Check(c);
    }
    EXPECT_EQ(db->Check(dbo::brenShutOffTemp, 0, 1), kDbGenError) << "no second row";
    EXPECT_EQ(db->Check(dbo::sysContact, 0), kDbGenError) << "a string object";
}

TEST_F(ValidationTest, DaylightSavingRewritesTheBeginMonths) {
    struct Case {
        uint32_t value;
        uint32_t rowOneBefore;
        uint32_t monthsAfter;  // every row; 0 = left as they were
    };
    const Case cases[] = {{2, 3, 14}, {3, 3, 15}, {4, 13, 15}, {20, 13, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        for (uint32_t row = 0; row < 10; ++row) {
            Set(NV, dbo::dstBeginMonth.Row(row), 1, row == 0 ? c.rowOneBefore : row);
        }
        Set(NV, dbo::globalDaylightSaving.id, 1, 9);
        ClearRecords();
        EXPECT_EQ(db->SetInt(dbo::globalDaylightSaving.id, 1, c.value, NV, 0), kDbOk);
        for (uint32_t row = 0; row < 10; ++row) {
            const uint32_t before = row == 0 ? c.rowOneBefore : row;
            EXPECT_EQ(db->GetInt(dbo::dstBeginMonth.Row(row), 1, NV),
                      c.monthsAfter == 0 ? before : c.monthsAfter);
        }
        EXPECT_EQ(db->GetInt(dbo::globalDaylightSaving.id, 1, NV), c.value);
        if (c.monthsAfter != 0) {
            // The rows are written (and journalled) before the requested write; each changed row
            // is a catalogue object and posts letter 93.
            ASSERT_EQ(journal.Records().size(), 11u);
            EXPECT_EQ(journal.Records()[0].id, dbo::dstBeginMonth.id);
            EXPECT_EQ(journal.Records()[10].id, dbo::globalDaylightSaving.id);
            EXPECT_EQ(sink.Letters(), std::vector<uint32_t>(10, 93));
        }
    }
}

TEST_F(ValidationTest, BeginMonthSetsTheDaylightSavingMode) {
    struct Case {
        uint32_t row, value, mode;
    };
    const Case cases[] = {{0, 14, 2}, {9, 14, 2}, {4, 3, 1}, {9, 12, 1}, {0, 0, 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "row " << c.row << " := " << c.value);
        Set(NV, dbo::globalDaylightSaving.id, 1, 3);
        EXPECT_EQ(db->SetInt(dbo::dstBeginMonth.Row(c.row), 1, c.value, NV, 0), kDbOk);
        EXPECT_EQ(db->GetInt(dbo::globalDaylightSaving.id, 1, NV), c.mode);
        EXPECT_EQ(db->GetInt(dbo::dstBeginMonth.Row(c.row), 1, NV), c.value);
    }
}

TEST_F(ValidationTest, SkippedWithTheFlagOrWhenDisabled) {
    Set(VOL, 132, 1, 4);
    EXPECT_EQ(db->SetInt(dbo::dmsControlMode.id, 1, 2, VOL, kDbSkipValidation), kDbOk);
    EXPECT_EQ(db->SetInt(dbo::dmsMessageStatus.id, 1, 2, NV, kDbSkipValidation | kDbNotify), kDbOk);
    db->SetValidationEnabled(false);
    EXPECT_EQ(db->SetInt(dbo::globalDaylightSaving.id, 1, 1, NV, 0), kDbOk);
    EXPECT_EQ(db->GetInt(dbo::dstBeginMonth.id, 1, NV), 0u);  // no rule ran
    EXPECT_EQ(db->SetString(25792 + 4, 4, "x", 1, NV, 0), kDbOk);
}

// --- string writes ---

TEST_F(ValidationTest, MessageTextsAndOwnersNeedStatusModifying) {
    struct Column {
        DbImage image;
        uint32_t first, rows, status;
        const char* log;
    };
    const Column columns[] = {
        {VOL, 28, 4, 80, "SetString invalid value\r\nVol MsgString error\n"},
        {VOL, 44, 4, 80, "SetString invalid value\r\nVol MsgOwner error\n"},
        {NV, 25792, 600, 33592, "SetString invalid value\r\n"},
        {NV, 28192, 600, 33592, "SetString invalid value\r\n"},
    };
    for (const Column& col : columns) {
        for (uint32_t row : {0u, col.rows - 1}) {
            const uint32_t id = col.first + 4 * row;
            for (uint32_t status = 1; status <= 8; ++status) {
                SCOPED_TRACE(testing::Message() << "id " << id << " status " << status);
                for (uint32_t r = 0; r < col.rows; ++r) {
                    Set(col.image, col.status + r, 1, r == row ? status : 2);
                }
                PokeString(id, "old", col.image);
                ClearRecords();
                const DbResult result = db->SetString(id, 4, "new", 3, col.image, kDbNotify);
                if (status == 2) {
                    EXPECT_EQ(result, kDbOk);
                    EXPECT_EQ(Read(id, col.image), "new");
                } else {
                    EXPECT_EQ(result, kDbGenError);
                    EXPECT_EQ(Read(id, col.image), "old");
                    // Log lines come in the order the checks run: the rule's, then the setter's.
                    std::string log = col.log;
                    if (col.image == VOL) {
                        log = log.substr(log.find("\r\n") + 2) + "SetString invalid value\r\n";
                    }
                    EXPECT_EQ(CapturedDebug(), log);
                    EXPECT_TRUE(journal.Records().empty());
                    EXPECT_TRUE(sink.Letters().empty());
                }
            }
        }
    }
}

std::string Table(std::initializer_list<uint32_t> entries) {
    // entries: (light output, lowest, highest) triples
    std::string text(1, static_cast<char>(entries.size() / 3));
    for (uint32_t v : entries) {
        text += static_cast<char>(v >> 8);
        text += static_cast<char>(v & 0xFF);
    }
    return text;
}

TEST_F(ValidationTest, BrightnessTableStructure) {
    struct Case {
        const char* what;
        std::string text;
        DbResult expect;
        uint32_t error;  // dmsIllumBrightnessValuesError afterwards
    };
    const Case cases[] = {
        {"one entry", Table({100, 0, 1000}), kDbOk, 2},
        {"contiguous entries", Table({10, 0, 99, 20, 100, 500, 30, 501, 1000}), kDbOk, 2},
        {"overlapping entries", Table({10, 0, 600, 20, 100, 1000}), kDbOk, 2},
        {"entry at the limit", Table({1, 1000, 1000}), kDbOk, 2},
        {"gap of one level", Table({10, 0, 99, 20, 101, 500}), kDbGenError, 3},
        {"count 0", std::string(1, '\0'), kDbGenError, 6},
        {"empty text", std::string(), kDbGenError, 6},
        {"short of one octet", Table({100, 0, 1000}).substr(0, 6), kDbGenError, 6},
        {"one octet too many", Table({100, 0, 1000}) + "x", kDbGenError, 6},
        {"lowest above highest", Table({100, 500, 400}), kDbGenError, 6},
        {"highest above the limit", Table({100, 0, 1001}), kDbGenError, 6},
        {"lowest above the limit", Table({100, 1001, 1002}), kDbGenError, 6},
        {"structure error wins over a gap", Table({1, 0, 10, 2, 50, 60, 3, 70, 2000}), kDbGenError,
         6},
        {"light output octets ignored", Table({0xFFFF, 0, 5}), kDbOk, 2},
    };
    Set(VOL, dbo::dmsIllumMaxPhotocellLevel.id, 2, 1000);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        PokeString(dbo::dmsIllumBrightnessValues.id, "\x01old", NV);
        Set(NV, dbo::dmsIllumBrightnessValuesError.id, 1, 9);
        ClearRecords();
        const uint32_t length = static_cast<uint32_t>(c.text.size());
        EXPECT_EQ(db->SetString(dbo::dmsIllumBrightnessValues.id, 4, c.text.data(), length, NV,
                                kDbNotify),
                  c.expect);
        EXPECT_EQ(db->GetInt(dbo::dmsIllumBrightnessValuesError.id, 1, NV), c.error);
        EXPECT_EQ(Read(dbo::dmsIllumBrightnessValues.id, NV),
                  c.expect == kDbOk ? c.text : std::string("\x01old"));
        // The error object is written with a notice: its flag row sets 0x20000.
        EXPECT_EQ(sink.Flags(), 0x20000u);
        // Its change is a letter-34 notice only when the table itself was stored.
        const bool stored = c.expect == kDbOk;
        EXPECT_EQ(std::count(sink.Letters().begin(), sink.Letters().end(), 34u), stored ? 1 : 0);
    }
}
}  // namespace
