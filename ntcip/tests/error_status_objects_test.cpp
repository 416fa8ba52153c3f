// The error status objects: the pixel failure row count and rows up to the stored counts, the
// power supply and climate-control tables with their bounds, and the climate test request.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "database/global_database.h"
#include "database/object_ids.h"
#include "mib_test_client.h"

namespace {

const std::string kError = "1.3.6.1.4.1.1206.4.2.3.9.7";
const std::string kNumRows = kError + ".2.0";
const std::string kFailure = kError + ".3.1.";
const std::string kPower = kError + ".13.1.";
const std::string kClimate = kError + ".17.1.";
constexpr uint32_t kNoSuchName = kSnmpNoSuchName;

class ErrorStatusObjectsTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_DataBase.Set(dbo::brenSpecialFeatureSet, 0, 0);
        SetCounts(3, 2);
    }
    void TearDown() override {
        g_DataBase.Set(dbo::brenSpecialFeatureSet, 0, 0);
        SetCounts(0, 0);
    }
    static void SetCounts(uint32_t test_rows, uint32_t message_rows) {
        g_DataBase.Set(dbo::dmsPixelFailureTestRows, test_rows, 0);
        g_DataBase.Set(dbo::dmsPixelFailureMessageRows, message_rows, 0);
    }
    mib_test::MibClient mib;
};

TEST_F(ErrorStatusObjectsTest, PixelFailureRowCountFollowsTheFeatureBits) {
    const struct {
        uint32_t features, test_rows, message_rows, answer;
    } cases[] = {{0, 3, 2, 3},        {0x04, 3, 2, 5},   {0x20, 150, 2, 100},
                 {0x24, 150, 2, 100}, {0x20, 40, 2, 40}, {0x04, 0, 0, 0}};
    for (const auto& c : cases) {
        g_DataBase.Set(dbo::brenSpecialFeatureSet, c.features, 0);
        SetCounts(c.test_rows, c.message_rows);
        EXPECT_EQ(mib.Get(kNumRows).word, c.answer) << c.features << " " << c.test_rows;
        EXPECT_EQ(mib.Get(kError + ".19.0").word, c.test_rows);
    }
}

TEST_F(ErrorStatusObjectsTest, PixelFailureRowsExistUpToTheCounts) {
    g_DataBase.Set(dbo::pixelFailureXLocation, 17, 0, 500 + 2);  // (2, 3)
    g_DataBase.Set(dbo::pixelFailureYLocation, 4, 0, 1000 + 1);  // (3, 2)
    g_DataBase.Set(dbo::pixelFailureStatus, 8, 0, 6);            // (1, 7)
    const struct {
        std::string oid;
        bool exists;
        uint32_t word;
    } cases[] = {
        {kFailure + "3.2.3", true, 17},   {kFailure + "4.3.2", true, 4},
        {kFailure + "1.2.3", true, 2},    {kFailure + "2.3.2", true, 2},
        {kFailure + "5.1.7", true, 8},  // type 1 rows are read without a count
        {kFailure + "3.2.4", false, 0},   {kFailure + "3.3.3", false, 0},
        {kFailure + "3.2.0", false, 0},   {kFailure + "3.4.1", false, 0},
        {kFailure + "3.1.501", false, 0}, {kFailure + "3.0.1", false, 0},
    };
    for (const auto& c : cases) {
        const mib_test::Result r = mib.Get(c.oid);
        EXPECT_EQ(r.error, c.exists ? 0u : kNoSuchName) << c.oid;
        EXPECT_EQ(r.word, c.word) << c.oid;
    }
}

TEST_F(ErrorStatusObjectsTest, PixelFailureWalkEntersTypeTwoAndEndsAtTheCounts) {
    // Walk column 3 from its start: pixel-test rows, then message-display rows, then column 4.
    const struct {
        uint32_t test_rows, message_rows;
        std::string from;
        std::vector<std::string> names;
    } cases[] = {
        {3, 2, kFailure + "3", {"3.2.1", "3.2.2", "3.2.3", "3.3.1", "3.3.2", "4.2.1"}},
        {3, 2, kFailure + "3.1.250", {"3.2.1"}},
        {0, 2, kFailure + "3.1.1", {"3.3.1", "3.3.2", "4.3.1"}},
        {1, 0, kFailure + "2", {"2.2.1", "3.2.1"}},
        {0, 0, kFailure + "5", {}},
    };
    for (const auto& c : cases) {
        SetCounts(c.test_rows, c.message_rows);
        std::string at = c.from;
        for (const std::string& expected : c.names) {
            const mib_test::Result r = mib.GetNext(at);
            ASSERT_EQ(r.name, kFailure + expected) << "after " << at;
            at = r.name;
        }
        if (c.names.empty()) {
            const mib_test::Result r = mib.GetNext(at);
            EXPECT_NE(r.name.compare(0, kFailure.size(), kFailure), 0) << r.name;
        }
    }
}

TEST_F(ErrorStatusObjectsTest, PowerTableHasThreeHundredRowsPerColumn) {
    g_DataBase.SetText(dbo::dmsPowerDescription, "PSU 300", 7, 0, 299);
    g_DataBase.Set(dbo::dmsPowerVoltage, 2400, 0, 299);
    const struct {
        std::string oid;
        bool exists;
    } cases[] = {{kPower + "1.300", true},    {kPower + "6.300", true},
                 {kPower + "1.1", true},      {kPower + "1.301", false},
                 {kPower + "4.301", false},   {kPower + "1.0", false},
                 {kPower + "5.70000", false}, {kPower + "6.4294967295", false},
                 {kPower + "1.256", true},    {kPower + "1.300.1", false}};
    for (const auto& c : cases) {
        EXPECT_EQ(mib.Get(c.oid).error, c.exists ? 0u : kNoSuchName) << c.oid;
    }
    EXPECT_EQ(mib.Get(kPower + "2.300").text, "PSU 300");
    EXPECT_EQ(mib.Get(kPower + "5.300").word, 2400u);
    EXPECT_EQ(mib.Get(kPower + "1.256").word, 256u);
    EXPECT_EQ(mib.GetNext(kPower + "1.300").name, kPower + "2.1");
    EXPECT_EQ(mib.GetNext(kPower + "3.255").name, kPower + "3.256");
    EXPECT_NE(mib.GetNext(kPower + "6.300").name.compare(0, kPower.size(), kPower), 0)
        << "the walk leaves the table";
}

TEST_F(ErrorStatusObjectsTest, ClimateTableTestRequestsAndBounds) {
    const struct {
        uint32_t value, error, stored;
    } cases[] = {{3, 0, 3}, {4, kSnmpBadValue, 3}, {2, 0, 2}, {5, kSnmpBadValue, 2}};
    for (const auto& c : cases) {
        EXPECT_EQ(mib.SetInt(kClimate + "6.32", c.value).error, c.error) << c.value;
        EXPECT_EQ(mib.Get(kClimate + "6.32").word, c.stored) << c.value;
    }
    EXPECT_EQ(mib.SetInt(kClimate + "6.33", 3).error, kNoSuchName);
    EXPECT_EQ(mib.SetInt(kClimate + "8.1", 9).error, 0u);
    EXPECT_EQ(mib.Get(kClimate + "8.1").word, 9u);
    EXPECT_EQ(mib.SetInt(kClimate + "6.1", 3, 0x1).error, kNoSuchName) << "group bit 20 only";
}

}  // namespace
