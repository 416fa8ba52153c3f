// The host heap across boots: threads made anew at every boot leave nothing behind (no malloc
// arena of their own, no stack mapping, no heap kept after a large block came and went).

#include "platform/kernel/host_memory.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/kernel/kernel.h"
#include "platform/kernel/tx_api.h"

namespace {

constexpr int kThreads = 32;
constexpr int kBlocks = 48;

struct Worker {
    TX_THREAD thread{};
    alignas(16) unsigned char stack[1024];
};

// Blocks a thread of one boot hands over to the next boot, as buffers and queued packets are.
std::vector<void*> g_kept;

void Churn(ULONG_PTR seed) {
    std::vector<void*> blocks;
    for (int i = 0; i < kBlocks; ++i) {
        const std::size_t size = 64 + (seed * 7919 + i * 104729) % 6000;
        void* block = std::malloc(size);
        std::memset(block, 0x5A, size);
        blocks.push_back(block);
    }
    for (int i = 0; i < kBlocks; i += 2) {
        std::free(blocks[i]);
    }
    // A large buffer for a while, as the network stack's and the sign's are.
    void* large = std::malloc(96 << 10);
    std::memset(large, 0x5A, 96 << 10);
    tx_thread_sleep(1);
    std::free(large);
    for (int i = 1; i < kBlocks; i += 2) {
        if (i == kBlocks - 1) {
            g_kept.push_back(blocks[i]);
        } else {
            std::free(blocks[i]);
        }
    }
    tx_thread_sleep(TX_WAIT_FOREVER);
}

// One boot: its threads allocate and free (each keeping one block), then the kernel ends them.
void Boot(unsigned boot) {
    std::vector<void*> handed_over;
    handed_over.swap(g_kept);
    auto workers = std::make_unique<Worker[]>(kThreads);
    // The board's memory, given back when the board restarts.
    std::unique_ptr<unsigned char[]> board(new unsigned char[2 << 20]);
    std::memset(board.get(), 0, 2 << 20);
    kernel::Kernel k;
    k.Start([&](void*) {
        for (int t = 0; t < kThreads; ++t) {
            tx_thread_create(&workers[t].thread, "churn", &Churn, boot * kThreads + t,
                             workers[t].stack, sizeof workers[t].stack, 5 + t % 3, 5 + t % 3,
                             TX_NO_TIME_SLICE, TX_AUTO_START);
        }
    });
    k.Advance(2);
    for (void* block : handed_over) {
        std::free(block);
    }
}

TEST(HostMemory, BootsOfNewThreadsKeepOneArenaAndFlatMemory) {
    // The sanitizers' allocators hold freed blocks back: there a few boots only run the churn.
    const unsigned boots = kernel::UnderSanitizer() ? 3 : 20;
    Boot(0);
    const std::size_t settled = kernel::ResidentAnonymousKiB();
    for (unsigned boot = 1; boot < boots; ++boot) {
        Boot(boot);
    }
    const std::size_t end = kernel::ResidentAnonymousKiB();
    for (void* block : g_kept) {
        std::free(block);
    }
    g_kept.clear();
    if (kernel::UnderSanitizer()) {
        GTEST_SKIP() << "the sanitizer's allocator holds freed blocks back";
    }
    EXPECT_EQ(kernel::MallocArenaCount(), 1);
    ASSERT_GT(settled, 0u);
    EXPECT_LE(end, settled + 512) << "anonymous memory grew from " << settled << " KiB to " << end
                                  << " KiB over 19 boots";
}

}  // namespace
