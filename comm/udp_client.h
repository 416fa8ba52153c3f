#pragma once
// A UDP client over the Ethernet IP instance: single datagrams to a configured remote address
// and port (traps, SNTP), and what comes back.

#include <cstdint>

#include "platform/net/nx_api.h"

struct UdpClient {
    NX_UDP_SOCKET socket;
    NX_IP* ip;
    ULONG remoteAddress;
    UINT remotePort;
    NX_PACKET* packet;
    NX_PACKET_POOL* pool;
    ULONG lastSourceAddress;  // sender of the last datagram read
    UINT lastSourcePort;
};

void udp_client_initialize(UdpClient* client, NX_IP* ip, uint8_t* stack, NX_PACKET_POOL* pool);
void udp_client_configure(UdpClient* client, UINT localPort, ULONG remoteAddress, UINT remotePort);
void udp_client_send_data(UdpClient* client, const uint8_t* buffer, uint32_t length);
// Bytes copied (at most maximum), 0 when nothing came within wait ticks.
uint32_t udp_client_receive_data(UdpClient* client, uint8_t* buffer, uint32_t maximum, ULONG wait);
