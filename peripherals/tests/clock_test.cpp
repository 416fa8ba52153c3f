// Dates convert to seconds and back; the clock gives local time from the registers and the zone.
#include "peripherals/clock.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "platform/monitor/monitor.h"
#include "platform/sim/nvram.h"
#include "platform/sim/rtc.h"

namespace {

TEST(DateTime, SecondsToDateTimeAndBack) {
    struct Case {
        uint32_t seconds;
        int year, month, day, hour, minute, second, wday, yday;
    };
    for (const Case& c : {
             Case{0, 70, 0, 1, 0, 0, 0, 4, 0},
             Case{951782400, 100, 1, 29, 0, 0, 0, 2, 59},     // 2000-02-29, a leap day
             Case{1709618828, 124, 2, 5, 6, 7, 8, 2, 64},     // 2024-03-05 06:07:08
             Case{4294967295u, 206, 1, 7, 6, 28, 15, 0, 37},  // the last 32-bit second
         }) {
        std::tm t{};
        SecondsToDateTime(c.seconds, &t);
        EXPECT_EQ(t.tm_year, c.year) << c.seconds;
        EXPECT_EQ(t.tm_mon, c.month) << c.seconds;
        EXPECT_EQ(t.tm_mday, c.day) << c.seconds;
        EXPECT_EQ(t.tm_hour, c.hour) << c.seconds;
        EXPECT_EQ(t.tm_min, c.minute) << c.seconds;
        EXPECT_EQ(t.tm_sec, c.second) << c.seconds;
        EXPECT_EQ(t.tm_wday, c.wday) << c.seconds;
        EXPECT_EQ(t.tm_yday, c.yday) << c.seconds;
        uint32_t back = 1;
        ASSERT_TRUE(DateTimeToSeconds(&t, &back));
        EXPECT_EQ(back, c.seconds);
    }
}

TEST(DateTime, RecordsOutsideThirtyTwoBitsAreRefused) {
    std::tm before{};
    before.tm_year = 69;
    before.tm_mon = 11;
    before.tm_mday = 31;
    uint32_t seconds = 7;
    EXPECT_FALSE(DateTimeToSeconds(&before, &seconds));
    std::tm after{};
    after.tm_year = 206;
    after.tm_mon = 1;
    after.tm_mday = 7;
    after.tm_hour = 6;
    after.tm_min = 28;
    after.tm_sec = 16;
    EXPECT_FALSE(DateTimeToSeconds(&after, &seconds));
    EXPECT_EQ(seconds, 7u);
    EXPECT_FALSE(DateTimeToSeconds(nullptr, &seconds));
    std::tm month13{};
    month13.tm_year = 100;
    month13.tm_mon = 12;  // January of the next year
    month13.tm_mday = 1;
    ASSERT_TRUE(DateTimeToSeconds(&month13, &seconds));
    EXPECT_EQ(seconds, 978307200u);
}

TEST(Clock, LocalTimeFromTheBatteryBackedRegistersAndTheZone) {
    const auto dir =
        std::filesystem::path(::testing::TempDir()) / ("dms_clock_" + std::to_string(::getpid()));
    std::filesystem::remove_all(dir);
    monitor::MonitorConfig config;
    config.boardDir = dir.string();
    monitor::Monitor board(config);
    ASSERT_TRUE(board.Boot());

    std::map<uint32_t, uint32_t> objects;
    CClock::Objects access;
    access.get = [&objects](uint32_t id, uint32_t, bool) { return objects[id]; };
    access.set = [&objects](uint32_t id, uint32_t, uint32_t value, bool) { objects[id] = value; };
    CClock clock(access);

    board.Nvram().SetGlobalTime(0);
    uint32_t seconds = 123;
    EXPECT_FALSE(clock.GetLocalTime(&seconds)) << "no time after a battery loss";
    std::tm untouched{};
    untouched.tm_mday = 99;
    EXPECT_FALSE(clock.GetLocalDateTime(&untouched));
    EXPECT_EQ(untouched.tm_mday, 99);

    board.Nvram().SetGlobalTime(1709618828);
    board.Rtc().Set(1709618828);
    objects[CClock::kStandardTimeZone] = uint32_t(-18000);
    ASSERT_TRUE(clock.GetLocalTime(&seconds));
    EXPECT_EQ(seconds, 1709618828u - 18000);
    std::tm local{};
    ASSERT_TRUE(clock.GetLocalDateTime(&local));
    EXPECT_EQ(local.tm_hour, 1);
    clock.Poll();
    EXPECT_EQ(objects[CClock::kControllerLocalTime], 1709618828u - 18000);
    std::filesystem::remove_all(dir);
}

int64_t g_hostNow = 1709618828;

// globalTime goes on with the board's time-of-day clock: caught up by the time off at the first
// poll, then from poll to poll; a globalTime written from outside sets the board's clock.
TEST(Clock, GlobalTimeFollowsTheBoardClock) {
    sim::Rtc::SetHostClock([] { return g_hostNow; });
    const auto dir = std::filesystem::path(::testing::TempDir()) /
                     ("dms_clock_follow_" + std::to_string(::getpid()));
    std::filesystem::remove_all(dir);
    {
        monitor::MonitorConfig config;
        config.boardDir = dir.string();
        monitor::Monitor board(config);
        ASSERT_TRUE(board.Boot());
        board.Nvram().SetGlobalTime(1709618828);  // saved before the restart
        board.Rtc().Set(1709618828 + 90);         // 90 s off
        CClock clock;
        uint32_t off = 0;
        EXPECT_FALSE(clock.GetPowerOffTime(&off)) << "not before the first poll";
        clock.Poll();
        ASSERT_TRUE(clock.GetPowerOffTime(&off));
        EXPECT_EQ(off, 90u);
        EXPECT_EQ(CClock::ReadGlobalTime(), 1709618828u + 90);

        g_hostNow += 5;
        clock.Poll();
        EXPECT_EQ(CClock::ReadGlobalTime(), 1709618828u + 95);

        board.Nvram().SetGlobalTime(2000000000);  // a central system sets the time
        clock.Poll();
        EXPECT_EQ(CClock::ReadGlobalTime(), 2000000000u);
        g_hostNow += 7;
        clock.Poll();
        EXPECT_EQ(CClock::ReadGlobalTime(), 2000000007u);
        EXPECT_EQ(board.Rtc().Now(), 2000000007);

        board.Nvram().SetGlobalTime(0);  // cleared: the board's clock goes on
        clock.Poll();
        EXPECT_EQ(CClock::ReadGlobalTime(), 2000000007u);
    }
    sim::Rtc::SetHostClock(nullptr);
    std::filesystem::remove_all(dir);
}

// A board whose registers hold no time (new, or after a battery loss) counts from its board
// clock's time from the first poll on, so that everything measured in globalTime runs; how long
// it was off stays unknown.
TEST(Clock, RegistersWithoutATimeTakeTheBoardClock) {
    sim::Rtc::SetHostClock([] { return g_hostNow; });
    const auto dir = std::filesystem::path(::testing::TempDir()) /
                     ("dms_clock_unset_" + std::to_string(::getpid()));
    for (uint32_t none : {0u, 0xFFFFFFFFu}) {
        SCOPED_TRACE(none);
        std::filesystem::remove_all(dir);
        monitor::MonitorConfig config;
        config.boardDir = dir.string();
        monitor::Monitor board(config);
        ASSERT_TRUE(board.Boot());
        board.Nvram().SetGlobalTime(none);
        board.Rtc().Set(1709618828);
        CClock clock;
        clock.Poll();
        EXPECT_EQ(CClock::ReadGlobalTime(), 1709618828u);
        uint32_t off = 0;
        EXPECT_FALSE(clock.GetPowerOffTime(&off));
        uint32_t local = 0;
        EXPECT_TRUE(clock.GetLocalTime(&local));
        g_hostNow += 3;
        clock.Poll();
        EXPECT_EQ(CClock::ReadGlobalTime(), 1709618831u);
    }
    sim::Rtc::SetHostClock(nullptr);
    std::filesystem::remove_all(dir);
}

}  // namespace
