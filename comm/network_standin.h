#pragma once
// Stand-in for the network start-up of the communication task (until it is built): brings up
// "NetX IP Instance 0" over the EMAC driver from the boot monitor's IPADD, NETMASK, GIPADD and
// ETHERADD, and runs an echo service on UDP and TCP port 7 so that the path can be exercised.

#include <cstddef>
#include <cstdint>

#include "comm/arp_figures.h"
#include "comm/network_figures.h"
#include "platform/net/nx_api.h"

struct NetworkStandInSettings {
    bool answerPing = true;
};

// From the communication task's thread. Returns the instance, or null when it could not be made.
NX_IP* StartNetworkStandIn(const NetworkStandInSettings& settings);
// The Ethernet instance and its packet pool ("NetX") once started, else null.
NX_IP* EthernetIpInstance();
NX_PACKET_POOL* EthernetPacketPool();
// Parses "a.b.c.d" (each 0-255); false for anything else.
bool ParseDottedQuad(const char* text, uint32_t* address);
// Parses six hexadecimal numbers separated by ":".
bool ParseMacAddress(const char* text, uint8_t mac[6]);
// The controller's address, mask and gateway from the monitor's texts; slirp's usual
// 10.0.2.15/24 with gateway 10.0.2.2 when they do not make a network the wire can reach.
void ChooseNetworkAddresses(const char* ipadd, const char* netmask, const char* gipadd,
                            uint32_t* address, uint32_t* mask, uint32_t* gateway);
// The console's ARP figures of the Ethernet instance (false when it is not up).
bool EthernetArpStats(VmsArpStats* stats);
size_t EthernetArpEntries(VmsArpEntry* entries, size_t capacity);
// The Ethernet instance's TCP, UDP and ICMP counters (false when it is not up).
bool EthernetIpFigures(VmsIpFigures* figures);
// The network's packet pools ("NetX" and the Ethernet driver's), at most `capacity`; returns
// how many were filled.
size_t NetworkPoolFigures(VmsPoolFigures* pools, size_t capacity);
// Forgets the instance (end of a boot; the kernel has gone).
void NetworkStandInEndOfBoot();
