#pragma once
// Register access of the on-chip devices: device registers through the board layer, device-
// control registers, and the machine state register's external-interrupt enable.

#include <cstdint>

// Device register load / store, each followed by a storage synchronisation.
uint32_t sync_read32(uint32_t address);
void sync_write32(uint32_t address, uint32_t value);

// Machine state register bits.
constexpr uint32_t kMsrExternalEnable = 0x8000;  // EE
constexpr uint32_t kMsrDataTranslation = 0x10;   // DR (always off on this board)

uint32_t read_msr();
// Masks the machine state register with the given value and returns the old value; clearing
// kMsrExternalEnable masks external interrupts.
uint32_t msr_mask(uint32_t mask);
// Writes back a value returned by msr_mask.
void msr_restore(uint32_t saved);

// Device-control register numbers.
namespace dcr {
// Universal interrupt controller.
constexpr uint32_t kUicStatus = 0xC0;
constexpr uint32_t kUicEnable = 0xC2;
constexpr uint32_t kUicCritical = 0xC3;
constexpr uint32_t kUicPolarity = 0xC4;
constexpr uint32_t kUicTrigger = 0xC5;
constexpr uint32_t kUicMaskedStatus = 0xC6;
constexpr uint32_t kUicVector = 0xC7;
constexpr uint32_t kUicVectorConfig = 0xC8;
// Memory-access layer of the Ethernet path.
constexpr uint32_t kMalConfig = 0x180;
constexpr uint32_t kMalErrorStatus = 0x181;
constexpr uint32_t kMalInterruptEnable = 0x182;
constexpr uint32_t kMalTxChannelActiveSet = 0x184;
constexpr uint32_t kMalTxChannelActiveReset = 0x185;
constexpr uint32_t kMalTxEndOfBuffer = 0x186;
constexpr uint32_t kMalTxDescriptorError = 0x187;
constexpr uint32_t kMalRxChannelActiveSet = 0x190;
constexpr uint32_t kMalRxChannelActiveReset = 0x191;
constexpr uint32_t kMalRxEndOfBuffer = 0x192;
constexpr uint32_t kMalRxDescriptorError = 0x193;
constexpr uint32_t kMalTxDescriptorTable0 = 0x1A0;
constexpr uint32_t kMalRxDescriptorTable0 = 0x1C0;
constexpr uint32_t kMalRxBufferSize0 = 0x1E0;
// Chip control registers (Ethernet clocking and pin setup).
constexpr uint32_t kChipControl0 = 0xB1;
constexpr uint32_t kChipControl1 = 0xB2;
}  // namespace dcr

// One-line accessors of the interrupt controller (device-control register numbers are passed
// to the board layer as they are).
uint32_t uic_read_status();
void uic_write_status(uint32_t value);
uint32_t uic_read_enable();
void uic_write_enable(uint32_t value);
uint32_t uic_read_critical();
void uic_write_critical(uint32_t value);
uint32_t uic_read_polarity();
void uic_write_polarity(uint32_t value);
uint32_t uic_read_trigger();
void uic_write_trigger(uint32_t value);
uint32_t uic_read_masked_status();
uint32_t uic_read_vector_config();
void uic_write_vector_config(uint32_t value);

// Memory-access layer and chip control: any register by number.
uint32_t mal_read(uint32_t reg);
void mal_write(uint32_t reg, uint32_t value);
uint32_t chip_control_read(uint32_t reg);
void chip_control_write(uint32_t reg, uint32_t value);
