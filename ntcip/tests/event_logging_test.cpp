// The event logging engine: each mode's condition and holding time, entry allocation, clearing,
// limits, the log-full trap and the mended edge cases.
#include <gtest/gtest.h>

#include "ntcip/snmp_pdu.h"
#include "ntcip/tests/event_logging_fixture.h"
#include "ntcip/tests/snmp_test_support.h"

namespace event_test {
namespace {

struct Step {
    uint32_t seconds;  // global time advanced before the evaluation
    uint32_t value;    // watched value
    uint32_t entries;  // entries in the class after it
};
struct ModeCase {
    const char* name;
    uint32_t mode, cv1, cv2;
    std::vector<Step> steps;
};

TEST_F(EventLog, ModesMakeEntriesAsTheirConditionsHold) {
    const ModeCase cases[] = {
        {"on change: the first value only recorded",
         2,
         0,
         0,
         {{1, 5, 0}, {1, 5, 0}, {1, 6, 1}, {1, 6, 1}, {1, 7, 2}}},
        {"greater than, held 5 s, then rearmed below",
         3,
         30,
         50,
         {{1, 31, 0}, {2, 31, 0}, {3, 31, 1}, {10, 31, 1}, {1, 30, 1}, {1, 31, 1}, {5, 31, 2}}},
        {"greater than without holding time", 3, 30, 0, {{1, 30, 0}, {1, 31, 1}, {1, 40, 1}}},
        {"signed compare", 3, 0, 0, {{1, 0xFFFFFFFF, 0}, {1, 1, 1}}},
        {"smaller than", 4, 10, 0, {{1, 11, 0}, {1, 9, 1}, {1, 8, 1}}},
        {"outside the band, bounds inside",
         5,
         100,
         10,
         {{1, 10, 0}, {1, 100, 0}, {1, 101, 1}, {1, 200, 1}, {1, 50, 1}, {1, 9, 2}}},
        {"periodic, one a minute", 6, 60, 0, {{1, 0, 0}, {30, 0, 0}, {30, 0, 1}, {60, 0, 2}}},
        {"periodic every cycle", 6, 0, 0, {{1, 0, 1}, {1, 0, 2}}},
        {"bits set", 7, 4, 0, {{1, 3, 0}, {1, 4, 1}, {1, 5, 1}, {1, 1, 1}, {1, 12, 2}}},
    };
    for (const ModeCase& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        CEventLogging engine;
        Limit(2, 50);
        Configure(4, 2, c.mode, c.cv1, c.cv2);
        for (size_t s = 0; s < c.steps.size(); ++s) {
            SCOPED_TRACE(s);
            Advance(c.steps[s].seconds);
            Watch(c.steps[s].value);
            engine.Update();
            EXPECT_EQ(Rows(2), c.steps[s].entries);
        }
        if (Rows(2) > 0) {
            EXPECT_EQ(Id(2, 1), 5u);  // configuration number
        }
    }
}

TEST_F(EventLog, OnChangeOfAnOctetStringWatchesItsCrc) {
    Limit(1, 10);
    Configure(0, 1, 2, 0, 0, kSysLocation, kSysLocation);
    g_DataBase.SetText(dbo::sysLocation, "north", 5, kDbReplayFlags);
    engine_.Update();
    engine_.Update();
    EXPECT_EQ(Rows(1), 0u);
    g_DataBase.SetText(dbo::sysLocation, "south", 5, kDbReplayFlags);
    engine_.Update();
    ASSERT_EQ(Rows(1), 1u);
    EXPECT_EQ(Value(1, 1), std::string("\x04\x05south", 7));
}

TEST_F(EventLog, RecordedValuesAreStoredAsBer) {
    Limit(1, 10);
    Configure(0, 1, 1, 0, 0);
    Watch(0xFFFFFFFF);
    engine_.Log(0);
    EXPECT_EQ(snmp_test::ToHex(reinterpret_cast<const uint8_t*>(Value(1, 1).data()), 3),
              "02 01 FF");
    EXPECT_EQ(Time(1, 1), 1000u);
    EXPECT_EQ(Id(1, 1), 1u);
    // An unreadable log object makes no entry.
    SetOid(dbo::eventConfigLogOID, 0, OidBytes({1, 3, 6, 1, 4, 1, 9999, 1, 0}));
    engine_.Log(0);
    EXPECT_EQ(Rows(1), 1u);
}

TEST_F(EventLog, AFullClassDropsItsOldestEntry) {
    Limit(3, 5);
    Fill(3, 6);
    EXPECT_EQ(Rows(3), 5u);
    EXPECT_EQ(Times(3), (std::vector<uint32_t>{2, 3, 4, 5, 6}));
}

TEST_F(EventLog, ClearTimeFreesEntriesUpToItAndMovesTheRestUp) {
    Limit(4, 10);
    Fill(4, 6);
    g_DataBase.Set(dbo::eventClassClearTime, 3, kDbReplayFlags, 3);
    engine_.ClearClass(3);
    EXPECT_EQ(Rows(4), 3u);
    EXPECT_EQ(Times(4), (std::vector<uint32_t>{4, 5, 6}));
    EXPECT_EQ(Time(4, 1), 4u);
    EXPECT_EQ(Id(4, 4), 0u);  // freed positions after the moved ones
}

TEST_F(EventLog, LoweringALimitKeepsTheNewestEntries) {
    Limit(5, 10);
    Fill(5, 10);
    Limit(5, 4);
    engine_.EnforceClassLimits();
    EXPECT_EQ(Rows(5), 4u);
    EXPECT_EQ(Times(5), (std::vector<uint32_t>{7, 8, 9, 10}));
    EXPECT_EQ(Time(5, 1), 7u);
}

TEST_F(EventLog, ClassesTheLogCannotHoldTakeNoEntry) {
    struct Case {
        uint32_t cls, limit;
    } cases[] = {{0, 10}, {17, 10}, {255, 10}, {6, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.cls);
        if (c.cls >= 1 && c.cls <= 16) {
            Limit(c.cls, c.limit);
        }
        Configure(0, c.cls, 1, 0, 0);
        engine_.Log(0);
        for (uint32_t k = 1; k <= 16; ++k) {
            EXPECT_EQ(Rows(k), 0u);
            EXPECT_TRUE(Times(k).empty());
        }
    }
    EXPECT_EQ(engine_.AllocateEntry(16), -1);
}

TEST_F(EventLog, NoFreeEntryBelowTheLimitTakesTheFullClassPath) {
    Limit(7, 3);
    Fill(7, 3);
    g_DataBase.Set(dbo::eventClassNumRowsInLog, 1, kDbReplayFlags, 6);  // count out of step
    SetTime(50);
    engine_.Log(0);
    EXPECT_EQ(Times(7), (std::vector<uint32_t>{2, 3, 50}));
    EXPECT_EQ(Rows(7), 3u);
}

TEST_F(EventLog, AnEntryAtTimeZeroIsStoredAtOne) {
    Limit(1, 5);
    Fill(1, 0);
    SetTime(0);
    engine_.Log(0);
    engine_.Log(0);
    EXPECT_EQ(Times(1), (std::vector<uint32_t>{1, 1}));
    EXPECT_EQ(Rows(1), 2u);
}

TEST_F(EventLog, OidValuesThatAreNoNameFailLikeAnUnreadableValue) {
    int failed = 0;
    const std::string port = OidBytes(kPort1);
    Watch(9);
    EXPECT_EQ(engine_.GetCompareValue(reinterpret_cast<const uint8_t*>(port.data()),
                                      static_cast<uint32_t>(port.size()), &failed),
              9u);
    EXPECT_EQ(failed, 0);
    const std::string ragged = port.substr(0, port.size() - 1);
    Oid long_oid(41, 1);
    const std::string too_long = OidBytes(long_oid);
    for (const std::string& bytes : {ragged, too_long, std::string()}) {
        EXPECT_EQ(engine_.GetCompareValue(reinterpret_cast<const uint8_t*>(bytes.data()),
                                          static_cast<uint32_t>(bytes.size()), &failed),
                  0u);
        EXPECT_EQ(failed, 1);
    }
    // As a log OID: no entry.
    Limit(1, 5);
    Configure(0, 1, 1, 0, 0);
    SetOid(dbo::eventConfigLogOID, 0, too_long);
    engine_.Log(0);
    EXPECT_EQ(Rows(1), 0u);
}

TEST_F(EventLog, LogFullTrapIsSentOnceAtNinetyPercent) {
    g_DataBase.SetText(dbo::sysLocation, "I-95 MM 12", 10, kDbReplayFlags);
    Limit(12, 100);
    Fill(12, 89);
    engine_.CheckLogFull();
    EXPECT_TRUE(g_TrapBuffer.IsEmpty());
    SetTime(90);
    engine_.Log(0);
    engine_.CheckLogFull();
    engine_.CheckLogFull();
    ASSERT_EQ(g_TrapBuffer.Count(), 1u);
    EXPECT_EQ(g_DataBase.Get(dbo::fdotLogFullLatch), 1u);
    trap_record r;
    ASSERT_TRUE(g_TrapBuffer.Pop(&r));
    EXPECT_EQ(r.generic_trap, 6u);
    EXPECT_EQ(r.specific_trap, 17u);
    ASSERT_EQ(r.varbind_count, 2u);
    EXPECT_EQ(Oid(r.varbinds[0].name, r.varbinds[0].name + r.varbinds[0].name_length),
              kSysLocation);
    EXPECT_EQ(r.varbinds[0].syntax, kSnmpOctetString);
    EXPECT_EQ(std::string(static_cast<const char*>(r.varbinds[0].value), 10), "I-95 MM 12");
    EXPECT_EQ(r.varbinds[1].syntax, kSnmpCounter);
    uint32_t time = 0;
    std::memcpy(&time, r.varbinds[1].value, 4);
    EXPECT_EQ(time, 90u);
    // Cleared below 90 %: the latch drops, and the next fill traps again.
    g_DataBase.Set(dbo::eventClassClearTime, 50, kDbReplayFlags, 11);
    engine_.ClearClass(11);
    engine_.CheckLogFull();
    EXPECT_EQ(g_DataBase.Get(dbo::fdotLogFullLatch), 0u);
}

TEST_F(EventLog, SmallLimitsAndTooManyClassesKeepTheScanSound) {
    g_DataBase.Set(dbo::maxEventClasses, 255, kDbReplayFlags);
    Limit(1, 1);
    engine_.CheckLogFull();
    EXPECT_TRUE(g_TrapBuffer.IsEmpty());  // an empty class of limit 1 is not nearly full
    Fill(1, 1);
    engine_.CheckLogFull();
    EXPECT_EQ(g_TrapBuffer.Count(), 1u);
}

TEST_F(EventLog, StartupObjectsAreNotWatchedForTheFirstCycles) {
    Limit(1, 200);
    Configure(0, 1, 6, 0, 0, {1, 3, 6, 1, 4, 1, 1206, 4, 2, 3, 9, 9, 1, 0});
    Configure(1, 1, 6, 1000, 0);  // not on the list: evaluated from the start, never due
    for (int cycle = 1; cycle <= 59; ++cycle) {
        engine_.Update();
    }
    EXPECT_EQ(Rows(1), 0u);
    EXPECT_EQ(engine_.StartupCountdown(), 1u);
    engine_.Update();
    EXPECT_EQ(Rows(1), 1u);
}

TEST_F(EventLog, DisabledLoggingStillMovesTheConditions) {
    Limit(1, 10);
    Configure(0, 1, 3, 30, 0);
    ntcip_set_logging_disabled_source([] { return true; });
    Watch(31);
    engine_.Update();
    ntcip_set_logging_disabled_source(nullptr);
    engine_.Update();
    EXPECT_EQ(Rows(1), 0u);  // the entry was due while disabled; no second without a rearm
    Watch(0);
    engine_.Update();
    Watch(31);
    engine_.Update();
    EXPECT_EQ(Rows(1), 1u);
}

}  // namespace
}  // namespace event_test
