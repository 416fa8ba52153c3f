#include "comm/snmp_over_pmpp.h"

#include <cstring>
#include <new>

#include "comm/ber_delimiter.h"
#include "comm/rdi_stand_in.h"
#include "database/db_services.h"
#include "ntcip/asn1_codec.h"
#include "ntcip/snmp_message.h"
#include "runtime/debug_print.h"

namespace {

constexpr uint32_t kMaxAgents = 12;
constexpr ULONG kIpStack = 2048;
constexpr ULONG kArpCache = 1024;
constexpr ULONG kTcpStack = 2048;
constexpr UINT kIpPriority = 2;
constexpr UINT kTcpPriority = 3;
constexpr ULONG kNetMask = 0xFFFF0000;
constexpr ULONG kAcceptWait = 500;
constexpr ULONG kConnectedPoll = 50;
constexpr ULONG kDisconnectWait = 4;
constexpr uint8_t kLayerUdp = 1, kLayerTcp = 2;
constexpr uint32_t kMinIpPacket = 20;

struct TcpBlock {
    NX_IP* ip = nullptr;
    uint32_t stop = 0;
    uint32_t connected = 0;
    TX_THREAD* dispatch = nullptr;
};

struct Transport {
    snmp_agent* agent = nullptr;
    PmppLink* link = nullptr;
    uint8_t* memory = nullptr;
    NX_IP ip{};
    bool ipStarted = false;
    TX_SEMAPHORE ipReady{};
    bool readyCreated = false;
    NX_UDP_SOCKET udp{};
    NX_TCP_SOCKET tcp{};
    TX_THREAD tcpThread{};
    bool tcpThreadCreated = false;
    TcpBlock block;
    uint8_t lastLayer = 0;
    ULONG udpPeerAddress = 0;
    UINT udpPeerPort = 0;
    uint8_t message[kSnmpMessageBufferSize]{};  // a 0xC1 request, for the worker alone
    // The TCP stream cut into messages, for the TCP dispatch alone: the packet being read.
    uint8_t streamBuffer[kSnmpMessageBufferSize]{};
    BerDelimiter stream{streamBuffer, sizeof streamBuffer};
    NX_PACKET* streamPacket = nullptr;
    ULONG streamOffset = 0;
};

Transport g_transports[kMaxAgents];

Transport* ByAgent(const snmp_agent* agent) {
    for (Transport& t : g_transports) {
        if (t.agent != nullptr && t.agent == agent) {
            return &t;
        }
    }
    return nullptr;
}

Transport* ByLink(const PmppLink* link) {
    for (Transport& t : g_transports) {
        if (t.link != nullptr && t.link == link) {
            return &t;
        }
    }
    return nullptr;
}

Transport* BySocket(const NX_TCP_SOCKET* socket) {
    for (Transport& t : g_transports) {
        if (t.agent != nullptr && &t.tcp == socket) {
            return &t;
        }
    }
    return nullptr;
}

void EmptyOutOfFrame(uint8_t) {}

void SetSource(snmp_agent* agent, ULONG address, UINT port) {
    agent->source_port = uint16_t(port);
    const uint8_t bytes[4] = {uint8_t(address >> 24), uint8_t(address >> 16), uint8_t(address >> 8),
                              uint8_t(address)};
    std::memcpy(agent->source_address, bytes, 4);
}

void pmpp_tcp_listen_callback(NX_TCP_SOCKET* socket, UINT) {
    Transport* t = BySocket(socket);
    if (t != nullptr && t->tcpThreadCreated) {
        t->block.stop = 0;
        tx_thread_resume(&t->tcpThread);
    }
}

void pmpp_tcp_disconnect_callback(NX_TCP_SOCKET* socket) {
    Transport* t = BySocket(socket);
    if (t == nullptr || t->block.connected != 1) {
        return;
    }
    t->block.connected = 0;
    tx_thread_wait_abort(&t->tcpThread);
    if (t->block.dispatch != nullptr) {
        tx_thread_wait_abort(t->block.dispatch);
    }
}

void pmpp_tcp_accept_thread(ULONG_PTR input) {
    auto* t = reinterpret_cast<Transport*>(input);
    for (;;) {
        const UINT status = nx_tcp_server_socket_accept(&t->tcp, kAcceptWait);
        if (status != NX_SUCCESS) {
            if (status == NX_NOT_CONNECTED || status == NX_WAIT_ABORTED) {
                tx_thread_relinquish();
            } else {
                tx_thread_sleep(kConnectedPoll);  // not listening: no busy retry
            }
            continue;
        }
        t->block.connected = 1;
        while (t->block.connected == 1) {
            tx_thread_sleep(kConnectedPoll);
        }
        nx_tcp_socket_disconnect(&t->tcp, kDisconnectWait);
        nx_tcp_server_socket_unaccept(&t->tcp);
        t->block.connected = 0;
        t->block.stop = 1;
        const UINT relisten = nx_tcp_server_socket_relisten(&t->ip, kPmppSnmpPort, &t->tcp);
        // The listen callback clears the stop flag when a connection came meanwhile.
        if (t->block.stop && relisten != NX_CONNECTION_PENDING) {
            tx_thread_suspend(&t->tcpThread);
        }
        tx_thread_relinquish();
    }
}

int Create(snmp_agent* agent, uint8_t* memory, uint32_t* length) {
    Transport* t = ByAgent(agent);
    if (t == nullptr) {
        DebugPrint("snmp_pmpp_net_drv pmpp create for SNMP failed\n");
        return 1;
    }
    PmppLink* link = t->link;
    link->pollReplyLength = 0;
    if (pmpp_create(link, "SNMP OVER pmpp", &t->ip, agent, kSnmpDispatchPriority, EmptyOutOfFrame,
                    nullptr, nullptr) != 0) {
        DebugPrint("snmp_pmpp_net_drv pmpp create for SNMP failed\n");
        return 1;
    }
    t->memory = memory;
    if (!t->readyCreated) {
        t->readyCreated = tx_semaphore_create(&t->ipReady, "PMPP IP READY", 0) == TX_SUCCESS;
    }
    *length = kPmppDriverMemory;
    return 0;
}

int Open(Transport* t) {
    // The instance comes with the network start-up, after the agents.
    tx_semaphore_get(&t->ipReady, TX_WAIT_FOREVER);
    if (!t->ipStarted) {
        return 1;
    }
    UINT status = nx_udp_socket_create(&t->ip, &t->udp, "UDP IP Socket", 0x100000, NX_FRAGMENT_OKAY,
                                       NX_IP_TIME_TO_LIVE, 30);
    if (status != NX_SUCCESS) {
        DebugPrint("snmp_pmpp_net_drv: nx_udp_socket_create failed:0x%02X\n", status);
    }
    status = nx_udp_socket_bind(&t->udp, kPmppSnmpPort, TX_WAIT_FOREVER);
    if (status != NX_SUCCESS) {
        DebugPrint("snmp_pmpp_net_drv: nx_udp_socket_bind failed:0x%02X\n", status);
    }
    status = nx_tcp_socket_create(&t->ip, &t->tcp, "TCP IP Socket", 0, NX_FRAGMENT_OKAY,
                                  NX_IP_TIME_TO_LIVE, 1000, nullptr, pmpp_tcp_disconnect_callback);
    if (status != NX_SUCCESS) {
        DebugPrint("snmp_pmpp_net_drv: nx_tcp_socket_create failed:0x%02X\n", status);
    }
    t->block.ip = &t->ip;
    t->block.stop = 0;
    t->block.connected = 0;
    t->block.dispatch = &t->agent->tcp_dispatch;
    status =
        nx_tcp_server_socket_listen(&t->ip, kPmppSnmpPort, &t->tcp, 1, pmpp_tcp_listen_callback);
    if (status != NX_SUCCESS) {
        DebugPrint("snmp_pmpp_net_drv: nx_tcp_server_socket_listen failed:0x%02X\n", status);
        return 0;
    }
    status = tx_thread_create(&t->tcpThread, "tcp thread", pmpp_tcp_accept_thread,
                              reinterpret_cast<ULONG_PTR>(t), t->memory + kIpStack + kArpCache,
                              kTcpStack, kTcpPriority, kTcpPriority, 1, TX_AUTO_START);
    if (status != TX_SUCCESS) {
        DebugPrint("tcp_thread_initialize: tx_thread_create error 0x%02X!\n", status);
    } else {
        t->tcpThreadCreated = true;
    }
    return 0;
}

// Copies a received packet into the agent's buffer; false when it does not fit.
bool TakePacket(NX_PACKET* packet, uint8_t* buffer, uint32_t* length) {
    const ULONG size = packet->nx_packet_length;
    if (size > kSnmpMessageBufferSize) {
        return false;
    }
    std::memcpy(buffer, packet->nx_packet_prepend_ptr, size);
    *length = uint32_t(size);
    return true;
}

int ReceiveUdp(Transport* t, uint8_t* buffer, uint32_t* length) {
    NX_PACKET* packet = nullptr;
    if (nx_udp_socket_receive(&t->udp, &packet, TX_WAIT_FOREVER) != NX_SUCCESS) {
        return 1;
    }
    const bool taken = TakePacket(packet, buffer, length);
    ULONG address = 0;
    UINT port = 0;
    nx_udp_source_extract(packet, &address, &port);
    t->udpPeerAddress = address;
    t->udpPeerPort = port;
    SetSource(t->agent, address, port);
    t->lastLayer = kLayerUdp;
    const UINT status = nx_packet_release(packet);
    return taken ? int(status) : 1;
}

void DropStream(Transport* t) {
    if (t->streamPacket != nullptr) {
        nx_packet_release(t->streamPacket);
        t->streamPacket = nullptr;
    }
    t->stream.Reset();
}

// The next whole message of the connection: a segment may hold part of one or several.
int ReceiveTcp(Transport* t, uint8_t* buffer, uint32_t* length) {
    if (t->block.connected != 1) {
        DropStream(t);
        tx_thread_sleep(kConnectedPoll);
        return 1;  // nothing received
    }
    for (;;) {
        if (t->streamPacket == nullptr) {
            if (nx_tcp_socket_receive(&t->tcp, &t->streamPacket, TX_WAIT_FOREVER) != NX_SUCCESS) {
                t->streamPacket = nullptr;
                t->block.connected = 0;
                DropStream(t);
                return 1;
            }
            t->streamOffset = 0;
        }
        NX_PACKET* packet = t->streamPacket;
        while (t->streamOffset < packet->nx_packet_length) {
            const BerDelimiter::Step step =
                t->stream.Push(packet->nx_packet_prepend_ptr[t->streamOffset++]);
            if (step == BerDelimiter::Step::kRefused) {
                DebugPrintLevel1("snmp_pmpp_net_drv: tcp stream is not SNMP, dropped\n");
                DropStream(t);
                return 1;
            }
            if (step == BerDelimiter::Step::kMessage && t->stream.Length() <= *length) {
                std::memcpy(buffer, t->stream.Message(), t->stream.Length());
                *length = uint32_t(t->stream.Length());
                SetSource(t->agent, t->tcp.nx_tcp_socket_connect_ip,
                          t->tcp.nx_tcp_socket_connect_port);
                t->lastLayer = kLayerTcp;
                return 0;
            }
        }
        nx_packet_release(packet);
        t->streamPacket = nullptr;
    }
}

void SendUdp(Transport* t, const uint8_t* message, uint32_t length) {
    NX_PACKET* packet = nullptr;
    UINT status = nx_packet_allocate(t->ip.nx_ip_default_packet_pool, &packet, NX_UDP_PACKET,
                                     TX_WAIT_FOREVER);
    if (status != NX_SUCCESS) {
        DebugPrint("snmp_pmpp_net_drv: nx_packet_allocate failed:0x%02X\n", status);
        return;
    }
    status = nx_packet_data_append(packet, message, length, t->ip.nx_ip_default_packet_pool,
                                   TX_WAIT_FOREVER);
    if (status == NX_SUCCESS) {
        status = nx_udp_socket_send(&t->udp, packet, t->udpPeerAddress, t->udpPeerPort);
    }
    if (status != NX_SUCCESS) {
        DebugPrint("snmp_pmpp_net_drv: nx_udp_socket_send failed:0x%02X\n", status);
        nx_packet_release(packet);
        return;
    }
    db_count_snmp_out_pkts();
}

void SendTcp(Transport* t, const uint8_t* message, uint32_t length) {
    if (t->block.connected != 1) {
        DebugPrint("snmp_pmpp_net_drv: unable to tx over tcp, not connected\n");
        return;
    }
    NX_PACKET* packet = nullptr;
    UINT status = nx_packet_allocate(t->ip.nx_ip_default_packet_pool, &packet, NX_TCP_PACKET,
                                     TX_WAIT_FOREVER);
    if (status != NX_SUCCESS) {
        DebugPrint("snmp_pmpp_net_drv: nx_packet_allocate failed:0x%02X\n", status);
        return;
    }
    status = nx_packet_data_append(packet, message, length, t->ip.nx_ip_default_packet_pool,
                                   TX_WAIT_FOREVER);
    if (status == NX_SUCCESS) {
        status = nx_tcp_socket_send(&t->tcp, packet, TX_WAIT_FOREVER);
    }
    if (status != NX_SUCCESS) {
        DebugPrint("snmp_pmpp_net_drv: nx_tcp_socket_send failed:0x%02X\n", status);
        nx_packet_release(packet);
    }
}

void SendDirect(Transport* t, const uint8_t* message, uint32_t length) {
    if (t->link->rdiMode) {
        RdiPacketSendStandIn(t->link, message, length);
    } else {
        ntcip_pmpp_packet_send(t->link, message, length);
    }
    db_count_snmp_out_pkts();
}

// A response goes back the way its request came: each road has its own thread (the receive
// worker, the UDP and the TCP dispatch), which decodes, processes and answers the request before
// taking the next. Anything else (a trap) follows the link's last protocol.
int Send(Transport* t, const uint8_t* message, uint32_t length) {
    const TX_THREAD* self = tx_thread_identify();
    uint8_t road = 0;
    if (self != nullptr && self == PmppWorkerThread()) {
        road = kPmppSnmp;
    } else if (self == &t->agent->udp_dispatch) {
        road = kLayerUdp;
    } else if (self == &t->agent->tcp_dispatch) {
        road = kLayerTcp;
    } else if (t->link->currentProtocol == kPmppIp) {
        road = t->lastLayer;
        if (road != kLayerUdp && road != kLayerTcp) {
            DebugPrint("snmp_pmpp_net_drv: invalid snmp_ip_layer\n");
            return 0;
        }
    } else if (t->link->currentProtocol == kPmppSnmp) {
        road = kPmppSnmp;
    } else {
        DebugPrint("snmp_pmpp_net_drv: invalid IPI specified\n");
        return 0;
    }
    if (road == kPmppSnmp) {
        SendDirect(t, message, length);
    } else if (!t->ipStarted) {
        DebugPrint("snmp_pmpp_net_drv: invalid snmp_ip_layer\n");
    } else if (road == kLayerUdp) {
        SendUdp(t, message, length);
    } else {
        SendTcp(t, message, length);
    }
    return 0;
}

// The IP header's total length once four octets are in: 20 to the MTU, else 0.
uint32_t TotalLength(const uint8_t* header) {
    const uint32_t total = uint32_t(header[2]) << 8 | header[3];
    return total >= kMinIpPacket && total <= kPmppIpMtu ? total : 0;
}

void DropAssembly(PmppLink* link) {
    if (link->ipPacket != nullptr) {
        nx_packet_release(link->ipPacket);
    }
    link->ipPacket = nullptr;
    link->ipRemaining = 0;
    link->ipFilled = 0;
}

}  // namespace

bool PmppAttachAgent(snmp_agent* agent, PmppLink* link) {
    if (Transport* t = ByAgent(agent)) {
        t->link = link;
        return true;
    }
    for (Transport& t : g_transports) {
        if (t.agent == nullptr) {
            t.agent = agent;
            t.link = link;
            return true;
        }
    }
    return false;
}

int snmp_pmpp_net_drv(snmp_agent* agent, uint32_t layer, uint32_t operation, uint8_t* buffer,
                      uint32_t* length) {
    if (operation == kSnmpNetCreate) {
        return Create(agent, buffer, length);
    }
    Transport* t = ByAgent(agent);
    if (t == nullptr) {
        return 1;
    }
    switch (operation) {
        case kSnmpNetOpen:
            return Open(t);
        case kSnmpNetReceive:
            if (layer == kSnmpLayerUdp) {
                return ReceiveUdp(t, buffer, length);
            }
            if (layer == kSnmpLayerTcp) {
                return ReceiveTcp(t, buffer, length);
            }
            return 1;
        case kSnmpNetSend:
            return Send(t, buffer, *length);
        case kSnmpNetDelete:
            if (t->ipStarted) {
                nx_udp_socket_unbind(&t->udp);
                nx_udp_socket_delete(&t->udp);
            }
            return 0;
        default:
            return 0;
    }
}

void StartPmppIp(NX_PACKET_POOL* pool, uint32_t address) {
    for (Transport& t : g_transports) {
        if (t.agent == nullptr || t.link == nullptr || t.memory == nullptr || t.ipStarted) {
            continue;
        }
        const uint8_t* own = t.agent->address;
        ULONG ipAddress = ULONG(own[0]) << 24 | ULONG(own[1]) << 16 | ULONG(own[2]) << 8 | own[3];
        if (ipAddress == 0) {
            ipAddress = address;
        }
        UINT status = nx_ip_create(&t.ip, "PMPP over SNMP/IP", ipAddress, kNetMask, pool,
                                   _nx_pmpp_driver, t.memory, kIpStack, kIpPriority);
        if (status != NX_SUCCESS) {
            DebugPrint("snmp_pmpp_net_drv: nx_ip_create failed:0x%02X\n", status);
            continue;
        }
        status = nx_arp_enable(&t.ip, t.memory + kIpStack, kArpCache);
        if (status != NX_SUCCESS) {
            DebugPrint("snmp_pmpp_net_drv: nx_arp_enable failed:0x%02X\n", status);
            continue;
        }
        status = nx_icmp_enable(&t.ip);
        if (status != NX_SUCCESS) {
            DebugPrint("snmp_pmpp_net_drv: nx_icmp_enable failed:0x%02X\n", status);
        }
        status = nx_udp_enable(&t.ip);
        if (status != NX_SUCCESS) {
            DebugPrint("snmp_pmpp_net_drv: nx_udp_enable failed:0x%02X\n", status);
        }
        status = nx_tcp_enable(&t.ip);
        if (status != NX_SUCCESS) {
            DebugPrint("snmp_pmpp_net_drv: nx_tcp_enable failed:0x%02X\n", status);
        }
        t.ipStarted = true;
        if (t.readyCreated) {
            tx_semaphore_put(&t.ipReady);
        }
    }
}

int pmpp_snmp_receive(PmppLink* link, int) {
    Transport* t = ByLink(link);
    if (t == nullptr || link->agent == nullptr) {
        return 0;
    }
    const uint16_t start = link->frameIndex;
    uint8_t head[8];
    uint32_t got = 0;
    while (got < sizeof head && pmpp_frame_get_byte(link, &head[got])) {
        ++got;
    }
    link->frameIndex = start;
    asn1_context ctx{};
    uint32_t cls = 0, constructed = 0, tag = 0, definite = 0, content = 0;
    if (got == 0 || !g_asn1_open_decode(&ctx, head, got) ||
        !g_asn1_id_decode(&ctx, &cls, &constructed, &tag) ||
        !g_asn1_length_decode(&ctx, &definite, &content) || !definite) {
        DebugPrintLevel1("pmpp_snmp_receive: no SNMP message in the frame\n");
        return 0;
    }
    const uint64_t count = uint64_t(ctx.position - ctx.begin) + content;
    if (count > kSnmpMessageBufferSize) {
        DebugPrint("SNMP PACKET TOO LONG: %d\n", int(count > 0x7FFFFFFF ? 0x7FFFFFFF : count));
        return 0;
    }
    for (uint32_t i = 0; i < count; ++i) {
        if (!pmpp_frame_get_byte(link, &t->message[i])) {
            // The message runs past the frame.
            DebugPrint("SNMP PACKET TOO LONG: %d\n", int(count));
            return 0;
        }
    }
    return SnmpMessageReceive(link->agent, t->message, uint32_t(count));
}

int ntcip_pmpp_packet_send(PmppLink* link, const uint8_t* message, uint32_t length) {
    tx_mutex_get(&link->protect, TX_WAIT_FOREVER);
    pmpp_frame_start(link);
    pmpp_frame_put_byte(link, kPmppSnmp);
    for (uint32_t i = 0; i < length; ++i) {
        pmpp_frame_put_byte(link, message[i]);
    }
    int result = 1;
    if (link->receivedAddress == kPmppAllStations || link->receivedGroup != 0) {
        if (link->txOverflow) {
            ++link->framesTooLong;
            DebugPrint("ntcip_pmpp_packet_send: reply longer than %u octets dropped\n",
                       unsigned(kPmppMaxFrame));
            result = 0;
        } else {
            std::memcpy(link->pollReply, link->txBuffer, link->txLength);
            link->pollReplyLength = link->txLength;
            link->pollReplyUnescaped = link->txUnescaped;
            link->pollReplyFcs = link->txFcs;
        }
    } else {
        result = pmpp_frame_send(link);
    }
    tx_mutex_put(&link->protect);
    return result;
}

void pmpp_ip_receive(PmppLink* link) {
    NX_IP* ip = link->ip;
    uint8_t octet = 0;
    while (pmpp_frame_get_byte(link, &octet)) {
        if (link->ipPacket == nullptr) {
            if (ip == nullptr || ip->nx_ip_default_packet_pool == nullptr ||
                nx_packet_allocate(ip->nx_ip_default_packet_pool, &link->ipPacket,
                                   NX_RECEIVE_PACKET, TX_NO_WAIT) != NX_SUCCESS) {
                link->ipPacket = nullptr;
                return;  // the rest of the frame is lost
            }
            link->ipFilled = 0;
            link->ipRemaining = 0;
        }
        NX_PACKET* packet = link->ipPacket;
        packet->nx_packet_prepend_ptr[link->ipFilled++] = octet;
        if (link->ipFilled == 4) {
            const uint32_t total = TotalLength(packet->nx_packet_prepend_ptr);
            if (total == 0 || packet->nx_packet_prepend_ptr + total > packet->nx_packet_data_end) {
                DebugPrintLevel1("pmpp_ip_receive: bad IP length %u, packet dropped\n",
                                 unsigned(packet->nx_packet_prepend_ptr[2]) << 8 |
                                     packet->nx_packet_prepend_ptr[3]);
                DropAssembly(link);
                return;  // no telling where the next packet starts in this frame
            }
            link->ipRemaining = uint16_t(total - 4);
        } else if (link->ipFilled > 4) {
            --link->ipRemaining;
        }
        if (link->ipFilled >= 4 && link->ipRemaining == 0) {
            packet->nx_packet_length = link->ipFilled;
            packet->nx_packet_append_ptr = packet->nx_packet_prepend_ptr + link->ipFilled;
            link->ipPacket = nullptr;
            link->ipFilled = 0;
            _nx_ip_driver_deferred_receive(ip, packet);
        }
    }
}

void _nx_pmpp_driver(NX_IP_DRIVER* request) {
    NX_IP* ip = request->nx_ip_driver_ptr;
    request->nx_ip_driver_status = NX_SUCCESS;
    auto* link = static_cast<PmppLink*>(ip->nx_ip_driver_data);
    switch (request->nx_ip_driver_command) {
        case NX_LINK_INITIALIZE: {
            link = nullptr;
            for (uint32_t i = 0; i < PmppLinkCount(); ++i) {
                if (PmppLinkAt(i)->ip == ip) {
                    link = PmppLinkAt(i);
                    break;
                }
            }
            if (link == nullptr) {
                request->nx_ip_driver_status = NX_IP_INTERNAL_ERROR;
                return;
            }
            ip->nx_ip_driver_data = link;
            ip->nx_ip_driver_mtu = kPmppIpMtu;
            ip->nx_ip_driver_mapping_needed = 0;
            ip->nx_ip_driver_link_up = 0;
            return;
        }
        case NX_LINK_ENABLE:
            ip->nx_ip_driver_link_up = 1;
            return;
        case NX_LINK_DISABLE:
            ip->nx_ip_driver_link_up = 0;
            return;
        case NX_LINK_GET_STATUS:
            if (request->nx_ip_driver_return_ptr != nullptr) {
                *request->nx_ip_driver_return_ptr = ip->nx_ip_driver_link_up;
            }
            return;
        case NX_LINK_PACKET_SEND: {
            NX_PACKET* packet = request->nx_ip_driver_packet;
            if (link == nullptr || !ip->nx_ip_driver_link_up) {
                nx_packet_transmit_release(packet);
                return;
            }
            tx_mutex_get(&link->protect, TX_WAIT_FOREVER);
            packet->nx_packet_queue_next = nullptr;
            if (link->ipQueueTail != nullptr) {
                link->ipQueueTail->nx_packet_queue_next = packet;
            } else {
                link->ipQueueHead = packet;
            }
            link->ipQueueTail = packet;
            pmpp_ip_packet_send(link);
            tx_mutex_put(&link->protect);
            tx_semaphore_put(&link->txReady);
            return;
        }
        default:
            request->nx_ip_driver_status = NX_UNHANDLED_COMMAND;
            // A packet handed with a command the link does not carry is not kept.
            if (request->nx_ip_driver_packet != nullptr) {
                nx_packet_transmit_release(request->nx_ip_driver_packet);
            }
            return;
    }
}

void pmpp_ip_packet_send(PmppLink* link) {
    NX_PACKET* packet = link->ipQueueHead;
    if (packet == nullptr) {
        return;
    }
    pmpp_frame_start(link);
    pmpp_frame_put_byte(link, kPmppIp);
    for (const UCHAR* p = packet->nx_packet_prepend_ptr; p < packet->nx_packet_append_ptr; ++p) {
        pmpp_frame_put_byte(link, *p);
    }
    if (pmpp_frame_send(link)) {
        ++link->ipFramesSent;
    }
    link->ipQueueHead = packet->nx_packet_queue_next;
    if (link->ipQueueHead == nullptr) {
        link->ipQueueTail = nullptr;
    }
    nx_packet_transmit_release(packet);
}

NX_IP* PmppIpInstance(const snmp_agent* agent) {
    Transport* t = ByAgent(agent);
    return t != nullptr && t->ipStarted ? &t->ip : nullptr;
}

uint32_t PmppTcpConnected(const snmp_agent* agent) {
    Transport* t = ByAgent(agent);
    return t != nullptr ? t->block.connected : 0;
}

void SnmpOverPmppEndOfBoot() {
    for (Transport& t : g_transports) {
        t.~Transport();
        new (&t) Transport{};
    }
    PmppEndOfBoot();
}
