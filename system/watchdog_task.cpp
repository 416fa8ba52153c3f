#include "system/watchdog_task.h"

#include "platform/monitor/mon.h"
#include "platform/sim/hw.h"
#include "platform/sim/nvram.h"
#include "runtime/debug_print.h"
#include "runtime/letter_id.h"
#include "runtime/task_table.h"

uint8_t g_ResetOptions = 0x04;

namespace {

CWatchdogTask* g_instance = nullptr;
WatchdogResetHooks g_hooks = {};

constexpr const char* kSlotNames[CWatchdogTask::kSlots] = {
    "Display", "Schedule", "Monitor", "Peripheral", "Database", "Communication"};

enum Slot { kDisplay = 0, kSchedule = 1, kMonitor = 2, kPeripheral = 3, kDatabase = 4, kComm = 5 };

struct SlotLetters {
    uint32_t start;
    uint32_t kick;
    uint32_t stop;
    int slot;
};
constexpr SlotLetters kSlotLetters[] = {
    {kLetterDisplaySupervisionStart, kLetterDisplayKick, kLetterDisplaySupervisionStop, kDisplay},
    {kLetterScheduleSupervisionStart, kLetterScheduleKick, kLetterScheduleSupervisionStop,
     kSchedule},
    {kLetterMonitorSupervisionStart, kLetterMonitorKick, kLetterMonitorSupervisionStop, kMonitor},
    {kLetterPeripheralSupervisionStart, kLetterPeripheralKick, kLetterPeripheralSupervisionStop,
     kPeripheral},
    {kLetterCommSupervisionStart, kLetterCommKick, kLetterCommSupervisionStop, kComm},
};

// Priority 0 and the hardware watchdog on: on the board the thread then spins until it bites.
void PrepareHardReset() {
    if (TX_THREAD* self = tx_thread_identify()) {
        UINT old = 0;
        tx_thread_priority_change(self, 0, &old);
    }
    mon_wdt_control(1);
}

}  // namespace

CWatchdogTask* WatchdogTask() {
    return g_instance;
}

void SetWatchdogResetHooks(const WatchdogResetHooks& hooks) {
    g_hooks = hooks;
}

CWatchdogTask::CWatchdogTask(PostOffice& office) : CStandardTask(office, kWatchdogTaskDefinition) {
    g_instance = this;
}

CWatchdogTask::~CWatchdogTask() {
    Subscriber().Stop();
    if (g_instance == this) {
        g_instance = nullptr;
    }
}

const char* CWatchdogTask::SlotName(int slot) {
    return slot >= 0 && slot < kSlots ? kSlotNames[slot] : "";
}

void CWatchdogTask::Init() {
    enabled = 1;
    mon_wdt_kick();
    mon_wdt_control(1);
    mon_wdt_kick();
    mutexCreated_ = tx_mutex_create(&mutex, "wdt", TX_NO_INHERIT) == TX_SUCCESS;
    if (!mutexCreated_) {
        DebugPrint("mutex_create failed wdt\n");
    }
    semaphoreCreated_ = tx_semaphore_create(&nesting, "wdt", kNesting) == TX_SUCCESS;
    if (!semaphoreCreated_) {
        DebugPrint("semaphore_create failed wdt\n");
    }
}

void CWatchdogTask::DisableWatchdogTimer() {
    if (!mutexCreated_ || tx_mutex_get(&mutex, TX_WAIT_FOREVER) != TX_SUCCESS) {
        return;
    }
    if (semaphoreCreated_ && tx_semaphore_get(&nesting, TX_WAIT_FOREVER) == TX_SUCCESS) {
        DebugPrintLevel1("Disabling Watchdog Timer\n");
        mon_wdt_control(0);
        enabled = 0;
    }
    tx_mutex_put(&mutex);
}

void CWatchdogTask::EnableWatchdogTimer() {
    if (!mutexCreated_ || tx_mutex_get(&mutex, TX_WAIT_FOREVER) != TX_SUCCESS) {
        return;
    }
    ULONG count = kNesting;
    // An enable without its disable would lift the count above the top, after which no
    // enable ever meets it again: ignore it.
    if (semaphoreCreated_ &&
        tx_semaphore_info_get(&nesting, nullptr, &count, nullptr, nullptr, nullptr) == TX_SUCCESS &&
        count < kNesting && tx_semaphore_put(&nesting) == TX_SUCCESS && count + 1 == kNesting) {
        DebugPrintLevel1("Enabling Watchdog Timer\n");
        mon_wdt_kick();
        mon_wdt_control(1);
        mon_wdt_kick();
        enabled = 1;
    }
    tx_mutex_put(&mutex);
}

void CWatchdogTask::KickWatchdogTimer() {
    mon_wdt_kick();
}

void CWatchdogTask::OnSuspend() {
    DisableWatchdogTimer();
}

void CWatchdogTask::OnResume() {
    EnableWatchdogTimer();
}

void CWatchdogTask::OnLetter(letter_s& letter) {
    const uint32_t id = letter.id;
    for (const SlotLetters& s : kSlotLetters) {
        if (id == s.start) {
            reload[s.slot] = kReload;
            counter[s.slot] = kReload;
            return;
        }
        if (id == s.kick) {
            counter[s.slot] = reload[s.slot];
            return;
        }
        if (id == s.stop) {
            reload[s.slot] = 0;
            return;
        }
    }
    switch (id) {
        case kLetterWatchdogStatusRequest: {
            letter_s reply(kLetterWatchdogStatusReply);
            reply.param1 = reload[kComm] != 0 ? 1 : 0;
            Office().Reply(letter, reply);
            break;
        }
        case kLetterSystemRestart:
            resetState = kRequested;
            resetReason = kRestart;
            break;
        case kLetterShutdownReset:
            resetState = kRequested;
            resetReason = kShutdown;
            break;
        case kLetterPowerLoss:
            resetState = kRequested;
            resetReason = kPowerLoss;
            break;
        case kLetterDefragRestart:
            resetState = kRequested;
            resetReason = kDefrag;
            break;
        case kLetterWatchdogOff:
            DisableWatchdogTimer();
            break;
        case kLetterWatchdogOn:
            EnableWatchdogTimer();
            break;
        default:
            break;
    }
}

void CWatchdogTask::Work() {
    CountDown();
    ResetSequence();
}

void CWatchdogTask::CountDown() {
    Post(kLetterWatchdogCountDown);
    if (!mutexCreated_ || tx_mutex_get(&mutex, TX_WAIT_FOREVER) != TX_SUCCESS) {
        return;
    }
    if (enabled != 0) {
        bool failed = false;
        for (int slot = 0; slot < kSlots; ++slot) {
            if (reload[slot] == 0) {
                continue;
            }
            if (counter[slot] != 0) {
                --counter[slot];
            } else {
                DebugPrint("wdt failure %s\n", kSlotNames[slot]);
                failed = true;
            }
        }
        if (!failed) {
            mon_wdt_kick();
        }
    }
    tx_mutex_put(&mutex);
}

void CWatchdogTask::ResetSequence() {
    switch (resetState) {
        case kRequested:
            for (uint32_t id :
                 {kLetterDisplayTerminate, kLetterMonitorTerminate, kLetterScheduleTerminate,
                  kLetterDatabaseTerminate, kLetterPeripheralTerminate, kLetterWatchdogTerminate,
                  kLetterCommTerminate}) {
                Post(id);
            }
            resetState = kWaiting;
            break;
        case kWaiting: {
            int supervised = 0;
            for (int slot : {kDisplay, kPeripheral, kSchedule, kDatabase, kMonitor, kComm}) {
                if (reload[slot] != 0) {
                    ++supervised;
                }
            }
            if (supervised == 0) {
                resetState = kResetting;
            } else if (waitBudget-- == 0) {
                resetState = kResetting;
            }
            break;
        }
        case kResetting:
            DisableWatchdogTimer();
            if ((g_ResetOptions & 0x04) != 0 && g_hooks.writeConfigFile != nullptr) {
                g_hooks.writeConfigFile();
            }
            if (resetReason == kRestart || resetReason == kDefrag) {
                DebugPrint("Please Stand by for System Reset...\n");
            }
            tx_thread_sleep(50);
            EnableWatchdogTimer();
            for (;;) {
                SystemReset();
                // Still running: the restart failed; try again a little later.
                if (tx_thread_identify() == nullptr || tx_thread_sleep(100) != TX_SUCCESS) {
                    return;
                }
            }
        default:
            break;
    }
}

int IsWatchdogEnabled() {
    return g_instance != nullptr && g_instance->enabled != 0 ? 1 : 0;
}

void SystemReset() {
    DebugPrintLevel1("Reset\n");
    if (g_hooks.bootCounter != nullptr) {
        g_hooks.bootCounter(1);
    }
    mon_service(MON_SERVICE_SYNC, 0, 18);
    PrepareHardReset();
    // The board spins here until the hardware watchdog bites; the monitor's restart ends the
    // boot the same way without the wait.
    mon_restart(0);
}

void EthernetReset() {
    DebugPrintLevel1("Ethernet Reset\n");
    if (g_hooks.bootCounter != nullptr) {
        g_hooks.bootCounter(1);
    }
    PrepareHardReset();
    // The spin of the board: at priority 0 nothing services the hardware watchdog. Holding the
    // "wdt" mutex keeps the watchdog task's count-down from servicing it while this thread
    // waits for the bite.
    CWatchdogTask* task = g_instance;
    const bool held = task != nullptr && tx_mutex_get(&task->mutex, TX_NO_WAIT) == TX_SUCCESS;
    tx_thread_sleep(1000);
    if (held) {
        tx_mutex_put(&task->mutex);
    }
    DebugPrint("Ethernet Reset Failed\n");
}

void DefragReset() {
    DebugPrintLevel1("Defrag Reset\n");
    hw::Write8(sim::kBootFlagReg, uint8_t(hw::Read8(sim::kBootFlagReg) | 0x01));
    tx_thread_sleep(10);
    mon_restart(0);
}
