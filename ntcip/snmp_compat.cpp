#include "ntcip/snmp_compat.h"

#include <atomic>

#include "database/db_services.h"

namespace {
std::atomic<bool> g_forced{false};
}  // namespace

bool snmp_compatibility_mode() {
    return g_forced.load(std::memory_order_relaxed) || db_compat_mode_get() != 0;
}

void snmp_compatibility_mode_set(bool on) {
    g_forced.store(on, std::memory_order_relaxed);
}
