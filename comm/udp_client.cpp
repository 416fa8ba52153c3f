#include "comm/udp_client.h"

#include <cstring>

#include "runtime/debug_print.h"

void udp_client_initialize(UdpClient* client, NX_IP* ip, uint8_t*, NX_PACKET_POOL* pool) {
    client->ip = ip;
    client->pool = pool;
    const UINT status = nx_udp_socket_create(ip, &client->socket, "udp client socket", 0,
                                             NX_FRAGMENT_OKAY, NX_IP_TIME_TO_LIVE, 1000);
    if (status != NX_SUCCESS) {
        DebugPrint("udp_client_initialize: nx_udp_socket_create failed:0x%X\n", status);
    }
}

void udp_client_configure(UdpClient* client, UINT localPort, ULONG remoteAddress, UINT remotePort) {
    client->remoteAddress = remoteAddress;
    client->remotePort = remotePort;
    nx_udp_socket_unbind(&client->socket);
    const UINT status = nx_udp_socket_bind(&client->socket, localPort, TX_NO_WAIT);
    if (status != NX_SUCCESS) {
        DebugPrint("udp_client_configure: nx_udp_socket_bind failed:0x%X\n", status);
    }
}

void udp_client_send_data(UdpClient* client, const uint8_t* buffer, uint32_t length) {
    NX_PACKET* packet = nullptr;
    UINT status = nx_packet_allocate(client->pool, &packet, NX_UDP_PACKET, TX_WAIT_FOREVER);
    if (status != NX_SUCCESS) {
        DebugPrint("udp_client_send_data: nx_packet_allocate failed:%d\n", status);
        return;
    }
    status = nx_packet_data_append(packet, buffer, length, client->pool, TX_WAIT_FOREVER);
    if (status != NX_SUCCESS) {
        DebugPrint("udp_client_send_data: nx_packet_data_append failed:%d\n", status);
        nx_packet_release(packet);
        return;
    }
    status = nx_udp_socket_send(&client->socket, packet, client->remoteAddress, client->remotePort);
    if (status != NX_SUCCESS) {
        DebugPrint("udp_client_send_data: nx_udp_socket_send failed:%d\n", status);
        nx_packet_release(packet);
    }
}

uint32_t udp_client_receive_data(UdpClient* client, uint8_t* buffer, uint32_t maximum, ULONG wait) {
    NX_PACKET* packet = nullptr;
    if (nx_udp_socket_receive(&client->socket, &packet, wait) != NX_SUCCESS) {
        return 0;
    }
    nx_udp_source_extract(packet, &client->lastSourceAddress, &client->lastSourcePort);
    ULONG length = packet->nx_packet_length;
    if (length > maximum) {
        length = maximum;
    }
    std::memcpy(buffer, packet->nx_packet_prepend_ptr, length);
    nx_packet_release(packet);
    return uint32_t(length);
}
