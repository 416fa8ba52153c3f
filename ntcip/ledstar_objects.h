#pragma once
// The 1206.3.16 subtree: storage rows kept in the volatile image until the next start, and the
// rows that map onto the controller's own objects (shut-off temperature, pixel failure limit,
// restart request, climate units, power supplies, light readings, daylight-saving state,
// controller status bits), with the default setters of the storage.

#include <cstdint>

#include "ntcip/mib_engine.h"

class CDataBase;

uintptr_t* var_ledstarConfig(MibVariable* row, uint32_t* name, uint32_t* name_length, int mode,
                             uint32_t* value_length, snmp_pdu* pdu, int index);
uintptr_t* var_ledstarConfigEntry(MibVariable* row, uint32_t* name, uint32_t* name_length, int mode,
                                  uint32_t* value_length, snmp_pdu* pdu, int index);
uintptr_t* var_ledstarExtra(MibVariable* row, uint32_t* name, uint32_t* name_length, int mode,
                            uint32_t* value_length, snmp_pdu* pdu, int index);
uintptr_t* var_ledstarStatus(MibVariable* row, uint32_t* name, uint32_t* name_length, int mode,
                             uint32_t* value_length, snmp_pdu* pdu, int index);
uintptr_t* var_ledstarStatusCube(MibVariable* row, uint32_t* name, uint32_t* name_length, int mode,
                                 uint32_t* value_length, snmp_pdu* pdu, int index);
uintptr_t* var_ledstarPowerEntry(MibVariable* row, uint32_t* name, uint32_t* name_length, int mode,
                                 uint32_t* value_length, snmp_pdu* pdu, int index);
uintptr_t* var_ledstarTextGrid(MibVariable* row, uint32_t* name, uint32_t* name_length, int mode,
                               uint32_t* value_length, snmp_pdu* pdu, int index);
uintptr_t* var_ledstarTextEntry(MibVariable* row, uint32_t* name, uint32_t* name_length, int mode,
                                uint32_t* value_length, snmp_pdu* pdu, int index);

// Every start: the storage rows, the controller status bits and the daylight state back to 0
// and empty strings (start-up and the clock set theirs later), the cells of the 1.1.5 table to 1.
void ledstar_volatile_defaults(CDataBase& db);
void ledstar_defaults_config(CDataBase& db);
void ledstar_defaults_config_table(CDataBase& db);
void ledstar_defaults_extra(CDataBase& db);
void ledstar_defaults_status(CDataBase& db);
void ledstar_defaults_cube(CDataBase& db);
void ledstar_defaults_power(CDataBase& db);
void ledstar_defaults_text_grid(CDataBase& db);
void ledstar_defaults_text(CDataBase& db);
