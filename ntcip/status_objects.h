#pragma once
// Handlers of the illumination objects (brightness control, the brightness table and its check)
// and of the plain sign status: the status scalars, the MULTI field table, power and
// temperatures. Under the compatibility bit some levels are answered scaled; with bit 0x1000 a
// temperature exists only while a sensor peripheral for it is live.

#include "ntcip/mib_engine.h"

uintptr_t* var_illum(MibVariable* row, uint32_t* name, uint32_t* name_length, int mode,
                     uint32_t* value_length, snmp_pdu* pdu, int index);
uintptr_t* var_dmsStatus(MibVariable* row, uint32_t* name, uint32_t* name_length, int mode,
                         uint32_t* value_length, snmp_pdu* pdu, int index);
uintptr_t* var_statMultiFieldEntry(MibVariable* row, uint32_t* name, uint32_t* name_length,
                                   int mode, uint32_t* value_length, snmp_pdu* pdu, int index);
uintptr_t* var_statPower(MibVariable* row, uint32_t* name, uint32_t* name_length, int mode,
                         uint32_t* value_length, snmp_pdu* pdu, int index);
uintptr_t* var_statTemp(MibVariable* row, uint32_t* name, uint32_t* name_length, int mode,
                        uint32_t* value_length, snmp_pdu* pdu, int index);
