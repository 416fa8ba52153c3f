// Teardown per test, host stacks, the console capture and the kernel entry.

#include <atomic>
#include <cstring>
#include <string>

#include "platform/kernel/tests/kernel_fixture.h"

namespace {

int g_unwound;
struct Witness {
    ~Witness() { ++g_unwound; }
};

TX_SEMAPHORE g_semaphore;
TX_MUTEX g_mutex;
TX_EVENT_FLAGS_GROUP g_group;
TX_BYTE_POOL g_pool;
alignas(8) unsigned char g_area[1024];

// Threads in every blocked state, one that never ran and one suspended before starting: the
// kernel's destruction unwinds each of them.
TEST_F(KernelTest, DestructionEndsThreadsInEveryState) {
    g_unwound = 0;
    Boot([&] {
        ASSERT_EQ(tx_semaphore_create(&g_semaphore, "s", 0), TX_SUCCESS);
        ASSERT_EQ(tx_mutex_create(&g_mutex, "m", TX_INHERIT), TX_SUCCESS);
        ASSERT_EQ(tx_event_flags_create(&g_group, "g"), TX_SUCCESS);
        ASSERT_EQ(tx_byte_pool_create(&g_pool, "p", g_area, sizeof g_area), TX_SUCCESS);
        Spawn("holder", 1, [] {
            Witness w;
            tx_mutex_get(&g_mutex, TX_WAIT_FOREVER);
            tx_thread_sleep(TX_WAIT_FOREVER);
        });
        Spawn("mutex", 2, [] {
            Witness w;
            tx_mutex_get(&g_mutex, TX_WAIT_FOREVER);
        });
        Spawn("semaphore", 2, [] {
            Witness w;
            tx_semaphore_get(&g_semaphore, 100);
        });
        Spawn("flags", 2, [] {
            Witness w;
            ULONG actual;
            tx_event_flags_get(&g_group, 1, TX_AND, &actual, TX_WAIT_FOREVER);
        });
        Spawn("pool", 2, [] {
            Witness w;
            void* block;
            tx_byte_allocate(&g_pool, &block, 1000, TX_WAIT_FOREVER);
        });
        Spawn("self-suspended", 2, [] {
            Witness w;
            tx_thread_suspend(tx_thread_identify());
        });
        Spawn(
            "never started", 2, [] { Witness w; }, kSameAsPriority, 0, TX_DONT_START);
    });
    Spawn("ready, never ran", 9, [] { Witness w; });
    const std::uint64_t old_id = kernel_->id();
    kernel_.reset();
    EXPECT_EQ(g_unwound, 6);
    EXPECT_EQ(kernel::Kernel::Current(), nullptr);
    // A new kernel takes the same control blocks afresh.
    kernel_ = std::make_unique<kernel::Kernel>();
    EXPECT_NE(kernel_->id(), old_id);
    Boot([] {
        EXPECT_EQ(tx_semaphore_create(&g_semaphore, "s", 1), TX_SUCCESS);
        EXPECT_EQ(tx_mutex_create(&g_mutex, "m", TX_INHERIT), TX_SUCCESS);
    });
    EXPECT_EQ(tx_semaphore_get(&g_semaphore, TX_NO_WAIT), TX_SUCCESS);
}

TEST(KernelTeardown, RealTimeKernelWithBusyThreadsEnds) {
    kernel::Options options;
    options.clock = kernel::ClockMode::kRealTime;
    options.time_scale = 50.0;
    static TX_THREAD threads[3];
    static unsigned char stacks[3][1024];
    static std::uint64_t spins;
    spins = 0;
    {
        kernel::Kernel k(options);
        k.Start([](void*) {
            for (int i = 0; i < 3; ++i) {
                tx_thread_create(
                    &threads[i], "spinner",
                    [](ULONG_PTR) {
                        for (;;) {
                            ++spins;
                            tx_thread_relinquish();
                            if (spins == 1000) {
                                kernel::Kernel::Current()->Stop();
                            }
                        }
                    },
                    0, stacks[i], sizeof stacks[i], 4, 4, 1, TX_AUTO_START);
            }
        });
        k.WaitForStop();
    }
    EXPECT_GE(spins, 1000u);
}

__attribute__((noinline)) void UseStack() {
    volatile unsigned char buffer[64 * 1024];
    for (std::size_t i = 0; i < sizeof buffer; i += 512) {
        buffer[i] = 1;
    }
}

TEST_F(KernelTest, HostStackIsPaintedAndItsUseMeasured) {
    static ULONG mirrored;
    TX_THREAD* thread = nullptr;
    Boot([&] {
        thread = Spawn("deep", 3, [&] {
            tx_thread_sleep(1);
            UseStack();
            tx_thread_sleep(1);
        });
    });
    const kernel::StackUse early = kernel::HostStackUse(thread);
    EXPECT_GE(early.size, 256u * 1024);
    EXPECT_LT(early.used, early.size / 2);
    kernel_->Advance(1);
    const kernel::StackUse late = kernel::HostStackUse(thread);
    EXPECT_GE(late.used, early.used + 60 * 1024);
    // The declared stack (1024 bytes of the caller's area) shows the use, clamped.
    auto* declared = static_cast<unsigned char*>(thread->tx_thread_stack_start);
    std::memset(declared, 0xEF, thread->tx_thread_stack_size);
    mirrored = kernel::MirrorStackUse(thread);
    EXPECT_EQ(mirrored, thread->tx_thread_stack_size);
    EXPECT_NE(declared[0], 0xEF);
}

TEST(Console, WritesGoToTheCapture) {
    std::string captured;
    kernel::SetConsoleCapture([&](std::string_view text) { captured += text; });
    host_console_write("Booting", 7);
    host_console_write(" ok\n", 4);
    host_console_write(nullptr, 3);
    kernel::SetConsoleCapture(nullptr);
    EXPECT_EQ(captured, "Booting ok\n");
}

}  // namespace

// The application's start-up hook, as the controller defines it.
static void* g_first_unused;
VOID tx_application_define(VOID* first_unused_memory) {
    g_first_unused = first_unused_memory;
    EXPECT_EQ(kernel::CurrentContext(), kernel::Context::kStartup);
    EXPECT_EQ(tx_thread_identify(), nullptr);
}

namespace {

TEST(KernelEnter, CallsTheStartUpHookWithTheFreeMemory) {
    kernel::Kernel k;  // stepped: returns after start-up
    g_first_unused = nullptr;
    tx_kernel_enter();
    ASSERT_NE(g_first_unused, nullptr);
    EXPECT_EQ(g_first_unused, k.free_memory());
    EXPECT_GE(k.free_memory_size(), std::size_t{0x30000 + 0x200000 + 0x301000});
    std::memset(g_first_unused, 0, 0x30000 + 0x200000);  // the pools start-up lays down
}

}  // namespace

#include <signal.h>
#include <unistd.h>

#include "platform/kernel/signal_stop.h"

namespace {

TEST(SignalStop, TerminationSignalStopsTheKernel) {
    kernel::Options options;
    options.clock = kernel::ClockMode::kRealTime;
    kernel::Kernel k(options);
    kernel::SignalStop stop(k);
    k.Start([](void*) {});
    EXPECT_EQ(stop.signal(), 0);
    ASSERT_EQ(kill(getpid(), SIGTERM), 0);  // blocked in every thread but taken by the waiter
    k.WaitForStop();
    EXPECT_EQ(stop.signal(), SIGTERM);
}

TEST(SignalStop, StopFromElsewhereEndsTheWaiter) {
    kernel::Kernel k;
    kernel::SignalStop stop(k);
    k.Stop();
    k.WaitForStop();
    EXPECT_EQ(stop.signal(), 0);
}

}  // namespace

namespace {

TX_MUTEX g_guarded;
TX_SEMAPHORE g_holding;
bool g_after_guard;

struct MutexGuard {
    MutexGuard() { tx_mutex_get(&g_guarded, TX_WAIT_FOREVER); }
    ~MutexGuard() { tx_mutex_put(&g_guarded); }  // the waiter preempts inside this destructor
};

// Teardown finds a thread preempted inside a destructor: it must not unwind there (an exception
// leaving a destructor ends the process) but at its next wait.
TEST(KernelTeardown, ThreadPreemptedInADestructorEndsAtItsNextWait) {
    kernel::Options options;
    options.clock = kernel::ClockMode::kRealTime;
    options.time_scale = 10.0;
    static TX_THREAD low;
    static TX_THREAD high;
    static unsigned char stacks[2][1024];
    g_after_guard = false;
    {
        kernel::Kernel k(options);
        k.Start([](void*) {
            tx_mutex_create(&g_guarded, "guarded", TX_INHERIT);
            tx_semaphore_create(&g_holding, "holding", 0);
            tx_thread_create(
                &low, "low",
                [](ULONG_PTR) {
                    {
                        MutexGuard guard;
                        tx_semaphore_put(&g_holding);
                        tx_thread_sleep(2);
                    }
                    g_after_guard = true;
                    tx_thread_sleep(TX_WAIT_FOREVER);
                },
                0, stacks[0], sizeof stacks[0], 10, 10, 0, TX_AUTO_START);
            tx_thread_create(
                &high, "high",
                [](ULONG_PTR) {
                    tx_semaphore_get(&g_holding, TX_WAIT_FOREVER);
                    tx_mutex_get(&g_guarded, TX_WAIT_FOREVER);
                    kernel::Kernel::Current()->Stop();
                    for (;;) {
                        tx_thread_relinquish();  // keeps low from running again
                    }
                },
                0, stacks[1], sizeof stacks[1], 5, 5, 0, TX_AUTO_START);
        });
        k.WaitForStop();
        EXPECT_FALSE(g_after_guard);
    }
    EXPECT_TRUE(g_after_guard);
}

}  // namespace

namespace {

std::atomic<std::uint64_t> g_masks{0};

// A scope that masks interrupts, as the firmware's list guards do: both its kernel calls are
// non-blocking, and one of them runs in a destructor.
struct MaskedScope {
    MaskedScope() : saved(tx_interrupt_control(TX_INT_DISABLE)) {}
    ~MaskedScope() { tx_interrupt_control(saved); }
    UINT saved;
};
struct RestoreOnly {
    ~RestoreOnly() { tx_interrupt_control(TX_INT_ENABLE); }
};
TX_EVENT_FLAGS_GROUP g_flags;
TX_SEMAPHORE g_plenty;  // never empty: its waits return at once until teardown refuses them
// A destructor that asks who runs, signals, deletes, and (inside a no-unwind scope) even waits.
struct KernelCallsOnExit {
    KernelCallsOnExit() { tx_semaphore_create(&scratch, "scratch", 0); }
    ~KernelCallsOnExit() {
        tx_thread_identify();
        tx_event_flags_set(&g_flags, 1, TX_OR);
        tx_semaphore_delete(&scratch);
        kernel::NoUnwindScope no_unwind;
        tx_semaphore_get(&g_plenty, TX_WAIT_FOREVER);
    }
    TX_SEMAPHORE scratch;
};

// A thread that never waits at teardown: its calls are refused until it has made many; it then
// unwinds at a call that gives nothing back, never in a destructor's put or restore (an exception
// leaving a destructor ends the process).
TEST(KernelTeardown, BusyThreadWithoutWaitsEndsOutsideItsDestructors) {
    kernel::Options options;
    options.clock = kernel::ClockMode::kRealTime;
    options.time_scale = 10.0;
    static TX_THREAD busy[3];
    static unsigned char stacks[3][1024];
    g_masks = 0;
    {
        kernel::Kernel k(options);
        k.Start([](void*) {
            tx_event_flags_create(&g_flags, "flags");
            tx_semaphore_create(&g_plenty, "plenty", 0xFFFFFFFFul);
            tx_thread_create(
                &busy[2], "destructors",
                [](ULONG_PTR) {
                    for (;;) {
                        KernelCallsOnExit scope;
                        tx_semaphore_get(&g_holding, TX_NO_WAIT);
                    }
                },
                0, stacks[2], sizeof stacks[2], 4, 4, 1, TX_AUTO_START);
            tx_thread_create(
                &busy[0], "guards",
                [](ULONG_PTR) {
                    for (;;) {
                        MaskedScope outer;
                        {
                            MaskedScope inner;
                            if (++g_masks == 100) {
                                kernel::Kernel::Current()->Stop();
                            }
                        }
                        tx_semaphore_get(&g_holding, TX_NO_WAIT);  // refused, never waits
                    }
                },
                0, stacks[0], sizeof stacks[0], 4, 4, 1, TX_AUTO_START);
            tx_thread_create(
                &busy[1], "restores",
                [](ULONG_PTR) {
                    for (;;) {
                        RestoreOnly scope;
                        tx_mutex_put(&g_guarded);  // not owned: an error, never a wait
                        tx_time_get();
                    }
                },
                0, stacks[1], sizeof stacks[1], 4, 4, 1, TX_AUTO_START);
        });
        k.WaitForStop();
    }
    EXPECT_GE(g_masks.load(), 100u);
}

}  // namespace
