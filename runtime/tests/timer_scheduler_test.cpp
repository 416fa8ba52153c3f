// Timers fire at their due ticks, across the tick wrap, and may remove themselves or others.
#include "runtime/timer_scheduler.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "runtime/tests/kernel_fixture.h"

namespace {

struct Probe {
    std::vector<std::pair<int, ULONG>> fired;  // tag, tick
    int deaths = 0;
};

class ProbeTimer : public timer_event {
public:
    ProbeTimer(Probe* probe, int tag, std::function<void(ProbeTimer&)> action = {})
        : probe_(probe), tag_(tag), action_(std::move(action)) {}
    ~ProbeTimer() override { ++probe_->deaths; }
    void fire() override {
        probe_->fired.emplace_back(tag_, tx_time_get());
        if (action_) {
            action_(*this);
        }
    }

private:
    Probe* probe_;
    int tag_;
    std::function<void(ProbeTimer&)> action_;
};

class TimerSchedulerTest : public testing_support::KernelTest {
protected:
    ULONG Remaining() {
        ULONG remaining = 0;
        EXPECT_TRUE(Scheduler().RtosTimerActive(&remaining));
        return remaining;
    }
    Probe probe_;
};

TEST_F(TimerSchedulerTest, ArmsTheNearestDueTime) {
    Boot();
    uint32_t id30 = 0, id10 = 0;
    InThread([&] {
        id30 = Scheduler().AddTimer(new ProbeTimer(&probe_, 30), 30, false);
        id10 = Scheduler().AddTimer(new ProbeTimer(&probe_, 10), 10, false);
    });
    EXPECT_EQ(id30, 1u);
    EXPECT_EQ(id10, 2u);
    EXPECT_EQ(Remaining(), 10u);
    Advance(9);
    EXPECT_TRUE(probe_.fired.empty());
    Advance(1);
    ASSERT_EQ(probe_.fired.size(), 1u);
    EXPECT_EQ(probe_.fired[0], std::make_pair(10, ULONG{10}));
    EXPECT_EQ(probe_.deaths, 1) << "a fired one-shot is deleted by the scheduler";
    EXPECT_EQ(Scheduler().TimerCount(), 1u);
    EXPECT_EQ(Remaining(), 20u);
    Advance(20);
    ASSERT_EQ(probe_.fired.size(), 2u);
    EXPECT_EQ(probe_.fired[1], std::make_pair(30, ULONG{30}));
    EXPECT_FALSE(Scheduler().RtosTimerActive()) << "no timer left: the RTOS timer is off";
    bool removed = true;
    InThread([&] { removed = Scheduler().RemoveTimer(id10); });
    EXPECT_FALSE(removed) << "a fired one-shot is gone";
}

TEST_F(TimerSchedulerTest, PeriodicTimerRestartsFromTheTickOfItsPass) {
    Boot();
    // The fire operation lets three ticks pass; the next due time still counts from the pass.
    InThread([&] {
        Scheduler().AddTimer(
            new ProbeTimer(&probe_, 1, [](ProbeTimer&) { tx_time_set(tx_time_get() + 3); }), 10,
            true);
    });
    Advance(10);
    ASSERT_EQ(probe_.fired.size(), 1u);
    EXPECT_EQ(probe_.fired[0].second, 10u);
    EXPECT_EQ(tx_time_get(), 13u);
    EXPECT_EQ(Remaining(), 7u);
}

TEST_F(TimerSchedulerTest, RestartRemoveAndTrigger) {
    Boot();
    uint32_t once = 0, every = 0;
    InThread([&] {
        once = Scheduler().AddTimer(new ProbeTimer(&probe_, 1), 50, false);
        every = Scheduler().AddTimer(new ProbeTimer(&probe_, 2), 40, true);
    });
    Advance(30);
    bool restartedOnce = true, restartedEvery = false, unknown = true, triggered = false;
    InThread([&] {
        restartedOnce = Scheduler().RestartTimer(once);
        restartedEvery = Scheduler().RestartTimer(every);
        unknown = Scheduler().TriggerTimer(999, 1);
    });
    EXPECT_FALSE(restartedOnce) << "a one-shot timer cannot be restarted";
    EXPECT_TRUE(restartedEvery);
    EXPECT_FALSE(unknown);
    EXPECT_EQ(Remaining(), 20u) << "the one-shot stays due at 50, the periodic one moved to 70";
    InThread([&] { triggered = Scheduler().TriggerTimer(every, 3); });
    EXPECT_TRUE(triggered);
    Advance(3);
    ASSERT_EQ(probe_.fired.size(), 1u);
    EXPECT_EQ(probe_.fired[0], std::make_pair(2, ULONG{33}));
    bool first = false, again = true, never = true;
    InThread([&] {
        first = Scheduler().RemoveTimer(every);
        again = Scheduler().RemoveTimer(every);
        never = Scheduler().RemoveTimer(12345);
    });
    EXPECT_TRUE(first);
    EXPECT_FALSE(again);
    EXPECT_FALSE(never);
    EXPECT_EQ(probe_.deaths, 1);
    EXPECT_EQ(Remaining(), 17u);
    InThread([&] { Scheduler().RemoveTimer(once); });
    EXPECT_FALSE(Scheduler().RtosTimerActive()) << "removing the last timer stops the RTOS timer";
    EXPECT_EQ(probe_.deaths, 2);
}

TEST_F(TimerSchedulerTest, DueTimesAcrossTheTickWrap) {
    Boot([](uint8_t*) { tx_time_set(0xFFFFFFF0u); });
    InThread([&] { Scheduler().AddTimer(new ProbeTimer(&probe_, 1), 0x20, false); });
    EXPECT_EQ(Remaining(), 0x20u);
    Advance(0x1F);
    EXPECT_TRUE(probe_.fired.empty()) << "a due time past the wrap is not already due";
    Advance(1);
    ASSERT_EQ(probe_.fired.size(), 1u);
    EXPECT_EQ(probe_.fired[0].second, 0x10u);
}

TEST_F(TimerSchedulerTest, ZeroIntervalFiresAtTheNextTick) {
    Boot();
    InThread([&] { Scheduler().AddTimer(new ProbeTimer(&probe_, 1), 0, false); });
    EXPECT_EQ(Remaining(), 1u);
    Advance(1);
    EXPECT_EQ(probe_.fired.size(), 1u);
}

TEST_F(TimerSchedulerTest, FireMayRemoveItselfOrALaterTimer) {
    Boot();
    uint32_t later = 0;
    InThread([&] {
        // Timer 1 removes itself, timer 2 removes timer 3 that is due in the same pass.
        Scheduler().AddTimer(new ProbeTimer(&probe_, 1,
                                            [this](ProbeTimer& self) {
                                                EXPECT_TRUE(Scheduler().RemoveTimer(self.id));
                                            }),
                             5, true);
        Scheduler().AddTimer(new ProbeTimer(&probe_, 2,
                                            [this, &later](ProbeTimer&) {
                                                if (later != 0) {
                                                    EXPECT_TRUE(Scheduler().RemoveTimer(later));
                                                    later = 0;
                                                }
                                            }),
                             5, true);
        later = Scheduler().AddTimer(new ProbeTimer(&probe_, 3), 5, true);
    });
    Advance(5);
    ASSERT_EQ(probe_.fired.size(), 2u);
    EXPECT_EQ(probe_.fired[1].first, 2);
    EXPECT_EQ(probe_.deaths, 2);
    EXPECT_EQ(Scheduler().TimerCount(), 1u);
    Advance(5);
    EXPECT_EQ(probe_.fired.size(), 3u);
}

TEST_F(TimerSchedulerTest, MissingTimerGetsNoId) {
    Boot();
    uint32_t id = 1;
    InThread([&] { id = Scheduler().AddTimer(nullptr, 10, true); });
    EXPECT_EQ(id, 0u);
    EXPECT_EQ(Scheduler().TimerCount(), 0u);
}

}  // namespace
