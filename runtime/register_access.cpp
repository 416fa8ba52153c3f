#include "runtime/register_access.h"

#include "platform/kernel/tx_api.h"
#include "platform/sim/hw.h"

namespace {
// The board's "sync": no access is moved across it. The device models behind hw:: are reached
// from one firmware thread at a time, so keeping the compiler's order is all it takes.
inline void Sync() {
    asm volatile("" ::: "memory");
}
}  // namespace

uint32_t sync_read32(uint32_t address) {
    const uint32_t value = hw::Read32(address);
    Sync();
    return value;
}

void sync_write32(uint32_t address, uint32_t value) {
    hw::Write32(address, value);
    Sync();
}

namespace {
uint32_t MsrOf(UINT posture) {
    return posture == TX_INT_ENABLE ? kMsrExternalEnable : 0;
}
}  // namespace

uint32_t read_msr() {
    const UINT posture = tx_interrupt_control(TX_INT_DISABLE);
    tx_interrupt_control(posture);
    return MsrOf(posture);
}

uint32_t msr_mask(uint32_t mask) {
    const UINT posture = tx_interrupt_control(TX_INT_DISABLE);
    const uint32_t old = MsrOf(posture);
    if ((old & mask & kMsrExternalEnable) != 0) {
        tx_interrupt_control(TX_INT_ENABLE);
    }
    return old;
}

void msr_restore(uint32_t saved) {
    tx_interrupt_control((saved & kMsrExternalEnable) != 0 ? TX_INT_ENABLE : TX_INT_DISABLE);
}

uint32_t uic_read_status() {
    return dcr_read(dcr::kUicStatus);
}
void uic_write_status(uint32_t value) {
    dcr_write(dcr::kUicStatus, value);
}
uint32_t uic_read_enable() {
    return dcr_read(dcr::kUicEnable);
}
void uic_write_enable(uint32_t value) {
    dcr_write(dcr::kUicEnable, value);
}
uint32_t uic_read_critical() {
    return dcr_read(dcr::kUicCritical);
}
void uic_write_critical(uint32_t value) {
    dcr_write(dcr::kUicCritical, value);
}
uint32_t uic_read_polarity() {
    return dcr_read(dcr::kUicPolarity);
}
void uic_write_polarity(uint32_t value) {
    dcr_write(dcr::kUicPolarity, value);
}
uint32_t uic_read_trigger() {
    return dcr_read(dcr::kUicTrigger);
}
void uic_write_trigger(uint32_t value) {
    dcr_write(dcr::kUicTrigger, value);
}
uint32_t uic_read_masked_status() {
    return dcr_read(dcr::kUicMaskedStatus);
}
uint32_t uic_read_vector_config() {
    return dcr_read(dcr::kUicVectorConfig);
}
void uic_write_vector_config(uint32_t value) {
    dcr_write(dcr::kUicVectorConfig, value);
}

uint32_t mal_read(uint32_t reg) {
    return dcr_read(reg);
}
void mal_write(uint32_t reg, uint32_t value) {
    dcr_write(reg, value);
}
uint32_t chip_control_read(uint32_t reg) {
    return dcr_read(reg);
}
void chip_control_write(uint32_t reg, uint32_t value) {
    dcr_write(reg, value);
}
