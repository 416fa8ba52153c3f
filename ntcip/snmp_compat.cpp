#include "ntcip/snmp_compat.h"

#include <atomic>

namespace {
std::atomic<bool> g_compatibilityMode{false};
}  // namespace

bool snmp_compatibility_mode() {
    return g_compatibilityMode.load(std::memory_order_relaxed);
}

void snmp_compatibility_mode_set(bool on) {
    g_compatibilityMode.store(on, std::memory_order_relaxed);
}
