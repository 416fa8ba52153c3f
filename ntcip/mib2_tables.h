#pragma once
// MIB-II groups beyond system and snmp: interfaces, address translation, ip with its address,
// route and net-to-media tables, the Ethernet-like statistics, LAPB and RS-232.

#include <cstdint>

#include "ntcip/mib_engine.h"

// Whether port `port` (1..5) runs at `speed`.
bool Rs232SpeedSupported(uint32_t port, uint32_t speed);

uintptr_t* var_ifNumber(MibVariable* row, uint32_t* name, uint32_t* name_length, int mode,
                        uint32_t* value_length, snmp_pdu* pdu, int index);
uintptr_t* var_ifEntry(MibVariable* row, uint32_t* name, uint32_t* name_length, int mode,
                       uint32_t* value_length, snmp_pdu* pdu, int index);
uintptr_t* var_atEntry(MibVariable* row, uint32_t* name, uint32_t* name_length, int mode,
                       uint32_t* value_length, snmp_pdu* pdu, int index);
uintptr_t* var_ip(MibVariable* row, uint32_t* name, uint32_t* name_length, int mode,
                  uint32_t* value_length, snmp_pdu* pdu, int index);
uintptr_t* var_ipAddrEntry(MibVariable* row, uint32_t* name, uint32_t* name_length, int mode,
                           uint32_t* value_length, snmp_pdu* pdu, int index);
uintptr_t* var_ipRouteEntry(MibVariable* row, uint32_t* name, uint32_t* name_length, int mode,
                            uint32_t* value_length, snmp_pdu* pdu, int index);
uintptr_t* var_ipNetToMediaEntry(MibVariable* row, uint32_t* name, uint32_t* name_length, int mode,
                                 uint32_t* value_length, snmp_pdu* pdu, int index);
uintptr_t* var_dot3StatsEntry(MibVariable* row, uint32_t* name, uint32_t* name_length, int mode,
                              uint32_t* value_length, snmp_pdu* pdu, int index);
uintptr_t* var_dot3CollEntry(MibVariable* row, uint32_t* name, uint32_t* name_length, int mode,
                             uint32_t* value_length, snmp_pdu* pdu, int index);
uintptr_t* var_lapbAdmnEntry(MibVariable* row, uint32_t* name, uint32_t* name_length, int mode,
                             uint32_t* value_length, snmp_pdu* pdu, int index);
uintptr_t* var_lapbOperEntry(MibVariable* row, uint32_t* name, uint32_t* name_length, int mode,
                             uint32_t* value_length, snmp_pdu* pdu, int index);
uintptr_t* var_rs232(MibVariable* row, uint32_t* name, uint32_t* name_length, int mode,
                     uint32_t* value_length, snmp_pdu* pdu, int index);
uintptr_t* var_rs232PortEntry(MibVariable* row, uint32_t* name, uint32_t* name_length, int mode,
                              uint32_t* value_length, snmp_pdu* pdu, int index);
uintptr_t* var_rs232AsyncPortEntry(MibVariable* row, uint32_t* name, uint32_t* name_length,
                                   int mode, uint32_t* value_length, snmp_pdu* pdu, int index);
