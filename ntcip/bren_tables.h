#pragma once
// Handlers of the private branch's display test mode, pixel failure colour bits, peripheral
// list, trap options, communication ports, message list, lit-pixel limit and module lines.

#include "ntcip/mib_engine.h"

uintptr_t* var_brenDisplayTestMode(MibVariable* row, uint32_t* name, uint32_t* name_length,
                                   int mode, uint32_t* value_length, snmp_pdu* pdu, int index);
uintptr_t* var_brenPixelFailureColorEntry(MibVariable* row, uint32_t* name, uint32_t* name_length,
                                          int mode, uint32_t* value_length, snmp_pdu* pdu,
                                          int index);
uintptr_t* var_brenPeripheralList(MibVariable* row, uint32_t* name, uint32_t* name_length, int mode,
                                  uint32_t* value_length, snmp_pdu* pdu, int index);
uintptr_t* var_brenPeripheralEntry(MibVariable* row, uint32_t* name, uint32_t* name_length,
                                   int mode, uint32_t* value_length, snmp_pdu* pdu, int index);
uintptr_t* var_brenTraps(MibVariable* row, uint32_t* name, uint32_t* name_length, int mode,
                         uint32_t* value_length, snmp_pdu* pdu, int index);
uintptr_t* var_brenMessageList(MibVariable* row, uint32_t* name, uint32_t* name_length, int mode,
                               uint32_t* value_length, snmp_pdu* pdu, int index);
uintptr_t* var_brenMessageListEntry(MibVariable* row, uint32_t* name, uint32_t* name_length,
                                    int mode, uint32_t* value_length, snmp_pdu* pdu, int index);
uintptr_t* var_brenPorts(MibVariable* row, uint32_t* name, uint32_t* name_length, int mode,
                         uint32_t* value_length, snmp_pdu* pdu, int index);
uintptr_t* var_brenPortEntry(MibVariable* row, uint32_t* name, uint32_t* name_length, int mode,
                             uint32_t* value_length, snmp_pdu* pdu, int index);
uintptr_t* var_brenLitPixelLimit(MibVariable* row, uint32_t* name, uint32_t* name_length, int mode,
                                 uint32_t* value_length, snmp_pdu* pdu, int index);
uintptr_t* var_brenLitPixelEntry(MibVariable* row, uint32_t* name, uint32_t* name_length, int mode,
                                 uint32_t* value_length, snmp_pdu* pdu, int index);
uintptr_t* var_brenModuleLines(MibVariable* row, uint32_t* name, uint32_t* name_length, int mode,
                               uint32_t* value_length, snmp_pdu* pdu, int index);
uintptr_t* var_brenLineLengthEntry(MibVariable* row, uint32_t* name, uint32_t* name_length,
                                   int mode, uint32_t* value_length, snmp_pdu* pdu, int index);
