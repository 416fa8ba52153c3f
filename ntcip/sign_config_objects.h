#pragma once
// Handlers of the sign's configuration scalars: the physical sign (dmsSignCfg) and its pixel
// matrix (vmsCfg). The writable objects are write-enabled rows: open while messageStoreSplit
// is 2.

#include <cstdint>

#include "ntcip/mib_engine.h"

uintptr_t* var_dmsSignCfg(MibVariable* row, uint32_t* name, uint32_t* name_length, int mode,
                          uint32_t* value_length, snmp_pdu* pdu, int index);
uintptr_t* var_vmsCfg(MibVariable* row, uint32_t* name, uint32_t* name_length, int mode,
                      uint32_t* value_length, snmp_pdu* pdu, int index);
