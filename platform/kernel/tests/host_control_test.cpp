// Teardown per test, host stacks, the console capture and the kernel entry.

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
