#pragma once
// External interrupts of the on-chip interrupt controller: the table of 32 handler objects, the
// one dispatcher and its counters. The six Ethernet-path sources are served by plain functions
// that the Ethernet layer installs; every other source by an Interrupt object registered for its
// bit.

#include <cstdint>

class Interrupt {
public:
    static constexpr unsigned kSources = 32;

    // The first construction in the system clears the table.
    Interrupt();
    Interrupt(const Interrupt&) = delete;
    Interrupt& operator=(const Interrupt&) = delete;
    virtual ~Interrupt() = default;

    // Runs in interrupt context with external interrupts masked; must not block.
    virtual void Handler() = 0;

    // Stores the handler at the lowest set bit of the mask (replacing an earlier one). A null
    // handler or an empty mask prints "registering isr:0x%08X failed\n" and stores nothing.
    static void Register(uint32_t mask, Interrupt* handler);
    // Clears the entry of the lowest set bit; an empty mask does nothing.
    static void Unregister(uint32_t mask);
};

extern Interrupt* g_IsrTable[Interrupt::kSources];

// Source bits of the controller's status word.
inline constexpr uint32_t kIrqMalSystemError = 0x200000;
inline constexpr uint32_t kIrqMalTxEndOfBuffer = 0x100000;
inline constexpr uint32_t kIrqMalRxEndOfBuffer = 0x80000;
inline constexpr uint32_t kIrqMalTxDescriptorError = 0x40000;
inline constexpr uint32_t kIrqMalRxDescriptorError = 0x20000;
inline constexpr uint32_t kIrqEmac = 0x10000;
inline constexpr uint32_t kIrqEthernetPath = 0x3F0000;
inline constexpr uint32_t kIrqSource2 = 0x2;
// Occurrences of source 0x2 after which it is disabled at the controller.
inline constexpr uint32_t kSource2Limit = 1000;

// Handlers of the Ethernet path, in dispatch order (a null entry is skipped, the source is still
// counted and acknowledged).
struct EthernetInterruptHandlers {
    void (*malSystemError)();
    void (*malTxEndOfBuffer)();
    void (*malRxEndOfBuffer)();
    void (*malTxDescriptorError)();
    void (*malRxDescriptorError)();
    void (*emac)();
};
void SetEthernetInterruptHandlers(const EthernetInterruptHandlers& handlers);

// Counters of the dispatcher.
extern volatile uint32_t g_InterruptCount;          // every source served
extern volatile uint32_t g_EthernetInterruptCount;  // Ethernet-path sources served
extern volatile uint8_t g_EthernetActivity;         // set by an Ethernet-path source
extern volatile uint32_t g_Source2Count;            // occurrences of source 0x2

// Serves every pending source until the controller's masked status reads 0. Called with
// external interrupts masked.
void DispatchExternalInterrupt();

// The kernel interrupt line of the controller's output.
inline constexpr unsigned kExternalInterruptLine = 0;
// Makes DispatchExternalInterrupt the handler of that line (before the kernel starts, or from
// start-up); false when the kernel refuses it.
bool InstallExternalInterruptVector();
void RemoveExternalInterruptVector();

// The table, the counters and the Ethernet handlers as at power-up (a new boot in the same
// process, tests).
void ResetInterruptState();
