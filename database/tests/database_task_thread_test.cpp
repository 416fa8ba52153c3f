// The database task on its own thread of a stepped kernel: the first cycle and the boot counter
// cleared after 30 s.

#include <gtest/gtest.h>

#include <memory>

#include "database/database_task.h"
#include "database/file_config.h"
#include "database/memory_journal_services.h"
#include "platform/monitor/tests/temp_board.h"
#include "runtime/tests/kernel_fixture.h"

namespace {

using testing_support::Captured;

uint8_t g_register = 0;

class DatabaseTaskThread : public testing_support::KernelTest {
protected:
    void SetUp() override {
        monitor_ = board_.Boot(1u << 20);
        ASSERT_NE(monitor_, nullptr);
        ASSERT_EQ(g_FileSystem.Mount(&media_, "system drive"), FS_SUCCESS);
        db_ = std::make_unique<CDataBase>();
        CFile_Config::AttachDatabase(db_.get());
        CFile_Config::AttachPostOffice(&office_);
        FlashJournalGeometry geometry;
        geometry.indexCapacity = 65536;
        journal_ = std::make_unique<CFlashDatabase>(db_.get(), &services_, geometry);
        DatabaseTaskConfig config;
        config.media = &media_;
        config.driver = &g_FileSystem;
        config.readBootRegister = [] { return g_register; };
        config.writeBootRegister = [](uint8_t value) { g_register = value; };
        task_ = std::make_unique<CDatabaseTask>(office_, *db_, *journal_, services_, config);
        ASSERT_TRUE(task_->Start());
        Boot([this](uint8_t*) {
            ASSERT_TRUE(task_->Create(&stacks_));
            ASSERT_EQ(task_->InitDatabase(), 1);
        });
    }
    void TearDown() override {
        Shutdown();
        task_.reset();
        journal_.reset();
        CFile_Config::AttachDatabase(nullptr);
        CFile_Config::AttachPostOffice(nullptr);
        g_FileSystem.Unmount(&media_);
        monitor_.reset();
    }

    monitor_test::TempBoard board_;
    std::unique_ptr<monitor::Monitor> monitor_;
    FsMedia media_;
    PostOffice office_;
    MemoryJournalServices services_;
    std::unique_ptr<CDataBase> db_;
    std::unique_ptr<CFlashDatabase> journal_;
    std::unique_ptr<CDatabaseTask> task_;
};

TEST_F(DatabaseTaskThread, FirstCycleEnablesTheJournalAndThirtySecondsClearTheCounter) {
    Captured().clear();
    Advance(299);
    EXPECT_EQ(Captured().find("enabling flash database"), std::string::npos);
    Advance(1);
    EXPECT_NE(Captured().find("enabling flash database, running in non-volatile mode\n"),
              std::string::npos);
    EXPECT_TRUE(task_->NonVolatileMode());

    g_register = 0x35;  // unfinished starts counted since
    Advance(3000 - 300);
    EXPECT_EQ(g_register, 0x35);
    EXPECT_EQ(db_->bootCounterCleared, 0);
    Advance(100);
    EXPECT_EQ(g_register, 0x30);
    EXPECT_EQ(db_->bootCounterCleared, 1);
    g_register = 0x32;
    Advance(500);
    EXPECT_EQ(g_register, 0x32) << "cleared once";
}

}  // namespace
