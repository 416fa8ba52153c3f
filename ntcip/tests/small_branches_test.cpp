// The ess, panynj and nvdot subtrees: their rows' instances, the derived origin, the group-masked
// thresholds, the split answers of the output requests, and the default setters.

#include "ntcip/small_branches.h"

#include <gtest/gtest.h>

#include <string>

#include "database/global_database.h"
#include "database/object_ids.h"
#include "mib_test_client.h"
#include "ntcip/mib_engine.h"

namespace {

const std::string kEss = "1.3.6.1.4.1.1206.4.2.5.2.2";
const std::string kPanynj = "1.3.6.1.4.1.1206.3.32.1";
const std::string kNvdot = "1.3.6.1.4.1.1206.3.35";

class SmallBranches : public ::testing::Test {
protected:
    void SetUp() override {
        g_DataBase.Set(dbo::brenLatitude, 90000001, kDbReplayFlags);
        g_DataBase.Set(dbo::brenLongitude, 180000001, kDbReplayFlags);
        ess_volatile_defaults(g_DataBase);
        SetMonitorVolatileDefaults(g_DataBase);
        g_DataBase.Set(dbo::brenLegibilityRatio, 0, kDbReplayFlags);
        nvdot_factory_defaults(g_DataBase, 0);
        nvdot_volatile_defaults(g_DataBase);
    }
    mib_test::MibClient mib;
};

TEST_F(SmallBranches, StartValues) {
    const struct {
        std::string oid;
        uint32_t word;
        std::string text;
    } cases[] = {
        {kEss + ".1.0", 90000001, ""}, {kEss + ".2.0", 180000001, ""},
        {kEss + ".4.0", 0, ""},        {kPanynj + ".3.0", 0, ""},
        {kPanynj + ".5.0", 0, ""},     {kPanynj + ".7.0", 0, std::string(1, '\0')},
        {kNvdot + ".1.0", 2, ""},      {kNvdot + ".2.0", 0, std::string(1, '\0')},
        {kNvdot + ".3.0", 2, ""},      {kNvdot + ".4.0", 0, std::string(2, '\0')},
    };
    for (const auto& c : cases) {
        const mib_test::Result r = mib.Get(c.oid);
        EXPECT_EQ(r.error, 0u) << c.oid;
        EXPECT_EQ(r.word, c.word) << c.oid;
        EXPECT_EQ(r.text, c.text) << c.oid;
    }
}

TEST_F(SmallBranches, LocationIsTheCopyTakenAtStart) {
    g_DataBase.Set(dbo::brenLatitude, 45000000, kDbReplayFlags);
    EXPECT_EQ(mib.Get(kEss + ".1.0").word, 90000001u) << "served after the next start";
    ess_volatile_defaults(g_DataBase);
    EXPECT_EQ(mib.Get(kEss + ".1.0").word, 45000000u);
}

TEST_F(SmallBranches, InstancesAndWalk) {
    const struct {
        std::string oid;
        uint32_t error;
    } gets[] = {
        {kEss + ".3.0", kSnmpNoSuchName},   {kEss + ".1.0.0", kSnmpNoSuchName},
        {kNvdot + ".5.0", kSnmpNoSuchName}, {kPanynj + ".8.0", kSnmpNoSuchName},
        {kPanynj + ".1", kSnmpNoSuchName},
    };
    for (const auto& c : gets) {
        EXPECT_EQ(mib.Get(c.oid).error, c.error) << c.oid;
    }
    const struct {
        std::string from;
        std::string next;
    } nexts[] = {
        {kEss + ".2.0", kEss + ".4.0"},
        {kEss + ".3.0", kEss + ".4.0"},
        {kPanynj + ".7.0", kNvdot + ".1.0"},
        {kNvdot + ".3.0", kNvdot + ".4.0"},
    };
    for (const auto& c : nexts) {
        EXPECT_EQ(mib.GetNext(c.from).name, c.next) << c.from;
    }
    EXPECT_NE(mib.GetNext(kNvdot + ".5.0").name.rfind(kNvdot, 0), 0u) << "moves past the subtree";
}

TEST_F(SmallBranches, OriginIsDerived) {
    const struct {
        uint32_t origin;
        uint32_t answer;
    } cases[] = {{4, 2}, {5, 3}, {7, 1}, {1, 1}, {0, 1}, {255, 1}};
    for (const auto& c : cases) {
        g_DataBase.Set(dbo::activationOrigin, c.origin, kDbReplayFlags);
        EXPECT_EQ(mib.Get(kPanynj + ".4.0").word, c.answer) << c.origin;
    }
}

TEST_F(SmallBranches, SetsAndRefusals) {
    const struct {
        std::string oid;
        uint32_t value;
        uint32_t mask;
        uint32_t error;
        const DbObject* object;
        uint32_t stored;
    } cases[] = {
        {kPanynj + ".1.0", 12, 0x8000000, 0, &dbo::fdotMaxNumPixelFailure, 12},
        {kPanynj + ".1.0", 13, 0x100000, kSnmpNoSuchName, &dbo::fdotMaxNumPixelFailure, 12},
        {kPanynj + ".2.0", 80, 0xFFFFFFFF, 0, &dbo::brenLegibilityRatioThreshold, 80},
        {kPanynj + ".2.0", 101, 0xFFFFFFFF, kSnmpBadValue, &dbo::brenLegibilityRatioThreshold, 80},
        {kPanynj + ".6.0", 3, 0xFFFFFFFF, kSnmpNoSuchName, &dbo::brenLegibilityRatio, 0},
        {kNvdot + ".1.0", 1, 0x100000, 0, &dbo::nvdotManualRun1, 1},
        {kNvdot + ".3.0", 1, 0x8000000, kSnmpNoSuchName, &dbo::nvdotManualRun2, 2},
        {kNvdot + ".3.0", 3, 0xFFFFFFFF, kSnmpBadValue, &dbo::nvdotManualRun2, 2},
        {kEss + ".1.0", 0, 0xFFFFFFFF, kSnmpNoSuchName, &dbo::essLatitude, 90000001},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(mib.SetInt(c.oid, c.value, c.mask).error, c.error) << c.oid << " := " << c.value;
        EXPECT_EQ(g_DataBase.Get(*c.object), c.stored) << c.oid << " := " << c.value;
    }
}

TEST_F(SmallBranches, OutputRequestAnswersDifferByRequest) {
    const mib_test::Result set = mib.SetInt(kNvdot + ".1.0", 1);
    EXPECT_EQ(set.error, 0u);
    EXPECT_EQ(set.word, 1u) << "a set answers the stored request";
    EXPECT_EQ(mib.Get(kNvdot + ".1.0").word, 2u) << "a get answers the output state";
    EXPECT_EQ(mib.GetNext(kPanynj + ".7.0").word, 1u) << "a get-next answers the request";
    g_DataBase.Set(dbo::nvdotOutputState1, 1, kDbReplayFlags);
    EXPECT_EQ(mib.Get(kNvdot + ".1.0").word, 1u);
}

}  // namespace
