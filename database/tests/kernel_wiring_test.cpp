// The store on the kernel stand-in and the board: strings in the "dynamic database" byte pool,
// notices into the "database" event flags, globalTime in the battery-backed registers.

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "database/data_base.h"
#include "database/kernel_pool_allocator.h"
#include "database/object_ids.h"
#include "database/rtos_notify_sink.h"
#include "platform/kernel/kernel.h"
#include "platform/sim/nvram.h"
#include "runtime/debug_print.h"
#include "runtime/post_office.h"

namespace {
std::string g_debug;

class KernelWiringTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_debug.clear();
        DebugSetSink([](const char* text) { g_debug += text; });
        DebugSetTraceLevel(1);
        area_ = std::make_unique<uint64_t[]>(0x200000 / 8);
        kernel_ = std::make_unique<kernel::Kernel>();
        db_ = std::make_unique<CDataBase>();
        kernel_->Start([this](void*) {
            ASSERT_EQ(tx_byte_pool_create(&pool_, "dynamic database", area_.get(), 0x200000),
                      TX_SUCCESS);
            ASSERT_EQ(tx_event_flags_create(&events_, "database"), TX_SUCCESS);
            ASSERT_EQ(tx_event_flags_create(&taskEvents_, "task"), TX_SUCCESS);
        });
        task_ = std::make_unique<subscriber>(&office_, &taskEvents_, 0x1, nullptr);
        static const uint32_t kIds[] = {kLetterSpecialFeatureSetChanged, kLetterConfigObjectChanged,
                                        0};
        ASSERT_TRUE(task_->Start(kIds));
        ASSERT_TRUE(db_->UseStringPool(
            std::make_unique<StringPool>(std::make_unique<KernelPoolAllocator>(&pool_))));
        sink_ = std::make_unique<RtosNotifySink>(&office_, &events_);
        db_->SetNotifySink(sink_.get());
        db_->SetNotificationEnabled(true);
    }
    void TearDown() override {
        db_.reset();  // gives its blocks back while the kernel is alive
        task_.reset();
        kernel_.reset();
        DebugSetSink(nullptr);
        DebugSetTraceLevel(0);
    }
    ULONG Available() {
        ULONG available = 0;
        tx_byte_pool_info_get(&pool_, nullptr, &available, nullptr, nullptr, nullptr, nullptr);
        return available;
    }
    // The consumer's side: take bits with and-clear, no wait.
    ULONG Take(ULONG bits) {
        ULONG actual = 0;
        tx_event_flags_get(&events_, bits, TX_OR_CLEAR, &actual, TX_NO_WAIT);
        return actual & bits;
    }

    std::unique_ptr<uint64_t[]> area_;
    TX_BYTE_POOL pool_{};
    TX_EVENT_FLAGS_GROUP events_{};
    std::unique_ptr<kernel::Kernel> kernel_;
    std::unique_ptr<CDataBase> db_;
    // The letters waiting in the task's mailbox, taken out.
    std::vector<uint32_t> Letters() {
        std::vector<uint32_t> ids;
        letter_s* letter = nullptr;
        while (task_->Receive(&letter)) {
            ids.push_back(letter->id);
            task_->Release(letter);
        }
        return ids;
    }

    PostOffice office_;
    TX_EVENT_FLAGS_GROUP taskEvents_{};
    std::unique_ptr<subscriber> task_;
    std::unique_ptr<RtosNotifySink> sink_;
};

TEST_F(KernelWiringTest, StringsLiveInTheDynamicDatabasePool) {
    const ULONG before = Available();
    const std::string text(1024, '\0');
    ASSERT_EQ(db_->SetString(17848, 4, text.data(), 1024, DbImage::kVolatile, 0), kDbOk);
    EXPECT_LT(Available(), before - 1024);
    uint32_t length = 0;
    db_->GetString(17848, 4, DbImage::kVolatile, &length);
    EXPECT_EQ(length, 1024u);
    ASSERT_EQ(db_->SetString(17848, 4, nullptr, 0, DbImage::kVolatile, 0), kDbOk);
    EXPECT_EQ(Available(), before);
}

// At the end of a boot the kernel's pool goes as a whole: the store forgets its blocks, reads
// every string as empty, and its end touches the pool no more.
TEST_F(KernelWiringTest, AbandonedPoolIsNeverTouchedAgain) {
    const std::string text(64, 'a');
    ASSERT_EQ(db_->SetString(17848, 4, text.data(), 64, DbImage::kVolatile, 0), kDbOk);
    const ULONG used = Available();
    db_->Pool().Abandon();
    EXPECT_EQ(db_->Pool().BlockCount(), 0u);
    uint32_t length = 99;
    db_->GetString(17848, 4, DbImage::kVolatile, &length);
    EXPECT_EQ(length, 0u);
    std::memset(area_.get(), 0xA5, 0x200000);  // the pool's memory is gone
    db_.reset();
    EXPECT_EQ(Available(), used) << "nothing given back";
}

TEST_F(KernelWiringTest, PoolFailureIsLoggedWithThePoolsStatusAndFigures) {
    kernel::FailByteAllocation(1, &pool_);
    EXPECT_EQ(db_->SetString(dbo::sysName.id, 4, "name", 4, DbImage::kNv, 0), kDbGenError);
    EXPECT_EQ(g_debug,
              "NV Allocation Error:16! Ptr:00000000, Size:9\nByte Pool Info for dynamic "
              "database 0x00000000 Avail " +
                  std::to_string(Available()) + " Frag\n");
    EXPECT_EQ(db_->SetString(dbo::sysName.id, 4, "name", 4, DbImage::kNv, 0), kDbOk);
}

TEST_F(KernelWiringTest, NoticesReachTheEventFlagsAndThePoster) {
    ASSERT_EQ(db_->Set(dbo::brenSpecialFeatureSet, 0x20, kDbNotify), kDbOk);
    EXPECT_EQ(Letters(), (std::vector<uint32_t>{119, 93}));
    ULONG raised = 0;
    tx_event_flags_get(&taskEvents_, 0x1, TX_OR_CLEAR, &raised, TX_NO_WAIT);
    EXPECT_EQ(raised & 0x1, 0x1u);  // the task's own flag: a letter is waiting
    EXPECT_EQ(Take(0x100000), 0x100000u);
    EXPECT_EQ(Take(0x100000), 0u);  // taken
    // Several writes between two cycles of the consumer are one notice.
    ASSERT_EQ(db_->Set(dbo::dmsMessageStatus, 8, kDbNotify | kDbSkipValidation, 3), kDbOk);
    ASSERT_EQ(db_->Set(dbo::dmsMessageStatus, 1, kDbNotify | kDbSkipValidation, 3), kDbOk);
    ASSERT_EQ(db_->Set(dbo::dmsMessageStatusVolatile, 8, kDbNotify | kDbSkipValidation, 0), kDbOk);
    EXPECT_EQ(Take(0xFFFFFFFF), 0x800u);
    EXPECT_TRUE(Letters().empty());  // nothing the task subscribed to
}

class TempDir {
public:
    TempDir() {
        char pattern[] = "/tmp/dbtimeXXXXXX";
        path_ = ::mkdtemp(pattern);
    }
    ~TempDir() { std::filesystem::remove_all(path_); }
    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

TEST(BoardTimeRegisters, GlobalTimeIsKeptInTheBatteryBackedBytes) {
    TempDir dir;
    sim::Nvram nvram;
    ASSERT_TRUE(nvram.Open(dir.Path()));
    nvram.Attach();
    CDataBase db;  // on the board's registers by default
    ASSERT_EQ(db.SetRegisterTime(dbo::globalTime.id, 4, 0x5F5E1000, DbImage::kNv, 0), kDbOk);
    EXPECT_EQ(nvram.GlobalTime(), 0x5F5E1000u);
    EXPECT_EQ(nvram.Reg(1), 0x5F);
    EXPECT_EQ(nvram.Reg(7), 0x00);
    nvram.SetGlobalTime(1234567);
    EXPECT_EQ(db.GetRegisterTime(dbo::globalTime.id, 4, DbImage::kNv), 1234567u);
    EXPECT_EQ(db.GetInt(dbo::globalTime.id, 4, DbImage::kNv), 0u);
    nvram.Detach();
}
}  // namespace
