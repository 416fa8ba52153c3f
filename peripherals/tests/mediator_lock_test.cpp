// A peripheral lookup waits for a poll that is blocked in the kernel.
#include <gtest/gtest.h>

#include <memory>

#include "peripherals/peripheral.h"
#include "platform/kernel/kernel.h"
#include "platform/kernel/tx_api.h"

namespace {

// A peripheral whose poll blocks in the kernel while the mediator's list is locked.
class SlowPoll : public CPeripheral {
public:
    explicit SlowPoll(uint16_t id) : CPeripheral(9, id) { enabled = 1; }
    void Poll() override { tx_thread_sleep(20); }
};

struct Scene {
    pl_mediator mediator;
    std::unique_ptr<SlowPoll> slow = std::make_unique<SlowPoll>(300);
    TX_THREAD poller{}, finder{};
    alignas(16) unsigned char pollerStack[4096]{}, finderStack[4096]{};
    ULONG foundAt = 0;
    bool found = false;
};

// Another thread looking a peripheral up waits for the poll that holds the list, instead of
// blocking the whole kernel, and finds it once the poll is over.
TEST(MediatorLock, FindWaitsForAPollBlockedInTheKernel) {
    auto scene = std::make_unique<Scene>();
    scene->mediator.Add(scene->slow.get());
    {
        kernel::Kernel k;
        k.Start([&](void*) {
            tx_thread_create(
                &scene->poller, "poller",
                [](ULONG_PTR s) { reinterpret_cast<Scene*>(s)->mediator.PollAll(); },
                reinterpret_cast<ULONG_PTR>(scene.get()), scene->pollerStack,
                sizeof scene->pollerStack, 5, 5, 0, TX_AUTO_START);
            tx_thread_create(
                &scene->finder, "finder",
                [](ULONG_PTR p) {
                    auto* s = reinterpret_cast<Scene*>(p);
                    tx_thread_sleep(5);
                    CPeripheral* out = nullptr;
                    s->found = s->mediator.Find(300, &out) && out == s->slow.get();
                    s->foundAt = tx_time_get();
                },
                reinterpret_cast<ULONG_PTR>(scene.get()), scene->finderStack,
                sizeof scene->finderStack, 5, 5, 0, TX_AUTO_START);
        });
        k.Advance(40);
        EXPECT_TRUE(scene->found);
        EXPECT_GE(scene->foundAt, 20u);
        EXPECT_LT(scene->foundAt, 25u);
    }
    scene->mediator.Remove(scene->slow.get());
}

}  // namespace
