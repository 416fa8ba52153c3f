// Byte pools: first fit, figures, coalescing, bad releases, waiting allocations, failure hook.

#include "platform/kernel/byte_pool.h"

#include <memory>
#include <vector>

#include "platform/kernel/tests/kernel_fixture.h"

namespace {

constexpr ULONG kHeader = kernel::FirstFitArea::kOverhead;

struct Figures {
    ULONG available;
    ULONG fragments;
};

Figures Read(TX_BYTE_POOL* pool) {
    Figures f{};
    EXPECT_EQ(
        tx_byte_pool_info_get(pool, nullptr, &f.available, &f.fragments, nullptr, nullptr, nullptr),
        TX_SUCCESS);
    return f;
}

class BytePoolTest : public KernelTest {
public:
    void SetUp() override {
        area_ = std::make_unique<std::uint64_t[]>(0x30000 / 8);
        Boot([&] {
            ASSERT_EQ(tx_byte_pool_create(&pool_, "thread stacks", area_.get(), 0x30000),
                      TX_SUCCESS);
        });
    }
    void* Take(ULONG size) {
        void* block = nullptr;
        EXPECT_EQ(tx_byte_allocate(&pool_, &block, size, TX_NO_WAIT), TX_SUCCESS) << size;
        return block;
    }

    std::unique_ptr<std::uint64_t[]> area_;
    TX_BYTE_POOL pool_{};
};

TEST_F(BytePoolTest, FiguresAreThoseOfAnInPlacePool) {
    EXPECT_EQ(pool_.tx_byte_pool_size, 0x30000u);
    Figures f = Read(&pool_);
    EXPECT_EQ(f.available, 0x30000u - 2 * kHeader);
    EXPECT_EQ(f.fragments, 2u);
    // The task stacks of the controller, in creation order.
    const ULONG stacks[] = {1000, 8192, 20480, 4096, 6144, 4096, 8192};
    ULONG used = 0;
    for (ULONG size : stacks) {
        Take(size);
        used += (size + 7) / 8 * 8 + kHeader;
    }
    f = Read(&pool_);
    EXPECT_EQ(f.available, 0x30000u - 2 * kHeader - used);
    EXPECT_EQ(f.fragments, 9u);
    EXPECT_EQ(pool_.tx_byte_pool_available, f.available);
}

TEST_F(BytePoolTest, FirstFitReusesTheLowestHoleAndCoalesces) {
    char* a = static_cast<char*>(Take(100));
    char* b = static_cast<char*>(Take(200));
    char* c = static_cast<char*>(Take(300));
    EXPECT_EQ(b, a + 104 + kHeader);
    EXPECT_EQ(c, b + 200 + kHeader);
    const Figures full = Read(&pool_);
    ASSERT_EQ(tx_byte_release(b), TX_SUCCESS);
    // A smaller block lands in the hole; the rest of the hole stays free.
    char* d = static_cast<char*>(Take(64));
    EXPECT_EQ(d, b);
    char* e = static_cast<char*>(Take(100));
    EXPECT_EQ(e, b + 64 + kHeader);
    // A block too large for what is left of the hole goes behind c.
    char* f = static_cast<char*>(Take(200));
    EXPECT_GT(f, c);
    for (char* block : {a, c, d, e, f}) {
        ASSERT_EQ(tx_byte_release(block), TX_SUCCESS);
    }
    const Figures empty = Read(&pool_);
    EXPECT_EQ(empty.available, 0x30000u - 2 * kHeader);
    EXPECT_EQ(empty.fragments, 2u);
    EXPECT_LT(full.available, empty.available);
}

TEST_F(BytePoolTest, BadRequestsAndReleasesAreRefused) {
    void* block = Take(64);
    ASSERT_EQ(tx_byte_release(block), TX_SUCCESS);
    EXPECT_EQ(tx_byte_release(block), TX_PTR_ERROR);  // twice
    block = Take(64);
    EXPECT_EQ(tx_byte_release(static_cast<char*>(block) + 8), TX_PTR_ERROR);  // inside a block
    int outside = 0;
    EXPECT_EQ(tx_byte_release(&outside), TX_PTR_ERROR);
    EXPECT_EQ(tx_byte_release(nullptr), TX_PTR_ERROR);
    EXPECT_EQ(tx_byte_allocate(&pool_, &block, 0, TX_NO_WAIT), TX_SIZE_ERROR);
    EXPECT_EQ(tx_byte_allocate(&pool_, &block, 0x30001, TX_NO_WAIT), TX_SIZE_ERROR);
    EXPECT_EQ(tx_byte_allocate(&pool_, nullptr, 8, TX_NO_WAIT), TX_PTR_ERROR);
    EXPECT_EQ(tx_byte_allocate(nullptr, &block, 8, TX_NO_WAIT), TX_POOL_ERROR);
    EXPECT_EQ(tx_byte_pool_create(&pool_, "again", area_.get(), 0x30000), TX_POOL_ERROR);
    TX_BYTE_POOL tiny;
    char small[64];
    EXPECT_EQ(tx_byte_pool_create(&tiny, "tiny", small, sizeof small), TX_SIZE_ERROR);
    EXPECT_EQ(tx_byte_pool_create(&tiny, "null", nullptr, 4096), TX_PTR_ERROR);
}

TEST_F(BytePoolTest, ExhaustedPoolAnswersNoMemoryOrServesTheWaiterOnRelease) {
    void* big = Take(0x30000 - 2 * kHeader - kHeader - 64);
    void* rest = Take(64);
    void* none = nullptr;
    EXPECT_EQ(tx_byte_allocate(&pool_, &none, 8, TX_NO_WAIT), TX_NO_MEMORY);
    void* got = nullptr;
    Spawn("waiter", 3,
          [&] { EXPECT_EQ(tx_byte_allocate(&pool_, &got, 1000, TX_WAIT_FOREVER), TX_SUCCESS); });
    kernel_->Advance(0);
    ASSERT_EQ(tx_byte_release(rest), TX_SUCCESS);  // too small for the waiter
    kernel_->Advance(0);
    EXPECT_EQ(got, nullptr);
    ASSERT_EQ(tx_byte_release(big), TX_SUCCESS);
    kernel_->Advance(0);
    EXPECT_NE(got, nullptr);
}

TEST_F(BytePoolTest, TheKthAllocationCanBeMadeToFail) {
    static char other_area[4096];
    TX_BYTE_POOL other;
    ASSERT_EQ(tx_byte_pool_create(&other, "other", other_area, sizeof other_area), TX_SUCCESS);
    kernel::FailByteAllocation(3, &pool_);
    void* block = nullptr;
    EXPECT_EQ(tx_byte_allocate(&pool_, &block, 8, TX_NO_WAIT), TX_SUCCESS);
    EXPECT_EQ(tx_byte_allocate(&other, &block, 8, TX_NO_WAIT), TX_SUCCESS);  // not counted
    EXPECT_EQ(tx_byte_allocate(&pool_, &block, 8, TX_NO_WAIT), TX_SUCCESS);
    EXPECT_EQ(tx_byte_allocate(&pool_, &block, 8, TX_NO_WAIT), TX_NO_MEMORY);
    EXPECT_EQ(tx_byte_allocate(&pool_, &block, 8, TX_NO_WAIT), TX_SUCCESS);
    kernel::FailByteAllocation(1);
    EXPECT_EQ(tx_byte_allocate(&other, &block, 8, TX_NO_WAIT), TX_NO_MEMORY);
}

TEST(FirstFitArea, MisalignedAreaIsAlignedAndTooSmallRefused) {
    alignas(8) unsigned char buffer[256];
    kernel::FirstFitArea area;
    ASSERT_TRUE(area.Init(buffer + 3, 200));
    void* block = area.Allocate(10);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(block) % 8, 0u);
    EXPECT_TRUE(area.Contains(block));
    EXPECT_FALSE(area.Init(buffer, 2 * kernel::FirstFitArea::kOverhead));
}

}  // namespace
