#pragma once
// The one lock of the SNMP engine, "SNMP PROTECT MUTEX": held around decoding,
// processing, encoding and sending of every message, and by internal readers of
// objects through the MIB (event logging, SCRIPT.XML, traps). It may be taken
// again by its holder.

#include "platform/kernel/tx_api.h"

// Creates the mutex; the kernel status.
UINT snmp_engine_lock_create();
// Both print the failure and go on.
void snmp_engine_lock(const char* who);
void snmp_engine_unlock(const char* who);
