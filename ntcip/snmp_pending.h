#pragma once
// Pending requests of one agent: each decoded request holds a slot, with the
// requester's port and address, until its response is sent. A request that
// ends without a response must give its slot back (snmp_pending_release), or
// ten such requests would leave no slot for the next one.

#include <cstdint>

constexpr uint32_t kSnmpPendingSlots = 10;
constexpr uint32_t kSnmpNoPendingSlot = 0xFFFFFFFF;

struct snmp_pending_entry {
    uint8_t in_use;
    uint32_t response_tag;  // 0 for versions 1 and 2c, the msgID for version 3
    uint32_t port;
    uint8_t address[4];  // network order
};

struct snmp_pending_table {
    snmp_pending_entry entries[kSnmpPendingSlots];
};

// Takes the lowest free slot; 0 when all are in use.
int snmp_pending_alloc(snmp_pending_table* table, uint32_t response_tag, uint32_t port,
                       const uint8_t address[4], uint32_t* slot);
// Hands back the slot's tag, port and address and frees it; 0 when not in use.
int snmp_pending_take(snmp_pending_table* table, uint32_t slot, uint32_t* response_tag,
                      uint32_t* port, uint8_t address[4]);
// Frees the slot of a request that gets no response; 0 when it was not in use
// (already taken by the response, or no slot at all).
int snmp_pending_release(snmp_pending_table* table, uint32_t slot);
// Slots in use.
uint32_t snmp_pending_in_use(const snmp_pending_table* table);
