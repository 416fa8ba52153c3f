// The global, report-group and fdot handlers answer and store through the agent: time offsets,
// table bounds, aux ports, class limits.
#include "ntcip/global_objects.h"

#include <gtest/gtest.h>

#include "database/time_registers.h"
#include "ntcip/tests/agent_harness.h"

namespace {

using namespace snmp_test;
using Oid = std::vector<uint32_t>;

Oid Global(std::initializer_list<uint32_t> tail) {
    Oid name = {1, 3, 6, 1, 4, 1, 1206, 4, 2, 6};
    name.insert(name.end(), tail);
    return name;
}
Oid Under1206(std::initializer_list<uint32_t> tail) {
    Oid name = {1, 3, 6, 1, 4, 1, 1206};
    name.insert(name.end(), tail);
    return name;
}

Varbind At(const Oid& name) {
    Varbind v;
    v.name = name;
    return v;
}
Varbind Value(const Oid& name, uint16_t syntax, uint32_t value) {
    Varbind v;
    v.name = name;
    v.syntax = syntax;
    v.integer = value;
    return v;
}

class GlobalObjects : public ::testing::Test {
protected:
    void SetUp() override {
        g_DataBase.SetTimeRegisters(&clock_);
        const DbObject& t = dbo::globalTime;
        g_DataBase.SetRegisterTime(t.id, t.width, 1000000, t.image, 0);
        g_DataBase.Set(dbo::maxEventLogSize, 255, kDbReplayFlags);
        g_DataBase.Set(dbo::maxEventClasses, 16, kDbReplayFlags);
        for (uint32_t c = 0; c < 16; ++c) {
            g_DataBase.Set(dbo::eventClassLimit, c == 11 ? 100 : 0, kDbReplayFlags, c);
        }
    }
    void TearDown() override { g_DataBase.SetTimeRegisters(&BoardTimeRegisters::Instance()); }

    Decoded Ask(uint32_t type, const std::vector<Varbind>& varbinds) {
        std::optional<Bytes> sent = agent_.Exchange(Request(0, kAdmin, type, varbinds));
        EXPECT_TRUE(sent.has_value());
        std::optional<Decoded> d = sent ? Decode(*sent) : std::nullopt;
        return d ? std::move(*d) : Decoded{};
    }
    uint32_t Get(const Oid& name, uint32_t* status = nullptr) {
        Decoded d = Ask(kSnmpGetRequest, {At(name)});
        if (status != nullptr) {
            *status = d.pdu->request.error_status;
        }
        return d.pdu->varbinds[0].value[0];
    }
    uint32_t Set(const Oid& name, uint32_t value, uint16_t syntax = kSnmpInteger) {
        return Ask(kSnmpSetRequest, {Value(name, syntax, value)}).pdu->request.error_status;
    }

    MemoryTimeRegisters clock_;
    AgentHarness agent_;
};

TEST_F(GlobalObjects, OffsetsMoveLocalTimeAndTheDifferentialIsComputed) {
    const Oid differential = Global({3, 4, 0});
    const Oid zone = Global({3, 5, 0});
    const Oid local = Global({3, 6, 0});

    ASSERT_EQ(Set(zone, static_cast<uint32_t>(-21600)), kSnmpNoError);
    EXPECT_EQ(Get(local), 978400u);
    EXPECT_EQ(static_cast<int32_t>(Get(differential)), -21600);

    ASSERT_EQ(Set(differential, 3600), kSnmpNoError);
    EXPECT_EQ(Get(local), 1003600u);
    EXPECT_EQ(static_cast<int32_t>(Get(zone)), -21600);  // the zone is left alone
    EXPECT_EQ(g_DataBase.Get(dbo::globalLocalTimeDifferential), 3600u);
}

TEST_F(GlobalObjects, GlobalTimeCounterSetGoesToTheRegistersAndEveryAccessRefreshesTheSavedTime) {
    static uint32_t saved = 0;
    saved = 0;
    ntcip_set_saved_global_time_hook([](uint32_t seconds) { saved = seconds; });
    EXPECT_EQ(Get(Global({3, 1, 0})), 1000000u);
    EXPECT_EQ(saved, 1000000u);
    ASSERT_EQ(Set(Global({3, 1, 0}), 2000000, kSnmpCounter), kSnmpNoError);
    const DbObject& t = dbo::globalTime;
    EXPECT_EQ(g_DataBase.GetRegisterTime(t.id, t.width, t.image), 2000000u);
    EXPECT_EQ(saved, 2000000u);
    ntcip_set_saved_global_time_hook(nullptr);
}

// Instances inside and just outside the table bounds (index 0 included).
TEST_F(GlobalObjects, TableBoundsAnswerOrRefuse) {
    g_DataBase.Set(dbo::dayPlanHour, 7, kDbReplayFlags, 24 * 19 + 23);
    g_DataBase.Set(dbo::timeBaseScheduleMonth, 0x0FFF, kDbReplayFlags, 28);
    g_DataBase.Set(dbo::eventLogTime, 4242, kDbReplayFlags, 255 * 15 + 254);
    struct Case {
        Oid name;
        uint32_t status;
        uint32_t value;
    } cases[] = {
        {Global({3, 3, 5, 1, 3, 20, 24}), kSnmpNoError, 7},
        {Global({3, 3, 5, 1, 3, 21, 1}), kSnmpNoSuchName, 0},
        {Global({3, 3, 5, 1, 3, 1, 25}), kSnmpNoSuchName, 0},
        {Global({3, 3, 5, 1, 3, 1, 0}), kSnmpNoSuchName, 0},
        {Global({3, 3, 5, 1, 2, 4, 9}), kSnmpNoError, 9},  // dayPlanEventNumber answers e
        {Global({3, 3, 2, 1, 2, 29}), kSnmpNoError, 0x0FFF},
        {Global({3, 3, 2, 1, 2, 30}), kSnmpNoSuchName, 0},
        {Global({4, 4, 1, 4, 16, 255}), kSnmpNoError, 4242},
        {Global({4, 4, 1, 4, 17, 1}), kSnmpNoSuchName, 0},
        {Global({4, 4, 1, 5, 1, 0}), kSnmpNoSuchName, 0},
        {Global({7, 3, 1, 5, 2, 25}), kSnmpNoSuchName, 0},
        {Global({7, 3, 1, 5, 3, 113}), kSnmpNoSuchName, 0},
        {Global({7, 3, 1, 5, 3, 0}), kSnmpNoSuchName, 0},
        {Global({1, 3, 1, 1, 9}), kSnmpNoSuchName, 0},
        {Under1206({3, 6, 11, 3, 1, 1, 101}), kSnmpNoSuchName, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.name));
        uint32_t status = 0;
        const uint32_t value = Get(c.name, &status);
        EXPECT_EQ(status, c.status);
        if (c.status == kSnmpNoError) {
            EXPECT_EQ(value, c.value);
        }
    }
}

TEST_F(GlobalObjects, AuxPortsSelectTheirKindAndAValueSetIsAlsoTheLastCommandedState) {
    // Values within the ports' resolution (the stand-in's resolution 0 allows 0 and 1).
    ASSERT_EQ(Set(Global({7, 3, 1, 5, 2, 24}), 1), kSnmpNoError);
    EXPECT_EQ(g_DataBase.Get(dbo::auxIOPortValue, 112 + 23), 1u);
    EXPECT_EQ(g_DataBase.Get(dbo::auxIOPortLastCommandedState, 112 + 23), 1u);
    ASSERT_EQ(Set(Global({7, 3, 1, 5, 3, 25}), 1), kSnmpNoError);
    EXPECT_EQ(g_DataBase.Get(dbo::auxIOPortValue, 24), 1u);

    ASSERT_EQ(Set(Global({7, 3, 1, 5, 3, 7}), 1), kSnmpNoError);
    EXPECT_EQ(Get(Global({7, 3, 1, 7, 3, 7})), 1u);
    // The older subtree: types 1 and 3 both address the digital ports.
    EXPECT_EQ(Get(Under1206({2, 1, 1, 3, 1, 5, 1, 7})), 1u);
    EXPECT_EQ(Get(Under1206({2, 1, 1, 3, 1, 5, 3, 7})), 1u);
    // Only the last commanded state: the value stays.
    ASSERT_EQ(Set(Global({7, 3, 1, 7, 3, 7}), 2), kSnmpNoError);
    EXPECT_EQ(g_DataBase.Get(dbo::auxIOPortValue, 6), 1u);
}

TEST_F(GlobalObjects, ClassLimitsMayNotSumPastTheLogSize) {
    const Oid limit3 = Global({4, 6, 1, 2, 3});
    EXPECT_EQ(Set(limit3, 156), kSnmpNoSuchName);
    EXPECT_EQ(g_DataBase.Get(dbo::eventClassLimit, 2), 0u);
    EXPECT_EQ(Set(limit3, 155), kSnmpNoError);
    EXPECT_EQ(g_DataBase.Get(dbo::eventClassLimit, 2), 155u);
    // maxEventClasses past the 16 classes: the sum still reads only the 16.
    g_DataBase.Set(dbo::maxEventClasses, 255, kDbReplayFlags);
    EXPECT_EQ(Set(limit3, 100), kSnmpNoError);
    EXPECT_EQ(Set(limit3, 156), kSnmpNoSuchName);
}

TEST_F(GlobalObjects, PlainAndDerivedObjects) {
    EXPECT_EQ(Set(Global({2, 1, 0}), 2), kSnmpNoError);  // dbCreateTransaction: stored only
    EXPECT_EQ(Get(Global({2, 1, 0})), 2u);

    const Oid origin = Under1206({3, 6, 11, 12, 0});
    const uint32_t origins[][2] = {{7, 4}, {5, 3}, {1, 1}};
    for (const auto& o : origins) {
        g_DataBase.Set(dbo::activationOrigin, o[0], kDbReplayFlags);
        EXPECT_EQ(Get(origin), o[1]);
    }

    g_DataBase.SetInt(2672, 1, 2, DbImage::kVolatile, kDbReplayFlags);  // supply 1 OK
    g_DataBase.SetInt(2673, 1, 3, DbImage::kVolatile, kDbReplayFlags);
    EXPECT_EQ(Get(Under1206({3, 6, 11, 3, 1, 5, 1})), 0u);
    EXPECT_EQ(Get(Under1206({3, 6, 11, 3, 1, 5, 2})), 1u);
}

}  // namespace
