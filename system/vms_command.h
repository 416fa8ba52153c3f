#pragma once
// The boot-monitor command "vms" (also "VMS"): trace level, status summary and the debugging
// operations on peripherals, tasks, modem, network and flash. All output goes through DebugPrint.
//
// The command reaches the other subsystems through VmsSystem, which start-up fills in; a part
// left empty behaves as absent: no peripheral or modem is found, counters read 0, hooks do nothing.

#include <cstddef>
#include <cstdint>

#include "comm/arp_figures.h"
#include "comm/network_figures.h"
#include "platform/kernel/tx_api.h"
#include "platform/monitor/mon.h"

class CTaskBase;
class PostOffice;

struct VmsCanCounts {
    uint32_t rx = 0;
    uint32_t tx = 0;
    uint32_t err = 0;
};

// The peripheral task's side of the command.
class VmsPeripherals {
public:
    static constexpr uint32_t kModemClass = 32;
    static constexpr uint32_t kLastId = 0x35F;

    virtual ~VmsPeripherals() = default;
    virtual bool Exists(uint32_t id) = 0;
    virtual const char* TypeName(uint32_t id) = 0;
    virtual const char* StateText(uint32_t id) = 0;
    virtual uint32_t ClassOf(uint32_t id) = 0;
    virtual bool Enable(uint32_t id) = 0;
    virtual bool Disable(uint32_t id) = 0;
    // Sets the poll period; the old one in *old.
    virtual bool SetPollPeriod(uint32_t id, uint32_t period, uint32_t* old) = 0;
    virtual void PrintStatus(uint32_t id) = 0;
    virtual void ModemSend(uint32_t id, const char* text, int flag) = 0;
    virtual void ModemCommandMode(uint32_t id) = 0;
    // The front panel's busy state (peripheral 70's display) around the peripheral list.
    virtual void PanelBusy(bool busy) = 0;
    virtual void ResetSensorBus() = 0;
    // signBus: the sign's CAN driver, otherwise the control panel's.
    virtual bool CanCounts(bool signBus, VmsCanCounts* counts) = 0;
};

struct VmsSystem {
    PostOffice* office = nullptr;        // null: g_PostOffice
    const CTaskBase* monitor = nullptr;  // null: the monitor task instance
    const CTaskBase* display = nullptr;
    const CTaskBase* peripheral = nullptr;
    const CTaskBase* schedule = nullptr;
    const CTaskBase* comm = nullptr;
    uint32_t (*interruptCount)() = nullptr;
    uint32_t (*etherInterruptCount)() = nullptr;
    TX_BYTE_POOL* threadStacks = nullptr;
    TX_BYTE_POOL* dynamicDatabase = nullptr;
    VmsPeripherals* peripherals = nullptr;
    void (*watchdogTimer)(bool on) = nullptr;  // the hardware watchdog off / on again
    void (*defragReset)() = nullptr;
    void (*emacConfigure)() = nullptr;
    bool (*arpStats)(VmsArpStats* stats) = nullptr;
    // Fills at most `capacity` dynamic ARP entries; returns how many.
    size_t (*arpEntries)(VmsArpEntry* entries, size_t capacity) = nullptr;
    bool (*ipFigures)(VmsIpFigures* figures) = nullptr;
    // Fills at most `capacity` packet pools; returns how many.
    size_t (*poolFigures)(VmsPoolFigures* pools, size_t capacity) = nullptr;
};

// Until VmsSetSystem is called the command uses the runtime's own parts: the tasks of the
// running System, the interrupt counters, the "thread stacks" and "dynamic database" pools, the
// watchdog task's hardware watchdog switch and DefragReset (no peripheral side).
void VmsSetSystem(const VmsSystem& system);
void VmsUseDefaultSystem();
// The parts in use now.
VmsSystem VmsGetSystem();

// 0 done, -2 refused.
int vms_command(int argc, char* argv[]);

// Registered with mon_addcommand at start-up: "vms" and "VMS".
extern const monCommand g_MonitorCommandTable[];
extern const char* const g_VmsHelp[];
