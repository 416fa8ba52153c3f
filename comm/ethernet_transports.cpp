#include "comm/ethernet_transports.h"

#include "comm/reply_packet.h"
#include "comm/tcp_server_channel.h"
#include "comm/udp_server_channel.h"
#include "ntcip/mib_engine.h"
#include "ntcip/snmp_engine_lock.h"
#include "runtime/debug_print.h"

namespace {

// Large replies: one at a time per link (the link's lock), each packet released once sent.
constexpr ULONG kLargeReplyPackets = 4;
constexpr ULONG kLargeReplyArea =
    kLargeReplyPackets * (NX_TCP_PACKET + kSnmpMessageBufferSize + NX_PACKET_HEADER_SIZE + 4);

struct Transports {
    EthernetLink udpLink;
    EthernetLink tcpLink;
    CUDP_Server udp;
    CTCP_Server tcpSnmp;
    CTCP_Server tcpTrap;
    UdpClient udpClient;
    TcpClient tcpClient;
    alignas(16) uint8_t tcpStacks[CTCP_Server::kSlots * CTCP_Server::kStackSize];
    alignas(16) uint8_t clientStack[TcpClient::kStackSize];
    alignas(16) uint8_t udpStacks[CUDP_Server::kSlots * CUDP_Server::kStackSize];
    NX_PACKET_POOL largeReplies{};
    alignas(16) uint8_t largeReplyArea[kLargeReplyArea];
    bool up = false;
};

Transports g_Transports;

void OpenPort(int opened, const char* kind, UINT port) {
    if (opened == 0) {
        DebugPrint("%s server: port %u not opened\n", kind, port);
    }
}

}  // namespace

void StartEthernetTransports(NX_IP* ip, NX_PACKET_POOL* pool,
                             const EthernetTransportSettings& settings) {
    Transports& t = g_Transports;
    if (t.up || ip == nullptr || pool == nullptr) {
        return;
    }
    t.up = true;
    // The engine lock and the MIB may already be set up by the start-up's script pass.
    snmp_engine_lock_create();
    snmp_engine_lock("StartEthernetTransports");
    MibInit(nullptr);
    snmp_engine_unlock("StartEthernetTransports");
    NX_PACKET_POOL* large = &t.largeReplies;
    if (nx_packet_pool_create(large, "large reply pool", ReplyPacketPayload(), t.largeReplyArea,
                              sizeof t.largeReplyArea) != NX_SUCCESS) {
        DebugPrint("nx_packet_pool_create: failure\n");
        large = nullptr;
    }
    CTCP_Server::Initialize(ip, t.tcpStacks, pool, large);
    uint8_t* clientStack = t.clientStack;
    tcp_client_initialize(&t.tcpClient, ip, &clientStack, pool);
    tcp_client_configure(&t.tcpClient, kTrapTcpPort, settings.remoteAddress, settings.remotePort);
    CUDP_Server::Initialize(ip, t.udpStacks, pool, large);
    udp_client_initialize(&t.udpClient, ip, nullptr, pool);
    udp_client_configure(&t.udpClient, kTrapTcpPort, settings.remoteAddress, settings.remotePort);
    const uint16_t trapPort = kTrapTcpPort;
    t.udpLink.Create("ethernet_udp", settings.snmpPort, trapPort, settings.ownAddress);
    t.tcpLink.Create("ethernet_tcp", settings.snmpPort, trapPort, settings.ownAddress);
    t.udp.SetLink(&t.udpLink);
    t.udp.SetProtocol(settings.protocol);
    t.tcpSnmp.SetLink(&t.tcpLink);
    t.tcpSnmp.SetProtocol(settings.protocol);
    t.tcpTrap.SetProtocol(0);
    OpenPort(t.tcpSnmp.Listen(settings.snmpPort), "TCP", settings.snmpPort);
    OpenPort(t.tcpSnmp.Listen(kSnmpTcpAlternatePort), "TCP", kSnmpTcpAlternatePort);
    OpenPort(t.tcpTrap.Listen(kTrapTcpPort), "TCP", kTrapTcpPort);
    OpenPort(t.udp.Listen(settings.snmpPort), "UDP", settings.snmpPort);
    OpenPort(t.udp.Listen(kAuxiliaryTextPort), "UDP", kAuxiliaryTextPort);
}

EthernetLink* EthernetUdpLink() {
    return g_Transports.up ? &g_Transports.udpLink : nullptr;
}

EthernetLink* EthernetTcpLink() {
    return g_Transports.up ? &g_Transports.tcpLink : nullptr;
}

UdpClient* EthernetUdpClient() {
    return g_Transports.up ? &g_Transports.udpClient : nullptr;
}

TcpClient* EthernetTcpClient() {
    return g_Transports.up ? &g_Transports.tcpClient : nullptr;
}

void EthernetTransportsEndOfBoot() {
    CTCP_Server::Reset();
    CUDP_Server::Reset();
    g_Transports.udpLink.Forget();
    g_Transports.tcpLink.Forget();
    g_Transports.up = false;
}
