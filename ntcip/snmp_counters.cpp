#include "ntcip/snmp_counters.h"

#include "database/db_services.h"

namespace {
// Counted on the SNMP task's thread; the single runner serialises every reader.
uint32_t g_inGetResponses = 0;
uint32_t g_outBadValues = 0;
}  // namespace

void snmp_count_in_get_responses() {
    ++g_inGetResponses;
    db_count_snmp_in_get_responses();
}
void snmp_count_out_bad_values() {
    ++g_outBadValues;
    db_count_snmp_out_bad_values();
}

uint32_t snmp_in_get_responses() {
    return g_inGetResponses;
}
uint32_t snmp_out_bad_values() {
    return g_outBadValues;
}

void snmp_counters_reset() {
    g_inGetResponses = 0;
    g_outBadValues = 0;
}
