#include "system/startup.h"

#include <cstdio>
#include <cstring>
#include <memory>

#include "platform/monitor/mon.h"
#include "platform/sim/hw.h"
#include "runtime/debug_print.h"
#include "runtime/gp_buffer.h"
#include "runtime/job_queue.h"
#include "runtime/post_office.h"
#include "runtime/task_table.h"
#include "runtime/timer_scheduler.h"
#include "system/boot_loader_check.h"

TX_BYTE_POOL g_ThreadStackPool;
TX_BYTE_POOL g_DynamicDatabasePool;
TX_EVENT_FLAGS_GROUP g_DatabaseEvents;
uint8_t g_ProductBoardId = 0;
uint8_t g_PowerUpKind = 0;
TX_MUTEX g_MonitorMutex;
int g_Argc = 0;
char** g_Argv = nullptr;

namespace {

System* g_system = nullptr;
bool g_monitorMutexReady = false;

constexpr uint32_t kBoardIdRegister = 0xF0200004;
constexpr uint32_t kMonitorEntryAddress = 0xFFFFFFF4;
constexpr int kTracePolls = 100;
// Flash space check.
constexpr long kEnoughAvailable = 2000000;
constexpr long kTooMuchDead = 500000;
constexpr long kTooManyDeadRecords = 1000;

constexpr const char* kBoardNames[7] = {
    "SFC Product Board I",
    "SFC Product Board II",
    "SFC CAN Product Board",
    "RB Product Board",
    "SFC Product Board II with Datakey",
    "RE Product Board with MM Fiber",
    "RE Product Board with SM Fiber",
};

// Start-up result of InitializePlatformItems when a restart ended it.
constexpr int kPlatformRestarting = 2;

std::unique_ptr<CStandardTask> MakeTask(const StartupHooks::TaskFactory& factory,
                                        const TaskDefinition& definition) {
    if (factory) {
        if (std::unique_ptr<CStandardTask> task = factory(g_PostOffice)) {
            return task;
        }
    }
    return std::make_unique<CStandardTask>(g_PostOffice, definition);
}

// Runs a constructor again in place: the boot module's globals are built afresh at every boot,
// as on the board after a reset.
template <typename T>
void Rebuild(T& object) {
    std::destroy_at(&object);
    std::construct_at(&object);
}

}  // namespace

System::System(StartupHooks hooks) : hooks_(std::move(hooks)) {
    g_system = this;
    g_monitorMutexReady = false;
    Rebuild(g_PostOffice);
    display_ = MakeTask(hooks_.display, kDisplayTaskDefinition);
    schedule_ = MakeTask(hooks_.schedule, kScheduleTaskDefinition);
    peripheral_ = MakeTask(hooks_.peripheral, kPeripheralTaskDefinition);
    monitor_ = MakeTask(hooks_.monitor, kMonitorTaskDefinition);
    watchdog_ = std::make_unique<CWatchdogTask>(g_PostOffice);
    database_ = MakeTask(hooks_.database, kDatabaseTaskDefinition);
    comm_ = MakeTask(hooks_.comm, kCommunicationTaskDefinition);
    Rebuild(g_JobQueue);
    Rebuild(g_GpBuffer);
    g_ResetOptions = 0x04;
    SetWatchdogResetHooks(hooks_.resetHooks);
    if (hooks_.constructModules) {
        hooks_.constructModules();
    }
}

System::~System() {
    // Tasks go in the reverse order of their construction.
    comm_.reset();
    database_.reset();
    watchdog_.reset();
    monitor_.reset();
    peripheral_.reset();
    schedule_.reset();
    display_.reset();
    SetWatchdogResetHooks({});
    if (g_system == this) {
        g_system = nullptr;
    }
    g_monitorMutexReady = false;
}

System* System::Current() {
    return g_system;
}

void System::Main(int argc, char** argv) {
    g_Argc = argc;
    g_Argv = argv;
    for (CStandardTask* task :
         {comm_.get(), display_.get(), schedule_.get(), peripheral_.get(), monitor_.get(),
          static_cast<CStandardTask*>(watchdog_.get()), database_.get()}) {
        task->Start();
    }
}

void System::ApplicationDefine(void* firstFree) {
    auto* next = static_cast<uint8_t*>(firstFree);
    DebugPrint("Booting %s ver %s.%s.%s.%s%s built %s at %s....\n", "PX40317", "1", "9", "4588",
               "53", "", "Dec  4 2018", "15:57:36");
    if (tx_byte_pool_create(&g_ThreadStackPool, "thread stacks", next, kThreadStackPoolSize) !=
        TX_SUCCESS) {
        DebugPrint(" - tx_byte_pool_create: thread_stacks\t\t\t[FAIL]\n");
    }
    next += kThreadStackPoolSize;
    if (tx_byte_pool_create(&g_DynamicDatabasePool, "dynamic database", next,
                            kDynamicDatabasePoolSize) != TX_SUCCESS) {
        DebugPrint(" - tx_byte_pool_create: dynamic_database\t\t[FAIL]\n");
    }
    next += kDynamicDatabasePoolSize;
    if (tx_event_flags_create(&g_DatabaseEvents, "database") != TX_SUCCESS) {
        DebugPrint(" - tx_event_flags_create: database\t\t\t[FAIL]\n");
    }
    g_TimerScheduler = timer_scheduler_tx_rtos::Instance();
    g_ProductBoardId = ReadProductBoardId();
    DebugPrint(" - Detecting Hardware\t\t\t\t\t%s\n\t%s\n", "[ OK ]", ProductBoardName());
    if (hooks_.installModuleTable) {
        hooks_.installModuleTable();
    }
    if (InitializePlatformItems(&next) == kPlatformRestarting) {
        restarting_ = true;
        return;
    }
    g_JobQueue.Start();

    watchdog_->Create(&g_ThreadStackPool);
    database_->Create(&g_ThreadStackPool);
    if (hooks_.openDisplayRegistry) {
        hooks_.openDisplayRegistry();
    }
    for (CStandardTask* task :
         {display_.get(), schedule_.get(), peripheral_.get(), monitor_.get(), comm_.get()}) {
        task->Create(&g_ThreadStackPool);
    }

    if (hooks_.databaseInit && hooks_.databaseInit() < 0) {
        // The board is restarting (to reclaim flash): nothing may run on a missing journal.
        restarting_ = true;
        return;
    }
    if (hooks_.powerSupplyInit) {
        hooks_.powerSupplyInit();
    }
    if (hooks_.displayInit) {
        hooks_.displayInit();
    }
    if (hooks_.buildDisplayConfiguration) {
        hooks_.buildDisplayConfiguration();
    }
    if (hooks_.initNtcipTransports) {
        hooks_.initNtcipTransports(&next);
    }
    if (hooks_.eventLoggingUpdate) {
        hooks_.eventLoggingUpdate();
    }
    InitializeProductItems(&next);
    if (hooks_.processScriptFile) {
        hooks_.processScriptFile();
    }
    RecordResetType();
    if (hooks_.getInt && hooks_.setInt) {
        const uint32_t flags = hooks_.getInt(kControllerStatusFlags, 4, false);
        hooks_.setInt(kControllerStatusFlags, 4, flags | 0x1, false);
    }
    if (hooks_.markStartupComplete) {
        hooks_.markStartupComplete();
    }
    std::tm now{};
    if (mon_get_time(&now) != 0) {
        now = std::tm{};
    }
    DebugPrint("Launching Thread(s) at %d %d %d %d:%d:%d GMT, Please Wait...\n", now.tm_mday,
               now.tm_mon + 1, now.tm_year + 1900, now.tm_hour, now.tm_min, now.tm_sec);
    launched_ = true;
}

int System::InitializePlatformItems(uint8_t** next) {
    const uint32_t entry = hw::Read32(kMonitorEntryAddress);
    monConnect(entry, nullptr, nullptr);
    if (hooks_.commandTable != nullptr) {
        mon_addcommand(hooks_.commandTable, nullptr);
    }
    mon_wdt_control(0);
    mon_tfsctrl(TFS_TIMEFUNCS, reinterpret_cast<long>(&TfsTimeStamp),
                reinterpret_cast<long>(&TfsTimeText));

    int level = 0;
    for (int poll = 0; poll < kTracePolls; ++poll) {
        if (mon_gotachar() != 0) {
            level = TraceLevelFromChar(mon_getchar());
            break;
        }
    }
    if (hooks_.setTraceLevel) {
        hooks_.setTraceLevel(level);
    } else if (level == 0 || level == 1) {
        DebugSetTraceLevel(unsigned(level));
    }

    if (tx_mutex_create(&g_MonitorMutex, "MicromonitorMutex", TX_INHERIT) != TX_SUCCESS) {
        DebugPrint(" - tx_mutex_create: micromonitor\t\t\t[FAIL]\n");
    } else {
        g_monitorMutexReady = true;
    }
    monConnect(entry, &MonitorLock, &MonitorUnlock);

    if (CheckBootloaderCurrent() != 0) {
        return kPlatformRestarting;
    }
    DebugPrint(" - Initialize Q3 Platform Specific Items\t\t");
    g_GpBuffer.Create(next, kGpBufferSize);
    // The network memory area (Ethernet descriptors and buffers, the DHCP work area, the packet
    // pool). The board has it at a fixed address; here it is carved at next, so that what is laid
    // down later cannot overlap it.
    std::memset(*next, 0, kNetworkAreaSize);
    if (hooks_.ethernetSetBufferArea) {
        hooks_.ethernetSetBufferArea(*next);
    }
    *next += kNetworkAreaSize;
    if (hooks_.setWatchdogStateHook) {
        hooks_.setWatchdogStateHook(&IsWatchdogEnabled);
    }

    const long available = mon_tfsctrl(TFS_AVAILABLE, 0, 0);
    const long dead = mon_tfsctrl(TFS_DEADSPACE, 0, 0);
    const long deadRecords = mon_tfsctrl(TFS_DEVSTATE, reinterpret_cast<long>("//SF/"), 0);
    if (FlashNeedsDefragment(available, dead, deadRecords)) {
        DebugPrint("[FAIL]\n");
        DebugPrint("\t need to restart to defragment the flash drive\n");
        DefragReset();
        return kPlatformRestarting;
    }
    if (hooks_.mountSystemDrive && hooks_.mountSystemDrive()) {
        DebugPrint("[ OK ]\n");
        return 0;
    }
    DebugPrint("[FAIL]\n");
    return 1;
}

bool FlashNeedsDefragment(long available, long dead, long deadRecords) {
    return (available < kEnoughAvailable && dead > kTooMuchDead) ||
           deadRecords > kTooManyDeadRecords;
}

uint8_t ReadProductBoardId() {
    return uint8_t((hw::Read16(kBoardIdRegister) >> 9) & 0xF);
}

const char* ProductBoardName(uint8_t id) {
    return id < 7 ? kBoardNames[id] : "Unknown Product Board";
}

const char* ProductBoardName() {
    return ProductBoardName(g_ProductBoardId);
}

void RecordResetType() {
    System* system = System::Current();
    if (system == nullptr || !system->Hooks().getInt || !system->Hooks().setInt) {
        g_PowerUpKind = 1;
        return;
    }
    const StartupHooks& hooks = system->Hooks();
    switch (hooks.getInt(kDmsSWReset, 1, true)) {
        case 3:
            g_PowerUpKind = 0;
            break;
        case 2:
            g_PowerUpKind = 2;
            break;
        case 0:
            hooks.setInt(kWatchdogFailureCount, 4, hooks.getInt(kWatchdogFailureCount, 4, true) + 1,
                         true);
            g_PowerUpKind = 1;
            break;
        default:
            g_PowerUpKind = 1;
            break;
    }
    hooks.setInt(kDmsSWReset, 1, 0, true);
}

int InitializeProductItems(uint8_t**) {
    DebugPrint(" - Initialize RD Product Specific Items\t\t");
    DebugPrint("[ OK ]\n");
    return 0;
}

int TraceLevelFromChar(int character) {
    int value = -1;
    if (character >= '0' && character <= '9') {
        value = character - '0';
    } else if (character >= 'a' && character <= 'f') {
        value = character - 'a' + 10;
    } else if (character >= 'A' && character <= 'F') {
        value = character - 'A' + 10;
    }
    return value < 0 || value > 5 ? 0 : value;
}

unsigned long TfsTimeStamp() {
    static uint32_t seconds = 0;
    System* system = System::Current();
    if (system != nullptr && system->Hooks().localTime != nullptr) {
        uint32_t now = 0;
        if (system->Hooks().localTime(&now)) {
            seconds = now;
        }
    }
    return seconds;
}

char* TfsTimeText(unsigned long seconds, char* buffer, int size) {
    if (buffer == nullptr || size <= 0) {
        return buffer;  // no room, not even for the empty string
    }
    buffer[0] = '\0';
    if (size < 18 || seconds == 0xFFFFFFFFul) {
        return buffer;
    }
    System* system = System::Current();
    std::tm t{};
    if (system != nullptr && system->Hooks().dateTime != nullptr &&
        system->Hooks().dateTime(uint32_t(seconds), &t)) {
        std::snprintf(buffer, size_t(size), "%02d/%02d/%04d %02d:%02d\n", t.tm_mon + 1, t.tm_mday,
                      t.tm_year + 1900, t.tm_hour, t.tm_min);
    }
    return buffer;
}

void MonitorLock() {
    // Start-up, timer and interrupt context never wait: the dispatcher reads the interrupt
    // controller through the monitor with interrupts masked.
    if (g_monitorMutexReady && tx_thread_identify() != nullptr) {
        tx_mutex_get(&g_MonitorMutex, TX_WAIT_FOREVER);
    }
}

void MonitorUnlock() {
    if (g_monitorMutexReady && tx_thread_identify() != nullptr) {
        tx_mutex_put(&g_MonitorMutex);
    }
}

int product_temp_threshold_a() {
    return 0;
}
int product_temp_threshold_b() {
    return 0;
}
int product_temp_threshold_a_alt() {
    return 0;
}
int product_temp_threshold_b_alt() {
    return 0;
}
int product_climate_override() {
    return 0;
}
int product_temperature_hook() {
    return 0;
}
int product_default_temperature() {
    return 0;
}
int product_critical_temp_min() {
    return 0;
}
int product_critical_temp_max() {
    return 0;
}

VOID tx_application_define(VOID* first_unused_memory) {
    if (System* system = System::Current()) {
        system->ApplicationDefine(first_unused_memory);
    }
}
