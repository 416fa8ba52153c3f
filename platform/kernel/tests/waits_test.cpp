// Time-outs on every kind of wait, waits refused outside thread context, objects deleted under
// their waiters.

#include <functional>
#include <string>
#include <thread>

#include "platform/kernel/tests/kernel_fixture.h"

namespace {

TX_SEMAPHORE g_semaphore;
TX_EVENT_FLAGS_GROUP g_group;
TX_MUTEX g_mutex;
TX_BYTE_POOL g_pool;
alignas(8) unsigned char g_pool_area[512];

// Objects every case can wait on: an empty semaphore, a group without flags, a mutex held by
// another thread and an exhausted pool.
void CreateObjects() {
    ASSERT_EQ(tx_semaphore_create(&g_semaphore, "s", 0), TX_SUCCESS);
    ASSERT_EQ(tx_event_flags_create(&g_group, "g"), TX_SUCCESS);
    ASSERT_EQ(tx_mutex_create(&g_mutex, "m", TX_INHERIT), TX_SUCCESS);
    ASSERT_EQ(tx_byte_pool_create(&g_pool, "p", g_pool_area, sizeof g_pool_area), TX_SUCCESS);
    void* block = nullptr;
    ASSERT_EQ(tx_byte_allocate(&g_pool, &block, 400, TX_NO_WAIT), TX_SUCCESS);
}

struct WaitCase {
    const char* label;
    std::function<UINT(ULONG wait)> wait;
    UINT timeout_status;
    UINT deleted_status;  // when the object is deleted under the waiter (0: no object)
    std::function<void()> delete_object;
};

ULONG g_actual;
void* g_block;

const WaitCase kSleep = {"sleep", [](ULONG w) { return tx_thread_sleep(w); }, TX_SUCCESS, 0,
                         nullptr};
const WaitCase kObjectWaits[] = {
    {"semaphore", [](ULONG w) { return tx_semaphore_get(&g_semaphore, w); }, TX_NO_INSTANCE,
     TX_DELETED, [] { tx_semaphore_delete(&g_semaphore); }},
    {"event_flags", [](ULONG w) { return tx_event_flags_get(&g_group, 0x3, TX_AND, &g_actual, w); },
     TX_NO_EVENTS, TX_DELETED, [] { tx_event_flags_delete(&g_group); }},
    {"mutex", [](ULONG w) { return tx_mutex_get(&g_mutex, w); }, TX_NOT_AVAILABLE, TX_DELETED,
     [] { tx_mutex_delete(&g_mutex); }},
    {"byte_pool", [](ULONG w) { return tx_byte_allocate(&g_pool, &g_block, 200, w); }, TX_NO_MEMORY,
     TX_DELETED, [] { tx_byte_pool_delete(&g_pool); }},
};

class Waits : public KernelTest, public ::testing::WithParamInterface<WaitCase> {
protected:
    void BootWithHolder() {
        Boot([&] {
            CreateObjects();
            Spawn("holder", 1, [] {
                tx_mutex_get(&g_mutex, TX_WAIT_FOREVER);
                tx_thread_sleep(TX_WAIT_FOREVER);
            });
        });
    }
};

TEST_P(Waits, TimeOutAfterExactlyTheGivenTicks) {
    const WaitCase& c = GetParam();
    BootWithHolder();
    UINT status = 0xFFFF;
    ULONG woke_at = 0;
    Spawn("waiter", 5, [&] {
        status = c.wait(7);
        woke_at = tx_time_get();
    });
    kernel_->Advance(6);
    EXPECT_EQ(status, 0xFFFFu);
    kernel_->Advance(1);
    EXPECT_EQ(status, c.timeout_status);
    EXPECT_EQ(woke_at, 7u);
}

// Waits on an object (not sleep).
class ObjectWaits : public Waits {};

TEST_P(ObjectWaits, NoWaitAnswersAtOnce) {
    const WaitCase& c = GetParam();
    BootWithHolder();
    UINT status = 0xFFFF;
    Spawn("waiter", 5, [&] { status = c.wait(TX_NO_WAIT); });
    kernel_->Advance(0);
    EXPECT_EQ(status, c.timeout_status);
}

TEST_P(ObjectWaits, ForeverWaitEndsWhenTheObjectIsDeleted) {
    const WaitCase& c = GetParam();
    BootWithHolder();
    UINT status = 0xFFFF;
    Spawn("waiter", 5, [&] { status = c.wait(TX_WAIT_FOREVER); });
    kernel_->Advance(1000);
    EXPECT_EQ(status, 0xFFFFu);
    Spawn("deleter", 6, [&] { c.delete_object(); });
    kernel_->Advance(0);
    EXPECT_EQ(status, c.deleted_status);
}

TEST_P(Waits, WaitAbortEndsTheWait) {
    const WaitCase& c = GetParam();
    BootWithHolder();
    UINT status = 0xFFFF;
    TX_THREAD* waiter = Spawn("waiter", 5, [&] { status = c.wait(TX_WAIT_FOREVER); });
    kernel_->Advance(3);
    EXPECT_EQ(tx_thread_wait_abort(waiter), TX_SUCCESS);
    kernel_->Advance(0);
    EXPECT_EQ(status, TX_WAIT_ABORTED);
}

// A wait outside thread context fails at once: start-up, timer, interrupt and host threads.
TEST_P(Waits, BlockingWaitOutsideAThreadFailsWithWaitError) {
    const WaitCase& c = GetParam();
    const UINT expected = c.deleted_status == 0 ? TX_CALLER_ERROR : TX_WAIT_ERROR;
    UINT in_startup = 0;
    Boot([&] {
        CreateObjects();
        in_startup = c.wait(5);
    });
    EXPECT_EQ(in_startup, expected);

    static UINT in_timer;
    static const WaitCase* current;
    current = &c;
    in_timer = 0;
    static TX_TIMER timer;
    ASSERT_EQ(tx_timer_create(
                  &timer, "t", [](ULONG_PTR) { in_timer = current->wait(TX_WAIT_FOREVER); }, 0, 1,
                  0, TX_AUTO_ACTIVATE),
              TX_SUCCESS);
    kernel_->Advance(1);
    EXPECT_EQ(in_timer, expected);

    static UINT in_isr;
    in_isr = 0;
    ASSERT_TRUE(kernel::RegisterInterrupt(
        3, [](std::uintptr_t) { in_isr = current->wait(1); }, 0));
    kernel::RaiseInterrupt(3);
    kernel_->Advance(0);
    EXPECT_EQ(in_isr, expected);

    UINT from_host = 0;
    std::thread helper([&] { from_host = c.wait(10); });
    helper.join();
    EXPECT_EQ(from_host, expected);
}

auto Label(const ::testing::TestParamInfo<WaitCase>& info) {
    return std::string(info.param.label);
}
INSTANTIATE_TEST_SUITE_P(Sleep, Waits, ::testing::Values(kSleep), Label);
INSTANTIATE_TEST_SUITE_P(Objects, Waits, ::testing::ValuesIn(kObjectWaits), Label);
INSTANTIATE_TEST_SUITE_P(Objects, ObjectWaits, ::testing::ValuesIn(kObjectWaits), Label);

TEST_F(KernelTest, ContextsAreReported) {
    using kernel::Context;
    static Context seen_timer;
    static Context seen_isr;
    Context seen_startup = Context::kOutside;
    Context seen_thread = Context::kOutside;
    static TX_TIMER timer;
    Boot([&] {
        seen_startup = kernel::CurrentContext();
        Spawn("t", 3, [&] { seen_thread = kernel::CurrentContext(); });
        tx_timer_create(
            &timer, "t", [](ULONG_PTR) { seen_timer = kernel::CurrentContext(); }, 0, 2, 0,
            TX_AUTO_ACTIVATE);
    });
    kernel::RegisterInterrupt(
        0, [](std::uintptr_t) { seen_isr = kernel::CurrentContext(); }, 0);
    kernel::RaiseInterrupt(0);
    kernel_->Advance(2);
    EXPECT_EQ(seen_startup, Context::kStartup);
    EXPECT_EQ(seen_thread, Context::kThread);
    EXPECT_EQ(seen_timer, Context::kTimer);
    EXPECT_EQ(seen_isr, Context::kIsr);
    EXPECT_EQ(kernel::CurrentContext(), Context::kOutside);
}

TEST_F(KernelTest, CreateAndDeleteAreRefusedInInterruptContext) {
    static UINT results[6];
    static TX_SEMAPHORE semaphore;
    static TX_EVENT_FLAGS_GROUP group;
    static TX_MUTEX mutex;
    static TX_MUTEX held;
    static TX_TIMER timer;
    Boot([&] {
        ASSERT_EQ(tx_event_flags_create(&group, "g"), TX_SUCCESS);
        ASSERT_EQ(tx_mutex_create(&held, "held", TX_NO_INHERIT), TX_SUCCESS);
    });
    kernel::RegisterInterrupt(
        1,
        [](std::uintptr_t) {
            results[0] = tx_semaphore_create(&semaphore, "s", 0);
            results[1] = tx_mutex_create(&mutex, "m", TX_NO_INHERIT);
            results[2] = tx_event_flags_delete(&group);
            results[3] = tx_timer_create(
                &timer, "t", [](ULONG_PTR) {}, 0, 1, 0, 0);
            results[4] = tx_thread_sleep(1);
            results[5] = tx_mutex_put(&held);
        },
        0);
    kernel::RaiseInterrupt(1);
    kernel_->Advance(0);
    for (UINT result : results) {
        EXPECT_EQ(result, TX_CALLER_ERROR);
    }
}

}  // namespace
