#include "database/database_task.h"

#include "database/factory_defaults.h"
#include "database/file_config.h"
#include "database/font_table.h"
#include "database/object_ids.h"
#include "database/write_mode_scope.h"
#include "platform/kernel/tx_api.h"
#include "platform/sim/hw.h"
#include "runtime/debug_print.h"
#include "runtime/task_table.h"

namespace {
constexpr uint32_t kGlobalTime = dbo::globalTime.id;

// Restores the database's journal switch when it goes out of scope.
class JournalWritingScope {
public:
    JournalWritingScope(CDataBase& db, bool on) : db_(db), saved_(db.JournalWriting()) {
        db_.SetJournalWriting(on);
    }
    ~JournalWritingScope() { db_.SetJournalWriting(saved_); }
    JournalWritingScope(const JournalWritingScope&) = delete;
    JournalWritingScope& operator=(const JournalWritingScope&) = delete;

private:
    CDataBase& db_;
    bool saved_;
};

void WriteHeader(CDataBase& db) {
    struct Word {
        uint32_t id, value;
    };
    static constexpr Word kWords[] = {
        {0, 3},        {4, 98712},  {40, 1},        {8, 40},     {44, 48736},
        {48776, 1},    {12, 48776}, {48780, 46832}, {95608, 1},  {16, 95608},
        {95612, 3000}, {98608, 1},  {20, 98608},    {98612, 72}, {98680, 1},
        {24, 98680},   {98684, 20}, {98700, 1},     {28, 98700}, {98704, 12},
    };
    for (const Word& word : kWords) {
        db.SetInt(word.id, 4, word.value, DbImage::kNv, kDbNotify);
    }
}
}  // namespace

CDatabaseTask* g_DatabaseTask = nullptr;

CDatabaseTask::CDatabaseTask(PostOffice& office, CDataBase& db, CFlashDatabase& journal,
                             JournalServices& services, const DatabaseTaskConfig& config)
    : CStandardTask(office, kDatabaseTaskDefinition),
      db_(db),
      journal_(journal),
      services_(services),
      config_(config) {
    db_.SetJournal(&journal_);
    db_.fontChangeCounters.fill(0);
    db_reset_font_settle_state();
    g_DatabaseTask = this;
}

CDatabaseTask::~CDatabaseTask() {
    if (g_DatabaseTask == this) {
        g_DatabaseTask = nullptr;
    }
}

uint8_t CDatabaseTask::ReadBootRegister() const {
    return config_.readBootRegister != nullptr ? config_.readBootRegister()
                                               : hw::Read8(kBootCounterRegister);
}

void CDatabaseTask::WriteBootRegister(uint8_t value) const {
    if (config_.writeBootRegister != nullptr) {
        config_.writeBootRegister(value);
    } else {
        hw::Write8(kBootCounterRegister, value);
    }
}

bool CDatabaseTask::VolatileOnlyBit() const {
    return (db_.GetInt(kSpecialFeatureSet, 4, DbImage::kNv) & kVolatileOnly) != 0;
}

int CDatabaseTask::InitDatabase() {
    db_.SetValidationEnabled(false);
    journal_.CreateMutexes();
    StateMachine_BootCounter(0);
    const int loaded = journal_.Load();
    if (loaded != 1 && journal_.RestartRequested()) {
        return kRestarting;
    }
    if (loaded == 1) {
        // In volatile-only mode the journal does not hold the latest settings.
        if (VolatileOnlyBit()) {
            CFile_Config::RestoreConfigFile(config_.media, config_.driver);
        }
    } else {
        // The NV image is still as constructed (zero): nothing was replayed.
        SetFactoryDefaults(kDefaultsFirstStart);
        CFile_Config::RestoreConfigFile(config_.media, config_.driver);
        const int result = journal_.CommitActiveFile();
        if (result != 0) {
            DebugPrint("\tCDatabase::Init: mon_tfsipmod failed:%d\n", result);
        }
    }
    SetVolatileDefaults();
    for (uint32_t slot = 0; slot < font_table::kSlots; ++slot) {
        UpdateFontVersionId(slot);
    }
    // Writes made during the rest of start-up (event log entries, the cleared reset request)
    // are journalled unless the database runs volatile-only.
    if (VolatileOnlyBit()) {
        db_.SetJournalWriting(false);
    }
    db_.initComplete = 1;
    db_.SetNotificationEnabled(true);
    db_.SetValidationEnabled(true);
    return 1;
}

void CDatabaseTask::StateMachine_BootCounter(int stage) {
    const uint8_t byte = ReadBootRegister();
    DebugPrintLevel1("CDatabase::StateMachine_BootCounter:0x%02X\n", byte);
    const bool journalPresent = journal_.FileExists(CFlashDatabase::kFile1) != 0 ||
                                journal_.FileExists(CFlashDatabase::kFile2) != 0;
    if (stage == 1 || !journalPresent) {
        WriteBootRegister(static_cast<uint8_t>(byte & 0xF0));
        if (stage == 1) {
            db_.bootCounterCleared = 1;
        } else {
            db_.SetRegisterTime(kGlobalTime, 4, 0, DbImage::kNv, 0);
        }
        return;
    }
    const uint8_t count = byte & 0x0F;
    uint8_t next = count;
    if (count == 15) {
        services_.Unlink(CFlashDatabase::kFile1);
        services_.Unlink(CFlashDatabase::kFile2);
        // The backup goes too: the restore would otherwise fall back on it.
        if (config_.driver != nullptr) {
            config_.driver->DeleteFile(config_.media, CFile_Config::kFileName);
            config_.driver->DeleteFile(config_.media, CFile_Config::kBackupName);
        }
    } else if (count >= 8) {
        next = count + 1;
        services_.Unlink(CFlashDatabase::kFile1);
        services_.Unlink(CFlashDatabase::kFile2);
    } else {
        next = count + 1;  // 7 arms the counter at 8
    }
    WriteBootRegister(static_cast<uint8_t>((byte & 0xF0) | next));
}

void CDatabaseTask::SetFactoryDefaults(int mode) {
    db_.SetJournalWriting(true);
    DbBulkWriteScope scope;
    dms_factory_defaults(db_, mode);
    mib2_factory_defaults(db_, mode);
    private_factory_defaults(db_, mode);
    global_factory_defaults(db_, mode);
    const DefaultHooks& hooks = db_default_hooks();
    if (hooks.fdotFactory != nullptr) {
        hooks.fdotFactory(db_, mode);
    }
    if (hooks.nvdotFactory != nullptr) {
        hooks.nvdotFactory(db_, mode);
    }
    WriteHeader(db_);
    LoadDefaultFonts();
    DebugPrintLevel1(
        "DB Sizes - VersionInformation_mib_nv:%d dms:%d global:%d bren:%d classb:%d fdot:%d\n", 40,
        48736, 46832, 3000, 72, 20);
}

void CDatabaseTask::SetVolatileDefaults() {
    // The journal switch goes back to what it was: writes of the rest of start-up must not be
    // lost at the next restart.
    JournalWritingScope journal(db_, false);
    DbBulkWriteScope scope;
    dms_volatile_defaults(db_);
    mib2_volatile_defaults(db_);
    private_volatile_defaults(db_);
    global_volatile_defaults(db_);
    const DefaultHooks& hooks = db_default_hooks();
    for (void (*setter)(CDataBase&) :
         {hooks.fdotVolatile, hooks.nvdotVolatile, hooks.monitorVolatile, hooks.ledstarVolatile,
          hooks.essVolatile}) {
        if (setter != nullptr) {
            setter(db_);
        }
    }
}

void CDatabaseTask::LoadDefaultFonts() {
    if (const auto fonts = db_default_hooks().defaultFonts) {
        fonts(db_);
    }
}

void CDatabaseTask::UpdateFontVersionId(uint32_t slot) {
    db_update_font_version_id(db_, slot);
}

void CDatabaseTask::MarkFontChanged(uint32_t slot) {
    db_mark_font_changed(db_, slot);
}

void CDatabaseTask::UpdateSettledFontVersionIds() {
    db_update_settled_font_version_ids(db_);
}

void CDatabaseTask::Cycle() {
    if (VolatileOnlyBit()) {
        if (db_.JournalWriting()) {
            DebugPrint("disabling flash database, running in volatile only mode\n");
            db_.SetJournalWriting(false);
        }
        mode_ = Mode::kVolatileOnly;
    } else if (mode_ != Mode::kNonVolatile || !db_.JournalWriting()) {
        DebugPrint("enabling flash database, running in non-volatile mode\n");
        db_.SetJournalWriting(true);
        mode_ = Mode::kNonVolatile;
        // One record with the cleared bit: the journal may still hold it set from before the
        // volatile-only period, and a single record cannot be cut halfway.
        journal_.WriteInt32(kSpecialFeatureSet, db_.GetInt(kSpecialFeatureSet, 4, DbImage::kNv),
                            nullptr);
        db_.NotifyChange(kSpecialFeatureSet, DbImage::kNv, kNoticeChanged);
    }
    if (db_.JournalWriting()) {
        journal_.ProcessDeletes();
        journal_.StateMachine_Defrag();
    }
    if (db_.bootCounterCleared == 0 && tx_time_get() >= kBootCounterClearTick) {
        StateMachine_BootCounter(1);
    }
}
