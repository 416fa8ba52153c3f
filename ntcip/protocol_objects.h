#pragma once
// Handlers of the protocols subtree (CHAP, SNMP packet size, PMPP configuration and group
// addresses) and of the community security group.

#include "ntcip/mib_engine.h"

// Longest CHAP name the PPP link's name field holds (one octet stays for the terminator).
constexpr uint32_t kChapNameMaxLength = 31;

uintptr_t* var_chap(MibVariable* row, uint32_t* name, uint32_t* name_length, int mode,
                    uint32_t* value_length, snmp_pdu* pdu, int index);
uintptr_t* var_chapSecretEntry(MibVariable* row, uint32_t* name, uint32_t* name_length, int mode,
                               uint32_t* value_length, snmp_pdu* pdu, int index);
uintptr_t* var_snmpConfiguration(MibVariable* row, uint32_t* name, uint32_t* name_length, int mode,
                                 uint32_t* value_length, snmp_pdu* pdu, int index);
uintptr_t* var_pmppConfig(MibVariable* row, uint32_t* name, uint32_t* name_length, int mode,
                          uint32_t* value_length, snmp_pdu* pdu, int index);
uintptr_t* var_maxGroupAddresses(MibVariable* row, uint32_t* name, uint32_t* name_length, int mode,
                                 uint32_t* value_length, snmp_pdu* pdu, int index);
uintptr_t* var_groupAddressEntry(MibVariable* row, uint32_t* name, uint32_t* name_length, int mode,
                                 uint32_t* value_length, snmp_pdu* pdu, int index);
uintptr_t* var_globalSecurity(MibVariable* row, uint32_t* name, uint32_t* name_length, int mode,
                              uint32_t* value_length, snmp_pdu* pdu, int index);
uintptr_t* var_communityNameEntry(MibVariable* row, uint32_t* name, uint32_t* name_length, int mode,
                                  uint32_t* value_length, snmp_pdu* pdu, int index);
