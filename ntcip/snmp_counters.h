#pragma once
// SNMP counters that the codec itself increments. They stand in for the
// database task's counters (snmpInGetResponses, snmpOutBadValues) until the
// object store is wired in.

#include <cstdint>

void snmp_count_in_get_responses();
void snmp_count_out_bad_values();

uint32_t snmp_in_get_responses();
uint32_t snmp_out_bad_values();
void snmp_counters_reset();
