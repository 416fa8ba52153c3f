#include "display/memory_clear.h"

#include "database/object_ids.h"
#include "database/write_mode_scope.h"
#include "display/bitmap_store.h"
#include "platform/monitor/mon.h"
#include "render/activation_request.h"
#include "render/msg_activation_code.h"
#include "runtime/debug_print.h"

CMemoryClear* g_MemoryClear = nullptr;

void display_clear_memory() {
    if (g_MemoryClear != nullptr) {
        g_MemoryClear->ClearMemory();
    }
}

namespace {

// Reset command kinds.
constexpr uint32_t kResetNone = 1;
constexpr uint32_t kResetMax = 8;
// dmsSWReset values the peripheral task turns into restart requests.
constexpr uint32_t kSwRestart = 1;
constexpr uint32_t kSwDefragRestart = 4;
constexpr uint8_t kWriteConfigBeforeReset = 0x04;
constexpr uint8_t kUnreadResetBits = 0x03;
constexpr uint32_t kScriptTriggerBit = 0x1;

// What one kind does (kinds 2-8).
struct ResetKind {
    bool deleteJournal;
    bool deleteConfigAndBitmaps;
    uint8_t clearOptions;  // bits of g_ResetOptions cleared
    uint32_t swReset;
    bool scriptTrigger;
    bool backToNone;
};

constexpr ResetKind kResetKinds[kResetMax + 1] = {
    {},
    {},
    {true, false, 0, kSwRestart, false, false},                                           // 2
    {true, true, kWriteConfigBeforeReset | kUnreadResetBits, kSwRestart, false, false},   // 3
    {false, false, kUnreadResetBits, kSwRestart, false, false},                           // 4
    {true, false, kWriteConfigBeforeReset | kUnreadResetBits, kSwRestart, false, false},  // 5
    {true, true, kWriteConfigBeforeReset | kUnreadResetBits, kSwRestart, false, false},   // 6
    {false, false, 0, kSwRestart, true, true},                                            // 7
    {false, false, 0, kSwDefragRestart, false, true},                                     // 8
};

class LockScope {
public:
    explicit LockScope(TX_MUTEX* mutex) : mutex_(mutex) {
        held_ = mutex_ != nullptr && tx_mutex_get(mutex_, TX_WAIT_FOREVER) == TX_SUCCESS;
    }
    ~LockScope() {
        if (held_) {
            tx_mutex_put(mutex_);
        }
    }
    LockScope(const LockScope&) = delete;
    LockScope& operator=(const LockScope&) = delete;

private:
    TX_MUTEX* mutex_;
    bool held_ = false;
};

}  // namespace

// The lock ends with the kernel of its boot.
CMemoryClear::~CMemoryClear() {
    if (g_MemoryClear == this) {
        g_MemoryClear = nullptr;
    }
}

bool CMemoryClear::Create() {
    if (!created_) {
        created_ = tx_mutex_create(&lock_, "Memory Clear", TX_INHERIT) == TX_SUCCESS;
        if (!created_) {
            DebugPrint("CMemoryClear::Create: tx_mutex_create failed\n");
        }
    }
    return created_;
}

void CMemoryClear::ClearMemory() {
    LockScope lock(created_ ? &lock_ : nullptr);
    ServeMemoryManagement();
    ServeResetCommand();
}

void CMemoryClear::ServeMemoryManagement() {
    const uint32_t request = db_.Get(dbo::dmsMemoryMgmt);
    if (request != kNormal) {
        db_.Set(dbo::dmsMemoryMgmt, kNormal, kDbNotify);
    }
    switch (request) {
        case kFactoryReset:
            FactoryReset();
            break;
        case kClearChangeable:
        case kClearVolatile: {
            DbBulkWriteScope validationOff(kDbSwapNotify);
            ClearMessageRows(request == kClearChangeable);
            if (request == kClearChangeable) {
                bitmap_store::ClearBitmapFiles(db_, services_.driver, services_.media, 0);
            }
            break;
        }
        default:
            break;
    }
}

void CMemoryClear::FactoryReset() {
    if (services_.setFactoryDefaults != nullptr) {
        services_.setFactoryDefaults(1);
    }
    if (services_.setVolatileDefaults != nullptr) {
        services_.setVolatileDefaults();
    }
    RequestBlank(2, 2);
    if (services_.updateBrightness != nullptr) {
        services_.updateBrightness();
    }
    DbBulkWriteScope validationOff(kDbSwapNotify);
    bitmap_store::ClearBitmapFiles(db_, services_.driver, services_.media, 0);
}

void CMemoryClear::ClearMessageRows(bool changeable) {
    struct Columns {
        const DbObject &text, &owner, &crc, &beacon, &pixelService, &priority, &status;
    };
    static const Columns kNv{dbo::dmsMessageMultiString,  dbo::dmsMessageOwner,
                             dbo::dmsMessageCRC,          dbo::dmsMessageBeacon,
                             dbo::dmsMessagePixelService, dbo::dmsMessageRunTimePriority,
                             dbo::dmsMessageStatus};
    static const Columns kVolatile{
        dbo::dmsMessageMultiStringVolatile,  dbo::dmsMessageOwnerVolatile,
        dbo::dmsMessageCRCVolatile,          dbo::dmsMessageBeaconVolatile,
        dbo::dmsMessagePixelServiceVolatile, dbo::dmsMessageRunTimePriorityVolatile,
        dbo::dmsMessageStatusVolatile};
    const Columns& c = changeable ? kNv : kVolatile;
    const uint32_t rows = changeable ? bitmap_store::kChangeableEntries : c.status.rows;
    for (uint32_t row = 0; row < rows; ++row) {
        db_.SetText(c.text, "", 0, kDbNotify, row);
        db_.SetText(c.owner, "", 0, kDbNotify, row);
        db_.Set(c.crc, 0, kDbNotify, row);
        db_.Set(c.beacon, 0, kDbNotify, row);
        db_.Set(c.pixelService, 0, kDbNotify, row);
        db_.Set(c.priority, 1, kDbNotify, row);
        db_.Set(c.status, 1, kDbNotify, row);
    }
}

void CMemoryClear::ServeResetCommand() {
    const uint32_t kind = db_.Get(dbo::brenResetCommand);
    if (kind == kResetNone) {
        return;
    }
    if (kind > kResetMax || kind == 0) {
        db_.Set(dbo::brenResetCommand, kResetNone, kDbNotify);
        return;
    }
    const ResetKind& what = kResetKinds[kind];
    if (what.deleteJournal) {
        DeleteJournalFiles();
    }
    if (what.deleteConfigAndBitmaps) {
        mon_docommand("tfs rm CONFIG.XML", 0);
        mon_docommand("tfs rm *.bmp", 0);
    }
    if (services_.resetOptions != nullptr) {
        *services_.resetOptions =
            static_cast<uint8_t>(*services_.resetOptions & ~what.clearOptions);
    }
    if (what.scriptTrigger) {
        db_.Set(dbo::scriptFileTrigger, db_.Get(dbo::scriptFileTrigger) | kScriptTriggerBit,
                kDbNotify);
    }
    db_.Set(dbo::dmsSWReset, what.swReset, kDbNotify);
    if (what.backToNone) {
        db_.Set(dbo::brenResetCommand, kResetNone, kDbNotify);
    }
}

void CMemoryClear::DeleteJournalFiles() {
    for (const char* name : {"nv1.dat", "nv2.dat"}) {
        services_.driver->DeleteFile(services_.media, name);
    }
}

void CMemoryClear::RequestBlank(uint32_t sourceMode, uint32_t origin) {
    WriteBlankRequest(db_, sourceMode, origin);
}

void WriteBlankRequest(CDataBase& db, uint32_t sourceMode, uint32_t origin) {
    CMsgActivationCode code;
    code.duration = 65535;
    code.priority = 255;
    code.memoryType = 7;
    code.messageNumber = 1;
    code.crc = 0;
    for (uint8_t& octet : code.sourceAddress) {
        octet = 0;
    }
    code.Pack();
    WriteActivationRequest(db, CMemoryClear::kBlankSlot, sourceMode, origin, code);
}
