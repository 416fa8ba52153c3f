#pragma once
// The Ethernet side of the NTCIP interfaces, brought up by the network start-up once the IP
// instance exists: the TCP and UDP listener slots, the SNMP agents of "ethernet_udp" and
// "ethernet_tcp" over their Ethernet links, and the server ports: the SNMP port (UDP and TCP),
// TCP 14001, the auxiliary UDP port 3002 and the TCP trap port 162.

#include <cstdint>

#include "comm/ethernet_link.h"
#include "comm/tcp_client.h"
#include "comm/udp_client.h"
#include "platform/net/nx_api.h"

struct EthernetTransportSettings {
    uint16_t snmpPort = 161;  // brenHostIPPort
    uint8_t protocol = 11;    // the Ethernet entry of brenCommConfigProtocol
    uint32_t ownAddress = 0;
    uint32_t remoteAddress = 0;  // brenRemoteIPAddress: the central system
    uint16_t remotePort = 0;     // brenRemoteIPPort: its trap port
};

inline constexpr UINT kSnmpTcpAlternatePort = 14001;
inline constexpr UINT kTrapTcpPort = 162;

// From the communication task's thread, once per boot.
void StartEthernetTransports(NX_IP* ip, NX_PACKET_POOL* pool,
                             const EthernetTransportSettings& settings);
// The links (for the interface counters), null before the start-up.
EthernetLink* EthernetUdpLink();
EthernetLink* EthernetTcpLink();
// The trap clients (null before the start-up).
UdpClient* EthernetUdpClient();
TcpClient* EthernetTcpClient();
// Forgets everything (end of a boot; the kernel has gone).
void EthernetTransportsEndOfBoot();
