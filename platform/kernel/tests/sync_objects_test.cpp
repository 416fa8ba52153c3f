// Event flags, semaphores and mutexes: their own semantics (waits and time-outs are in
// waits_test.cpp).

#include <string>

#include "platform/kernel/tests/kernel_fixture.h"

namespace {

TX_EVENT_FLAGS_GROUP g_group;
TX_SEMAPHORE g_semaphore;
TX_MUTEX g_mutex;

struct FlagsCase {
    ULONG present;
    ULONG requested;
    UINT option;
    UINT status;
    ULONG left;  // flags of the group afterwards
};

class EventFlagOptions : public KernelTest, public ::testing::WithParamInterface<FlagsCase> {};

TEST_P(EventFlagOptions, GetHonoursAndOrAndClear) {
    const FlagsCase c = GetParam();
    Boot([] { ASSERT_EQ(tx_event_flags_create(&g_group, "g"), TX_SUCCESS); });
    ASSERT_EQ(tx_event_flags_set(&g_group, c.present, TX_OR), TX_SUCCESS);
    ULONG actual = 0xDEAD;
    EXPECT_EQ(tx_event_flags_get(&g_group, c.requested, c.option, &actual, TX_NO_WAIT), c.status);
    if (c.status == TX_SUCCESS) {
        EXPECT_EQ(actual, c.present);
    } else {
        EXPECT_EQ(actual, 0xDEADu);
    }
    ULONG current = 0;
    tx_event_flags_info_get(&g_group, nullptr, &current, nullptr, nullptr, nullptr);
    EXPECT_EQ(current, c.left);
}

INSTANTIATE_TEST_SUITE_P(Kernel, EventFlagOptions,
                         ::testing::Values(FlagsCase{0x5, 0x5, TX_AND, TX_SUCCESS, 0x5},
                                           FlagsCase{0x4, 0x5, TX_AND, TX_NO_EVENTS, 0x4},
                                           FlagsCase{0x7, 0x5, TX_AND_CLEAR, TX_SUCCESS, 0x2},
                                           FlagsCase{0x4, 0x5, TX_OR, TX_SUCCESS, 0x4},
                                           FlagsCase{0x2, 0x5, TX_OR, TX_NO_EVENTS, 0x2},
                                           FlagsCase{0x6, 0x5, TX_OR_CLEAR, TX_SUCCESS, 0x2},
                                           FlagsCase{0x6, 0x5, 4, TX_OPTION_ERROR, 0x6}));

TEST_F(KernelTest, EventFlagsSetMasksWithAndAndWakesEverySatisfiedWaiterInOrder) {
    Boot([&] {
        ASSERT_EQ(tx_event_flags_create(&g_group, "g"), TX_SUCCESS);
        for (const char* name : {"first", "second"}) {
            Spawn(name, 3, [this, name] {
                ULONG actual = 0;
                tx_event_flags_get(&g_group, 0x1, TX_OR_CLEAR, &actual, TX_WAIT_FOREVER);
                Log(name);
            });
        }
        Spawn("both", 3, [this] {
            ULONG actual = 0;
            tx_event_flags_get(&g_group, 0x6, TX_AND, &actual, TX_WAIT_FOREVER);
            Log("both " + std::to_string(actual));
        });
    });
    // The first OR_CLEAR waiter takes flag 1; the second keeps waiting.
    ASSERT_EQ(tx_event_flags_set(&g_group, 0x1 | 0x2, TX_OR), TX_SUCCESS);
    kernel_->Advance(0);
    EXPECT_EQ(Joined(), "first");
    ASSERT_EQ(tx_event_flags_set(&g_group, 0x2, TX_AND), TX_SUCCESS);  // keeps 0x2 only
    ASSERT_EQ(tx_event_flags_set(&g_group, 0x5, TX_OR), TX_SUCCESS);
    kernel_->Advance(0);
    EXPECT_EQ(Joined(), "first second both 6");
    EXPECT_EQ(tx_event_flags_set(&g_group, 0x1, TX_AND_CLEAR), TX_OPTION_ERROR);
    ULONG actual = 0;
    EXPECT_EQ(tx_event_flags_get(&g_group, 0x1, TX_OR, nullptr, TX_NO_WAIT), TX_PTR_ERROR);
    EXPECT_EQ(tx_event_flags_get(nullptr, 0x1, TX_OR, &actual, TX_NO_WAIT), TX_GROUP_ERROR);
    EXPECT_EQ(tx_event_flags_create(&g_group, "again"), TX_GROUP_ERROR);
}

TEST_F(KernelTest, SemaphoreCountsAndServesWaitersFirstComeFirstServed) {
    Boot([&] {
        ASSERT_EQ(tx_semaphore_create(&g_semaphore, "s", 2), TX_SUCCESS);
        for (const char* name : {"a", "b", "c", "d"}) {
            Spawn(name, 3, [this, name] {
                tx_semaphore_get(&g_semaphore, TX_WAIT_FOREVER);
                Log(name);
            });
        }
    });
    EXPECT_EQ(Joined(), "a b");
    tx_semaphore_put(&g_semaphore);
    kernel_->Advance(0);
    EXPECT_EQ(Joined(), "a b c");
    tx_semaphore_put(&g_semaphore);
    tx_semaphore_put(&g_semaphore);
    kernel_->Advance(0);
    EXPECT_EQ(Joined(), "a b c d");
    ULONG count = 0;
    const CHAR* name = nullptr;
    ASSERT_EQ(tx_semaphore_info_get(&g_semaphore, &name, &count, nullptr, nullptr, nullptr),
              TX_SUCCESS);
    EXPECT_STREQ(name, "s");
    EXPECT_EQ(count, 1u);
}

TEST_F(KernelTest, MutexRecursionNeedsAsManyPuts) {
    Boot([&] {
        ASSERT_EQ(tx_mutex_create(&g_mutex, "m", TX_NO_INHERIT), TX_SUCCESS);
        Spawn("owner", 3, [&] {
            for (int i = 0; i < 3; ++i) {
                EXPECT_EQ(tx_mutex_get(&g_mutex, TX_NO_WAIT), TX_SUCCESS);
            }
            tx_thread_sleep(1);  // the other thread queues up
            for (int i = 0; i < 3; ++i) {
                Log("put");
                EXPECT_EQ(tx_mutex_put(&g_mutex), TX_SUCCESS);
            }
            EXPECT_EQ(tx_mutex_put(&g_mutex), TX_NOT_OWNED);
        });
        Spawn("other", 4, [&] {
            EXPECT_EQ(tx_mutex_put(&g_mutex), TX_NOT_OWNED);
            EXPECT_EQ(tx_mutex_get(&g_mutex, TX_NO_WAIT), TX_NOT_AVAILABLE);
            tx_mutex_get(&g_mutex, TX_WAIT_FOREVER);
            Log("other got it");
        });
    });
    kernel_->Advance(1);
    EXPECT_EQ(Joined(), "put put put other got it");
}

// A low thread holds the mutex, a high thread waits for it, a middle thread becomes ready:
// with inheritance the low thread runs at the high priority and finishes first.
class MutexInheritance : public KernelTest, public ::testing::WithParamInterface<UINT> {};

TEST_P(MutexInheritance, OwnerRunsAtTheWaitersPriority) {
    const UINT inherit = GetParam();
    TX_THREAD* low = nullptr;
    UINT boosted = 0;
    Boot([&] {
        ASSERT_EQ(tx_mutex_create(&g_mutex, "m", inherit), TX_SUCCESS);
        ASSERT_EQ(tx_semaphore_create(&g_semaphore, "s", 0), TX_SUCCESS);
        low = Spawn("low", 20, [&] {
            tx_mutex_get(&g_mutex, TX_WAIT_FOREVER);
            tx_semaphore_get(&g_semaphore, TX_WAIT_FOREVER);  // the others arrive
            boosted = low->tx_thread_priority;
            Log("low done");
            tx_mutex_put(&g_mutex);
            Log("low released");
        });
        Spawn("high", 2, [&] {
            tx_thread_sleep(1);
            tx_mutex_get(&g_mutex, TX_WAIT_FOREVER);
            Log("high");
            tx_mutex_put(&g_mutex);
        });
        Spawn("middle", 10, [&] {
            tx_thread_sleep(2);
            Log("middle");
        });
        Spawn("starter", 1, [&] {
            tx_thread_sleep(2);
            tx_semaphore_put(&g_semaphore);
        });
    });
    kernel_->Advance(2);
    if (inherit == TX_INHERIT) {
        EXPECT_EQ(Joined(), "low done high middle low released");
        EXPECT_EQ(boosted, 2u);
    } else {
        EXPECT_EQ(Joined(), "middle low done high low released");
        EXPECT_EQ(boosted, 20u);
    }
    EXPECT_EQ(low->tx_thread_priority, 20u);
}

INSTANTIATE_TEST_SUITE_P(Kernel, MutexInheritance, ::testing::Values(TX_INHERIT, TX_NO_INHERIT));

TEST_F(KernelTest, InheritedPriorityFallsBackWhenTheWaiterGivesUp) {
    TX_THREAD* low = nullptr;
    Boot([&] {
        ASSERT_EQ(tx_mutex_create(&g_mutex, "m", TX_INHERIT), TX_SUCCESS);
        low = Spawn("low", 20, [&] {
            tx_mutex_get(&g_mutex, TX_WAIT_FOREVER);
            tx_thread_sleep(TX_WAIT_FOREVER);
        });
        Spawn("high", 2, [&] {
            tx_thread_sleep(1);
            EXPECT_EQ(tx_mutex_get(&g_mutex, 5), TX_NOT_AVAILABLE);
        });
    });
    kernel_->Advance(1);
    EXPECT_EQ(low->tx_thread_priority, 2u);
    kernel_->Advance(5);
    EXPECT_EQ(low->tx_thread_priority, 20u);
    EXPECT_EQ(tx_mutex_create(&g_mutex, "m", TX_INHERIT), TX_MUTEX_ERROR);
    TX_MUTEX other;
    EXPECT_EQ(tx_mutex_create(&other, "o", 2), TX_INHERIT_ERROR);
}

}  // namespace

namespace {

TX_MUTEX g_inner;

// A (2) waits for M1 held by B (20), which waits for M2 held by C (30): C runs at 2.
TEST_F(KernelTest, InheritancePassesAlongAChainOfOwners) {
    TX_THREAD* b = nullptr;
    TX_THREAD* c = nullptr;
    Boot([&] {
        ASSERT_EQ(tx_mutex_create(&g_mutex, "m1", TX_INHERIT), TX_SUCCESS);
        ASSERT_EQ(tx_mutex_create(&g_inner, "m2", TX_INHERIT), TX_SUCCESS);
        c = Spawn("c", 30, [&] {
            tx_mutex_get(&g_inner, TX_WAIT_FOREVER);
            tx_thread_sleep(10);
            Log("c releases");
            tx_mutex_put(&g_inner);
        });
        b = Spawn("b", 20, [&] {
            tx_thread_sleep(1);
            tx_mutex_get(&g_mutex, TX_WAIT_FOREVER);
            tx_mutex_get(&g_inner, TX_WAIT_FOREVER);
            Log("b has both");
            tx_mutex_put(&g_inner);
            tx_mutex_put(&g_mutex);
        });
        Spawn("a", 2, [&] {
            tx_thread_sleep(2);
            tx_mutex_get(&g_mutex, TX_WAIT_FOREVER);
            Log("a");
        });
    });
    kernel_->Advance(2);
    EXPECT_EQ(b->tx_thread_priority, 2u);
    EXPECT_EQ(c->tx_thread_priority, 2u);
    kernel_->Advance(10);
    EXPECT_EQ(Joined(), "c releases b has both a");
    EXPECT_EQ(b->tx_thread_priority, 20u);
    EXPECT_EQ(c->tx_thread_priority, 30u);
}

}  // namespace
