#pragma once
// A board for journal tests: the in-memory flash survives "boots"; each boot builds a fresh
// database and journal over it and loads. A fresh journal is committed at once, as the database's
// start-up does once the defaults are in.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "database/data_base.h"
#include "database/flash_database.h"
#include "database/memory_journal_services.h"
#include "runtime/debug_print.h"

inline std::string& JournalLog() {
    static std::string text;
    return text;
}

struct JournalBoard {
    explicit JournalBoard(FlashJournalGeometry geometryIn = {}, uint32_t poolSizeIn = 1u << 19)
        : geometry(geometryIn), poolSize(poolSizeIn) {
        DebugSetSink([](const char* text) { JournalLog() += text; });
        DebugSetTraceLevel(1);
    }
    ~JournalBoard() {
        journal.reset();
        db.reset();
        DebugSetSink(nullptr);
        DebugSetTraceLevel(0);
    }

    // Result of Load.
    int Boot(bool commitFresh = true, bool reboot = true) {
        journal.reset();
        db.reset();
        if (reboot) {
            flash.Reboot();
        }
        JournalLog().clear();
        db = std::make_unique<CDataBase>(poolSize);
        journal = std::make_unique<CFlashDatabase>(db.get(), &flash, geometry);
        db->SetJournal(journal.get());
        journal->CreateMutexes();
        const int loaded = journal->Load();
        if (loaded == 0 && commitFresh) {
            journal->CommitActiveFile();
        }
        return loaded;
    }

    // Journalled writes as any task makes them (validation skipped: the ids carry no rules here).
    DbResult Set(uint32_t id, uint32_t width, uint32_t value) {
        return db->SetInt(id, width, value, DbImage::kNv, kDbSkipValidation);
    }
    DbResult SetText(uint32_t id, const std::string& text) {
        return db->SetString(id, 4, text.data(), static_cast<uint32_t>(text.size()), DbImage::kNv,
                             kDbSkipValidation);
    }
    uint32_t Get(uint32_t id, uint32_t width) const { return db->GetInt(id, width, DbImage::kNv); }
    std::string Text(uint32_t id) const {
        std::string out(4096, '\0');
        const uint32_t length = db->ReadString(id, DbImage::kNv, out.data(), 4096);
        out.resize(length > 4096 ? 4096 : length);
        return out;
    }
    std::vector<uint8_t>& File(const char* name) { return *flash.File(name); }
    const char* Active() const { return journal->ActiveFile(); }
    uint32_t Used() const { return journal->WritePosition(journal->ActiveFile()); }
    // Runs the compaction through its three steps.
    void Compact() {
        journal->SetCountdown(0);
        journal->RequestCompaction();
        for (int step = 0; step < 3; ++step) {
            journal->StateMachine_Defrag();
        }
    }

    MemoryJournalServices flash;
    FlashJournalGeometry geometry;
    uint32_t poolSize;
    std::unique_ptr<CDataBase> db;
    std::unique_ptr<CFlashDatabase> journal;
};

// Object ids used by the journal tests: integers of each width and string slots.
inline constexpr uint32_t kInt8Id = 98708;
inline constexpr uint32_t kInt16Id = 60;
inline constexpr uint32_t kInt32Id = 48;
inline constexpr uint32_t kTextId = 25792;   // a message text
inline constexpr uint32_t kText2Id = 98616;  // a MIB-II system string
inline constexpr uint32_t kFontNameId = 92;

// A geometry whose compaction starts early: small files keep the power-cut runs short.
inline FlashJournalGeometry SmallGeometry(uint32_t fileSize = 0x4000,
                                          uint32_t compactAbove = 0x3000) {
    FlashJournalGeometry geometry;
    geometry.fileSize = fileSize;
    geometry.compactAbove = compactAbove;
    return geometry;
}
