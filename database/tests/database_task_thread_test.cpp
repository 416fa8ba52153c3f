// The database task on its own thread of a stepped kernel over a board directory: the journal in
// the monitor's flash, the first cycle, the boot counter cleared after 30 s, and a second boot
// that replays the journal.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "database/database_task.h"
#include "database/file_config.h"
#include "database/monitor_journal_services.h"
#include "database/object_ids.h"
#include "database/tests/fake_default_fonts.h"
#include "platform/monitor/tests/temp_board.h"
#include "runtime/tests/kernel_fixture.h"

namespace {

using testing_support::Captured;

uint8_t g_register = 0;

class DatabaseTaskThread : public testing_support::KernelTest {
protected:
    void SetUp() override { BootAll(); }
    void TearDown() override { PowerOff(); }

    // One boot of the board directory: monitor, media, database, journal and task, the start-up
    // flow in the kernel's start-up context.
    void BootAll() {
        monitor_ = board_.Boot(monitor::Flash::kDefaultSize);
        ASSERT_NE(monitor_, nullptr);
        ASSERT_EQ(g_FileSystem.Mount(&media_, "system drive"), FS_SUCCESS);
        db_ = std::make_unique<CDataBase>();
        CFile_Config::AttachDatabase(db_.get());
        CFile_Config::AttachPostOffice(&office_);
        services_ = std::make_unique<MonitorJournalServices>();
        journal_ = std::make_unique<CFlashDatabase>(db_.get(), services_.get());
        DatabaseTaskConfig config;
        config.media = &media_;
        config.driver = &g_FileSystem;
        config.readBootRegister = [] { return g_register; };
        config.writeBootRegister = [](uint8_t value) { g_register = value; };
        task_ = std::make_unique<CDatabaseTask>(office_, *db_, *journal_, *services_, config);
        ASSERT_TRUE(task_->Start());
        Captured().clear();
        Boot([this](uint8_t*) {
            ASSERT_TRUE(task_->Create(&stacks_));
            ASSERT_EQ(task_->InitDatabase(), 1);
        });
    }
    void PowerOff() {
        Shutdown();
        task_.reset();
        journal_.reset();
        services_.reset();
        CFile_Config::AttachDatabase(nullptr);
        CFile_Config::AttachPostOffice(nullptr);
        g_FileSystem.Unmount(&media_);
        monitor_.reset();
    }
    void Reboot(std::unique_ptr<CDataBase>* keep) {
        PowerOff();
        *keep = std::move(db_);
        kernel_ = std::make_unique<kernel::Kernel>();
        stacks_ = {};
        BootAll();
    }
    std::string Text(CDataBase& db, uint32_t id) {
        uint32_t n = 0;
        const char* text = db.GetString(id, 4, DbImage::kNv, &n);
        return std::string(text, n);
    }

    monitor_test::TempBoard board_;
    FakeDefaultFonts fonts_;
    std::unique_ptr<monitor::Monitor> monitor_;
    FsMedia media_;
    PostOffice office_;
    std::unique_ptr<MonitorJournalServices> services_;
    std::unique_ptr<CDataBase> db_;
    std::unique_ptr<CFlashDatabase> journal_;
    std::unique_ptr<CDatabaseTask> task_;
};

TEST_F(DatabaseTaskThread, FirstStartOnAnEmptyBoardThenJournalStart) {
    // The journal file is in the board's flash, committed.
    const TFILE* nv1 = mon_tfsstat("nv1.dat");
    ASSERT_NE(nv1, nullptr);
    EXPECT_EQ(reinterpret_cast<const uint8_t*>(nv1)[nv1->hdrsize], 0x7F);
    EXPECT_NE(mon_tfsstat("CONFIG.XML"), nullptr);
    EXPECT_EQ(Text(*db_, 92), "14X10_FHWA_TYPE_E.FNT");
    EXPECT_EQ(db_->GetInt(dbo::dmsSignHeight.id, 2, DbImage::kNv), 1524u);

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

    db_->SetInt(dbo::brenRemoteIPPort.id, 2, 2001, DbImage::kNv, kDbNotify);
    std::unique_ptr<CDataBase> first;
    Reboot(&first);
    EXPECT_EQ(Captured().find("Restore Config File"), std::string::npos) << "journal replayed";
    EXPECT_EQ(g_register, 0x33);
    for (uint32_t id = 0; id < kNvImageSize;) {
        if (id % 4 == 0 && CDataBase::IsStringObject(id)) {
            ASSERT_EQ(Text(*db_, id), Text(*first, id)) << "NV string " << id;
            id += 4;
            continue;
        }
        ASSERT_EQ(db_->GetInt(id, 1, DbImage::kNv), first->GetInt(id, 1, DbImage::kNv))
            << "NV " << id;
        ++id;
    }
    EXPECT_EQ(db_->GetInt(dbo::brenRemoteIPPort.id, 2, DbImage::kNv), 2001u);
}

}  // namespace
