// Application timers, the stepped clock (Advance, RunUntilIdle), tick wrap and the real-time
// clock.

#include <sys/resource.h>

#include <chrono>
#include <string>
#include <vector>

#include "platform/kernel/tests/kernel_fixture.h"

namespace {

std::vector<ULONG> g_fired;  // tick of every expiry
void Record(ULONG_PTR) {
    g_fired.push_back(tx_time_get());
}

class TimerTest : public KernelTest {
public:
    void SetUp() override {
        g_fired.clear();
        Boot([] {});
    }
    TX_TIMER timer_{};
};

struct TimerCase {
    const char* label;
    ULONG initial;
    ULONG reschedule;
    ULONG run;
    std::vector<ULONG> fired;
};

class TimerShapes : public TimerTest, public ::testing::WithParamInterface<TimerCase> {};

TEST_P(TimerShapes, FireAtTheirTicks) {
    const TimerCase& c = GetParam();
    ASSERT_EQ(tx_timer_create(&timer_, "t", Record, 0, c.initial, c.reschedule, TX_AUTO_ACTIVATE),
              TX_SUCCESS);
    kernel_->Advance(c.run);
    EXPECT_EQ(g_fired, c.fired);
    UINT active = 0;
    tx_timer_info_get(&timer_, nullptr, &active, nullptr, nullptr, nullptr);
    EXPECT_EQ(active, c.reschedule != 0 ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Kernel, TimerShapes,
    ::testing::Values(TimerCase{"one_shot", 5, 0, 20, {5}},
                      TimerCase{"periodic", 3, 4, 15, {3, 7, 11, 15}},
                      TimerCase{"first_tick_then_period", 1, 50, 160, {1, 51, 101, 151}},
                      TimerCase{"not_yet", 10, 10, 9, {}}),
    [](const auto& info) { return std::string(info.param.label); });

TEST_F(TimerTest, DeactivateKeepsTheRemainingTicksAndChangeSetsThemAfresh) {
    ASSERT_EQ(tx_timer_create(&timer_, "t", Record, 0, 10, 10, TX_NO_ACTIVATE), TX_SUCCESS);
    kernel_->Advance(5);
    EXPECT_TRUE(g_fired.empty());
    ASSERT_EQ(tx_timer_activate(&timer_), TX_SUCCESS);  // tick 5: due at 15
    EXPECT_EQ(tx_timer_activate(&timer_), TX_ACTIVATE_ERROR);
    kernel_->Advance(6);
    ASSERT_EQ(tx_timer_deactivate(&timer_), TX_SUCCESS);  // tick 11: 4 left
    ULONG remaining = 0;
    tx_timer_info_get(&timer_, nullptr, nullptr, &remaining, nullptr, nullptr);
    EXPECT_EQ(remaining, 4u);
    kernel_->Advance(20);
    EXPECT_TRUE(g_fired.empty());
    ASSERT_EQ(tx_timer_activate(&timer_), TX_SUCCESS);  // tick 31: due at 35
    kernel_->Advance(4);
    EXPECT_EQ(g_fired, (std::vector<ULONG>{35}));
    ASSERT_EQ(tx_timer_deactivate(&timer_), TX_SUCCESS);
    ASSERT_EQ(tx_timer_change(&timer_, 2, 0), TX_SUCCESS);
    EXPECT_EQ(timer_.tx_timer_reschedule_ticks, 0u);
    EXPECT_EQ(tx_timer_change(&timer_, 0, 5), TX_TICK_ERROR);
    ASSERT_EQ(tx_timer_activate(&timer_), TX_SUCCESS);
    kernel_->Advance(10);
    EXPECT_EQ(g_fired, (std::vector<ULONG>{35, 37}));
    // A fired one-shot starts over from its initial ticks.
    ASSERT_EQ(tx_timer_activate(&timer_), TX_SUCCESS);
    kernel_->Advance(2);
    EXPECT_EQ(g_fired, (std::vector<ULONG>{35, 37, 47}));
}

// The re-arm pattern of a timer multiplexer: the expiry function deactivates, changes and
// activates its own timer.
TX_TIMER g_self_timer;
std::vector<ULONG> g_intervals;
void Rearm(ULONG_PTR) {
    g_fired.push_back(tx_time_get());
    if (g_intervals.empty()) {
        tx_timer_deactivate(&g_self_timer);
        return;
    }
    const ULONG next = g_intervals.front();
    g_intervals.erase(g_intervals.begin());
    EXPECT_EQ(tx_timer_deactivate(&g_self_timer), TX_SUCCESS);
    EXPECT_EQ(tx_timer_change(&g_self_timer, next, next), TX_SUCCESS);
    EXPECT_EQ(tx_timer_activate(&g_self_timer), TX_SUCCESS);
}

TEST_F(TimerTest, ExpiryFunctionCanRearmItsOwnTimer) {
    g_intervals = {10, 20, 3};
    ASSERT_EQ(tx_timer_create(&g_self_timer, "Scheduler", Rearm, 0, 100, 100, TX_AUTO_ACTIVATE),
              TX_SUCCESS);
    kernel_->Advance(200);
    EXPECT_EQ(g_fired, (std::vector<ULONG>{100, 110, 130, 133}));
}

TEST_F(TimerTest, CreateRefusesBadArgumentsAndDeleteStopsTheTimer) {
    EXPECT_EQ(tx_timer_create(&timer_, "t", Record, 0, 0, 5, TX_AUTO_ACTIVATE), TX_TICK_ERROR);
    EXPECT_EQ(tx_timer_create(&timer_, "t", Record, 0, 5, 5, 2), TX_ACTIVATE_ERROR);
    EXPECT_EQ(tx_timer_create(&timer_, "t", nullptr, 0, 5, 5, 1), TX_PTR_ERROR);
    EXPECT_EQ(tx_timer_activate(&timer_), TX_TIMER_ERROR);  // never created
    ASSERT_EQ(tx_timer_create(&timer_, "t", Record, 7, 5, 5, TX_AUTO_ACTIVATE), TX_SUCCESS);
    EXPECT_EQ(tx_timer_create(&timer_, "t", Record, 0, 5, 5, 1), TX_TIMER_ERROR);
    ASSERT_EQ(tx_timer_delete(&timer_), TX_SUCCESS);
    kernel_->Advance(20);
    EXPECT_TRUE(g_fired.empty());
    EXPECT_EQ(tx_timer_delete(&timer_), TX_TIMER_ERROR);
}

TEST_F(TimerTest, TimersOfOneTickFireInActivationOrderBeforeThreadsRun) {
    static TX_TIMER second;
    static std::string order;
    order.clear();
    ASSERT_EQ(tx_timer_create(
                  &timer_, "a", [](ULONG_PTR) { order += "a"; }, 0, 4, 0, 1),
              TX_SUCCESS);
    ASSERT_EQ(tx_timer_create(
                  &second, "b", [](ULONG_PTR) { order += "b"; }, 0, 4, 0, 1),
              TX_SUCCESS);
    Spawn("t", 1, [] {
        tx_thread_sleep(4);
        order += "t";
    });
    kernel_->Advance(4);
    EXPECT_EQ(order, "abt");
}

TEST_F(TimerTest, RunUntilIdleJumpsFromDeadlineToDeadline) {
    Spawn("sleeper", 3, [&] {
        tx_thread_sleep(1000);
        Log("woke at " + std::to_string(tx_time_get()));
    });
    EXPECT_EQ(kernel_->RunUntilIdle(5000), 1000u);
    EXPECT_EQ(Joined(), "woke at 1000");
    EXPECT_EQ(kernel_->RunUntilIdle(5000), 0u);  // nothing pending
    ASSERT_EQ(tx_timer_create(&timer_, "t", Record, 0, 10, 10, TX_AUTO_ACTIVATE), TX_SUCCESS);
    EXPECT_EQ(kernel_->RunUntilIdle(95), 90u);  // a periodic timer stops at the limit
    EXPECT_EQ(g_fired.size(), 9u);
}

TEST_F(TimerTest, TickCountWrapsWithoutDisturbingWaitsOrTimers) {
    tx_time_set(0xFFFFFFF0u);
    EXPECT_EQ(tx_time_get(), 0xFFFFFFF0u);
    ASSERT_EQ(tx_timer_create(&timer_, "t", Record, 0, 10, 10, TX_AUTO_ACTIVATE), TX_SUCCESS);
    ULONG slept = 0;
    Spawn("sleeper", 3, [&] {
        const ULONG start = tx_time_get();
        tx_thread_sleep(0x20);
        slept = tx_time_get() - start;  // wrap-safe difference
    });
    kernel_->Advance(0x30);
    EXPECT_EQ(tx_time_get(), 0x20u);
    EXPECT_EQ(slept, 0x20u);
    EXPECT_EQ(g_fired, (std::vector<ULONG>{0xFFFFFFFAu, 0x4u, 0xEu, 0x18u}));
}

// A sleeper, a periodic timer and the thread its flag wakes: the log is the tick-by-tick order
// whichever host thread moves the clock, and no deadline past the Advance target is served.
TEST_F(TimerTest, DeadlinesKeepTheirOrderAndTheAdvanceTarget) {
    static TX_EVENT_FLAGS_GROUP flags;
    static std::string* log;
    std::string trace;
    log = &trace;
    ASSERT_EQ(tx_event_flags_create(&flags, "f"), TX_SUCCESS);
    auto note = [](const char* who) {
        *log += std::string(who) + std::to_string(tx_time_get()) + " ";
    };
    Spawn("a", 2, [note] {
        for (;;) {
            tx_thread_sleep(3);
            note("a");
        }
    });
    Spawn("b", 3, [note] {
        for (;;) {
            ULONG actual = 0;
            tx_event_flags_get(&flags, 1, TX_OR_CLEAR, &actual, TX_WAIT_FOREVER);
            note("b");
        }
    });
    ASSERT_EQ(tx_timer_create(
                  &timer_, "t",
                  [](ULONG_PTR) {
                      *log += "t" + std::to_string(tx_time_get()) + " ";
                      tx_event_flags_set(&flags, 1, TX_OR);
                  },
                  0, 5, 5, TX_AUTO_ACTIVATE),
              TX_SUCCESS);
    kernel_->Advance(12);
    EXPECT_EQ(trace, "a3 t5 b5 a6 a9 t10 b10 a12 ");
    EXPECT_EQ(tx_time_get(), 12u);
    // Tick 15: the timer was armed before the sleep, so it fires first; then by priority.
    kernel_->Advance(3);
    EXPECT_EQ(trace, "a3 t5 b5 a6 a9 t10 b10 a12 t15 a15 b15 ");
}

// A timer function terminates a thread while the clock is moved on the host stack of the last
// thread that blocked: that thread itself or another one. The victim unwinds (its destructors
// run), the others go on, and Advance returns.
struct TerminateCase {
    const char* label;
    bool victim_moves_clock;
};

class TerminateFromTimer : public TimerTest, public ::testing::WithParamInterface<TerminateCase> {};

TEST_P(TerminateFromTimer, VictimUnwindsAndTheOthersGoOn) {
    struct Unwound {
        std::string* log;
        ~Unwound() { *log += "unwound "; }
    };
    static TX_THREAD* victim;
    static TX_SEMAPHORE never;
    ASSERT_EQ(tx_semaphore_create(&never, "never", 0), TX_SUCCESS);
    // Outlives the test body: the thread left blocked unwinds at teardown.
    static std::string trace;
    trace.clear();
    // "a" sleeps one tick at a time, so it is the last to block before the timer at tick 4.
    TX_THREAD* a = Spawn("a", 2, [] {
        Unwound guard{&trace};
        for (;;) {
            tx_thread_sleep(1);
            trace += "a" + std::to_string(tx_time_get()) + " ";
        }
    });
    TX_THREAD* b = Spawn("b", 3, [] {
        Unwound guard{&trace};
        tx_semaphore_get(&never, TX_WAIT_FOREVER);
    });
    kernel_->Advance(2);
    victim = GetParam().victim_moves_clock ? a : b;
    ASSERT_EQ(
        tx_timer_create(
            &timer_, "t", [](ULONG_PTR) { EXPECT_EQ(tx_thread_terminate(victim), TX_SUCCESS); }, 0,
            2, 0, TX_AUTO_ACTIVATE),
        TX_SUCCESS);
    kernel_->Advance(4);
    UINT state = 0;
    tx_thread_info_get(victim, nullptr, &state, nullptr, nullptr, nullptr, nullptr, nullptr,
                       nullptr);
    EXPECT_EQ(state, TX_TERMINATED);
    if (GetParam().victim_moves_clock) {
        EXPECT_EQ(trace, "a1 a2 a3 unwound ");
    } else {
        EXPECT_EQ(trace, "a1 a2 a3 unwound a4 a5 a6 ");
    }
    EXPECT_EQ(tx_time_get(), 6u);
}

INSTANTIATE_TEST_SUITE_P(Kernel, TerminateFromTimer,
                         ::testing::Values(TerminateCase{"the_thread_moving_the_clock", true},
                                           TerminateCase{"a_blocked_thread", false}),
                         [](const auto& info) { return std::string(info.param.label); });

// A lone periodic thread on the stepped clock: the thread that calls Advance is not woken for
// every deadline (that costs two host thread switches a run).
TEST_F(TimerTest, AdvanceWithOneBusyThreadDoesNotWakeTheCallerPerDeadline) {
    ULONG runs = 0;
    Spawn("sleeper", 3, [&] {
        for (;;) {
            tx_thread_sleep(1);
            ++runs;
        }
    });
    rusage before{};
    getrusage(RUSAGE_THREAD, &before);
    kernel_->Advance(20000);
    rusage after{};
    getrusage(RUSAGE_THREAD, &after);
    EXPECT_EQ(runs, 20000u);
    EXPECT_LT(after.ru_nvcsw - before.ru_nvcsw, 100) << "host switches of the Advance caller";
}

TEST(RealTimeClock, TicksFollowTheWallClockAndThreadsSleep) {
    kernel::Options options;
    options.clock = kernel::ClockMode::kRealTime;
    options.time_scale = 20.0;  // 0.5 ms per tick
    static ULONG slept;
    static TX_THREAD thread;
    static unsigned char stack[1024];
    slept = 0;
    kernel::Kernel k(options);
    k.Start([](void*) {
        tx_thread_create(
            &thread, "sleeper",
            [](ULONG_PTR) {
                const ULONG start = tx_time_get();
                tx_thread_sleep(20);
                slept = tx_time_get() - start;
                kernel::Kernel::Current()->Stop();
                tx_thread_sleep(TX_WAIT_FOREVER);
            },
            0, stack, sizeof stack, 5, 5, 0, TX_AUTO_START);
    });
    EXPECT_EQ(tx_thread_identify(), nullptr);
    k.WaitForStop();  // the thread stops the kernel after its sleep
    EXPECT_TRUE(k.StopRequested());
    EXPECT_GE(slept, 20u);
    EXPECT_GE(tx_time_get(), 20u);
}  // teardown ends the sleeping thread

// The driver idles until the deadline it knows. A thread woken from outside that then sleeps
// for a shorter time than anything else armed (here: nothing) still wakes on time.
TEST(RealTimeClock, ShortSleepAfterAWakeFromOutsideEndsOnTime) {
    kernel::Options options;
    options.clock = kernel::ClockMode::kRealTime;
    static TX_THREAD thread;
    static TX_SEMAPHORE go;
    static unsigned char stack[1024];
    kernel::Kernel k(options);
    k.Start([](void*) {
        tx_semaphore_create(&go, "go", 0);
        tx_thread_create(
            &thread, "sleeper",
            [](ULONG_PTR) {
                tx_semaphore_get(&go, TX_WAIT_FOREVER);
                tx_thread_sleep(2);
                kernel::Kernel::Current()->Stop();
                tx_thread_sleep(TX_WAIT_FOREVER);
            },
            0, stack, sizeof stack, 5, 5, 0, TX_AUTO_START);
    });
    StopGuard guard(k, std::chrono::seconds(5));
    EXPECT_EQ(tx_semaphore_put(&go), TX_SUCCESS);  // from this host thread: outside
    k.WaitForStop();
    EXPECT_FALSE(guard.Finish()) << "the sleep did not end";
}

}  // namespace

namespace {

// Two equal threads that never block: time slices of one tick make them take turns (without
// slices the first would spin alone until the two-second cap).
TEST(RealTimeClock, TimeSlicesRotateEqualThreadsThatNeverBlock) {
    kernel::Options options;
    options.clock = kernel::ClockMode::kRealTime;
    options.time_scale = 10.0;  // 1 ms per tick
    static std::string order;
    static int finished;
    static TX_THREAD threads[2];
    static unsigned char stacks[2][1024];
    order.clear();
    finished = 0;
    kernel::Kernel k(options);
    k.Start([](void*) {
        for (ULONG_PTR i = 0; i < 2; ++i) {
            tx_thread_create(
                &threads[i], "spinner",
                [](ULONG_PTR me) {
                    const char name = static_cast<char>('a' + me);
                    while (order.size() < 6 && tx_time_get() < 2000) {
                        if (order.empty() || order.back() != name) {
                            order += name;
                        }
                    }
                    if (++finished == 2) {
                        kernel::Kernel::Current()->Stop();
                    }
                    tx_thread_sleep(TX_WAIT_FOREVER);
                },
                i, stacks[i], sizeof stacks[i], 5, 5, 1, TX_AUTO_START);
        }
    });
    k.WaitForStop();
    // Each entry is a change of turn; either thread may have the first turn.
    EXPECT_GE(order.size(), 6u) << order;
}

}  // namespace
