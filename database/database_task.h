#pragma once
// The database task, "Database": the start-up flow that replays the journal or writes the factory
// defaults (plus CONFIG.XML), the boot counter that discards a journal after repeated failed
// starts, and the one-second cycle (journal housekeeping, journalled or volatile-only operation,
// boot counter cleared after 30 s).
//
// Start-up, in tx_application_define after the tasks are created:
//   static CDatabaseTask task(g_PostOffice, g_DataBase,
//                             *CFlashDatabase::Instance(&g_DataBase, &services), services);
//   task.Start(); task.Create(&stacks); task.InitDatabase();

#include <cstdint>

#include "database/data_base.h"
#include "database/file_system_driver.h"
#include "database/flash_database.h"
#include "database/journal_services.h"
#include "database/object_ids.h"
#include "runtime/standard_task.h"

struct DatabaseTaskConfig {
    // The media and driver of CONFIG.XML.
    FsMedia* media = &g_SystemDrive;
    CFileSystem_Driver* driver = &g_FileSystem;
    // The battery-backed byte of the boot counter (low four bits); the board register by default.
    uint8_t (*readBootRegister)() = nullptr;
    void (*writeBootRegister)(uint8_t value) = nullptr;
};

class CDatabaseTask : public CStandardTask {
public:
    static constexpr uint32_t kSpecialFeatureSet = dbo::brenSpecialFeatureSet.id;
    static constexpr uint32_t kVolatileOnly = 0x800;
    static constexpr uint32_t kBootCounterRegister = 0xF010000B;
    static constexpr uint32_t kBootCounterClearTick = 3001;

    CDatabaseTask(PostOffice& office, CDataBase& db, CFlashDatabase& journal,
                  JournalServices& services, const DatabaseTaskConfig& config = {});
    ~CDatabaseTask() override;

    // The start-up flow (the database's Init; CStandardTask::Init is the thread's own); 1, or
    // kRestarting when the board restarts to reclaim flash for a new journal (nothing else is
    // set up: the start-up ends there).
    static constexpr int kRestarting = -1;
    int InitDatabase();
    // Stage 0 at start, 1 after 30 s or before a commanded restart.
    void StateMachine_BootCounter(int stage);
    // Mode 0 first start, 1 commanded factory reset.
    void SetFactoryDefaults(int mode);
    void SetVolatileDefaults();
    // The built-in fonts through the default hooks (none installed: the slots stay empty).
    void LoadDefaultFonts();
    void UpdateFontVersionId(uint32_t slot);
    void MarkFontChanged(uint32_t slot);
    void UpdateSettledFontVersionIds();

    // Steps of the cycle after the mailbox: journal mode, housekeeping, boot counter.
    void Cycle();

    CDataBase& Db() { return db_; }
    CFlashDatabase& Journal() { return journal_; }
    // True once the cycle has switched to journalled operation.
    bool NonVolatileMode() const { return mode_ == Mode::kNonVolatile; }

protected:
    void Work() override { Cycle(); }

private:
    enum class Mode { kStartup, kNonVolatile, kVolatileOnly };

    uint8_t ReadBootRegister() const;
    void WriteBootRegister(uint8_t value) const;
    bool VolatileOnlyBit() const;

    CDataBase& db_;
    CFlashDatabase& journal_;
    JournalServices& services_;
    DatabaseTaskConfig config_;
    Mode mode_ = Mode::kStartup;
};

// The task built last (the controller's one); null before. The watchdog clears the boot counter
// through it before a commanded restart: g_DatabaseTask->StateMachine_BootCounter(1).
extern CDatabaseTask* g_DatabaseTask;
