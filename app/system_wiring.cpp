#include "app/system_wiring.h"

#include <memory>

#include "app/vms_peripherals.h"
#include "comm/comm_database.h"
#include "comm/comm_task.h"
#include "comm/comm_task_services_stand_in.h"
#include "comm/emac_driver.h"
#include "comm/ntcip_interface.h"
#include "comm/ntcip_transports.h"
#include "comm/telnet_server.h"
#include "database/data_base.h"
#include "database/database_task.h"
#include "database/factory_defaults.h"
#include "database/file_config.h"
#include "database/file_directory.h"
#include "database/file_manager.h"
#include "database/file_monrc.h"
#include "database/file_script.h"
#include "database/file_system_driver.h"
#include "database/global_database.h"
#include "database/kernel_pool_allocator.h"
#include "database/monitor_journal_services.h"
#include "database/object_ids.h"
#include "database/oid_access.h"
#include "database/rtos_notify_sink.h"
#include "display/core.h"
#include "display/display.h"
#include "display/memory_clear.h"
#include "display/module_type.h"
#include "display/q2_display_driver.h"
#include "ntcip/ledstar_objects.h"
#include "ntcip/mib_engine.h"
#include "ntcip/mib_oid_engine.h"
#include "ntcip/report_objects.h"
#include "ntcip/sign_control_objects.h"
#include "ntcip/small_branches.h"
#include "ntcip/snmp_agent.h"
#include "ntcip/snmp_process.h"
#include "peripherals/peripheral_task.h"
#include "render/font_import.h"
#include "render/sign_objects.h"
#include "runtime/post_office.h"
#include "schedule/schedule_task.h"
#include "system/monitor_task.h"
#include "system/startup.h"
#include "system/vms_command.h"
#include "system/watchdog_task.h"

// The database of one boot: g_DataBase built afresh (as at power-up), its journal and services,
// and the task that runs its start-up flow.
struct BootObjects {
    BootObjects() {
        std::destroy_at(&g_DataBase);
        std::construct_at(&g_DataBase);
        journal = std::make_unique<CFlashDatabase>(&g_DataBase, &services);
        g_DataBase.SetNotifySink(&sink);
        CFile_Config::AttachDatabase(&g_DataBase);
        CFile_Config::AttachPostOffice(&g_PostOffice);
        CFile_Config::AttachFiles(&g_SystemDrive, &g_FileSystem);
        g_ConfigDirty = 0;
    }
    ~BootObjects() {
        g_DataBase.SetNotifySink(nullptr);
        g_DataBase.SetJournal(nullptr);
        // The strings lived in the kernel's pool, which ended with the boot.
        g_DataBase.Pool().Abandon();
    }
    CDataBase& store = g_DataBase;
    MonitorJournalServices services;
    std::unique_ptr<CFlashDatabase> journal;
    RtosNotifySink sink{&g_PostOffice, &g_DatabaseEvents};
    CDatabaseTask* task = nullptr;
    CScheduleTask* schedule = nullptr;
    VmsPeripheralTask consolePeripherals;
    std::unique_ptr<CMemoryClear> memoryClear;
    CommTaskServicesStandIn commServices{&EthernetReset};
};

Wiring::Wiring() = default;
Wiring::~Wiring() = default;

namespace {

BootObjects* g_boot = nullptr;

uint32_t GetInt(uint32_t id, uint32_t width, bool nv) {
    return g_boot ? g_boot->store.GetInt(id, width, nv ? DbImage::kNv : DbImage::kVolatile) : 0;
}

void SetInt(uint32_t id, uint32_t width, uint32_t value, bool nv, bool notify) {
    if (g_boot) {
        g_boot->store.SetInt(id, width, value, nv ? DbImage::kNv : DbImage::kVolatile,
                             notify ? kDbNotify : 0);
    }
}

bool ClockLocalTime(uint32_t* seconds) {
    auto* clock =
        static_cast<CClock*>(CPeripheralTask::FindPeripheral(PeripheralTask(), CClock::kId));
    return clock != nullptr && clock->GetLocalTime(seconds);
}

bool ClockDateTime(uint32_t seconds, std::tm* out) {
    if (CPeripheralTask::FindPeripheral(PeripheralTask(), CClock::kId) == nullptr) {
        return false;
    }
    SecondsToDateTime(seconds, out);
    return true;
}

// The file peripherals the peripheral task keeps.
CPeripheral* MakeFilePeripheral(uint16_t id) {
    const ConfigPeripheralDescriptor descriptor{CPeripheralTask::kOwnSlot, id};
    switch (id) {
        case CFile_Config::kPeripheralId:
            return CFile_Config::Create(descriptor);
        case CFile_Directory::kPeripheralId:
            return CFile_Directory::Create(descriptor);
        case CFile_Monrc::kPeripheralId:
            return CFile_Monrc::Create(descriptor);
        case CFile_Script::kPeripheralId:
            return CFile_Script::Create(descriptor);
        case CFile_Manager::kPeripheralId:
            return CFile_Manager::Create(descriptor);
        default:
            return nullptr;
    }
}

// SCRIPT.XML at start-up, through the MIB (linked and locked here if the agent has not done
// it yet).
void ProcessScriptFile() {
    MibInit(nullptr);
    OidSetEngine(&MibOidEngine());
    CFile_Script::ProcessScriptFile(&g_SystemDrive, &g_FileSystem);
}

void WireDatabase(StartupHooks& h) {
    h.database = [](PostOffice& office) -> std::unique_ptr<CStandardTask> {
        auto task = std::make_unique<CDatabaseTask>(office, g_boot->store, *g_boot->journal,
                                                    g_boot->services);
        g_boot->task = task.get();
        return task;
    };
    h.databaseInit = [] {
        // The strings go to the kernel's "dynamic database" pool, so that its figures count
        // them; it is empty until now.
        g_boot->store.UseStringPool(std::make_unique<StringPool>(
            std::make_unique<KernelPoolAllocator>(&g_DynamicDatabasePool)));
        return g_boot->task->InitDatabase();
    };
    h.resetHooks.bootCounter = [](int stage) {
        if (g_boot != nullptr && g_boot->task != nullptr) {
            g_boot->task->StateMachine_BootCounter(stage);
        }
    };
    h.resetHooks.writeConfigFile = [] {
        CFile_Config::WriteConfigFile(&g_SystemDrive, &g_FileSystem);
    };
    g_boot->services.SetDefragRestart(&DefragReset);
    DefaultHooks defaults = db_default_hooks();
    defaults.defaultFonts = &db_load_default_fonts;
    defaults.fdotFactory = &fdot_factory_defaults;
    defaults.fdotVolatile = &fdot_volatile_defaults;
    defaults.nvdotFactory = &nvdot_factory_defaults;
    defaults.nvdotVolatile = &nvdot_volatile_defaults;
    defaults.monitorVolatile = &SetMonitorVolatileDefaults;
    defaults.essVolatile = &ess_volatile_defaults;
    defaults.ledstarVolatile = &ledstar_volatile_defaults;
    db_set_default_hooks(defaults);
}

// The peripheral task with its file peripheral "CONFIG FILE", which rewrites CONFIG.XML after a
// configuration change.
void WirePeripherals(StartupHooks& h) {
    h.peripheral = [](PostOffice& office) -> std::unique_ptr<CStandardTask> {
        CPeripheralTask::Objects objects;
        objects.get = &GetInt;
        objects.set = &SetInt;
        objects.getOctets = [](uint32_t id, uint8_t* out, uint32_t capacity) -> uint32_t {
            return g_boot ? g_boot->store.ReadString(id, DbImage::kVolatile, out, capacity) : 0;
        };
        objects.markConfigDirty = [] { g_ConfigDirty = 1; };
        objects.requestBrightnessUpdate = [] {
            if (g_Display != nullptr) {
                g_Display->RequestBrightnessUpdate();
            }
        };
        objects.writeMonrc = [] { CFile_Monrc::WriteMonrc(&g_SystemDrive, &g_FileSystem); };
        return std::make_unique<CPeripheralTask>(office, std::move(objects), &MakeFilePeripheral);
    };
    h.localTime = &ClockLocalTime;
    h.dateTime = &ClockDateTime;
    PeripheralSetDestroyHook([] { tx_event_flags_set(&g_DatabaseEvents, 0x40, TX_OR); });
}

// Memory clear and commanded resets, served by the display task (a stand-in until the display
// task serves its database events).
void WireMemoryClear(StartupHooks& h) {
    h.displayInit = [] {
        MemoryClearServices services;
        services.setFactoryDefaults = [](int mode) { g_boot->task->SetFactoryDefaults(mode); };
        services.setVolatileDefaults = [] { g_boot->task->SetVolatileDefaults(); };
        services.resetOptions = &g_ResetOptions;
        services.updateBrightness = [] {
            if (g_Display != nullptr) {
                g_Display->RequestBrightnessTableReload();
            }
        };
        g_boot->memoryClear = std::make_unique<CMemoryClear>(g_boot->store, services);
        g_boot->memoryClear->Create();
        g_MemoryClear = g_boot->memoryClear.get();
    };
}

// After a set of a message or graphic status, the agent runs the display's table passes.
void WireTablePasses() {
    snmp_process_hooks hooks = snmp_process_get_hooks();
    hooks.process_message_table = &display_process_message_table;
    hooks.process_graphic_table = &display_process_graphic_table;
    snmp_process_set_hooks(hooks);
}

// Face 0 and the sign driver from the stored geometry, as at power-up.
void BuildSignConfiguration() {
    g_EpldReady = 0;
    sign_objects::AttachDatabase(&g_DataBase);
    if (g_Display == nullptr) {
        return;
    }
    const uint32_t id = g_DataBase.Get(dbo::brenModuleID);
    g_Display->BuildDisplayConfiguration(uint16_t(g_DataBase.Get(dbo::vmsSignHeightPixels)),
                                         uint16_t(g_DataBase.Get(dbo::vmsSignWidthPixels)),
                                         FindModuleType(id).bits_per_pixel);
}

// A central system drives the sign: request processing activates a dmsActivateMessage set
// through the display task, and the memory-management object runs memory clear.
void WireSignControl() {
    snmp_process_hooks hooks = snmp_process_get_hooks();
    hooks.activate_requested_message = [] { return display_activate_requested_message() ? 1 : 0; };
    snmp_process_set_hooks(hooks);
    SignControlServices services;
    services.clear_memory = &display_clear_memory;
    sign_control_set_services(services);
}

// The console command reaches the tasks of this boot and its peripheral task.
void WireConsole() {
    VmsUseDefaultSystem();
    VmsSystem system = VmsGetSystem();
    system.peripherals = &g_boot->consolePeripherals;
    VmsSetSystem(system);
}

}  // namespace

std::unique_ptr<Wiring> MakeWiring() {
    auto wiring = std::make_unique<Wiring>();
    wiring->objects = std::make_unique<BootObjects>();
    BuildTransports();
    g_boot = wiring->objects.get();
    StartupHooks& h = wiring->hooks;

    h.getInt = [](uint32_t id, uint32_t width, bool nv) { return GetInt(id, width, nv); };
    h.setInt = [](uint32_t id, uint32_t width, uint32_t value, bool nv) {
        SetInt(id, width, value, nv, true);
    };
    h.openDisplayRegistry = [] { disp::g_DisplayCore.Open(); };
    h.display = [](PostOffice& office) -> std::unique_ptr<CStandardTask> {
        auto display = std::make_unique<CDisplay>(office, &g_DatabaseEvents);
        // The module walk switches the hardware watchdog off around itself.
        display->SetWatchdogControl(
            [] {
                if (CWatchdogTask* watchdog = WatchdogTask()) {
                    watchdog->DisableWatchdogTimer();
                }
            },
            [] {
                if (CWatchdogTask* watchdog = WatchdogTask()) {
                    watchdog->EnableWatchdogTimer();
                }
            });
        display->overheatPercent = [] {
            return PeripheralTask() != nullptr ? PeripheralTask()->overheatPercent : uint8_t(100);
        };
        display->setPmppAddressAll = &CNTCIP::SetPmppAddressAll;
        return display;
    };
    WireDatabase(h);
    WirePeripherals(h);
    WireMemoryClear(h);
    WireTablePasses();
    WireSignControl();
    h.comm = [](PostOffice& office) -> std::unique_ptr<CStandardTask> {
        return std::make_unique<comm_task>(office, &g_DatabaseEvents, &g_boot->commServices);
    };

    // The schedule task, which also runs event logging: once at start-up, then every cycle.
    h.schedule = [](PostOffice& office) -> std::unique_ptr<CStandardTask> {
        CScheduleTask::Services services;
        services.findClock = [] {
            return static_cast<CClock*>(
                CPeripheralTask::FindPeripheral(PeripheralTask(), CClock::kId));
        };
        services.powerUpKind = [] { return g_PowerUpKind; };
        auto task = std::make_unique<CScheduleTask>(office, &g_DatabaseEvents, std::move(services));
        g_boot->schedule = task.get();
        return task;
    };
    h.eventLoggingUpdate = [] {
        if (g_boot != nullptr && g_boot->schedule != nullptr) {
            g_boot->schedule->Logging().Update();
        }
    };

    h.monitor = [](PostOffice& office) -> std::unique_ptr<CStandardTask> {
        return std::make_unique<CMonitorTask>(office, g_boot->store, &g_ThreadStackPool);
    };
    h.commandTable = g_MonitorCommandTable;
    h.setTraceLevel = [](int level) { CMonitorTask::SetTraceLevel(level); };

    h.ethernetSetBufferArea = [](uint8_t* area) { EthernetSetBufferArea(area); };
    h.setWatchdogStateHook = [](int (*hook)()) { g_SystemDrive.watchdog_state = hook; };
    h.mountSystemDrive = [] {
        return g_FileSystem.Mount(&g_SystemDrive, "system drive") == FS_SUCCESS;
    };
    h.installModuleTable = &InstallModuleTypeTable;
    h.buildDisplayConfiguration = &BuildSignConfiguration;
    h.initNtcipTransports = [](uint8_t** next) {
        CommSetDatabase(&g_boot->store);
        InitNtcipTransports(next);
    };
    h.processScriptFile = &ProcessScriptFile;
    h.markStartupComplete = [] {
        if (g_boot) {
            g_boot->store.startupComplete = 1;
            WireConsole();
        }
    };
    return wiring;
}

void EndOfBoot() {
    VmsUseDefaultSystem();
    CTelnetServer::EndOfBoot();
    CommSetDatabase(nullptr);
    EndTransports();
    // The next boot opens the display registry afresh, as a board does at power-up.
    disp::g_DisplayCore.Close();
    g_FileSystem.Unmount(&g_SystemDrive);
    g_SystemDrive.watchdog_state = nullptr;
    g_boot = nullptr;
}
