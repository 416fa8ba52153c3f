#include "ntcip/snmp_counters.h"

#include <atomic>

#include "database/db_services.h"

namespace {
std::atomic<uint32_t> g_inGetResponses{0};
std::atomic<uint32_t> g_outBadValues{0};
}  // namespace

void snmp_count_in_get_responses() {
    g_inGetResponses.fetch_add(1, std::memory_order_relaxed);
    db_count_snmp_in_get_responses();
}
void snmp_count_out_bad_values() {
    g_outBadValues.fetch_add(1, std::memory_order_relaxed);
    db_count_snmp_out_bad_values();
}

uint32_t snmp_in_get_responses() {
    return g_inGetResponses.load(std::memory_order_relaxed);
}
uint32_t snmp_out_bad_values() {
    return g_outBadValues.load(std::memory_order_relaxed);
}

void snmp_counters_reset() {
    g_inGetResponses.store(0, std::memory_order_relaxed);
    g_outBadValues.store(0, std::memory_order_relaxed);
}
