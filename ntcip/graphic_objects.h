#pragma once
// Handlers of the graphic definitions: the graphic scalars, the graphic table (50 graphics, with
// the status requests that graphic table processing carries out after the response) and the
// bitmap table (63 blocks per graphic).

#include "ntcip/mib_engine.h"

uintptr_t* var_graphicDefinition(MibVariable* row, uint32_t* name, uint32_t* name_length, int mode,
                                 uint32_t* value_length, snmp_pdu* pdu, int index);
uintptr_t* var_dmsGraphicEntry(MibVariable* row, uint32_t* name, uint32_t* name_length, int mode,
                               uint32_t* value_length, snmp_pdu* pdu, int index);
uintptr_t* var_dmsGraphicBitmapEntry(MibVariable* row, uint32_t* name, uint32_t* name_length,
                                     int mode, uint32_t* value_length, snmp_pdu* pdu, int index);
