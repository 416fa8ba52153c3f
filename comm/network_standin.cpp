#include "comm/network_standin.h"

#include <cstring>
#include <initializer_list>

#include "comm/emac_driver.h"
#include "comm/ethernet_transports.h"
#include "comm/network_variables.h"
#include "platform/monitor/mon.h"
#include "runtime/debug_print.h"

namespace {

constexpr uint32_t kPoolOffset = 0x20000;  // in the network area, after the Ethernet part
constexpr uint32_t kPoolBytes = 0x60000;
constexpr ULONG kPayload = 1568;
constexpr UINT kEchoPort = 7;
constexpr uint32_t kDefaultAddress = 0x0A00020F;  // 10.0.2.15/24, gateway 10.0.2.2
constexpr uint32_t kDefaultMask = 0xFFFFFF00;
constexpr uint32_t kDefaultGateway = 0x0A000202;

struct StandIn {
    NX_IP ip{};
    NX_PACKET_POOL pool{};
    bool up = false;
    NX_UDP_SOCKET udp{};
    NX_TCP_SOCKET tcp{};
    TX_THREAD udpThread{};
    TX_THREAD tcpThread{};
    alignas(16) uint8_t ipStack[8192];
    alignas(16) uint8_t udpStack[4096];
    alignas(16) uint8_t tcpStack[4096];
    uint8_t arpCache[1024];
};

StandIn g_standIn;

void UdpEcho(ULONG_PTR) {
    for (;;) {
        NX_PACKET* packet = nullptr;
        if (nx_udp_socket_receive(&g_standIn.udp, &packet, TX_WAIT_FOREVER) != NX_SUCCESS) {
            tx_thread_sleep(1);
            continue;
        }
        ULONG from = 0;
        UINT port = 0;
        nx_udp_source_extract(packet, &from, &port);
        if (nx_udp_socket_send(&g_standIn.udp, packet, from, port) != NX_SUCCESS) {
            nx_packet_release(packet);
        }
    }
}

void TcpEcho(ULONG_PTR) {
    NX_TCP_SOCKET* socket = &g_standIn.tcp;
    for (;;) {
        if (nx_tcp_server_socket_accept(socket, 500) == NX_SUCCESS) {
            NX_PACKET* packet = nullptr;
            while (nx_tcp_socket_receive(socket, &packet, 30000) == NX_SUCCESS) {
                if (nx_tcp_socket_send(socket, packet, 100) != NX_SUCCESS) {
                    nx_packet_release(packet);
                }
            }
        }
        nx_tcp_socket_disconnect(socket, 4);
        nx_tcp_server_socket_unaccept(socket);
        nx_tcp_server_socket_relisten(&g_standIn.ip, kEchoPort, socket);
    }
}

void StartEcho() {
    StandIn& s = g_standIn;
    if (nx_udp_socket_create(&s.ip, &s.udp, "echo", 0, 0, 128, 16) == NX_SUCCESS &&
        nx_udp_socket_bind(&s.udp, kEchoPort, TX_NO_WAIT) == NX_SUCCESS) {
        tx_thread_create(&s.udpThread, const_cast<CHAR*>("udp echo"), UdpEcho, 0, s.udpStack,
                         sizeof s.udpStack, 3, 3, TX_NO_TIME_SLICE, TX_AUTO_START);
    }
    if (nx_tcp_socket_create(&s.ip, &s.tcp, "echo", 0, 0, 128, 1000, nullptr, nullptr) ==
            NX_SUCCESS &&
        nx_tcp_server_socket_listen(&s.ip, kEchoPort, &s.tcp, 1, nullptr) == NX_SUCCESS) {
        tx_thread_create(&s.tcpThread, const_cast<CHAR*>("tcp echo"), TcpEcho, 0, s.tcpStack,
                         sizeof s.tcpStack, 3, 3, TX_NO_TIME_SLICE, TX_AUTO_START);
    }
}

}  // namespace

bool ParseDottedQuad(const char* text, uint32_t* address) {
    if (text == nullptr) {
        return false;
    }
    uint32_t result = 0;
    for (int part = 0; part < 4; ++part) {
        if (*text < '0' || *text > '9') {
            return false;
        }
        uint32_t n = 0;
        int digits = 0;
        while (*text >= '0' && *text <= '9' && digits < 4) {
            n = n * 10 + uint32_t(*text++ - '0');
            ++digits;
        }
        if (n > 255 || digits > 3 || *text != (part == 3 ? '\0' : '.')) {
            return false;
        }
        if (part < 3) {
            ++text;
        }
        result = result << 8 | n;
    }
    *address = result;
    return true;
}

bool ParseMacAddress(const char* text, uint8_t mac[6]) {
    if (text == nullptr) {
        return false;
    }
    for (int part = 0; part < 6; ++part) {
        unsigned n = 0;
        int digits = 0;
        for (;; ++text, ++digits) {
            const char c = *text;
            const int v = c >= '0' && c <= '9'   ? c - '0'
                          : c >= 'a' && c <= 'f' ? c - 'a' + 10
                          : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                 : -1;
            if (v < 0 || digits >= 2) {
                break;
            }
            n = n * 16 + unsigned(v);
        }
        if (digits == 0 || *text != (part == 5 ? '\0' : ':')) {
            return false;
        }
        if (part < 5) {
            ++text;
        }
        mac[part] = uint8_t(n);
    }
    return true;
}

void ChooseNetworkAddresses(const char* ipadd, const char* netmask, const char* gipadd,
                            uint32_t* address, uint32_t* mask, uint32_t* gateway) {
    const bool parsed = ParseDottedQuad(ipadd, address) && ParseDottedQuad(netmask, mask) &&
                        ParseDottedQuad(gipadd, gateway);
    if (!parsed || *address == 0 || (*address >> 24) == 127 || *mask == 0 ||
        (*gateway & *mask) != (*address & *mask) || *gateway == *address) {
        *address = kDefaultAddress;
        *mask = kDefaultMask;
        *gateway = kDefaultGateway;
    }
}

NX_IP* StartNetworkStandIn(const NetworkStandInSettings& settings) {
    StandIn& s = g_standIn;
    uint8_t* area = EthernetBufferArea();
    if (s.up || area == nullptr) {
        return s.up ? &s.ip : nullptr;
    }
    uint32_t address = 0;
    uint32_t mask = 0;
    uint32_t gateway = 0;
    ChooseNetworkAddresses(mon_getenv("IPADD"), mon_getenv("NETMASK"), mon_getenv("GIPADD"),
                           &address, &mask, &gateway);
    DebugPrintLevel1("Initializing Ethernet\n");
    NetworkVariables variables;
    ParseNetworkVariables(mon_getenv("ETHERADD"), mon_getenv("IPADD"), mon_getenv("NETMASK"),
                          mon_getenv("GIPADD"), &variables);
    if (variables.macValid) {
        EthernetSetStationAddress(variables.mac);
    }
    EthernetSetLinkMode(kEthernetSpeedAuto, kEthernetDuplexAuto, 0);
    EthernetSetOwnAddress(address);
    if (nx_packet_pool_create(&s.pool, "NetX", kPayload, area + kPoolOffset, kPoolBytes) !=
        NX_SUCCESS) {
        DebugPrint("nx_packet_pool_create: failure\n");
        return nullptr;
    }
    const UINT status = nx_ip_create(&s.ip, "NetX IP Instance 0", address, mask, &s.pool,
                                     &EmacNetDriver, s.ipStack, sizeof s.ipStack, 1);
    if (status != NX_SUCCESS) {
        DebugPrint("nx_ip_create: failure:0x%02X!!\n", status);
        nx_packet_pool_delete(&s.pool);
        return nullptr;
    }
    nx_arp_enable(&s.ip, s.arpCache, sizeof s.arpCache);
    nx_udp_enable(&s.ip);
    nx_tcp_enable(&s.ip);
    if (settings.answerPing) {
        nx_icmp_enable(&s.ip);
    }
    nx_ip_gateway_address_set(&s.ip, gateway);
    s.up = true;
    StartEcho();
    return &s.ip;
}

NX_IP* EthernetIpInstance() {
    return g_standIn.up ? &g_standIn.ip : nullptr;
}

NX_PACKET_POOL* EthernetPacketPool() {
    return g_standIn.up ? &g_standIn.pool : nullptr;
}

void NetworkStandInEndOfBoot() {
    EthernetTransportsEndOfBoot();
    g_standIn.up = false;
}

bool EthernetArpStats(VmsArpStats* stats) {
    NX_IP* ip = EthernetIpInstance();
    ULONG v[8] = {};
    if (ip == nullptr ||
        nx_arp_info_get(ip, &v[0], &v[1], &v[2], &v[3], &v[4], &v[5], &v[6], &v[7]) != NX_SUCCESS) {
        return false;
    }
    stats->requestsSent = v[0];
    stats->requestsReceived = v[1];
    stats->responsesSent = v[2];
    stats->responsesReceived = v[3];
    stats->dynamicEntries = v[4];
    stats->staticEntries = v[5];
    stats->agedEntries = v[6];
    stats->droppedMessages = v[7];
    return true;
}

size_t EthernetArpEntries(VmsArpEntry* entries, size_t capacity) {
    NX_IP* ip = EthernetIpInstance();
    size_t count = 0;
    ULONG address = 0, msw = 0, lsw = 0;
    while (ip != nullptr && count < capacity &&
           nx_arp_entry_get(ip, UINT(count), &address, &msw, &lsw) == NX_SUCCESS) {
        VmsArpEntry& e = entries[count++];
        e.address = address;
        const uint8_t mac[6] = {uint8_t(msw >> 8),  uint8_t(msw),      uint8_t(lsw >> 24),
                                uint8_t(lsw >> 16), uint8_t(lsw >> 8), uint8_t(lsw)};
        std::memcpy(e.hardware, mac, 6);
    }
    return count;
}

bool EthernetIpFigures(VmsIpFigures* figures) {
    const NX_IP* ip = EthernetIpInstance();
    if (ip == nullptr) {
        return false;
    }
    const NX_IP_COUNTERS& c = ip->nx_ip_counters;
    figures->tcpConnections = c.tcp_connections;
    figures->tcpDisconnections = c.tcp_disconnections;
    figures->tcpBytesSent = c.tcp_bytes_sent;
    figures->tcpBytesReceived = c.tcp_bytes_received;
    figures->udpDatagramsSent = c.udp_datagrams_sent;
    figures->udpDatagramsReceived = c.udp_datagrams_received;
    figures->udpDatagramsDropped = c.udp_receive_dropped;
    figures->icmpEnabled = ip->nx_ip_icmp_enabled != 0;
    figures->icmpDropped = c.icmp_dropped;
    return true;
}

size_t NetworkPoolFigures(VmsPoolFigures* pools, size_t capacity) {
    size_t count = 0;
    for (NX_PACKET_POOL* pool : {EthernetPacketPool(), EmacPacketPool()}) {
        ULONG v[4] = {};
        if (pool == nullptr || count == capacity ||
            nx_packet_pool_info_get(pool, &v[0], &v[1], &v[2], &v[3]) != NX_SUCCESS) {
            continue;
        }
        VmsPoolFigures& f = pools[count++];
        f.name = pool->nx_packet_pool_name;
        f.total = v[0];
        f.free = v[1];
        f.emptyRequests = v[2];
        f.invalidReleases = v[3];
    }
    return count;
}
