// The wrapper layer over a stepped kernel: option translation and status mapping, case by case.

#include "runtime/os_wrappers.h"

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <memory>
#include <string>

#include "platform/kernel/kernel.h"

namespace {

TX_BYTE_POOL g_pool;
alignas(8) unsigned char g_pool_area[1024];
TX_EVENT_FLAGS_GROUP g_group;
TX_SEMAPHORE g_semaphore;
TX_MUTEX g_mutex;
TX_TIMER g_timer;

class OsWrappers : public ::testing::Test {
public:
    void SetUp() override {
        kernel_->Start([](void*) {
            ASSERT_EQ(os_byte_pool_create(&g_pool, "pool", g_pool_area, sizeof g_pool_area),
                      OS_SUCCESS);
            ASSERT_EQ(os_event_flags_create(&g_group, "group"), OS_SUCCESS);
            ASSERT_EQ(os_semaphore_create(&g_semaphore, "semaphore", 0), OS_SUCCESS);
            ASSERT_EQ(os_mutex_create(&g_mutex, "mutex", 1), OS_SUCCESS);
        });
    }

    // Runs fn on a firmware thread of the given priority; the result is read after the step.
    OsStatus* InThread(std::function<OsStatus()> fn, UINT priority = 10) {
        threads_.push_back(std::make_unique<Thread>());
        Thread* t = threads_.back().get();
        t->fn = std::move(fn);
        EXPECT_EQ(tx_thread_create(&t->thread, "worker", &OsWrappers::Entry,
                                   reinterpret_cast<ULONG_PTR>(t), t->stack, sizeof t->stack,
                                   priority, priority, 0, TX_AUTO_START),
                  TX_SUCCESS);
        return &t->result;
    }
    // Runs fn in ISR context.
    OsStatus InIsr(std::function<OsStatus()> fn) {
        OsStatus result = 0xFFFF;
        kernel::Post([&] { result = fn(); });
        kernel_->Advance(0);
        return result;
    }

    struct Thread {
        TX_THREAD thread{};
        std::function<OsStatus()> fn;
        OsStatus result = 0xFFFF;
        unsigned char stack[1024];
    };
    std::deque<std::unique_ptr<Thread>> threads_;
    std::unique_ptr<kernel::Kernel> kernel_ = std::make_unique<kernel::Kernel>();

private:
    static void Entry(ULONG_PTR input) {
        auto* t = reinterpret_cast<Thread*>(input);
        t->result = t->fn();
    }
};

void ExhaustPool() {
    void* block = nullptr;
    ASSERT_EQ(os_byte_allocate(&g_pool, &block, 990, TX_NO_WAIT), OS_SUCCESS);
}

// --- edge cases ---

TEST_F(OsWrappers, UnknownEventOptionFailsWithoutWaiting) {
    ULONG actual = 0x1234;
    OsStatus* status =
        InThread([&] { return os_event_flags_get(&g_group, 0x1, 5, &actual, TX_WAIT_FOREVER); });
    kernel_->Advance(0);
    EXPECT_EQ(*status, OS_FAILURE);
    EXPECT_EQ(actual, 0x1234u);
    EXPECT_EQ(os_event_flags_set(&g_group, 0x1, 0), OS_FAILURE);
}

TEST_F(OsWrappers, TimerWithUnknownActivationOptionIsNotCreated) {
    EXPECT_EQ(os_timer_create(
                  &g_timer, "t", [](ULONG_PTR) {}, 10, 10, 2),
              OS_FAILURE);
    EXPECT_EQ(tx_timer_info_get(&g_timer, nullptr, nullptr, nullptr, nullptr, nullptr),
              TX_TIMER_ERROR);
    EXPECT_EQ(os_timer_activate(&g_timer), OS_FAILURE);
}

TEST_F(OsWrappers, AllocateWithoutWaitOnAnExhaustedPoolIsNoMemory) {
    ExhaustPool();
    void* block = nullptr;
    EXPECT_EQ(os_byte_allocate(&g_pool, &block, 64, TX_NO_WAIT), OS_NO_MEMORY);
    EXPECT_EQ(block, nullptr);
}

TEST_F(OsWrappers, MutexPutByANonOwnerIsNotOwned) {
    InThread(
        [] {
            os_mutex_get(&g_mutex, TX_WAIT_FOREVER);
            return os_thread_sleep(TX_WAIT_FOREVER);
        },
        5);
    OsStatus* status = InThread([] { return os_mutex_put(&g_mutex); });
    kernel_->Advance(0);
    EXPECT_EQ(*status, OS_NOT_OWNED);
}

TEST(OsWrappersStartup, ThreadNameFromTheStartUpHookIsCallerError) {
    kernel::Kernel k;
    static OsStatus status;
    static OsStatus sleep_status;
    k.Start([](void*) {
        const char* name = "untouched";
        status = os_thread_name(&name);
        sleep_status = os_thread_sleep(5);
        EXPECT_STREQ(name, "untouched");
    });
    EXPECT_EQ(status, OS_CALLER_ERROR);
    EXPECT_EQ(sleep_status, OS_CALLER_ERROR);
}

// --- status mapping, one row per kernel outcome ---

struct MappingCase {
    const char* label;
    std::function<OsStatus(OsWrappers&)> run;
    OsStatus expected;
};

// Waits in a thread that another thread then disturbs (delete or abort) one tick later.
OsStatus Disturbed(OsWrappers& t, std::function<OsStatus()> wait, std::function<void()> disturb) {
    OsStatus* status = t.InThread(std::move(wait), 5);
    t.kernel_->Advance(0);
    t.InThread(
        [d = std::move(disturb)] {
            d();
            return OS_SUCCESS;
        },
        6);
    t.kernel_->Advance(1);
    return *status;
}

TX_THREAD* FirstWorker(OsWrappers& t) {
    return &t.threads_.front()->thread;
}

ULONG g_actual;
void* g_block;

const MappingCase kMappings[] = {
    // byte pools
    {"pool_create_twice",
     [](OsWrappers&) { return os_byte_pool_create(&g_pool, "p", g_pool_area, 512); }, OS_FAILURE},
    {"pool_info_unknown",
     [](OsWrappers&) {
         TX_BYTE_POOL unknown{};
         return os_byte_pool_info(&unknown, nullptr, nullptr, nullptr, nullptr);
     },
     OS_FAILURE},
    {"allocate_deleted",
     [](OsWrappers& t) {
         ExhaustPool();
         return Disturbed(
             t, [] { return os_byte_allocate(&g_pool, &g_block, 64, TX_WAIT_FOREVER); },
             [] { tx_byte_pool_delete(&g_pool); });
     },
     OS_DELETED},
    {"allocate_aborted",
     [](OsWrappers& t) {
         ExhaustPool();
         return Disturbed(
             t, [] { return os_byte_allocate(&g_pool, &g_block, 64, TX_WAIT_FOREVER); },
             [&t] { tx_thread_wait_abort(FirstWorker(t)); });
     },
     OS_WAIT_ABORTED},
    {"allocate_wait_outside_thread",
     [](OsWrappers&) { return os_byte_allocate(&g_pool, &g_block, 64, 10); }, OS_FAILURE},
    {"release_unknown_block",
     [](OsWrappers&) {
         int local = 0;
         return os_byte_release(&local);
     },
     OS_FAILURE},
    // event flags
    {"group_create_twice", [](OsWrappers&) { return os_event_flags_create(&g_group, "g"); },
     OS_OBJECT_ERROR},
    {"group_delete_in_isr",
     [](OsWrappers& t) { return t.InIsr([] { return os_event_flags_delete(&g_group); }); },
     OS_CALLER_ERROR},
    {"group_delete_unknown",
     [](OsWrappers&) {
         TX_EVENT_FLAGS_GROUP unknown{};
         return os_event_flags_delete(&unknown);
     },
     OS_FAILURE},
    {"flags_get_deleted",
     [](OsWrappers& t) {
         return Disturbed(
             t,
             [] {
                 return os_event_flags_get(&g_group, 1, OS_EVENT_OR, &g_actual, TX_WAIT_FOREVER);
             },
             [] { tx_event_flags_delete(&g_group); });
     },
     OS_DELETED},
    {"flags_get_aborted",
     [](OsWrappers& t) {
         return Disturbed(
             t,
             [] {
                 return os_event_flags_get(&g_group, 1, OS_EVENT_OR, &g_actual, TX_WAIT_FOREVER);
             },
             [&t] { tx_thread_wait_abort(FirstWorker(t)); });
     },
     OS_WAIT_ABORTED},
    {"flags_get_wait_outside_thread",
     [](OsWrappers&) { return os_event_flags_get(&g_group, 1, OS_EVENT_OR, &g_actual, 5); },
     OS_WAIT_ERROR},
    {"flags_get_no_events",
     [](OsWrappers&) {
         return os_event_flags_get(&g_group, 1, OS_EVENT_OR, &g_actual, TX_NO_WAIT);
     },
     OS_NO_EVENTS},
    {"flags_get_unknown_group",
     [](OsWrappers&) {
         TX_EVENT_FLAGS_GROUP unknown{};
         return os_event_flags_get(&unknown, 1, OS_EVENT_OR, &g_actual, TX_NO_WAIT);
     },
     OS_FAILURE},
    {"flags_set_and_clear_is_no_set_option",
     [](OsWrappers&) { return os_event_flags_set(&g_group, 1, OS_EVENT_AND_CLEAR); }, OS_FAILURE},
    // semaphores
    {"semaphore_create_twice",
     [](OsWrappers&) { return os_semaphore_create(&g_semaphore, "s", 1); }, OS_SEMAPHORE_ERROR},
    {"semaphore_get_deleted",
     [](OsWrappers& t) {
         return Disturbed(
             t, [] { return os_semaphore_get(&g_semaphore, TX_WAIT_FOREVER); },
             [] { tx_semaphore_delete(&g_semaphore); });
     },
     OS_DELETED},
    {"semaphore_get_aborted_is_other",
     [](OsWrappers& t) {
         return Disturbed(
             t, [] { return os_semaphore_get(&g_semaphore, TX_WAIT_FOREVER); },
             [&t] { tx_thread_wait_abort(FirstWorker(t)); });
     },
     OS_FAILURE},
    {"semaphore_get_wait_outside_thread",
     [](OsWrappers&) { return os_semaphore_get(&g_semaphore, 3); }, OS_WAIT_ERROR},
    {"semaphore_get_no_instance",
     [](OsWrappers&) { return os_semaphore_get(&g_semaphore, TX_NO_WAIT); }, OS_NO_INSTANCE},
    {"semaphore_info_unknown",
     [](OsWrappers&) {
         TX_SEMAPHORE unknown{};
         return os_semaphore_info(&unknown, nullptr, nullptr);
     },
     OS_SEMAPHORE_ERROR},
    {"semaphore_put_unknown",
     [](OsWrappers&) {
         TX_SEMAPHORE unknown{};
         return os_semaphore_put(&unknown);
     },
     OS_SEMAPHORE_ERROR},
    // mutexes
    {"mutex_create_twice", [](OsWrappers&) { return os_mutex_create(&g_mutex, "m", 0); },
     OS_OBJECT_ERROR},
    {"mutex_create_bad_inherit",
     [](OsWrappers&) {
         static TX_MUTEX other;
         return os_mutex_create(&other, "o", 2);
     },
     OS_FAILURE},
    {"mutex_delete_in_isr",
     [](OsWrappers& t) { return t.InIsr([] { return os_mutex_delete(&g_mutex); }); },
     OS_CALLER_ERROR},
    {"mutex_get_deleted",
     [](OsWrappers& t) {
         t.InThread(
             [] {
                 os_mutex_get(&g_mutex, TX_WAIT_FOREVER);
                 return os_thread_sleep(TX_WAIT_FOREVER);
             },
             1);
         return Disturbed(
             t, [] { return os_mutex_get(&g_mutex, TX_WAIT_FOREVER); },
             [] { tx_mutex_delete(&g_mutex); });
     },
     OS_DELETED},
    {"mutex_get_aborted",
     [](OsWrappers& t) {
         t.InThread(
             [] {
                 os_mutex_get(&g_mutex, TX_WAIT_FOREVER);
                 return os_thread_sleep(TX_WAIT_FOREVER);
             },
             1);
         return Disturbed(
             t, [] { return os_mutex_get(&g_mutex, TX_WAIT_FOREVER); },
             [&t] { tx_thread_wait_abort(&t.threads_[1]->thread); });
     },
     OS_WAIT_ABORTED},
    {"mutex_get_not_available",
     [](OsWrappers& t) {
         t.InThread(
             [] {
                 os_mutex_get(&g_mutex, TX_WAIT_FOREVER);
                 return os_thread_sleep(TX_WAIT_FOREVER);
             },
             1);
         OsStatus* status = t.InThread([] { return os_mutex_get(&g_mutex, 4); });
         t.kernel_->Advance(4);
         return *status;
     },
     OS_NOT_AVAILABLE},
    {"mutex_get_wait_outside_thread_is_other",
     [](OsWrappers&) { return os_mutex_get(&g_mutex, TX_WAIT_FOREVER); }, OS_FAILURE},
    {"mutex_put_unknown",
     [](OsWrappers&) {
         TX_MUTEX unknown{};
         return os_mutex_put(&unknown);
     },
     OS_FAILURE},
    // timers and threads
    {"timer_zero_initial",
     [](OsWrappers&) {
         return os_timer_create(
             &g_timer, "t", [](ULONG_PTR) {}, 0, 5, 1);
     },
     OS_FAILURE},
    {"timer_delete_unknown", [](OsWrappers&) { return os_timer_delete(&g_timer); }, OS_FAILURE},
    {"timer_deactivate_unknown", [](OsWrappers&) { return os_timer_deactivate(&g_timer); },
     OS_FAILURE},
    {"thread_name_outside", [](OsWrappers&) { return os_thread_name(nullptr); }, OS_CALLER_ERROR},
};

class OsWrapperMapping : public OsWrappers, public ::testing::WithParamInterface<MappingCase> {};

TEST_P(OsWrapperMapping, MapsTheKernelOutcome) {
    EXPECT_EQ(GetParam().run(*this), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Runtime, OsWrapperMapping, ::testing::ValuesIn(kMappings),
                         [](const auto& info) { return std::string(info.param.label); });

// --- translation and successful paths ---

struct OptionCase {
    OsEventOption option;
    ULONG present;
    OsStatus status;
    ULONG left;
};

class OsEventOptions : public OsWrappers, public ::testing::WithParamInterface<OptionCase> {};

TEST_P(OsEventOptions, TranslateToTheKernelOptions) {
    const OptionCase c = GetParam();
    ASSERT_EQ(os_event_flags_set(&g_group, c.present, OS_EVENT_OR), OS_SUCCESS);
    ULONG actual = 0;
    EXPECT_EQ(os_event_flags_get(&g_group, 0x3, c.option, &actual, TX_NO_WAIT), c.status);
    ULONG left = 0;
    tx_event_flags_info_get(&g_group, nullptr, &left, nullptr, nullptr, nullptr);
    EXPECT_EQ(left, c.left);
}

INSTANTIATE_TEST_SUITE_P(Runtime, OsEventOptions,
                         ::testing::Values(OptionCase{OS_EVENT_AND, 0x1, OS_NO_EVENTS, 0x1},
                                           OptionCase{OS_EVENT_AND, 0x7, OS_SUCCESS, 0x7},
                                           OptionCase{OS_EVENT_AND_CLEAR, 0x7, OS_SUCCESS, 0x4},
                                           OptionCase{OS_EVENT_OR, 0x1, OS_SUCCESS, 0x1},
                                           OptionCase{OS_EVENT_OR_CLEAR, 0x5, OS_SUCCESS, 0x4},
                                           OptionCase{OS_EVENT_OR_CLEAR, 0x4, OS_NO_EVENTS, 0x4}));

TEST_F(OsWrappers, EventSetOrsInOrMasks) {
    ASSERT_EQ(os_event_flags_set(&g_group, 0x6, OS_EVENT_OR), OS_SUCCESS);
    ASSERT_EQ(os_event_flags_set(&g_group, 0x3, OS_EVENT_AND), OS_SUCCESS);
    EXPECT_EQ(g_group.tx_event_flags_group_current, 0x2u);
    EXPECT_EQ(os_event_flags_set(&g_group, 0x1, OS_EVENT_OR_CLEAR), OS_FAILURE);
}

TEST_F(OsWrappers, PoolInfoReportsTheControlBlockSize) {
    const char* name = nullptr;
    ULONG total = 0;
    ULONG available = 0;
    ULONG fragments = 0;
    ASSERT_EQ(os_byte_pool_info(&g_pool, &name, &total, &available, &fragments), OS_SUCCESS);
    EXPECT_STREQ(name, "pool");
    EXPECT_EQ(total, sizeof g_pool_area);
    EXPECT_LT(available, total);
    EXPECT_EQ(fragments, 2u);
    void* block = nullptr;
    ASSERT_EQ(os_byte_allocate(&g_pool, &block, 100, TX_NO_WAIT), OS_SUCCESS);
    EXPECT_EQ(os_byte_release(block), OS_SUCCESS);
    EXPECT_EQ(os_byte_release(block), OS_FAILURE);
}

TEST_F(OsWrappers, SemaphoreInfoAndPut) {
    ASSERT_EQ(os_semaphore_put(&g_semaphore), OS_SUCCESS);
    const char* name = nullptr;
    ULONG count = 0;
    ASSERT_EQ(os_semaphore_info(&g_semaphore, &name, &count), OS_SUCCESS);
    EXPECT_STREQ(name, "semaphore");
    EXPECT_EQ(count, 1u);
    EXPECT_EQ(os_semaphore_get(&g_semaphore, TX_NO_WAIT), OS_SUCCESS);
}

ULONG_PTR g_expiry_input = 99;
int g_expiries = 0;

TEST_F(OsWrappers, TimerRunsWithArgumentZeroAndChangeReportsThePreviousReschedule) {
    g_expiries = 0;
    ASSERT_EQ(os_timer_create(
                  &g_timer, "t",
                  [](ULONG_PTR input) {
                      g_expiry_input = input;
                      ++g_expiries;
                  },
                  3, 7, OS_TIMER_ACTIVATE),
              OS_SUCCESS);
    kernel_->Advance(10);
    EXPECT_EQ(g_expiries, 2);
    EXPECT_EQ(g_expiry_input, 0u);
    ASSERT_EQ(os_timer_deactivate(&g_timer), OS_SUCCESS);
    ULONG previous = 0;
    ASSERT_EQ(os_timer_change(&g_timer, 2, 2, &previous), OS_SUCCESS);
    EXPECT_EQ(previous, 7u);
    previous = 0;
    EXPECT_EQ(os_timer_change(&g_timer, 0, 9, &previous), OS_FAILURE);
    EXPECT_EQ(previous, 2u);  // written before the kernel refused
    ASSERT_EQ(os_timer_activate(&g_timer), OS_SUCCESS);
    kernel_->Advance(4);
    EXPECT_EQ(g_expiries, 4);
    EXPECT_EQ(os_timer_delete(&g_timer), OS_SUCCESS);
}

TEST_F(OsWrappers, ThreadNameAndSleepInAThread) {
    const char* name = nullptr;
    ULONG slept_until = 0;
    OsStatus sleep_status = 0xFFFF;
    OsStatus* status = InThread([&] {
        sleep_status = os_thread_sleep(3);
        slept_until = tx_time_get();
        return os_thread_name(&name);
    });
    kernel_->Advance(3);
    EXPECT_EQ(*status, OS_SUCCESS);
    EXPECT_STREQ(name, "worker");
    EXPECT_EQ(sleep_status, OS_SUCCESS);
    EXPECT_EQ(slept_until, 3u);
}

TEST_F(OsWrappers, MutexRoundTrip) {
    OsStatus* status = InThread([] {
        if (os_mutex_get(&g_mutex, TX_NO_WAIT) != OS_SUCCESS) {
            return OS_FAILURE;
        }
        return os_mutex_put(&g_mutex);
    });
    kernel_->Advance(0);
    EXPECT_EQ(*status, OS_SUCCESS);
    EXPECT_EQ(os_mutex_delete(&g_mutex), OS_SUCCESS);
    EXPECT_EQ(os_event_flags_delete(&g_group), OS_SUCCESS);
}

}  // namespace
