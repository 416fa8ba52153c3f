#pragma once
// MIB-II groups served from the object store: system (1.3.6.1.2.1.1) and snmp
// (1.3.6.1.2.1.11).

#include "ntcip/mib_engine.h"

uintptr_t* var_system(MibVariable* row, uint32_t* name, uint32_t* name_length, int mode,
                      uint32_t* value_length, snmp_pdu* pdu, int index);
uintptr_t* var_snmp(MibVariable* row, uint32_t* name, uint32_t* name_length, int mode,
                    uint32_t* value_length, snmp_pdu* pdu, int index);
