// The illumination and status objects: the brightness table check, the compatibility scaling,
// signed temperatures that exist only with a live sensor under bit 0x1000, and the MULTI field
// table's rows.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "database/global_database.h"
#include "database/object_ids.h"
#include "mib_test_client.h"
#include "peripherals/peripheral_task.h"
#include "runtime/post_office.h"

namespace {

const std::string kDms = "1.3.6.1.4.1.1206.4.2.3";
const std::string kBrightnessValues = kDms + ".7.7.0";
const std::string kBrightnessError = kDms + ".7.8.0";
constexpr uint32_t kNoSuchName = kSnmpNoSuchName;

struct Level {
    uint16_t output, down, up;
};

std::string Table(const std::vector<Level>& levels) {
    std::string out(1, static_cast<char>(levels.size()));
    for (const Level& l : levels) {
        for (uint16_t v : {l.output, l.down, l.up}) {
            out += static_cast<char>(v >> 8);
            out += static_cast<char>(v & 0xFF);
        }
    }
    return out;
}

class Sensor : public CPeripheral {
public:
    explicit Sensor(uint16_t id) : CPeripheral(1, id) {}
    void Poll() override {}
};

class StatusObjectsTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_DataBase.Set(dbo::brenSpecialFeatureSet, 0, 0);
        g_DataBase.Set(dbo::dmsIllumMaxPhotocellLevel, 65535, 0);
    }
    void TearDown() override { g_DataBase.Set(dbo::brenSpecialFeatureSet, 0, 0); }
    mib_test::MibClient mib;
};

TEST_F(StatusObjectsTest, BrightnessTablesAreCheckedBeforeTheyAreStored) {
    const std::string good = Table({{10, 0, 100}, {20, 101, 200}});
    const struct {
        const char* what;
        std::string table;
        uint32_t error;        // SNMP error status
        uint32_t table_error;  // dmsIllumBrightnessValuesError
    } cases[] = {
        {"two levels, 13 octets", good, 0, 2},
        {"12 octets", good.substr(0, 12), kSnmpGenErr, 6},
        {"14 octets", good + '\0', kSnmpGenErr, 6},
        {"no levels", std::string(1, '\0'), kSnmpGenErr, 6},
        {"empty", std::string(), kSnmpGenErr, 6},
        {"gap of two", Table({{10, 0, 100}, {20, 102, 200}}), kSnmpGenErr, 3},
        {"up below down", Table({{10, 50, 40}}), kSnmpGenErr, 6},
        {"up 65535", Table({{10, 0, 100}, {65535, 90, 65535}}), 0, 2},
        {"overlap", Table({{10, 0, 100}, {20, 50, 200}}), 0, 2},
    };
    for (const auto& c : cases) {
        ASSERT_EQ(mib.SetText(kBrightnessValues, good).error, 0u);
        const mib_test::Result r = mib.SetText(kBrightnessValues, c.table);
        EXPECT_EQ(r.error, c.error) << c.what;
        EXPECT_EQ(mib.Get(kBrightnessError).word, c.table_error) << c.what;
        EXPECT_EQ(mib.Get(kBrightnessValues).text, c.error == 0 ? c.table : good)
            << c.what << ": a refused table keeps the old one";
    }
    g_DataBase.Set(dbo::dmsIllumMaxPhotocellLevel, 150, 0);
    EXPECT_EQ(mib.SetText(kBrightnessValues, good).error, uint32_t{kSnmpGenErr})
        << "photocell levels above the maximum";
    EXPECT_EQ(mib.Get(kBrightnessError).word, 6u);
}

TEST_F(StatusObjectsTest, CompatibilityBitScalesTheLevelAnswers) {
    g_DataBase.Set(dbo::dmsIllumPhotocellLevelStatus, 1000, 0);
    g_DataBase.Set(dbo::dmsIllumNumBrightLevels, 255, 0);
    g_DataBase.Set(dbo::dmsIllumBrightLevelStatus, 9, 0);
    g_DataBase.Set(dbo::dmsIllumManLevel, 9, 0);
    const struct {
        std::string oid;
        uint32_t plain, compatible;
    } cases[] = {{kDms + ".7.3.0", 1000, 7},
                 {kDms + ".7.4.0", 255, 127},
                 {kDms + ".7.5.0", 9, 4},
                 {kDms + ".7.6.0", 9, 9}};
    for (uint32_t features : {0u, 0x20u}) {
        g_DataBase.Set(dbo::brenSpecialFeatureSet, features, 0);
        for (const auto& c : cases) {
            EXPECT_EQ(mib.Get(c.oid).word, features ? c.compatible : c.plain) << c.oid;
        }
    }
    EXPECT_EQ(g_DataBase.Get(dbo::dmsIllumPhotocellLevelStatus), 1000u) << "stored unchanged";
}

TEST_F(StatusObjectsTest, TemperaturesAreSignedAndNeedALiveSensorUnderBit0x1000) {
    const struct {
        const DbObject* object;
        std::string oid;
    } temps[] = {{&dbo::tempMinCtrlCabinet, kDms + ".9.9.1.0"},
                 {&dbo::tempMaxCtrlCabinet, kDms + ".9.9.2.0"},
                 {&dbo::tempMinAmbient, kDms + ".9.9.3.0"},
                 {&dbo::tempMaxAmbient, kDms + ".9.9.4.0"},
                 {&dbo::tempMinSignHousing, kDms + ".9.9.5.0"},
                 {&dbo::tempMaxSignHousing, kDms + ".9.9.6.0"}};
    for (const auto& t : temps) {
        g_DataBase.Set(*t.object, 0xF6, 0);
        EXPECT_EQ(mib.Get(t.oid).word, static_cast<uint32_t>(-10)) << t.oid;
    }
    g_DataBase.Set(dbo::tempMaxAmbient, 0x7F, 0);
    EXPECT_EQ(mib.Get(kDms + ".9.9.4.0").word, 127u);

    CPeripheralTask task(g_PostOffice);
    Sensor cabinet(11), housing(16);
    task.Mediator().Add(&cabinet);
    task.Mediator().Add(&housing);
    g_DataBase.Set(dbo::brenSpecialFeatureSet, 0x1000, 0);
    const struct {
        std::string oid;
        bool exists;
    } cases[] = {{kDms + ".9.9.1.0", true},  {kDms + ".9.9.2.0", true}, {kDms + ".9.9.3.0", false},
                 {kDms + ".9.9.4.0", false}, {kDms + ".9.9.5.0", true}, {kDms + ".9.9.6.0", true},
                 {kDms + ".9.9.7.0", true},  {kDms + ".9.9.8.0", true}};
    for (const auto& c : cases) {
        EXPECT_EQ(mib.Get(c.oid).error, c.exists ? 0u : kNoSuchName) << c.oid;
    }
    EXPECT_EQ(mib.GetNext(kDms + ".9.9.2.0").name, kDms + ".9.9.5.0") << "a walk skips them";
    task.Mediator().Remove(&housing);
    EXPECT_EQ(mib.Get(kDms + ".9.9.5.0").error, kNoSuchName);
    task.Mediator().Remove(&cabinet);
}

TEST_F(StatusObjectsTest, MultiFieldTableHasElevenRows) {
    g_DataBase.Set(dbo::statMultiFieldCode, 11, 0, 10);
    g_DataBase.SetText(dbo::statMultiCurrentFieldValue, "55", 2, 0, 10);
    const struct {
        std::string oid;
        uint32_t error;
        uint32_t word;
    } cases[] = {{kDms + ".9.2.1.1.11", 0, 11},
                 {kDms + ".9.2.1.2.11", 0, 11},
                 {kDms + ".9.2.1.1.12", kNoSuchName, 0},
                 {kDms + ".9.2.1.2.12", kNoSuchName, 0},
                 {kDms + ".9.2.1.1.0", kNoSuchName, 0}};
    for (const auto& c : cases) {
        const mib_test::Result r = mib.Get(c.oid);
        EXPECT_EQ(r.error, c.error) << c.oid;
        EXPECT_EQ(r.word, c.word) << c.oid;
    }
    EXPECT_EQ(mib.Get(kDms + ".9.2.1.3.11").text, "55");
    EXPECT_EQ(mib.GetNext(kDms + ".9.2.1.2.11").name, kDms + ".9.2.1.3.1");
}

TEST_F(StatusObjectsTest, WritableStatusObjectsKeepTheirGroups) {
    EXPECT_EQ(mib.SetInt(kDms + ".9.4.0", 65, 0x4000).error, 0u);
    EXPECT_EQ(mib.Get(kDms + ".9.4.0").word, 65u);
    EXPECT_EQ(mib.SetInt(kDms + ".9.4.0", 70, 0x1).error, kNoSuchName);
    EXPECT_EQ(mib.SetInt(kDms + ".9.8.2.0", 25).error, 0u);
    EXPECT_EQ(mib.Get(kDms + ".9.8.2.0").word, 25u);
    EXPECT_EQ(mib.SetInt(kDms + ".9.8.2.0", 101).error, uint32_t{kSnmpBadValue});
    EXPECT_EQ(mib.SetInt(kDms + ".9.8.1.0", 5).error, kNoSuchName) << "signVolts is read-only";
    EXPECT_EQ(mib.SetInt(kDms + ".7.1.0", 4, 0x200000).error, 0u);
    EXPECT_EQ(mib.Get(kDms + ".7.1.0").word, 4u);
}

}  // namespace
