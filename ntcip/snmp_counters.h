#pragma once
// SNMP counters that the codec itself increments: each goes to the database task's counter
// (snmpInGetResponses, snmpOutBadValues) and is also kept here for inspection.

#include <cstdint>

void snmp_count_in_get_responses();
void snmp_count_out_bad_values();

// The codec's own counts since the last reset.
uint32_t snmp_in_get_responses();
uint32_t snmp_out_bad_values();
void snmp_counters_reset();
