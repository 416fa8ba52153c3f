#include "ntcip/snmp_pending.h"

#include <cstring>

int snmp_pending_alloc(snmp_pending_table* table, uint32_t response_tag, uint32_t port,
                       const uint8_t address[4], uint32_t* slot) {
    for (uint32_t i = 0; i < kSnmpPendingSlots; ++i) {
        snmp_pending_entry& entry = table->entries[i];
        if (!entry.in_use) {
            entry.response_tag = response_tag;
            entry.port = port;
            std::memcpy(entry.address, address, sizeof entry.address);
            entry.in_use = 1;
            *slot = i;
            return 1;
        }
    }
    return 0;
}

int snmp_pending_take(snmp_pending_table* table, uint32_t slot, uint32_t* response_tag,
                      uint32_t* port, uint8_t address[4]) {
    if (slot >= kSnmpPendingSlots || !table->entries[slot].in_use) {
        return 0;
    }
    snmp_pending_entry& entry = table->entries[slot];
    *response_tag = entry.response_tag;
    *port = entry.port;
    std::memcpy(address, entry.address, sizeof entry.address);
    entry.in_use = 0;
    return 1;
}

int snmp_pending_release(snmp_pending_table* table, uint32_t slot) {
    if (slot >= kSnmpPendingSlots || !table->entries[slot].in_use) {
        return 0;
    }
    table->entries[slot].in_use = 0;
    return 1;
}

uint32_t snmp_pending_in_use(const snmp_pending_table* table) {
    uint32_t count = 0;
    for (const snmp_pending_entry& entry : table->entries) {
        count += entry.in_use ? 1 : 0;
    }
    return count;
}
