#pragma once
// The object handlers by the names the MIB rows give them. A name without a
// handler here is served by the stand-in, which answers no such object.

#include "ntcip/mib_engine.h"

// The handler registered under name, or the stand-in.
MibVarHandler MibFindHandler(const char* name);
// Stand-in for handlers that are not built yet: no instance, for every mode.
uintptr_t* var_stand_in_no_such_object(MibVariable* row, uint32_t* name, uint32_t* name_length,
                                       int mode, uint32_t* value_length, snmp_pdu* pdu, int index);
