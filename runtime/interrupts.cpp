#include "runtime/interrupts.h"

#include <bit>

#include "platform/kernel/kernel.h"
#include "platform/monitor/mon.h"
#include "runtime/debug_print.h"
#include "runtime/register_access.h"

Interrupt* g_IsrTable[Interrupt::kSources];
volatile uint32_t g_InterruptCount = 0;
volatile uint32_t g_EthernetInterruptCount = 0;
volatile uint8_t g_EthernetActivity = 0;
volatile uint32_t g_Source2Count = 0;

namespace {

bool g_tableCleared = false;
EthernetInterruptHandlers g_ethernet = {};

void ClearTable() {
    for (Interrupt*& entry : g_IsrTable) {
        entry = nullptr;
    }
}

int LowestBit(uint32_t mask) {
    return mask == 0 ? -1 : std::countr_zero(mask);
}

void Dispatch(std::uintptr_t) {
    DispatchExternalInterrupt();
}

}  // namespace

Interrupt::Interrupt() {
    if (!g_tableCleared) {
        g_tableCleared = true;
        ClearTable();
    }
}

void Interrupt::Register(uint32_t mask, Interrupt* handler) {
    const int bit = LowestBit(mask);
    if (handler == nullptr || bit < 0) {
        DebugPrint("registering isr:0x%08X failed\n", mask);
        return;
    }
    g_IsrTable[bit] = handler;
}

void Interrupt::Unregister(uint32_t mask) {
    const int bit = LowestBit(mask);
    if (bit >= 0) {
        g_IsrTable[bit] = nullptr;
    }
}

void SetEthernetInterruptHandlers(const EthernetInterruptHandlers& handlers) {
    g_ethernet = handlers;
}

void DispatchExternalInterrupt() {
    struct EthernetSource {
        uint32_t bit;
        void (*EthernetInterruptHandlers::*handler)();
    };
    static constexpr EthernetSource kEthernet[] = {
        {kIrqMalSystemError, &EthernetInterruptHandlers::malSystemError},
        {kIrqMalTxEndOfBuffer, &EthernetInterruptHandlers::malTxEndOfBuffer},
        {kIrqMalRxEndOfBuffer, &EthernetInterruptHandlers::malRxEndOfBuffer},
        {kIrqMalTxDescriptorError, &EthernetInterruptHandlers::malTxDescriptorError},
        {kIrqMalRxDescriptorError, &EthernetInterruptHandlers::malRxDescriptorError},
        {kIrqEmac, &EthernetInterruptHandlers::emac},
    };
    for (;;) {
        uint32_t pending = mon_dcr_read(dcr::kUicMaskedStatus);
        if (pending == 0) {
            return;
        }
        for (const EthernetSource& source : kEthernet) {
            if ((pending & source.bit) == 0) {
                continue;
            }
            pending &= ~source.bit;
            g_InterruptCount = g_InterruptCount + 1;
            g_EthernetInterruptCount = g_EthernetInterruptCount + 1;
            g_EthernetActivity = 1;
            if (void (*fn)() = g_ethernet.*source.handler) {
                fn();
            }
        }
        uic_write_status(kIrqEthernetPath);
        if ((pending & kIrqSource2) != 0) {
            g_Source2Count = g_Source2Count + 1;
            if (g_Source2Count >= kSource2Limit) {
                uic_write_enable(uic_read_enable() & ~kIrqSource2);
            }
            mon_dcr_write(dcr::kUicStatus, kIrqSource2);
        }
        for (unsigned bit = 0; bit < Interrupt::kSources; ++bit) {
            const uint32_t value = 1u << bit;
            if ((pending & value) == 0) {
                continue;
            }
            g_InterruptCount = g_InterruptCount + 1;
            if (Interrupt* handler = g_IsrTable[bit]) {
                handler->Handler();
            }
            uic_write_status(value);
        }
    }
}

bool InstallExternalInterruptVector() {
    return kernel::RegisterInterrupt(kExternalInterruptLine, &Dispatch, 0);
}

void RemoveExternalInterruptVector() {
    kernel::UnregisterInterrupt(kExternalInterruptLine);
}

void ResetInterruptState() {
    ClearTable();
    g_tableCleared = true;
    g_InterruptCount = 0;
    g_EthernetInterruptCount = 0;
    g_EthernetActivity = 0;
    g_Source2Count = 0;
    g_ethernet = {};
}
