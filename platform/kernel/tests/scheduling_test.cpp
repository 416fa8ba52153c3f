// Single runner: priority order, preemption at kernel calls, FIFO among equals, preemption
// threshold, suspend/resume/terminate, priority change.

#include <string>
#include <vector>

#include "platform/kernel/tests/kernel_fixture.h"

namespace {

struct OrderCase {
    const char* label;
    std::vector<UINT> priorities;  // one thread each, created in this order, named t0, t1, ...
    std::string expected;
};

class PriorityOrder : public KernelTest, public ::testing::WithParamInterface<OrderCase> {};

TEST_P(PriorityOrder, ThreadsRunByPriorityThenCreationOrder) {
    const OrderCase& c = GetParam();
    Boot([&] {
        for (std::size_t i = 0; i < c.priorities.size(); ++i) {
            const std::string name = "t" + std::to_string(i);
            Spawn("t", c.priorities[i], [this, name] { Log(name); });
        }
    });
    EXPECT_EQ(Joined(), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Kernel, PriorityOrder,
                         ::testing::Values(OrderCase{"distinct", {3, 1, 2}, "t1 t2 t0"},
                                           OrderCase{"equals_fifo", {5, 5, 5}, "t0 t1 t2"},
                                           OrderCase{"mixed", {4, 1, 4, 1, 0}, "t4 t1 t3 t0 t2"},
                                           OrderCase{"extremes", {31, 0}, "t1 t0"}),
                         [](const auto& info) { return std::string(info.param.label); });

// A low-priority thread wakes a high-priority one through each kind of kernel call; the high
// one runs inside that call, before the low one goes on.
TX_SEMAPHORE g_semaphore;
TX_EVENT_FLAGS_GROUP g_group;
TX_MUTEX g_mutex;

class PreemptionAtKernelCall : public KernelTest, public ::testing::WithParamInterface<int> {};

TEST_P(PreemptionAtKernelCall, HigherThreadRunsInsideTheWakingCall) {
    const int kind = GetParam();
    TX_THREAD* high = nullptr;
    Boot([&] {
        ASSERT_EQ(tx_semaphore_create(&g_semaphore, "s", 0), TX_SUCCESS);
        ASSERT_EQ(tx_event_flags_create(&g_group, "g"), TX_SUCCESS);
        ASSERT_EQ(tx_mutex_create(&g_mutex, "m", TX_NO_INHERIT), TX_SUCCESS);
        high = Spawn("high", 1, [&] {
            ULONG actual = 0;
            switch (kind) {
                case 0:
                    tx_semaphore_get(&g_semaphore, TX_WAIT_FOREVER);
                    break;
                case 1:
                    tx_event_flags_get(&g_group, 1, TX_OR_CLEAR, &actual, TX_WAIT_FOREVER);
                    break;
                case 2:
                    tx_thread_suspend(tx_thread_identify());
                    break;
                case 3:
                    tx_thread_sleep(1000);
                    break;
                case 4:
                    tx_mutex_get(&g_mutex, TX_WAIT_FOREVER);
                    break;
            }
            Log("high");
        });
        Spawn("low", 5, [&] {
            if (kind == 4) {
                tx_mutex_get(&g_mutex, TX_WAIT_FOREVER);
            }
            Log("low before");
            switch (kind) {
                case 0:
                    tx_semaphore_put(&g_semaphore);
                    break;
                case 1:
                    tx_event_flags_set(&g_group, 1, TX_OR);
                    break;
                case 2:
                    tx_thread_resume(high);
                    break;
                case 3:
                    tx_thread_wait_abort(high);
                    break;
                case 4:
                    tx_mutex_put(&g_mutex);
                    break;
            }
            Log("low after");
        });
    });
    // kind 4: high ran first and took the mutex; low then waits and gets it back.
    if (kind == 4) {
        EXPECT_EQ(Joined(), "high low before low after");
    } else {
        EXPECT_EQ(Joined(), "low before high low after");
    }
}

INSTANTIATE_TEST_SUITE_P(Kernel, PreemptionAtKernelCall, ::testing::Range(0, 5));

TEST_F(KernelTest, MutexPutHandsOverAndPreempts) {
    Boot([&] {
        ASSERT_EQ(tx_mutex_create(&g_mutex, "m", TX_NO_INHERIT), TX_SUCCESS);
        Spawn("low", 5, [&] {
            tx_mutex_get(&g_mutex, TX_WAIT_FOREVER);
            Log("low holds");
            tx_thread_sleep(2);  // high arrives and waits
            Log("low puts");
            tx_mutex_put(&g_mutex);
            Log("low after");
        });
        Spawn("high", 1, [&] {
            tx_thread_sleep(1);
            tx_mutex_get(&g_mutex, TX_WAIT_FOREVER);
            Log("high got");
        });
    });
    kernel_->Advance(3);
    EXPECT_EQ(Joined(), "low holds low puts high got low after");
}

TEST_F(KernelTest, CreatingAHigherThreadPreemptsTheCreator) {
    Boot([&] {
        Spawn("creator", 5, [&] {
            Log("before");
            Spawn("child", 2, [&] { Log("child"); });
            Log("after");
        });
    });
    EXPECT_EQ(Joined(), "before child after");
}

TEST_F(KernelTest, RelinquishRotatesAmongEqualsOnly) {
    Boot([&] {
        for (const char* name : {"a", "b", "c"}) {
            Spawn(name, 4, [this, name] {
                for (int round = 1; round <= 2; ++round) {
                    Log(std::string(name) + std::to_string(round));
                    tx_thread_relinquish();
                }
            });
        }
        Spawn("lower", 6, [&] { Log("lower"); });
    });
    EXPECT_EQ(Joined(), "a1 b1 c1 a2 b2 c2 lower");
}

struct ThresholdCase {
    UINT readied_priority;
    bool preempts;
};

class PreemptionThreshold : public KernelTest,
                            public ::testing::WithParamInterface<ThresholdCase> {};

TEST_P(PreemptionThreshold, OnlyPrioritiesAboveTheThresholdPreempt) {
    const ThresholdCase c = GetParam();
    Boot([&] {
        ASSERT_EQ(tx_semaphore_create(&g_semaphore, "s", 0), TX_SUCCESS);
        Spawn("other", c.readied_priority, [&] {
            tx_semaphore_get(&g_semaphore, TX_WAIT_FOREVER);
            Log("other");
        });
        Spawn(
            "guarded", 10,
            [&] {
                tx_semaphore_put(&g_semaphore);
                Log("guarded");
            },
            /*threshold=*/5);
    });
    EXPECT_EQ(Joined(), c.preempts ? "other guarded" : "guarded other");
}

INSTANTIATE_TEST_SUITE_P(Kernel, PreemptionThreshold,
                         ::testing::Values(ThresholdCase{4, true}, ThresholdCase{5, false},
                                           ThresholdCase{7, false}, ThresholdCase{0, true}));

TEST_F(KernelTest, PreemptionChangeLowersTheGuard) {
    TX_THREAD* guarded = nullptr;
    Boot([&] {
        ASSERT_EQ(tx_semaphore_create(&g_semaphore, "s", 0), TX_SUCCESS);
        Spawn("other", 7, [&] {
            tx_semaphore_get(&g_semaphore, TX_WAIT_FOREVER);
            Log("other");
        });
        guarded = Spawn("guarded", 10, [&] {
            UINT old = 0;
            EXPECT_EQ(tx_thread_preemption_change(guarded, 11, &old), TX_THRESH_ERROR);
            EXPECT_EQ(tx_thread_preemption_change(guarded, 5, &old), TX_SUCCESS);
            EXPECT_EQ(old, 10u);
            tx_semaphore_put(&g_semaphore);
            Log("guard on");
            EXPECT_EQ(tx_thread_preemption_change(guarded, 10, &old), TX_SUCCESS);
            Log("guard off");
        });
    });
    EXPECT_EQ(Joined(), "guard on other guard off");
}

TEST_F(KernelTest, PriorityChangeMovesAThreadAndResetsItsThreshold) {
    TX_THREAD* waiting = nullptr;
    Boot([&] {
        waiting = Spawn("waiting", 8, [&] { Log("waiting"); });
        Spawn(
            "changer", 6,
            [&] {
                UINT old = 0;
                Log("changer");
                EXPECT_EQ(tx_thread_priority_change(waiting, 2, &old), TX_SUCCESS);
                EXPECT_EQ(old, 8u);
                Log("changer again");
                EXPECT_EQ(tx_thread_priority_change(waiting, TX_MAX_PRIORITIES, &old),
                          TX_PRIORITY_ERROR);
            },
            3);
    });
    EXPECT_EQ(Joined(), "changer waiting changer again");
    UINT priority = 0;
    UINT threshold = 0;
    ASSERT_EQ(tx_thread_info_get(waiting, nullptr, nullptr, nullptr, &priority, &threshold, nullptr,
                                 nullptr, nullptr),
              TX_SUCCESS);
    EXPECT_EQ(priority, 2u);
    EXPECT_EQ(threshold, 2u);
}

TEST_F(KernelTest, SuspendResumeAndDelayedSuspension) {
    TX_THREAD* sleeper = nullptr;
    TX_THREAD* idle = nullptr;
    Boot([&] {
        sleeper = Spawn("sleeper", 3, [&] {
            tx_thread_sleep(5);
            Log("sleeper woke");
        });
        idle = Spawn(
            "idle", 3, [&] { Log("idle ran"); }, kSameAsPriority, 0, TX_DONT_START);
    });
    EXPECT_EQ(Joined(), "");
    UINT state = 0;
    // Suspending a sleeping thread takes effect when its sleep ends.
    ASSERT_EQ(tx_thread_suspend(sleeper), TX_SUCCESS);
    kernel_->Advance(10);
    tx_thread_info_get(sleeper, nullptr, &state, nullptr, nullptr, nullptr, nullptr, nullptr,
                       nullptr);
    EXPECT_EQ(state, TX_SUSPENDED);
    EXPECT_EQ(Joined(), "");
    EXPECT_EQ(tx_thread_resume(sleeper), TX_SUCCESS);
    EXPECT_EQ(tx_thread_resume(sleeper), TX_RESUME_ERROR);
    EXPECT_EQ(tx_thread_resume(idle), TX_SUCCESS);
    kernel_->Advance(0);
    EXPECT_EQ(Joined(), "sleeper woke idle ran");
    tx_thread_info_get(sleeper, nullptr, &state, nullptr, nullptr, nullptr, nullptr, nullptr,
                       nullptr);
    EXPECT_EQ(state, TX_COMPLETED);
    EXPECT_EQ(tx_thread_suspend(sleeper), TX_SUSPEND_ERROR);
}

TEST_F(KernelTest, ResumeOfAWaitingSuspendedThreadLiftsTheSuspension) {
    TX_THREAD* sleeper = nullptr;
    Boot([&] {
        sleeper = Spawn("sleeper", 3, [&] {
            tx_thread_sleep(5);
            Log("woke");
        });
    });
    ASSERT_EQ(tx_thread_suspend(sleeper), TX_SUCCESS);
    EXPECT_EQ(tx_thread_resume(sleeper), TX_SUSPEND_LIFTED);
    kernel_->Advance(5);
    EXPECT_EQ(Joined(), "woke");
}

struct Witness {
    KernelTest* test;
    ~Witness() { test->log_.push_back("unwound"); }
};

TEST_F(KernelTest, TerminateEndsABlockedThreadAndReleasesItsMutexes) {
    TX_THREAD* victim = nullptr;
    Boot([&] {
        ASSERT_EQ(tx_mutex_create(&g_mutex, "m", TX_INHERIT), TX_SUCCESS);
        ASSERT_EQ(tx_semaphore_create(&g_semaphore, "s", 0), TX_SUCCESS);
        victim = Spawn("victim", 4, [&] {
            Witness witness{this};
            tx_mutex_get(&g_mutex, TX_WAIT_FOREVER);
            tx_semaphore_get(&g_semaphore, TX_WAIT_FOREVER);
            Log("never");
        });
        Spawn("waiter", 6, [&] {
            EXPECT_EQ(tx_mutex_get(&g_mutex, TX_WAIT_FOREVER), TX_SUCCESS);
            Log("waiter got mutex");
        });
        Spawn("killer", 8, [&] {
            Log("killing");
            EXPECT_EQ(tx_thread_terminate(victim), TX_SUCCESS);
            Log("killed");
            EXPECT_EQ(tx_thread_terminate(victim), TX_SUCCESS);  // already ended
        });
    });
    EXPECT_EQ(Joined(), "killing unwound waiter got mutex killed");
    UINT state = 0;
    tx_thread_info_get(victim, nullptr, &state, nullptr, nullptr, nullptr, nullptr, nullptr,
                       nullptr);
    EXPECT_EQ(state, TX_TERMINATED);
    EXPECT_EQ(tx_thread_delete(victim), TX_SUCCESS);
    EXPECT_EQ(tx_thread_delete(victim), TX_THREAD_ERROR);
}

TEST_F(KernelTest, SelfTerminationUnwindsAndPassesTheBaton) {
    Boot([&] {
        Spawn("self", 2, [&] {
            Witness witness{this};
            Log("before");
            tx_thread_terminate(tx_thread_identify());
            Log("never");
        });
        Spawn("next", 3, [&] { Log("next"); });
    });
    EXPECT_EQ(Joined(), "before unwound next");
}

TEST_F(KernelTest, DeleteNeedsAnEndedThread) {
    TX_THREAD* sleeper = nullptr;
    Boot([&] { sleeper = Spawn("sleeper", 3, [&] { tx_thread_sleep(TX_WAIT_FOREVER); }); });
    EXPECT_EQ(tx_thread_delete(sleeper), TX_DELETE_ERROR);
    EXPECT_EQ(tx_thread_terminate(sleeper), TX_SUCCESS);
    EXPECT_EQ(tx_thread_delete(sleeper), TX_SUCCESS);
    // The control block and stack can be used again.
    sleeper = Spawn("again", 3, [&] { Log("again"); });
    kernel_->Advance(0);
    EXPECT_EQ(Joined(), "again");
}

TEST_F(KernelTest, WaitAbortOnlyEndsWaits) {
    TX_THREAD* sleeper = nullptr;
    TX_THREAD* suspended = nullptr;
    Boot([&] {
        sleeper = Spawn("sleeper", 3, [&] {
            EXPECT_EQ(tx_thread_sleep(100), TX_WAIT_ABORTED);
            Log("aborted");
        });
        suspended = Spawn(
            "suspended", 3, [] {}, kSameAsPriority, 0, TX_DONT_START);
    });
    EXPECT_EQ(tx_thread_wait_abort(suspended), TX_WAIT_ABORT_ERROR);
    EXPECT_EQ(tx_thread_wait_abort(sleeper), TX_SUCCESS);
    kernel_->Advance(0);
    EXPECT_EQ(Joined(), "aborted");
    EXPECT_EQ(tx_thread_wait_abort(sleeper), TX_WAIT_ABORT_ERROR);
}

TEST_F(KernelTest, ThreadCreateRefusesBadArguments) {
    static unsigned char stack[2][512];
    static TX_THREAD thread;
    static TX_THREAD other;
    auto entry = [](ULONG_PTR) {};
    Boot([&] {
        ASSERT_EQ(tx_thread_create(&thread, "t", entry, 0, stack[0], 512, 5, 5, 0, TX_AUTO_START),
                  TX_SUCCESS);
    });
    struct Case {
        TX_THREAD* thread;
        TX_THREAD_ENTRY entry;
        void* stack;
        ULONG size;
        UINT priority;
        UINT threshold;
        UINT start;
        UINT expected;
    };
    const Case cases[] = {
        {nullptr, entry, stack[1], 512, 5, 5, 1, TX_THREAD_ERROR},
        {&thread, entry, stack[1], 512, 5, 5, 1, TX_THREAD_ERROR},  // created already
        {&other, nullptr, stack[1], 512, 5, 5, 1, TX_PTR_ERROR},
        {&other, entry, nullptr, 512, 5, 5, 1, TX_PTR_ERROR},
        {&other, entry, stack[1], TX_MINIMUM_STACK - 1, 5, 5, 1, TX_SIZE_ERROR},
        {&other, entry, stack[1], 512, TX_MAX_PRIORITIES, 5, 1, TX_PRIORITY_ERROR},
        {&other, entry, stack[1], 512, 5, 6, 1, TX_THRESH_ERROR},
        {&other, entry, stack[1], 512, 5, 5, 2, TX_START_ERROR},
        {&other, entry, stack[0] + 256, 512, 5, 5, 1, TX_PTR_ERROR},  // overlaps a live stack
    };
    for (const Case& c : cases) {
        EXPECT_EQ(tx_thread_create(c.thread, "x", c.entry, 0, c.stack, c.size, c.priority,
                                   c.threshold, 0, c.start),
                  c.expected);
    }
}

TEST_F(KernelTest, IdentifyAndInfo) {
    TX_THREAD* me = nullptr;
    Boot([&] {
        EXPECT_EQ(tx_thread_identify(), nullptr);
        me = Spawn("worker", 7, [&] {
            EXPECT_EQ(tx_thread_identify(), me);
            tx_thread_sleep(TX_WAIT_FOREVER);
        });
    });
    const CHAR* name = nullptr;
    UINT state = 0;
    ULONG runs = 0;
    UINT priority = 0;
    ASSERT_EQ(
        tx_thread_info_get(me, &name, &state, &runs, &priority, nullptr, nullptr, nullptr, nullptr),
        TX_SUCCESS);
    EXPECT_STREQ(name, "worker");
    EXPECT_EQ(state, TX_SLEEP);
    EXPECT_EQ(runs, 1u);
    EXPECT_EQ(priority, 7u);
    EXPECT_EQ(tx_thread_identify(), nullptr);  // the test thread is outside the kernel
}

}  // namespace
