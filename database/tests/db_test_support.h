#pragma once
// A database wired to recording stand-ins, with notices and validation on (as after start-up),
// and a capture of the debug output.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "database/data_base.h"
#include "database/recording_journal.h"
#include "database/recording_notify_sink.h"
#include "database/time_registers.h"
#include "runtime/debug_print.h"

inline std::string& CapturedDebug() {
    static std::string text;
    return text;
}

class DbTest : public ::testing::Test {
protected:
    void SetUp() override {
        CapturedDebug().clear();
        DebugSetSink([](const char* text) { CapturedDebug() += text; });
        DebugSetTraceLevel(1);
        db = std::make_unique<CDataBase>(PoolSize());
        db->SetJournal(&journal);
        db->SetNotifySink(&sink);
        db->SetTimeRegisters(&registers);
        db->SetNotificationEnabled(true);
        db->SetValidationEnabled(true);
    }
    void TearDown() override {
        DebugSetSink(nullptr);
        DebugSetTraceLevel(0);
    }
    virtual uint32_t PoolSize() const { return StringPool::kDefaultSize; }

    // Plain writes that bypass validation, journal and notices (test set-up).
    void Poke(uint32_t id, uint32_t width, uint32_t value, DbImage image) {
        ASSERT_EQ(db->SetInt(id, width, value, image, kDbReplayFlags), kDbOk);
    }
    void PokeString(uint32_t id, const std::string& text, DbImage image) {
        ASSERT_EQ(db->SetString(id, 4, text.data(), static_cast<uint32_t>(text.size()), image,
                                kDbReplayFlags),
                  kDbOk);
    }
    std::string Read(uint32_t id, DbImage image) {
        uint32_t length = 0;
        const char* text = db->GetString(id, 4, image, &length);
        return std::string(text, length);
    }
    void ClearRecords() {
        journal.Clear();
        sink.Clear();
        CapturedDebug().clear();
    }

    RecordingJournal journal;
    RecordingNotifySink sink;
    MemoryTimeRegisters registers;
    std::unique_ptr<CDataBase> db;
};
