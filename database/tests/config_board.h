#pragma once
// A booted board (monitor, flash file system, a mounted media) and a database for the
// CONFIG.XML and database-task tests, with the debug output captured.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "database/data_base.h"
#include "database/file_config.h"
#include "database/file_system_driver.h"
#include "platform/monitor/mon.h"
#include "platform/monitor/tests/temp_board.h"
#include "runtime/debug_print.h"
#include "runtime/post_office.h"

inline std::string& ConfigLog() {
    static std::string text;
    return text;
}

class ConfigBoardTest : public ::testing::Test {
protected:
    void SetUp() override {
        ConfigLog().clear();
        DebugSetSink([](const char* text) { ConfigLog() += text; });
        BootBoard();
        db = std::make_unique<CDataBase>();
        CFile_Config::AttachDatabase(db.get());
        CFile_Config::AttachPostOffice(&office);
        CFile_Config::AttachFiles(&media, &g_FileSystem);
        g_ConfigDirty = 0;
    }
    void TearDown() override {
        CFile_Config::AttachDatabase(nullptr);
        CFile_Config::AttachPostOffice(nullptr);
        CFile_Config::AttachFiles(nullptr, nullptr);
        CFile_Config::SetBufferHooks(nullptr, nullptr);
        g_FileSystem.Unmount(&media);
        monitor.reset();
        DebugSetSink(nullptr);
        DebugSetTraceLevel(0);
    }
    void BootBoard() {
        if (monitor != nullptr) {
            g_FileSystem.Unmount(&media);
            monitor.reset();
        }
        monitor = board.Boot(1u << 20);
        ASSERT_NE(monitor, nullptr);
        ASSERT_EQ(g_FileSystem.Mount(&media, "system drive"), FS_SUCCESS);
    }
    void PutFile(const char* name, const std::string& text) {
        ASSERT_EQ(mon_tfsadd(name, "", "", text.data(), static_cast<long>(text.size())), TFS_OKAY);
    }
    std::string FileText(const char* name) { return monitor_test::Contents(mon_tfsstat(name)); }
    bool Exists(const char* name) { return mon_tfsstat(name) != nullptr; }

    uint32_t Nv(uint32_t id, uint32_t width) { return db->GetInt(id, width, DbImage::kNv); }
    void SetNv(uint32_t id, uint32_t width, uint32_t value) {
        db->SetInt(id, width, value, DbImage::kNv, kDbReplayFlags);
    }
    std::string NvText(uint32_t id) {
        uint32_t n = 0;
        const char* text = db->GetString(id, 4, DbImage::kNv, &n);
        return std::string(text, n);
    }
    void SetNvText(uint32_t id, const std::string& text) {
        db->SetString(id, 4, text.data(), static_cast<uint32_t>(text.size()), DbImage::kNv,
                      kDbReplayFlags);
    }

    monitor_test::TempBoard board;
    std::unique_ptr<monitor::Monitor> monitor;
    FsMedia media;
    PostOffice office;
    std::unique_ptr<CDataBase> db;
};
