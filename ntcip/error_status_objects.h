#pragma once
// Handlers of the error status: the error scalars with the pixel failure row count, the pixel
// failure table (three detection types of 500 rows, rows up to the stored counts), the power
// supply status table (300 rows) and the climate-control status table (32 rows).

#include "ntcip/mib_engine.h"

uintptr_t* var_statError(MibVariable* row, uint32_t* name, uint32_t* name_length, int mode,
                         uint32_t* value_length, snmp_pdu* pdu, int index);
uintptr_t* var_pixelFailureEntry(MibVariable* row, uint32_t* name, uint32_t* name_length, int mode,
                                 uint32_t* value_length, snmp_pdu* pdu, int index);
uintptr_t* var_dmsPowerStatusEntry(MibVariable* row, uint32_t* name, uint32_t* name_length,
                                   int mode, uint32_t* value_length, snmp_pdu* pdu, int index);
uintptr_t* var_dmsClimateCtrlStatusEntry(MibVariable* row, uint32_t* name, uint32_t* name_length,
                                         int mode, uint32_t* value_length, snmp_pdu* pdu,
                                         int index);
