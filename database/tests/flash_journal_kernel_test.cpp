// The journal under the kernel: tasks append while the database task runs deletion passes and a
// compaction with its real locks, priorities and sleeps; after a restart every object holds the
// last value its task wrote.

#include <ftw.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <deque>
#include <functional>
#include <memory>
#include <string>

#include "database/data_base.h"
#include "database/flash_database.h"
#include "database/monitor_journal_services.h"
#include "platform/kernel/kernel.h"
#include "platform/kernel/tx_api.h"
#include "platform/monitor/monitor.h"
#include "runtime/debug_print.h"

namespace {

struct Task {
    TX_THREAD thread{};
    std::function<void()> body;
    alignas(16) unsigned char stack[4096];
};

void Entry(ULONG_PTR input) {
    reinterpret_cast<Task*>(input)->body();
}

class JournalUnderKernel : public ::testing::Test {
protected:
    void SetUp() override {
        char name[] = "/tmp/dms-journal-kernel-XXXXXX";
        dir_ = ::mkdtemp(name);
        DebugSetSink([](const char*) {});
        geometry_.fileSize = 0x20000;
        geometry_.compactAbove = 0x3000;
    }
    void TearDown() override {
        kernel_.reset();
        journal_.reset();
        db_.reset();
        monitor_.reset();
        ::nftw(
            dir_.c_str(),
            [](const char* p, const struct stat*, int, struct FTW*) { return ::remove(p); }, 8,
            FTW_DEPTH | FTW_PHYS);
        DebugSetSink(nullptr);
    }

    void BootBoard() {
        journal_.reset();
        db_.reset();
        monitor_.reset();
        monitor::MonitorConfig config;
        config.boardDir = dir_;
        config.flashSize = 1u << 20;
        config.runMonrc = false;
        monitor_ = std::make_unique<monitor::Monitor>(config);
        ASSERT_TRUE(monitor_->Boot());
        db_ = std::make_unique<CDataBase>(1u << 16);
        journal_ = std::make_unique<CFlashDatabase>(db_.get(), &services_, geometry_);
        db_->SetJournal(journal_.get());
    }

    void Spawn(const char* name, UINT priority, std::function<void()> body) {
        tasks_.push_back(std::make_unique<Task>());
        Task* task = tasks_.back().get();
        task->body = std::move(body);
        ASSERT_EQ(tx_thread_create(&task->thread, name, &Entry, reinterpret_cast<ULONG_PTR>(task),
                                   task->stack, sizeof task->stack, priority, priority,
                                   TX_NO_TIME_SLICE, TX_AUTO_START),
                  TX_SUCCESS);
    }

    std::string dir_;
    FlashJournalGeometry geometry_;
    MonitorJournalServices services_;
    std::unique_ptr<monitor::Monitor> monitor_;
    std::unique_ptr<CDataBase> db_;
    std::unique_ptr<CFlashDatabase> journal_;
    std::deque<std::unique_ptr<Task>> tasks_;
    std::unique_ptr<kernel::Kernel> kernel_;
};

TEST_F(JournalUnderKernel, WritersDuringDeletionPassesAndACompaction) {
    BootBoard();
    constexpr uint32_t kWrites = 2000;
    int writersDone = 0;
    int compactions = 0;
    kernel_ = std::make_unique<kernel::Kernel>();
    kernel_->Start([&](void*) {
        // Start-up: the locks exist, the journal is loaded (first start) and committed.
        ASSERT_TRUE(journal_->CreateMutexes());
        ASSERT_EQ(journal_->Load(), 0);
        ASSERT_EQ(journal_->CommitActiveFile(), 0);
        db_->startupComplete = 1;
        for (uint32_t writer = 0; writer < 2; ++writer) {
            Spawn(writer == 0 ? "writer 0" : "writer 1", 5 + writer, [&, writer] {
                for (uint32_t n = 1; n <= kWrites; ++n) {
                    db_->SetInt(1000 + 8 * writer, 4, n, DbImage::kNv, kDbSkipValidation);
                    db_->SetInt(1004 + 8 * writer, 2, n % 7, DbImage::kNv, kDbSkipValidation);
                    const std::string text = "text " + std::to_string(n);
                    db_->SetString(25792 + 4 * writer, 4, text.data(),
                                   static_cast<uint32_t>(text.size()), DbImage::kNv,
                                   kDbSkipValidation);
                    tx_thread_sleep(1);
                }
                ++writersDone;
            });
        }
        Spawn("Database", 4, [&] {
            journal_->SetCountdown(0);
            while (writersDone < 2 || journal_->State() != CFlashDatabase::kIdle) {
                journal_->ProcessDeletes();
                const char* before = journal_->ActiveFile();
                journal_->StateMachine_Defrag();
                compactions += before != journal_->ActiveFile() ? 1 : 0;
                tx_thread_sleep(100);
            }
            journal_->ProcessDeletes();
        });
    });
    kernel_->RunUntilIdle(100000);
    EXPECT_EQ(writersDone, 2);
    EXPECT_GE(compactions, 2);
    kernel_.reset();

    BootBoard();
    ASSERT_EQ(journal_->Load(), 1);
    for (uint32_t writer = 0; writer < 2; ++writer) {
        EXPECT_EQ(db_->GetInt(1000 + 8 * writer, 4, DbImage::kNv), kWrites);
        EXPECT_EQ(db_->GetInt(1004 + 8 * writer, 2, DbImage::kNv), kWrites % 7);
        uint32_t length = 0;
        const char* text = db_->GetString(25792 + 4 * writer, 4, DbImage::kNv, &length);
        EXPECT_EQ(std::string(text, length), "text " + std::to_string(kWrites));
    }
}

}  // namespace
