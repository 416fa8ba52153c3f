// The "dynamic database" pool: limits, reuse of freed space, bad handles, and the store's
// allocation-failure lines.

#include "database/string_pool.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "database/arena_allocator.h"
#include "database/object_ids.h"
#include "database/tests/db_test_support.h"

namespace {
std::string Copy(const StringPool& pool, StringHandle handle) {
    uint32_t length = 0;
    std::string out(pool.Length(handle), '\0');
    pool.CopyOut(handle, out.data(), static_cast<uint32_t>(out.size()), &length);
    return out;
}

TEST(StringPool, BlocksHoldLengthBytesAndNul) {
    StringPool pool("test", 4096);
    StringHandle handle = 0;
    ASSERT_EQ(pool.Store("abc", 3, &handle), 0u);
    EXPECT_NE(handle, 0u);
    EXPECT_EQ(pool.Length(handle), 3u);
    EXPECT_EQ(Copy(pool, handle), "abc");
    EXPECT_TRUE(pool.Equals(handle, "abc", 3));
    EXPECT_FALSE(pool.Equals(handle, "abd", 3));
    EXPECT_FALSE(pool.Equals(handle, "ab", 2));
    // A partial copy still reports the whole length.
    char two[2];
    uint32_t length = 0;
    EXPECT_TRUE(pool.CopyOut(handle, two, 2, &length));
    EXPECT_EQ(length, 3u);
    EXPECT_EQ(std::string(two, 2), "ab");
    EXPECT_TRUE(pool.Overwrite(handle, "xyz", 3));
    EXPECT_EQ(Copy(pool, handle), "xyz");
    EXPECT_FALSE(pool.Overwrite(handle, "wxyz", 4));
}

// The whole arena is the limit: the largest string of an empty pool fills it exactly.
TEST(StringPool, LargestStringFillsTheArena) {
    for (uint32_t size : {4096u, StringPool::kDefaultSize}) {
        SCOPED_TRACE(size);
        StringPool pool("test", size);
        const uint32_t largest = size - StringPool::kHeaderSize - 5;
        const std::string text(largest + 1, 'x');
        StringHandle handle = 0;
        EXPECT_EQ(pool.Store(text.data(), largest + 1, &handle), StringPool::kNoMemory);
        EXPECT_EQ(handle, 0u);
        ASSERT_EQ(pool.Store(text.data(), largest, &handle), 0u);
        EXPECT_EQ(pool.Info().available, 0u);
        EXPECT_EQ(pool.Info().fragments, 0u);
        StringHandle none = 0;
        EXPECT_EQ(pool.Store("a", 1, &none), StringPool::kNoMemory);
        EXPECT_TRUE(pool.Release(handle));
        EXPECT_EQ(pool.Info().available, size - StringPool::kHeaderSize);
        EXPECT_EQ(pool.Store(text.data(), 0xFFFFFFFF, &none), StringPool::kNoMemory);
    }
}

// The volatile defaults store 1638 block bitmaps of 1024 octets at every start; they must fit
// together with room for the other strings.
TEST(StringPool, HoldsTheBlockBitmapsOfTheVolatileDefaults) {
    StringPool pool;
    const std::string bitmap(1024, '\0');
    std::vector<StringHandle> handles;
    for (int i = 0; i < 26 * 63; ++i) {
        StringHandle handle = 0;
        ASSERT_EQ(pool.Store(bitmap.data(), 1024, &handle), 0u) << i;
        handles.push_back(handle);
    }
    EXPECT_EQ(pool.BlockCount(), 1638u);
    EXPECT_GT(pool.Info().available, 300000u);
}

TEST(StringPool, FreedNeighboursMergeIntoOneBlock) {
    StringPool pool("test", 1024);
    StringHandle a = 0, b = 0, c = 0, d = 0;
    ASSERT_EQ(pool.Store(std::string(100, 'a').data(), 100, &a), 0u);
    ASSERT_EQ(pool.Store(std::string(100, 'b').data(), 100, &b), 0u);
    ASSERT_EQ(pool.Store(std::string(100, 'c').data(), 100, &c), 0u);
    ASSERT_EQ(pool.Store(std::string(100, 'd').data(), 100, &d), 0u);
    EXPECT_TRUE(pool.Release(a));
    EXPECT_TRUE(pool.Release(c));
    EXPECT_EQ(pool.Info().fragments, 3u);  // a, c and the tail
    EXPECT_EQ(Copy(pool, b), std::string(100, 'b'));
    EXPECT_EQ(Copy(pool, d), std::string(100, 'd'));
    EXPECT_TRUE(pool.Release(b));  // joins a and c
    EXPECT_TRUE(pool.Release(d));  // joins everything
    EXPECT_EQ(pool.Info().fragments, 1u);
    EXPECT_EQ(pool.Info().firstFree, StringPool::kHeaderSize);
    EXPECT_EQ(pool.Info().available, 1024u - StringPool::kHeaderSize);
    StringHandle big = 0;
    EXPECT_EQ(pool.Store(std::string(1011, 'z').data(), 1011, &big), 0u);
}

TEST(StringPool, BadHandlesAreIgnored) {
    StringPool pool("test", 1024);
    StringHandle a = 0;
    ASSERT_EQ(pool.Store("live", 4, &a), 0u);
    for (StringHandle bad : {0u, 1u, 4u, a + 8, a + 1, 1024u, 0xFFFFFFF8u}) {
        SCOPED_TRACE(bad);
        EXPECT_FALSE(pool.Release(bad));
        char out[8];
        uint32_t length = 7;
        EXPECT_FALSE(pool.CopyOut(bad, out, sizeof out, &length));
        EXPECT_EQ(length, 0u);
        EXPECT_EQ(pool.Length(bad), 0u);
        EXPECT_FALSE(pool.Overwrite(bad, "abcd", 4));
    }
    EXPECT_TRUE(pool.Release(a));
    EXPECT_FALSE(pool.Release(a));  // twice
    EXPECT_EQ(pool.Info().available, 1024u - StringPool::kHeaderSize);
}

// A pool over another allocator gives every live block back when it goes.
class CountingAllocator : public ArenaAllocator {
public:
    explicit CountingAllocator(int* outstanding)
        : ArenaAllocator("counted", 4096), n_(outstanding) {}
    uint32_t Allocate(uint32_t size, uint32_t* offset) override {
        const uint32_t status = ArenaAllocator::Allocate(size, offset);
        *n_ += status == 0 ? 1 : 0;
        return status;
    }
    void Release(uint32_t offset) override {
        --*n_;
        ArenaAllocator::Release(offset);
    }

private:
    int* n_;
};

TEST(StringPool, SharedAllocatorGetsItsBlocksBack) {
    int outstanding = 0;
    {
        StringPool pool(std::make_unique<CountingAllocator>(&outstanding));
        StringHandle a = 0, b = 0;
        ASSERT_EQ(pool.Store("one", 3, &a), 0u);
        ASSERT_EQ(pool.Store("two", 3, &b), 0u);
        EXPECT_TRUE(pool.Release(a));
        EXPECT_EQ(outstanding, 1);
        EXPECT_STREQ(pool.Name(), "counted");
    }
    EXPECT_EQ(outstanding, 0);
}

TEST_F(DbTest, StringPoolIsReplacedOnlyWhileEmpty) {
    EXPECT_TRUE(db->UseStringPool(std::make_unique<StringPool>("other", 4096)));
    EXPECT_STREQ(db->Pool().Name(), "other");
    PokeString(68, "abc", DbImage::kNv);
    EXPECT_FALSE(db->UseStringPool(std::make_unique<StringPool>("third", 4096)));
    EXPECT_EQ(Read(68, DbImage::kNv), "abc");
    EXPECT_FALSE(db->UseStringPool(nullptr));
}

class SmallPoolTest : public DbTest {
protected:
    uint32_t PoolSize() const override { return 256; }
};

TEST_F(SmallPoolTest, AllocationFailureLeavesTheObjectEmptyAndLogs) {
    const std::string big(300, 'x');
    EXPECT_EQ(db->SetString(dbo::monochromeColor.id, 4, big.data(), 300, DbImage::kNv, kDbNotify),
              kDbGenError);
    EXPECT_EQ(CapturedDebug(),
              "NV Allocation Error:16! Ptr:00000000, Size:305\n"
              "Byte Pool Info for dynamic database 0x00000008 Avail 248 Frag\n");
    EXPECT_EQ(Read(68, DbImage::kNv), "");
    EXPECT_TRUE(journal.Records().empty());
    EXPECT_TRUE(sink.Letters().empty());

    // A string the pool holds, then a replacement that does not fit even alone: the object is
    // empty afterwards and its block is free again.
    PokeString(200, std::string(100, 'a'), DbImage::kVolatile);
    CapturedDebug().clear();
    EXPECT_EQ(db->SetString(dbo::statMultiCurrentFieldValue.Row(9), 4, big.data(), 250,
                            DbImage::kVolatile, 0),
              kDbGenError);
    EXPECT_EQ(CapturedDebug(),
              "V Allocation Error:16! Ptr:00000000, Size:255\n"
              "Byte Pool Info for dynamic database 0x00000008 Avail 248 Frag\n");
    EXPECT_EQ(Read(200, DbImage::kVolatile), "");
    EXPECT_EQ(db->GetInt(dbo::statMultiCurrentFieldValue.Row(9), 4, DbImage::kVolatile), 0u);
    EXPECT_EQ(db->Pool().BlockCount(), 0u);
}

TEST_F(SmallPoolTest, ReplacementThatFitsOnlyAfterTheOldBlockIsFreed) {
    PokeString(200, std::string(150, 'a'), DbImage::kVolatile);
    const std::string next(160, 'b');
    EXPECT_EQ(db->SetString(dbo::statMultiCurrentFieldValue.Row(9), 4, next.data(), 160,
                            DbImage::kVolatile, 0),
              kDbOk);
    EXPECT_EQ(Read(200, DbImage::kVolatile), next);
    EXPECT_EQ(CapturedDebug(), "");
}

TEST_F(SmallPoolTest, TraceLevelZeroHidesTheAllocationLines) {
    DebugSetTraceLevel(0);
    EXPECT_EQ(db->SetString(dbo::monochromeColor.id, 4, std::string(300, 'x').data(), 300,
                            DbImage::kNv, 0),
              kDbGenError);
    EXPECT_EQ(CapturedDebug(), "");
}
}  // namespace
