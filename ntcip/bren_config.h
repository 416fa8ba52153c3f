#pragma once
// Handler of the private branch's configuration scalars: plain settings, the access mode of the
// conditional rows, activation of a stored message by number, serial numbers and flash figures.

#include <cstdint>

#include "ntcip/mib_engine.h"

uintptr_t* var_brenConfig(MibVariable* row, uint32_t* name, uint32_t* name_length, int mode,
                          uint32_t* value_length, snmp_pdu* pdu, int index);

// Percentage of the flash file system's space held dead: 0 when there is no space at all.
uint32_t FlashDeadSpacePercent(uint64_t dead, uint64_t available);

// Memory type and message number of an activation number: below 0x1000 the type is in bits
// 8-11, above it in bits 16-23 with the number in bits 0-15.
void SplitActivationNumber(uint32_t value, uint8_t* memory_type, uint16_t* number);
