#pragma once
// Two IP instances of the stack joined by a wire on which every frame one sends arrives at the
// other, for tests of the socket API and of what is built on it.

#include <gtest/gtest.h>

#include "platform/net/nx_api.h"

namespace net_test {

inline constexpr ULONG kAddress[2] = {0x0A000001, 0x0A000002};

inline NX_IP g_ips[2];
inline NX_PACKET_POOL g_pools[2];
alignas(16) inline uint8_t g_poolMemory[2][64 * 1024];
alignas(16) inline uint8_t g_ipStacks[2][8192];
// Point-to-point links (no address mapping: frames are bare IP packets) instead of Ethernet.
inline bool g_pointToPoint = false;

inline void WireDriver(NX_IP_DRIVER* request) {
    NX_IP* ip = request->nx_ip_driver_ptr;
    const int self = ip == &g_ips[0] ? 0 : 1;
    request->nx_ip_driver_status = NX_SUCCESS;
    switch (request->nx_ip_driver_command) {
        case NX_LINK_INITIALIZE:
            ip->nx_ip_driver_mtu = g_pointToPoint ? 1500 : 1518;
            ip->nx_ip_driver_mapping_needed = g_pointToPoint ? 0 : 1;
            ip->nx_ip_arp_physical_address_msw = 0x0200;
            ip->nx_ip_arp_physical_address_lsw = ULONG(self + 1);
            break;
        case NX_LINK_ENABLE:
            ip->nx_ip_driver_link_up = 1;
            break;
        case NX_LINK_PACKET_SEND:
        case NX_LINK_PACKET_BROADCAST:
        case NX_LINK_ARP_SEND:
        case NX_LINK_ARP_RESPONSE_SEND: {
            NX_PACKET* sent = request->nx_ip_driver_packet;
            NX_IP* peer = &g_ips[1 - self];
            NX_PACKET* copy = nullptr;
            if (nx_packet_allocate(&g_pools[1 - self], &copy, NX_RECEIVE_PACKET, TX_NO_WAIT) ==
                NX_SUCCESS) {
                nx_packet_data_append(copy, sent->nx_packet_prepend_ptr, sent->nx_packet_length,
                                      nullptr, TX_NO_WAIT);
                const UINT c = request->nx_ip_driver_command;
                if (c == NX_LINK_ARP_SEND || c == NX_LINK_ARP_RESPONSE_SEND) {
                    _nx_arp_packet_deferred_receive(peer, copy);
                } else {
                    _nx_ip_driver_deferred_receive(peer, copy);
                }
            }
            nx_packet_transmit_release(sent);
            break;
        }
        default:
            request->nx_ip_driver_status = NX_UNHANDLED_COMMAND;
            break;
    }
}

// Both instances with their pools, UDP and TCP enabled (in a thread of the kernel's start-up).
inline void CreateWireInstances() {
    for (int i = 0; i < 2; ++i) {
        ASSERT_EQ(nx_packet_pool_create(&g_pools[i], "NetX", 1568, g_poolMemory[i],
                                        sizeof g_poolMemory[i]),
                  NX_SUCCESS);
        ASSERT_EQ(nx_ip_create(&g_ips[i], "ip", kAddress[i], 0xFFFFFF00, &g_pools[i], &WireDriver,
                               g_ipStacks[i], sizeof g_ipStacks[i], 1),
                  NX_SUCCESS);
        nx_udp_enable(&g_ips[i]);
        nx_tcp_enable(&g_ips[i]);
    }
}

}  // namespace net_test
