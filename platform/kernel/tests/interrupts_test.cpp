// Interrupt lines, the per-thread interrupt posture, posted work and host helper threads.

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "platform/kernel/tests/kernel_fixture.h"

namespace {

std::string g_trace;
TX_SEMAPHORE g_semaphore;

void TraceIsr(std::uintptr_t argument) {
    g_trace += "isr" + std::to_string(argument) + " ";
}

class InterruptTest : public KernelTest {
public:
    void SetUp() override { g_trace.clear(); }
};

TEST_F(InterruptTest, RaisedFromAHostThreadRunsAtTheNextStep) {
    Boot([] {});
    ASSERT_TRUE(kernel::RegisterInterrupt(5, TraceIsr, 5));
    std::thread helper([] { kernel::RaiseInterrupt(5); });
    helper.join();
    EXPECT_TRUE(kernel::InterruptPending(5));
    EXPECT_EQ(g_trace, "");
    kernel_->Advance(0);
    EXPECT_EQ(g_trace, "isr5 ");
    EXPECT_FALSE(kernel::InterruptPending(5));
}

TEST_F(InterruptTest, PendingLinesAreServedInLineOrderAndOnceEach) {
    Boot([] {});
    for (unsigned line : {9u, 2u, 40u}) {
        ASSERT_TRUE(kernel::RegisterInterrupt(line, TraceIsr, line));
    }
    for (unsigned line : {40u, 9u, 2u, 9u}) {
        kernel::RaiseInterrupt(line);
    }
    kernel_->Advance(0);
    EXPECT_EQ(g_trace, "isr2 isr9 isr40 ");
    EXPECT_FALSE(kernel::RegisterInterrupt(kernel::kInterruptLines, TraceIsr, 0));
    // A line without handler stays pending until one is registered.
    kernel::RaiseInterrupt(11);
    kernel_->Advance(0);
    EXPECT_TRUE(kernel::InterruptPending(11));
    kernel::RegisterInterrupt(11, TraceIsr, 11);
    kernel_->Advance(0);
    EXPECT_EQ(g_trace, "isr2 isr9 isr40 isr11 ");
}

// A thread masks interrupts (nested), raises one itself and makes kernel calls: the ISR waits
// until the outermost restore.
TEST_F(InterruptTest, MaskedPostureKeepsInterruptsPendingUntilTheOutermostRestore) {
    Boot([&] {
        kernel::RegisterInterrupt(1, TraceIsr, 1);
        Spawn("masker", 3, [&] {
            TX_INTERRUPT_SAVE_AREA
            TX_DISABLE {
                TX_INTERRUPT_SAVE_AREA
                TX_DISABLE
                kernel::RaiseInterrupt(1);
                tx_time_get();
                g_trace += "inner ";
                TX_RESTORE
            }
            tx_time_get();
            g_trace += "outer ";
            TX_RESTORE
            g_trace += "unmasked ";
            kernel::RaiseInterrupt(1);  // unmasked: served inside the call
            g_trace += "end ";
        });
    });
    EXPECT_EQ(g_trace, "inner outer isr1 unmasked isr1 end ");
}

// The posture belongs to its thread: while the masking thread sleeps, interrupts are served.
TEST_F(InterruptTest, PostureIsReleasedWhileItsOwnerBlocks) {
    Boot([&] {
        kernel::RegisterInterrupt(1, TraceIsr, 1);
        Spawn("masker", 3, [&] {
            TX_INTERRUPT_SAVE_AREA
            TX_DISABLE
            tx_thread_sleep(5);
            g_trace += "masker back ";
            kernel::RaiseInterrupt(1);
            tx_time_get();
            g_trace += "still masked ";
            TX_RESTORE
        });
    });
    kernel::RaiseInterrupt(1);
    kernel_->Advance(1);
    EXPECT_EQ(g_trace, "isr1 ");
    kernel_->Advance(4);
    EXPECT_EQ(g_trace, "isr1 masker back still masked isr1 ");
}

// An ISR readies a higher thread: it takes over at the running thread's next kernel call.
TEST_F(InterruptTest, IsrWakesAHigherThreadThatPreemptsAtTheNextKernelCall) {
    Boot([&] {
        ASSERT_EQ(tx_semaphore_create(&g_semaphore, "s", 0), TX_SUCCESS);
        kernel::RegisterInterrupt(
            4, [](std::uintptr_t) { tx_semaphore_put(&g_semaphore); }, 0);
        Spawn("high", 1, [&] {
            tx_semaphore_get(&g_semaphore, TX_WAIT_FOREVER);
            g_trace += "high ";
        });
        Spawn("low", 8, [&] {
            g_trace += "low ";
            kernel::RaiseInterrupt(4);
            g_trace += "low after ";
        });
    });
    EXPECT_EQ(g_trace, "low high low after ");
}

TEST_F(InterruptTest, PostedWorkRunsInIsrContextAtTheNextStep) {
    kernel::Context seen = kernel::Context::kOutside;
    Boot([&] { ASSERT_EQ(tx_semaphore_create(&g_semaphore, "s", 0), TX_SUCCESS); });
    Spawn("waiter", 3, [&] {
        tx_semaphore_get(&g_semaphore, TX_WAIT_FOREVER);
        g_trace += "woken ";
    });
    std::thread helper([&] {
        kernel::Post([&] {
            seen = kernel::CurrentContext();
            tx_semaphore_put(&g_semaphore);
        });
    });
    helper.join();
    kernel_->Advance(0);
    EXPECT_EQ(seen, kernel::Context::kIsr);
    EXPECT_EQ(g_trace, "woken ");
}

TEST_F(InterruptTest, HostThreadsCanWakeKernelObjectsDirectly) {
    TX_EVENT_FLAGS_GROUP group;
    Boot([&] {
        ASSERT_EQ(tx_event_flags_create(&group, "g"), TX_SUCCESS);
        ASSERT_EQ(tx_semaphore_create(&g_semaphore, "s", 0), TX_SUCCESS);
    });
    Spawn("waiter", 3, [&] {
        ULONG actual = 0;
        tx_event_flags_get(&group, 0x8, TX_OR_CLEAR, &actual, TX_WAIT_FOREVER);
        g_trace += "flags ";
        tx_semaphore_get(&g_semaphore, TX_WAIT_FOREVER);
        g_trace += "semaphore ";
    });
    kernel_->Advance(0);
    std::thread helper([&] {
        EXPECT_EQ(tx_event_flags_set(&group, 0x8, TX_OR), TX_SUCCESS);
        EXPECT_EQ(tx_semaphore_put(&g_semaphore), TX_SUCCESS);
    });
    helper.join();
    kernel_->Advance(0);
    EXPECT_EQ(g_trace, "flags semaphore ");
}

TEST(InterruptRealTime, HelperInterruptIsServedWithoutAStep) {
    kernel::Options options;
    options.clock = kernel::ClockMode::kRealTime;
    kernel::Kernel k(options);
    k.Start([](void*) {});
    kernel::RegisterInterrupt(
        7, [](std::uintptr_t) { kernel::Kernel::Current()->Stop(); }, 0);
    std::thread helper([] { kernel::RaiseInterrupt(7); });
    helper.join();
    k.WaitForStop();  // only the ISR stops it
    EXPECT_FALSE(kernel::InterruptPending(7));
}

// A thread raises a line with interrupts masked and then blocks with nothing else to run: the
// idle driver serves the line (nothing else would ever wake it).
TEST(InterruptRealTime, LineLeftPendingByABlockingThreadIsServed) {
    kernel::Options options;
    options.clock = kernel::ClockMode::kRealTime;
    static TX_THREAD thread;
    static TX_SEMAPHORE never;
    static unsigned char stack[1024];
    static std::atomic<bool> served;
    served = false;
    kernel::Kernel k(options);
    k.Start([](void*) {
        kernel::RegisterInterrupt(
            7,
            [](std::uintptr_t) {
                served = true;
                kernel::Kernel::Current()->Stop();
            },
            0);
        tx_semaphore_create(&never, "never", 0);
        tx_thread_create(
            &thread, "masker",
            [](ULONG_PTR) {
                tx_interrupt_control(TX_INT_DISABLE);
                kernel::RaiseInterrupt(7);
                tx_semaphore_get(&never, TX_WAIT_FOREVER);
            },
            0, stack, sizeof stack, 5, 5, 0, TX_AUTO_START);
    });
    StopGuard guard(k, std::chrono::seconds(5));
    k.WaitForStop();
    EXPECT_FALSE(guard.Finish()) << "the line was not served";
    EXPECT_TRUE(served);
}

// PostAndServe from a helper: with no thread running, the helper's own host thread runs the
// work in ISR context and hands the baton to the thread it readied; behind a running thread the
// work waits for that thread's next kernel call, or for the driver when the thread blocks masked.
TEST(InterruptRealTime, PostAndServeRunsOnTheHelperOnlyWhenNoThreadRuns) {
    struct Case {
        const char* name;
        bool busy;         // a thread holds the baton when the helper posts
        bool blockMasked;  // and then blocks with interrupts masked
    };
    for (const Case& c : {Case{"idle kernel", false, false}, Case{"running thread", true, false},
                          Case{"thread blocking masked", true, true}}) {
        SCOPED_TRACE(c.name);
        static TX_THREAD waiter;
        static TX_THREAD spinner;
        static TX_SEMAPHORE go;
        static TX_SEMAPHORE never;
        static bool blockMasked;
        static unsigned char waiterStack[1024];
        static unsigned char spinnerStack[1024];
        static std::atomic<bool> release;
        static std::atomic<bool> spinning;
        static std::thread::id ranOn;
        static kernel::Context ranIn;
        release = false;
        spinning = false;
        ranOn = {};
        ranIn = kernel::Context::kOutside;
        blockMasked = c.blockMasked;
        kernel::Options options;
        options.clock = kernel::ClockMode::kRealTime;
        kernel::Kernel k(options);
        const bool busy = c.busy;
        k.Start([busy](void*) {
            tx_semaphore_create(&go, "go", 0);
            tx_semaphore_create(&never, "never", 0);
            tx_thread_create(
                &waiter, "waiter",
                [](ULONG_PTR) {
                    tx_semaphore_get(&go, TX_WAIT_FOREVER);
                    kernel::Kernel::Current()->Stop();
                },
                0, waiterStack, sizeof waiterStack, 5, 5, 0, TX_AUTO_START);
            if (busy) {
                tx_thread_create(
                    &spinner, "spinner",
                    [](ULONG_PTR) {
                        if (blockMasked) {
                            tx_interrupt_control(TX_INT_DISABLE);
                        }
                        spinning = true;
                        while (!release) {
                        }
                        if (blockMasked) {
                            tx_semaphore_get(&never, TX_WAIT_FOREVER);
                        }
                        tx_thread_relinquish();
                    },
                    0, spinnerStack, sizeof spinnerStack, 10, 10, 0, TX_AUTO_START);
            }
        });
        // The helper posts once the waiter blocks (and, when busy, while the spinner runs).
        auto blocked = [busy] {
            UINT state = 0;
            tx_thread_info_get(&waiter, nullptr, &state, nullptr, nullptr, nullptr, nullptr,
                               nullptr, nullptr);
            return state == TX_SEMAPHORE_SUSP && (!busy || spinning);
        };
        StopGuard guard(k, std::chrono::seconds(10));
        std::thread::id helperId;
        std::thread helper([&] {
            helperId = std::this_thread::get_id();
            while (!blocked()) {
                std::this_thread::yield();
            }
            kernel::PostAndServe([] {
                ranOn = std::this_thread::get_id();
                ranIn = kernel::CurrentContext();
                tx_semaphore_put(&go);
            });
            release = true;
        });
        helper.join();
        k.WaitForStop();
        EXPECT_FALSE(guard.Finish()) << "the waiter never ran";
        EXPECT_EQ(ranIn, kernel::Context::kIsr);
        EXPECT_EQ(ranOn == helperId, !c.busy);
    }
}

}  // namespace

namespace {

TX_THREAD* g_victim;

// An ISR that runs on the interrupted thread's own host stack terminates that thread: it ends at
// the kernel call it was interrupted in.
TEST_F(InterruptTest, IsrTerminatingTheInterruptedThreadEndsItAtItsKernelCall) {
    Boot([&] {
        kernel::RegisterInterrupt(
            2, [](std::uintptr_t) { g_trace += std::to_string(tx_thread_terminate(g_victim)); }, 0);
        g_victim = Spawn("victim", 3, [&] {
            g_trace += "raise ";
            kernel::RaiseInterrupt(2);
            g_trace += "never ";
        });
        Spawn("next", 4, [&] { g_trace += " next"; });
    });
    EXPECT_EQ(g_trace, "raise 0 next");
    UINT state = 0;
    tx_thread_info_get(g_victim, nullptr, &state, nullptr, nullptr, nullptr, nullptr, nullptr,
                       nullptr);
    EXPECT_EQ(state, TX_TERMINATED);
}

}  // namespace
