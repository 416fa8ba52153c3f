#include "ntcip/snmp_engine_lock.h"

#include "runtime/debug_print.h"

namespace {
TX_MUTEX g_SnmpProtectMutex;
}  // namespace

// Each kernel (each boot) creates its own; a second create in the same kernel fails and
// leaves the first in place.
UINT snmp_engine_lock_create() {
    return tx_mutex_create(&g_SnmpProtectMutex, "SNMP PROTECT MUTEX", TX_NO_INHERIT);
}

void snmp_engine_lock(const char* who) {
    if (tx_mutex_get(&g_SnmpProtectMutex, TX_WAIT_FOREVER) != TX_SUCCESS) {
        DebugPrintLevel1("%s tx_mutex_get failed\n", who);
    }
}

void snmp_engine_unlock(const char* who) {
    if (tx_mutex_put(&g_SnmpProtectMutex) != TX_SUCCESS) {
        DebugPrintLevel1("%s tx_mutex_put failed\n", who);
    }
}
