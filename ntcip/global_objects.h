#pragma once
// Handlers of the global subtree (configuration, database management, time
// management, auxiliary I/O) and of the older auxiliary I/O subtree.

#include "ntcip/mib_engine.h"

#define DMS_MIB_HANDLER(name)                                                              \
    uintptr_t* name(MibVariable* row, uint32_t* name_arg, uint32_t* name_length, int mode, \
                    uint32_t* value_length, snmp_pdu* pdu, int index)

DMS_MIB_HANDLER(var_globalConfiguration);
DMS_MIB_HANDLER(var_moduleTableEntry);
DMS_MIB_HANDLER(var_globalDBManagement);
DMS_MIB_HANDLER(var_globalTimeManagement);
DMS_MIB_HANDLER(var_timebase);
DMS_MIB_HANDLER(var_timeBaseScheduleEntry);
DMS_MIB_HANDLER(var_timeBaseDayPlanEntry);
DMS_MIB_HANDLER(var_maxDaylightSavingEvents);
DMS_MIB_HANDLER(var_dstEntry);
DMS_MIB_HANDLER(var_auxIOScalars);
DMS_MIB_HANDLER(var_auxIOEntry);

// Every access of globalTime hands the answered time to this hook (the communication task's
// reference of its heartbeat reset); null: nobody is told.
void ntcip_set_saved_global_time_hook(void (*hook)(uint32_t seconds));
