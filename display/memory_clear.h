#pragma once
// Memory clear and commanded resets: one run serves the memory-management request
// (dmsMemoryMgmt: factory reset, clear of the changeable or of the volatile messages) and the
// reset command (brenResetCommand: discard the journal, CONFIG.XML or the bitmaps, then ask for a
// restart through dmsSWReset). Each request is read once and set back to its rest value; one
// lock ("Memory Clear") keeps two runs (agent thread, display thread) from overlapping.
//
//   CMemoryClear clear(g_DataBase, services);
//   clear.Create();                   // the lock, at start-up
//   clear.ClearMemory();              // on database event 0x200 and each dmsMemoryMgmt access

#include <cstdint>

#include "database/data_base.h"
#include "database/file_system_driver.h"
#include "platform/kernel/tx_api.h"

// What a clear needs of the rest of the controller.
struct MemoryClearServices {
    FsMedia* media = &g_SystemDrive;
    CFileSystem_Driver* driver = &g_FileSystem;
    // The database task's default runs (mode 1: commanded factory reset).
    void (*setFactoryDefaults)(int mode) = nullptr;
    void (*setVolatileDefaults)() = nullptr;
    // The display task's brightness update after the defaults; may be null.
    void (*updateBrightness)() = nullptr;
    // The watchdog's reset options (bit 0x4: write CONFIG.XML before a controlled reset); may
    // be null.
    uint8_t* resetOptions = nullptr;
};

class CMemoryClear {
public:
    // dmsMemoryMgmt values.
    static constexpr uint32_t kFactoryReset = 1;
    static constexpr uint32_t kNormal = 2;
    static constexpr uint32_t kClearChangeable = 3;
    static constexpr uint32_t kClearVolatile = 4;
    // The activation slot the blank request goes to.
    static constexpr uint32_t kBlankSlot = 6;

    CMemoryClear(CDataBase& db, const MemoryClearServices& services)
        : db_(db), services_(services) {}
    ~CMemoryClear();
    CMemoryClear(const CMemoryClear&) = delete;
    CMemoryClear& operator=(const CMemoryClear&) = delete;

    // Creates the lock; false when the kernel refused it.
    bool Create();
    // Serves both requests (memory management first, then the reset command).
    void ClearMemory();
    // Writes a blank-message activation request into slot 6 (notified).
    void RequestBlank(uint32_t sourceMode, uint32_t origin);

private:
    void ServeMemoryManagement();
    void ServeResetCommand();
    void FactoryReset();
    void ClearMessageRows(bool changeable);
    void DeleteJournalFiles();

    CDataBase& db_;
    MemoryClearServices services_;
    TX_MUTEX lock_{};
    bool created_ = false;
};

// Writes a blank-message activation request (blank message 1, priority 255, duration 65535)
// with its source mode and origin into activation slot 6 (notified).
void WriteBlankRequest(CDataBase& db, uint32_t sourceMode, uint32_t origin);

// The controller's memory clear (null when none is wired).
extern CMemoryClear* g_MemoryClear;

// CDisplay::ClearMemory on the controller's memory clear: the dmsMemoryMgmt handler calls it
// on every access of that object.
void display_clear_memory();
