#include "app/system_wiring.h"

#include "comm/comm_task.h"
#include "database/data_base.h"
#include "database/file_system_driver.h"
#if DMS_HAVE_PERIPHERALS
#include "peripherals/peripheral_task.h"
#endif

// Until the database task lands: an object store of this boot, volatile only (no journal).
struct BootObjects {
    CDataBase store;
};

Wiring::Wiring() = default;
Wiring::~Wiring() = default;

namespace {

CDataBase* g_store = nullptr;

uint32_t GetInt(uint32_t id, uint32_t width, bool nv) {
    return g_store ? g_store->GetInt(id, width, nv ? DbImage::kNv : DbImage::kVolatile) : 0;
}

void SetInt(uint32_t id, uint32_t width, uint32_t value, bool nv, bool notify) {
    if (g_store) {
        g_store->SetInt(id, width, value, nv ? DbImage::kNv : DbImage::kVolatile,
                        notify ? kDbNotify : 0);
    }
}

#if DMS_HAVE_PERIPHERALS
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
#endif

}  // namespace

std::unique_ptr<Wiring> MakeWiring() {
    auto wiring = std::make_unique<Wiring>();
    wiring->objects = std::make_unique<BootObjects>();
    g_store = &wiring->objects->store;
    StartupHooks& h = wiring->hooks;

    h.getInt = [](uint32_t id, uint32_t width, bool nv) { return GetInt(id, width, nv); };
    h.setInt = [](uint32_t id, uint32_t width, uint32_t value, bool nv) {
        SetInt(id, width, value, nv, true);
    };

#if DMS_HAVE_PERIPHERALS
    h.peripheral = [](PostOffice& office) -> std::unique_ptr<CStandardTask> {
        CPeripheralTask::Objects objects;
        objects.get = &GetInt;
        objects.set = &SetInt;
        objects.getOctets = [](uint32_t id, uint8_t* out, uint32_t capacity) -> uint32_t {
            return g_store ? g_store->ReadString(id, DbImage::kVolatile, out, capacity) : 0;
        };
        return std::make_unique<CPeripheralTask>(office, std::move(objects));
    };
    h.localTime = &ClockLocalTime;
    h.dateTime = &ClockDateTime;
#endif
    h.comm = [](PostOffice& office) -> std::unique_ptr<CStandardTask> {
        comm_task::Objects objects;
        objects.get = &GetInt;
        objects.set = [](uint32_t id, uint32_t width, uint32_t value, bool nv) {
            SetInt(id, width, value, nv, true);
        };
        return std::make_unique<comm_task>(office, &g_DatabaseEvents, std::move(objects));
    };

    h.ethernetSetBufferArea = [](uint8_t* area) { EthernetSetBufferArea(area); };
    h.setWatchdogStateHook = [](int (*hook)()) { g_SystemDrive.watchdog_state = hook; };
    h.mountSystemDrive = [] {
        return g_FileSystem.Mount(&g_SystemDrive, "system drive") == FS_SUCCESS;
    };
    h.initNtcipTransports = [](uint8_t** next) { InitNtcipTransports(next); };
    h.markStartupComplete = [] {
        if (g_store) {
            g_store->startupComplete = 1;
        }
    };
    return wiring;
}

void EndOfBoot() {
    g_FileSystem.Unmount(&g_SystemDrive);
    g_SystemDrive.watchdog_state = nullptr;
    g_store = nullptr;
}
