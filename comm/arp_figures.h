#pragma once
// ARP figures of the Ethernet IP instance, as the console's "vms -d ethernet arp" shows them.

#include <cstdint>

struct VmsArpStats {
    uint32_t requestsSent = 0;
    uint32_t requestsReceived = 0;
    uint32_t responsesSent = 0;
    uint32_t responsesReceived = 0;
    uint32_t dynamicEntries = 0;
    uint32_t staticEntries = 0;
    uint32_t agedEntries = 0;
    uint32_t droppedMessages = 0;
};

struct VmsArpEntry {
    uint32_t address = 0;  // host order
    uint8_t hardware[6] = {};
};
