#pragma once
// Figures of the Ethernet IP instance and of the packet pools, as the console's
// "vms -d ethernet tcp|udp|icmp|pool" shows them (the stack's own counters).

#include <cstdint>

struct VmsIpFigures {
    uint32_t tcpConnections = 0;  // accepted or connected
    uint32_t tcpDisconnections = 0;
    uint32_t tcpBytesSent = 0;
    uint32_t tcpBytesReceived = 0;
    uint32_t udpDatagramsSent = 0;
    uint32_t udpDatagramsReceived = 0;
    uint32_t udpDatagramsDropped = 0;  // socket queue full or nobody bound
    bool icmpEnabled = false;          // echo requests answered
    uint32_t icmpDropped = 0;          // echo requests while answering is off
};

struct VmsPoolFigures {
    const char* name = "";
    uint32_t total = 0;
    uint32_t free = 0;
    uint32_t emptyRequests = 0;  // allocations that found the pool empty
    uint32_t invalidReleases = 0;
};
