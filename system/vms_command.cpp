#include "system/vms_command.h"

#include <cstdlib>
#include <cstring>
#include <ctime>

#include "comm/emac_driver.h"
#include "comm/network_standin.h"
#include "runtime/debug_print.h"
#include "runtime/interrupts.h"
#include "runtime/letter_id.h"
#include "runtime/os_wrappers.h"
#include "runtime/post_office.h"
#include "runtime/task_base.h"
#include "runtime/text_util.h"
#include "system/monitor_task.h"
#include "system/startup.h"
#include "system/watchdog_task.h"

const char* const g_VmsHelp[] = {
    "VMS Functions.",
    "-[s:d:t] operation [args]...",
    "-s status",
    "-d debug",
    "-t trace",
    "Operations:",
    " set {friendly MIB Name}, get {friendly MIB Name }, save, restore",
    nullptr};

const monCommand g_MonitorCommandTable[] = {
    {"vms", &vms_command, g_VmsHelp, 0},
    {"VMS", &vms_command, g_VmsHelp, 0},
    {nullptr, nullptr, nullptr, 0},
};

namespace {

constexpr int kRefused = -2;
constexpr const char* kDebugWord = "vms -d";

struct ThreadRow {
    const char* name;
    uint32_t stackReportId;
    uint32_t suspendId;
    uint32_t resumeId;
};
constexpr ThreadRow kThreads[] = {
    {"watchdog", 75, 73, 74}, {"display", 47, 45, 46},    {"schedule", 56, 54, 55},
    {"monitor", 40, 38, 39},  {"peripheral", 63, 61, 62}, {"comm", 100, 98, 99},
    {"database", 71, 69, 70},
};
constexpr const char* kEthernetOperations[] = {"tcp",   "udp",  "icmp", "pool",
                                               "reset", "dhcp", "arp"};

// The parts of this call (taken at each call: the defaults follow the running System).
VmsSystem g_system;
VmsSystem g_configured;
bool g_useDefaults = true;

VmsSystem DefaultSystem() {
    VmsSystem s;
    if (System* system = System::Current()) {
        s.display = &system->Display();
        s.peripheral = &system->Peripheral();
        s.schedule = &system->Schedule();
        s.comm = &system->Comm();
        s.monitor = &system->Monitor();
    }
    s.interruptCount = [] { return static_cast<uint32_t>(g_InterruptCount); };
    s.etherInterruptCount = [] { return static_cast<uint32_t>(g_EthernetInterruptCount); };
    s.threadStacks = &g_ThreadStackPool;
    s.dynamicDatabase = &g_DynamicDatabasePool;
    s.emacConfigure = &EmacConfigure;
    s.arpStats = &EthernetArpStats;
    s.arpEntries = &EthernetArpEntries;
    s.ipFigures = &EthernetIpFigures;
    s.poolFigures = &NetworkPoolFigures;
    s.watchdogTimer = [](bool on) {
        if (CWatchdogTask* watchdog = WatchdogTask()) {
            if (on) {
                watchdog->EnableWatchdogTimer();
            } else {
                watchdog->DisableWatchdogTimer();
            }
        }
    };
    s.defragReset = &DefragReset;
    return s;
}

PostOffice& Office() {
    return g_system.office != nullptr ? *g_system.office : g_PostOffice;
}

// Word i of the command, or "" when the line has fewer words: a missing word is just another word.
const char* Word(int argc, char* argv[], int i) {
    return i < argc && argv[i] != nullptr ? argv[i] : "";
}

bool Is(const char* word, const char* expected) {
    return std::strcmp(word, expected) == 0;
}

uint32_t Hex(const char* word) {
    return HexStringToUint(word);
}

uint32_t Runs(const CTaskBase* task) {
    return task != nullptr ? task->runs : 0;
}

void PrintStatus() {
    const CTaskBase* monitor = g_system.monitor;
    if (monitor == nullptr) {
        monitor = CMonitorTask::Instance();
    }
    std::tm uptime{};
    if (monitor != nullptr) {
        monitor->GetUptime(&uptime);
    }
    DebugPrint("-Uptime(y/d/h/m/s) = %d/%d/%02d/%02d/%02d\n", uptime.tm_year, uptime.tm_yday,
               uptime.tm_hour, uptime.tm_min, uptime.tm_sec);
    DebugPrint("-Display:%d, Peripheral:%d, Schedule:%d, Comm:%d\n",
               static_cast<int>(Runs(g_system.display)),
               static_cast<int>(Runs(g_system.peripheral)),
               static_cast<int>(Runs(g_system.schedule)), static_cast<int>(Runs(g_system.comm)));
    DebugPrint("\t Display Timer Reschedule Events:%d\n",
               g_system.display != nullptr ? g_system.display->rescheduleCount : 0);
    DebugPrint("-Interrupts RX:%d, Ether:%d\n",
               static_cast<int>(g_system.interruptCount ? g_system.interruptCount() : 0),
               static_cast<int>(g_system.etherInterruptCount ? g_system.etherInterruptCount() : 0));
    ULONG size = 0;
    ULONG available = 0;
    ULONG fragments = 0;
    if (g_system.threadStacks != nullptr &&
        os_byte_pool_info(g_system.threadStacks, nullptr, &size, &available, &fragments) ==
            OS_SUCCESS) {
        DebugPrint("-byte_pool_0 usage:0x%X of 0x%X\n", static_cast<unsigned>(size - available),
                   static_cast<unsigned>(size));
    }
    if (g_system.dynamicDatabase != nullptr &&
        os_byte_pool_info(g_system.dynamicDatabase, nullptr, &size, &available, &fragments) ==
            OS_SUCCESS) {
        DebugPrint("-dyn db usage:0x%X of 0x%X\n", static_cast<unsigned>(size - available),
                   static_cast<unsigned>(size));
    }
    VmsCanCounts sign;
    VmsCanCounts panel;
    if (g_system.peripherals != nullptr) {
        g_system.peripherals->CanCounts(true, &sign);
        g_system.peripherals->CanCounts(false, &panel);
    }
    DebugPrint("-Q2 CAN\tRX:%d\tTX:%d\tErr:%d\n", static_cast<int>(sign.rx),
               static_cast<int>(sign.tx), static_cast<int>(sign.err));
    DebugPrint("-LTP CAN\tRX:%d\tTX:%d\tErr:%d\n", static_cast<int>(panel.rx),
               static_cast<int>(panel.tx), static_cast<int>(panel.err));
}

int Trace(const char* word) {
    if (*word == '\0') {
        return kRefused;
    }
    const auto level = static_cast<uint32_t>(std::strtoul(word, nullptr, 10) & 0xFF);
    if (!CMonitorTask::SetTraceLevel(level)) {
        return kRefused;
    }
    DebugPrint("new level:%d\n", static_cast<int>(CMonitorTask::TraceLevel()));
    return 0;
}

void PrintDebugUsage() {
    DebugPrint("%s\n", "commands");
    DebugPrint("%s spi\n", kDebugWord);
    DebugPrint("%s module X\t\t(X=face number)\n", kDebugWord);
    DebugPrint("%s modem X\t\t(X=id)\n", kDebugWord);
    DebugPrint("%s thread\n", kDebugWord);
    DebugPrint("%s %s\n", kDebugWord, "peripheral");
    DebugPrint("%s defrag\n", kDebugWord);
    DebugPrint("%s %s\n", kDebugWord, "ethernet");
}

int Modem(const char* idWord, const char* command) {
    VmsPeripherals* peripherals = g_system.peripherals;
    const uint32_t id = Hex(idWord);
    if (*idWord == '\0' || peripherals == nullptr || !peripherals->Exists(id)) {
        DebugPrint("%s modem X AT    (X=id)\n", kDebugWord);
        DebugPrint("%s modem X +++   (X=id)\n", kDebugWord);
        return 0;
    }
    if (peripherals->ClassOf(id) != VmsPeripherals::kModemClass) {
        return 0;
    }
    if (std::strncmp(command, "AT", 2) == 0) {
        DebugPrint("send %s to %s\n", command, peripherals->TypeName(id));
        peripherals->ModemSend(id, command, 1);
        return 0;
    }
    if (Is(command, "+++")) {
        DebugPrint("try enter cmd mode\n");
        peripherals->ModemCommandMode(id);
        return 0;
    }
    return kRefused;
}

int Thread(const char* action, const char* name) {
    const bool stack = StrCaseCmp(action, "stack") == 0;
    const bool suspend = StrCaseCmp(action, "suspend") == 0;
    if (!stack && !suspend) {
        DebugPrint("%s thread stack X    (X=name)\n", kDebugWord);
        DebugPrint("%s thread suspend X  (X=name)\n", kDebugWord);
        return 0;
    }
    for (const ThreadRow& row : kThreads) {
        if (StrCaseCmp(name, row.name) == 0) {
            Office().PostLetter(stack ? row.stackReportId : row.suspendId);
            break;
        }
    }
    return 0;
}

void PeripheralList() {
    VmsPeripherals* peripherals = g_system.peripherals;
    if (peripherals != nullptr) {
        peripherals->PanelBusy(true);
    }
    if (g_system.watchdogTimer != nullptr) {
        g_system.watchdogTimer(false);
    }
    DebugPrint("%ss:\n", "peripheral");
    if (peripherals != nullptr) {
        for (uint32_t id = 0; id <= VmsPeripherals::kLastId; ++id) {
            if (peripherals->Exists(id)) {
                DebugPrint("-%s(0x%04X) state=%s \n", peripherals->TypeName(id),
                           static_cast<unsigned>(id), peripherals->StateText(id));
            }
        }
    }
    if (g_system.watchdogTimer != nullptr) {
        g_system.watchdogTimer(true);
    }
    if (peripherals != nullptr) {
        peripherals->PanelBusy(false);
    }
    DebugPrint("%s\n", "commands");
    DebugPrint("%s %s enable X   (X=id)\n", kDebugWord, "peripheral");
    DebugPrint("%s %s disable X  (X=id)\n", kDebugWord, "peripheral");
    DebugPrint("%s %s freq X Y   (X=id,Y=new freq)\n", kDebugWord, "peripheral");
    DebugPrint("%s %s stat X     (X=id)\n", kDebugWord, "peripheral");
}

int Peripheral(int argc, char* argv[]) {
    const char* operation = Word(argc, argv, 3);
    const char* idWord = Word(argc, argv, 4);
    VmsPeripherals* peripherals = g_system.peripherals;
    const uint32_t id = Hex(idWord);
    // An operation on a peripheral needs its id; without one it fails like an unknown id.
    const bool known = *idWord != '\0' && peripherals != nullptr && peripherals->Exists(id);
    if (Is(operation, "enable") || Is(operation, "disable")) {
        const bool enable = Is(operation, "enable");
        if (!known || !(enable ? peripherals->Enable(id) : peripherals->Disable(id))) {
            return kRefused;
        }
        DebugPrint(enable ? "Enabled:%s\n" : "Disabled:%s\n", peripherals->TypeName(id));
        return 0;
    }
    if (Is(operation, "freq")) {
        const char* periodWord = Word(argc, argv, 5);
        uint32_t old = 0;
        const uint32_t period = Hex(periodWord);
        if (!known || *periodWord == '\0' || !peripherals->SetPollPeriod(id, period, &old)) {
            return kRefused;
        }
        DebugPrint("%s old:%d, new:%d\n", peripherals->TypeName(id), static_cast<int>(old),
                   static_cast<int>(period));
        return 0;
    }
    if (Is(operation, "stat")) {
        if (known) {
            peripherals->PrintStatus(id);
        }
        return 0;
    }
    PeripheralList();
    return 0;
}

int Ethernet(int argc, char* argv[]) {
    const char* operation = Word(argc, argv, 3);
    const char* argument = Word(argc, argv, 4);
    if (Is(operation, "tcp") || Is(operation, "udp") || Is(operation, "icmp")) {
        VmsIpFigures f;
        if (g_system.ipFigures != nullptr) {
            g_system.ipFigures(&f);
        }
        if (Is(operation, "tcp")) {
            DebugPrint(" connections:%d\n disconnections:%d\n bytes sent:%d\n bytes received:%d\n",
                       static_cast<int>(f.tcpConnections), static_cast<int>(f.tcpDisconnections),
                       static_cast<int>(f.tcpBytesSent), static_cast<int>(f.tcpBytesReceived));
        } else if (Is(operation, "udp")) {
            DebugPrint(" datagrams sent:%d\n datagrams received:%d\n datagrams dropped:%d\n",
                       static_cast<int>(f.udpDatagramsSent),
                       static_cast<int>(f.udpDatagramsReceived),
                       static_cast<int>(f.udpDatagramsDropped));
        } else {
            DebugPrint(" echo answered:%s\n echo requests dropped:%d\n",
                       f.icmpEnabled ? "yes" : "no", static_cast<int>(f.icmpDropped));
        }
        return 0;
    }
    if (Is(operation, "pool")) {
        VmsPoolFigures pools[2];
        const size_t count = g_system.poolFigures != nullptr ? g_system.poolFigures(pools, 2) : 0;
        for (size_t i = 0; i < count && i < 2; ++i) {
            const VmsPoolFigures& p = pools[i];
            DebugPrint(" %s total:%d free:%d empty requests:%d invalid releases:%d\n", p.name,
                       static_cast<int>(p.total), static_cast<int>(p.free),
                       static_cast<int>(p.emptyRequests), static_cast<int>(p.invalidReleases));
        }
        return 0;
    }
    if (Is(operation, "reset")) {
        if (g_system.emacConfigure != nullptr) {
            g_system.emacConfigure();
        }
        return 0;
    }
    if (Is(operation, "dhcp")) {
        if (Is(argument, "renew")) {
            Office().PostLetter(kLetterDhcpRenew);
        } else {
            DebugPrint("%s dhcp renew\n", kDebugWord);
        }
        return 0;
    }
    if (Is(operation, "arp")) {
        if (Is(argument, "stat")) {
            VmsArpStats s;
            if (g_system.arpStats != nullptr) {
                g_system.arpStats(&s);
            }
            DebugPrint(
                " requests sent:%d\n requests received:%d\n responses sent:%d\n responses "
                "received:%d\n",
                static_cast<int>(s.requestsSent), static_cast<int>(s.requestsReceived),
                static_cast<int>(s.responsesSent), static_cast<int>(s.responsesReceived));
            DebugPrint(
                " dynamic entries:%d\n static entries:%d\n aged entries:%d\n dropped "
                "msg:%d\n",
                static_cast<int>(s.dynamicEntries), static_cast<int>(s.staticEntries),
                static_cast<int>(s.agedEntries), static_cast<int>(s.droppedMessages));
        } else if (Is(argument, "list")) {
            DebugPrint("Dynamic ARP Table:\n");
            VmsArpEntry entries[32];
            size_t count = g_system.arpEntries != nullptr ? g_system.arpEntries(entries, 32) : 0;
            if (count > 32) {
                count = 32;
            }
            for (size_t i = 0; i < count; ++i) {
                const uint32_t a = entries[i].address;
                const uint8_t* h = entries[i].hardware;
                DebugPrint(" %d.%d.%d.%d =", static_cast<int>(a >> 24),
                           static_cast<int>((a >> 16) & 0xFF), static_cast<int>((a >> 8) & 0xFF),
                           static_cast<int>(a & 0xFF));
                DebugPrint(" %X-%X-%X-%X-%X-%X\n", h[0], h[1], h[2], h[3], h[4], h[5]);
            }
        } else {
            DebugPrint("%s %s arp list\n", kDebugWord, "ethernet");
            DebugPrint("%s %s arp stat\n", kDebugWord, "ethernet");
        }
        return 0;
    }
    for (const char* name : kEthernetOperations) {
        DebugPrint("%s %s %s\n", kDebugWord, "ethernet", name);
    }
    return 0;
}

int Debug(int argc, char* argv[]) {
    const char* operation = Word(argc, argv, 2);
    if (Is(operation, "spi")) {
        DebugPrint("reset spi\n");
        if (g_system.peripherals != nullptr) {
            g_system.peripherals->ResetSensorBus();
        }
        return 0;
    }
    if (Is(operation, "prog")) {
        Office().PostLetter(kLetterProgram);
        return 0;
    }
    if (Is(operation, "module") && *Word(argc, argv, 3) != '\0') {
        letter_s letter(kLetterModuleWork);
        letter.word = 1;
        letter.param1 = (Hex(Word(argc, argv, 3)) & 0xFF) << 24;
        Office().Broadcast(letter);
        return 0;
    }
    if (Is(operation, "modem")) {
        return Modem(Word(argc, argv, 3), Word(argc, argv, 4));
    }
    if (Is(operation, "thread")) {
        return Thread(Word(argc, argv, 3), Word(argc, argv, 4));
    }
    if (Is(operation, "peripheral")) {
        return Peripheral(argc, argv);
    }
    if (Is(operation, "defrag")) {
        if (g_system.defragReset != nullptr) {
            g_system.defragReset();
        }
        return 0;
    }
    if (Is(operation, "ethernet")) {
        return Ethernet(argc, argv);
    }
    PrintDebugUsage();
    return 0;
}

}  // namespace

void VmsSetSystem(const VmsSystem& system) {
    g_configured = system;
    g_useDefaults = false;
}

void VmsUseDefaultSystem() {
    g_configured = VmsSystem{};
    g_useDefaults = true;
}

VmsSystem VmsGetSystem() {
    return g_useDefaults ? DefaultSystem() : g_configured;
}

int vms_command(int argc, char* argv[]) {
    g_system = VmsGetSystem();
    if (argc <= 1 || argv == nullptr) {
        DebugPrint("\n");
        return 0;
    }
    const char* first = Word(argc, argv, 1);
    if (Is(first, "trace") || Is(first, "-t")) {
        return Trace(Word(argc, argv, 2));
    }
    if (Is(first, "-s")) {
        PrintStatus();
        return 0;
    }
    if (Is(first, "-d")) {
        return Debug(argc, argv);
    }
    return kRefused;
}
