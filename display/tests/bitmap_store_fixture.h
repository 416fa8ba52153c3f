#pragma once
// A database (notices and validation on) over a booted board whose flash is mounted through the
// file-system driver, with helpers to store messages and list the flash's files.

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <set>
#include <string>

#include "database/data_base.h"
#include "database/file_system_driver.h"
#include "database/object_ids.h"
#include "database/recording_notify_sink.h"
#include "database/time_registers.h"
#include "platform/monitor/mon.h"
#include "platform/monitor/tests/temp_board.h"

class BitmapBoardTest : public ::testing::Test {
protected:
    void SetUp() override {
        board_ = temp_.Boot(512 * 1024);
        ASSERT_NE(board_, nullptr);
        FsSetThreadName("Display");
        ASSERT_EQ(g_FileSystem.Mount(&media_, "system drive"), FS_SUCCESS);
        db_ = std::make_unique<CDataBase>();
        db_->SetNotifySink(&sink_);
        db_->SetTimeRegisters(&registers_);
        db_->SetNotificationEnabled(true);
        db_->SetValidationEnabled(true);
    }
    void TearDown() override {
        g_FileSystem.Unmount(&media_);
        FsSetThreadName(nullptr);
    }

    void AddFile(const std::string& name) {
        ASSERT_EQ(mon_tfsadd(name.c_str(), "", "", "BM", 2), TFS_OKAY) << name;
    }
    std::set<std::string> Files() const {
        std::set<std::string> names;
        for (const TFILE* h = mon_tfsnext(nullptr); h != nullptr; h = mon_tfsnext(h)) {
            names.insert(h->name);
        }
        return names;
    }
    // Store entry k (0-599) of the NV message table, or volatile row k (0-3).
    void Message(uint32_t k, const std::string& text, uint32_t status, bool nv = true) {
        const DbObject& textColumn =
            nv ? dbo::dmsMessageMultiString : dbo::dmsMessageMultiStringVolatile;
        const DbObject& statusColumn = nv ? dbo::dmsMessageStatus : dbo::dmsMessageStatusVolatile;
        ASSERT_EQ(db_->SetText(textColumn, text.data(), uint32_t(text.size()), kDbReplayFlags, k),
                  kDbOk);
        ASSERT_EQ(db_->Set(statusColumn, status, kDbReplayFlags, k), kDbOk);
    }
    std::string Text(const DbObject& column, uint32_t row) const {
        uint32_t length = 0;
        const char* text = db_->GetText(column, &length, row);
        return std::string(text, length);
    }

    monitor_test::TempBoard temp_;
    std::unique_ptr<monitor::Monitor> board_;
    FsMedia media_;
    RecordingNotifySink sink_;
    MemoryTimeRegisters registers_;
    std::unique_ptr<CDataBase> db_;
};
