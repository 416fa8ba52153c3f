#pragma once
// The controller's start-up: the static construction of the boot module's objects in their fixed
// order (System), `main`'s subscriptions, and the start-up hook `tx_application_define` with
// every step and its lines. Steps that belong to subsystems above the runtime are hooks
// (StartupHooks); a hook left empty skips its step, so the start-up runs with whatever
// subsystems exist.

#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>

#include "database/object_ids.h"
#include "platform/kernel/tx_api.h"
#include "runtime/standard_task.h"
#include "system/watchdog_task.h"

struct monCommand;

// Globals laid down or set by start-up.
extern TX_BYTE_POOL g_ThreadStackPool;      // "thread stacks", 0x30000 bytes
extern TX_BYTE_POOL g_DynamicDatabasePool;  // "dynamic database", 0x200000 bytes
extern TX_EVENT_FLAGS_GROUP g_DatabaseEvents;
extern uint8_t g_ProductBoardId;
extern uint8_t g_PowerUpKind;    // 0, 1 or 2 from the stored reset type
extern TX_MUTEX g_MonitorMutex;  // "MicromonitorMutex"
extern int g_Argc;
extern char** g_Argv;

inline constexpr ULONG kThreadStackPoolSize = 0x30000;
inline constexpr ULONG kDynamicDatabasePoolSize = 0x200000;
inline constexpr uint32_t kGpBufferSize = 0x301000;
inline constexpr uint32_t kNetworkAreaSize = 0x100000;

// Object store ids start-up reads and writes.
inline constexpr uint32_t kDmsSWReset = dbo::dmsSWReset.id;
inline constexpr uint32_t kWatchdogFailureCount = dbo::watchdogFailureCount.id;
inline constexpr uint32_t kControllerStatusFlags = dbo::controllerStatusFlags.id;

// Where the task objects and the steps of the other subsystems come from. Every member may be
// left empty: a missing task becomes a plain task of its TaskDefinition (it keeps the task
// contract: supervision, kicks, control letters), a missing step is skipped.
struct StartupHooks {
    using TaskFactory = std::function<std::unique_ptr<CStandardTask>(PostOffice&)>;

    // Static construction of the seven tasks (the watchdog task is the runtime's own).
    TaskFactory display, schedule, peripheral, monitor, database, comm;
    // Static objects of the other modules, run after the boot module's objects: peripheral
    // module (CAN driver, buses, registry), trap buffer and central address, serial drivers,
    // port-driver table, system drive and file-system driver.
    std::function<void()> constructModules;

    // Object store. get: the value; set: written with the notify flag.
    std::function<uint32_t(uint32_t id, uint32_t width, bool nv)> getInt;
    std::function<void(uint32_t id, uint32_t width, uint32_t value, bool nv)> setInt;

    // Steps of tx_application_define, in their order.
    std::function<void()> installModuleTable;                  // display module-type table
    std::function<void(uint8_t* area)> ethernetSetBufferArea;  // network memory area
    std::function<void(int (*)())> setWatchdogStateHook;       // system drive's hook
    std::function<bool()> mountSystemDrive;                    // "system drive"
    std::function<void()> openDisplayRegistry;                 // between database and display
    // Loads or builds the objects; negative: the board is restarting, the start-up stops.
    std::function<int()> databaseInit;
    std::function<void()> powerSupplyInit;
    std::function<void()> displayInit;
    std::function<void()> buildDisplayConfiguration;
    std::function<void(uint8_t** next)> initNtcipTransports;
    std::function<void()> eventLoggingUpdate;
    std::function<void()> processScriptFile;
    std::function<void()> markStartupComplete;  // the database's start-up-complete flag

    // The clock peripheral for the file system's time stamps: local time (false without a
    // valid clock) and its broken-down form.
    bool (*localTime)(uint32_t* seconds) = nullptr;
    bool (*dateTime)(uint32_t seconds, std::tm* out) = nullptr;

    // Monitor command table ("vms") and the monitor task's trace level (accepts 0 and 1).
    const monCommand* commandTable = nullptr;
    std::function<void(int level)> setTraceLevel;

    // Restart hooks of the watchdog task.
    WatchdogResetHooks resetHooks{};
};

// One boot of the controller: its constructor is the static construction of the boot module,
// Main is `main` up to entering the kernel, ApplicationDefine is the body of
// `tx_application_define`. One instance at a time; a board restart builds a new one.
class System {
public:
    explicit System(StartupHooks hooks);
    ~System();
    System(const System&) = delete;
    System& operator=(const System&) = delete;

    static System* Current();

    // Stores the arguments and starts the letter subscriptions in their order: communication,
    // display, schedule, peripheral, monitor, watchdog, database.
    void Main(int argc, char** argv);
    // The start-up hook. Returns early when a restart was requested on the way (stale boot
    // loader, flash to defragment).
    void ApplicationDefine(void* firstFree);
    // True when the start-up ended early for a restart.
    bool Restarting() const { return restarting_; }
    // True once every step ran ("Launching Thread(s)" printed).
    bool Launched() const { return launched_; }

    CStandardTask& Display() { return *display_; }
    CStandardTask& Schedule() { return *schedule_; }
    CStandardTask& Peripheral() { return *peripheral_; }
    CStandardTask& Monitor() { return *monitor_; }
    CWatchdogTask& Watchdog() { return *watchdog_; }
    CStandardTask& Database() { return *database_; }
    CStandardTask& Comm() { return *comm_; }
    const StartupHooks& Hooks() const { return hooks_; }

private:
    int InitializePlatformItems(uint8_t** next);

    StartupHooks hooks_;
    std::unique_ptr<CStandardTask> display_, schedule_, peripheral_, monitor_;
    std::unique_ptr<CWatchdogTask> watchdog_;
    std::unique_ptr<CStandardTask> database_, comm_;
    bool restarting_ = false;
    bool launched_ = false;
};

// Product board id: bits 9-12 of the 16-bit board register at 0xF0200004.
uint8_t ReadProductBoardId();
// Name of g_ProductBoardId.
const char* ProductBoardName();
const char* ProductBoardName(uint8_t id);

// From the stored dmsSWReset: g_PowerUpKind, the count of unrequested restarts; then clears it.
void RecordResetType();
// Prints its line; lays nothing down; 0.
int InitializeProductItems(uint8_t** next);

// The flash space check: true when the flash must be defragmented (little room left and much
// dead space, or too many removed-file headers).
bool FlashNeedsDefragment(long available, long dead, long deadRecords);

// Trace level from a console character: its hexadecimal value when 0-5, otherwise 0.
int TraceLevelFromChar(int character);

// The file system's time-stamp hooks (over the clock hooks of the running System).
unsigned long TfsTimeStamp();
char* TfsTimeText(unsigned long seconds, char* buffer, int size);

// The boot monitor's lock hooks: "MicromonitorMutex", taken only in thread context.
void MonitorLock();
void MonitorUnlock();

// Product hooks: 0 in this build.
int product_temp_threshold_a();
int product_temp_threshold_b();
int product_temp_threshold_a_alt();
int product_temp_threshold_b_alt();
int product_climate_override();
int product_temperature_hook();
int product_default_temperature();
int product_critical_temp_min();
int product_critical_temp_max();
