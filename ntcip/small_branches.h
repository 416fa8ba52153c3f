#pragma once
// Three small subtrees: the location scalars (ess), an agency's pixel-failure and legibility
// monitoring scalars (panynj) and another agency's output requests and status strings (nvdot),
// with the default setters of the objects behind them.

#include <cstdint>

#include "ntcip/mib_engine.h"

class CDataBase;

uintptr_t* var_essNtcipLocation(MibVariable* row, uint32_t* name, uint32_t* name_length, int mode,
                                uint32_t* value_length, snmp_pdu* pdu, int index);
uintptr_t* var_panynj(MibVariable* row, uint32_t* name, uint32_t* name_length, int mode,
                      uint32_t* value_length, snmp_pdu* pdu, int index);
uintptr_t* var_nvdot(MibVariable* row, uint32_t* name, uint32_t* name_length, int mode,
                     uint32_t* value_length, snmp_pdu* pdu, int index);

// Copies of the stored position, taken at every start.
void ess_volatile_defaults(CDataBase& db);
// The monitoring strings and the bad-community counter.
void SetMonitorVolatileDefaults(CDataBase& db);
void nvdot_factory_defaults(CDataBase& db, int mode);
void nvdot_volatile_defaults(CDataBase& db);
