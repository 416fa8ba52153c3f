// UDP sockets over lwIP's raw UDP API. Received datagrams wait in the socket's bounded queue
// (guarded by the core lock) and are copied into a packet of the instance's pool on receive.

#include <cstring>
#include <deque>
#include <new>
#include <vector>

#include "platform/net/ip_instance.h"
#include "platform/net/nx_api.h"
#include "platform/net/stack_core.h"

extern "C" {
#include "lwip/opt.h"
#include "lwip/pbuf.h"
#include "lwip/udp.h"
}

namespace net {

struct Datagram {
    ULONG source = 0;
    UINT port = 0;
    std::vector<uint8_t> bytes;
};

struct UdpSocketState {
    NX_UDP_SOCKET* socket = nullptr;
    struct udp_pcb* pcb = nullptr;
    std::deque<Datagram> queue;
};

namespace {

constexpr ULONG kUdpId = 0x55445020;     // "UDP "
std::vector<UdpSocketState*> g_sockets;  // guarded by the core lock

bool Valid(const NX_UDP_SOCKET* s) {
    return s != nullptr && s->nx_udp_socket_id == kUdpId && s->nx_udp_socket_impl != nullptr;
}

void Received(void* arg, struct udp_pcb*, struct pbuf* p, const ip_addr_t* addr, u16_t port) {
    auto* state = static_cast<UdpSocketState*>(arg);
    NX_UDP_SOCKET* socket = state->socket;
    NX_IP* ip = socket->nx_udp_socket_ip_ptr;
    if (state->queue.size() >= socket->nx_udp_socket_queue_maximum) {
        ++ip->nx_ip_counters.udp_receive_dropped;
        pbuf_free(p);
        return;
    }
    Datagram d;
    d.source = lwip_ntohl(ip4_addr_get_u32(ip_2_ip4(addr)));
    d.port = port;
    d.bytes.resize(p->tot_len);
    pbuf_copy_partial(p, d.bytes.data(), p->tot_len, 0);
    pbuf_free(p);
    state->queue.push_back(std::move(d));
    ++ip->nx_ip_counters.udp_datagrams_received;
    Wake([socket] { tx_semaphore_put(&socket->nx_udp_socket_received); });
}

UINT FromWait(UINT status) {
    return status == TX_WAIT_ABORTED ? NX_WAIT_ABORTED : NX_NO_PACKET;
}

}  // namespace

void ForgetUdpSockets() {
    for (UdpSocketState* state : g_sockets) {
        if (state->pcb != nullptr) {
            udp_remove(state->pcb);
        }
        delete state;
    }
    g_sockets.clear();
}

}  // namespace net

using net::UdpSocketState;

UINT nx_udp_socket_create(NX_IP* ip, NX_UDP_SOCKET* socket, const CHAR* name, ULONG, ULONG, UINT,
                          ULONG queue_maximum) {
    if (ip == nullptr || socket == nullptr) {
        return NX_PTR_ERROR;
    }
    if (!ip->nx_ip_udp_enabled) {
        return NX_NOT_ENABLED;
    }
    auto* state = new (std::nothrow) UdpSocketState;
    if (state == nullptr) {
        return NX_NOT_SUCCESSFUL;
    }
    *socket = NX_UDP_SOCKET{};
    if (tx_semaphore_create(&socket->nx_udp_socket_received, const_cast<CHAR*>("udp socket"), 0) !=
        TX_SUCCESS) {
        delete state;
        return NX_NOT_SUCCESSFUL;
    }
    state->socket = socket;
    socket->nx_udp_socket_name = name;
    socket->nx_udp_socket_ip_ptr = ip;
    socket->nx_udp_socket_queue_maximum = queue_maximum == 0 ? 1 : queue_maximum;
    socket->nx_udp_socket_impl = state;
    socket->nx_udp_socket_id = net::kUdpId;
    net::CoreLock core;
    net::g_sockets.push_back(state);
    return NX_SUCCESS;
}

UINT nx_udp_socket_delete(NX_UDP_SOCKET* socket) {
    if (!net::Valid(socket)) {
        return NX_PTR_ERROR;
    }
    if (socket->nx_udp_socket_port != 0) {
        return NX_STILL_BOUND;
    }
    socket->nx_udp_socket_id = 0;
    tx_semaphore_delete(&socket->nx_udp_socket_received);
    {
        net::CoreLock core;
        std::erase(net::g_sockets, socket->nx_udp_socket_impl);
    }
    delete socket->nx_udp_socket_impl;
    socket->nx_udp_socket_impl = nullptr;
    return NX_SUCCESS;
}

UINT nx_udp_socket_bind(NX_UDP_SOCKET* socket, UINT port, ULONG) {
    if (!net::Valid(socket) || port > 0xFFFF) {
        return NX_PTR_ERROR;
    }
    UdpSocketState* state = socket->nx_udp_socket_impl;
    {
        net::CoreLock core;
        if (state->pcb != nullptr) {
            return NX_ALREADY_BOUND;
        }
        // A port is taken once per instance: each instance's sockets serve its own interface.
        for (const UdpSocketState* other : net::g_sockets) {
            if (port != 0 && other->pcb != nullptr &&
                other->socket->nx_udp_socket_ip_ptr == socket->nx_udp_socket_ip_ptr &&
                other->pcb->local_port == port) {
                return NX_PORT_UNAVAILABLE;
            }
        }
        struct udp_pcb* pcb = udp_new();
        if (pcb == nullptr) {
            return NX_NOT_SUCCESSFUL;
        }
        ip_set_option(pcb, SOF_REUSEADDR);
        if (udp_bind(pcb, IP4_ADDR_ANY, u16_t(port)) != ERR_OK) {
            udp_remove(pcb);
            return NX_PORT_UNAVAILABLE;
        }
        if (const struct netif* nif = net::NetifOf(socket->nx_udp_socket_ip_ptr)) {
            udp_bind_netif(pcb, nif);
        }
        udp_recv(pcb, net::Received, state);
        state->pcb = pcb;
        socket->nx_udp_socket_port = pcb->local_port;
    }
    if (!net::PointToPoint(socket->nx_udp_socket_ip_ptr)) {
        net::NotifyPortBound(true, uint16_t(socket->nx_udp_socket_port));
    }
    return NX_SUCCESS;
}

UINT nx_udp_socket_unbind(NX_UDP_SOCKET* socket) {
    if (!net::Valid(socket)) {
        return NX_PTR_ERROR;
    }
    UdpSocketState* state = socket->nx_udp_socket_impl;
    UINT port = 0;
    {
        net::CoreLock core;
        if (state->pcb == nullptr) {
            return NX_NOT_BOUND;
        }
        udp_remove(state->pcb);
        state->pcb = nullptr;
        state->queue.clear();
        port = socket->nx_udp_socket_port;
        socket->nx_udp_socket_port = 0;
    }
    if (!net::PointToPoint(socket->nx_udp_socket_ip_ptr)) {
        net::NotifyPortReleased(true, uint16_t(port));
    }
    return NX_SUCCESS;
}

UINT nx_udp_socket_send(NX_UDP_SOCKET* socket, NX_PACKET* packet, ULONG ip_address, UINT port) {
    if (!net::Valid(socket) || packet == nullptr) {
        return NX_PTR_ERROR;
    }
    if (ip_address == 0 || port == 0 || port > 0xFFFF) {
        return ip_address == 0 ? NX_IP_ADDRESS_ERROR : NX_INVALID_PORT;
    }
    if (packet->nx_packet_length > 65507) {
        return NX_SIZE_ERROR;
    }
    UdpSocketState* state = socket->nx_udp_socket_impl;
    {
        net::CoreLock core;
        if (state->pcb == nullptr) {
            return NX_NOT_BOUND;
        }
        struct pbuf* p = pbuf_alloc(PBUF_TRANSPORT, u16_t(packet->nx_packet_length), PBUF_RAM);
        if (p == nullptr) {
            return NX_NO_PACKET;
        }
        pbuf_take(p, packet->nx_packet_prepend_ptr, u16_t(packet->nx_packet_length));
        ip_addr_t to;
        ip_addr_set_ip4_u32(&to, lwip_htonl(ip_address));
        const err_t err = udp_sendto(state->pcb, p, &to, u16_t(port));
        pbuf_free(p);
        if (err != ERR_OK) {
            return NX_NOT_SUCCESSFUL;
        }
        ++socket->nx_udp_socket_ip_ptr->nx_ip_counters.udp_datagrams_sent;
    }
    nx_packet_release(packet);
    return NX_SUCCESS;
}

UINT nx_udp_socket_receive(NX_UDP_SOCKET* socket, NX_PACKET** packet, ULONG wait_option) {
    if (!net::Valid(socket) || packet == nullptr) {
        return NX_PTR_ERROR;
    }
    *packet = nullptr;
    UdpSocketState* state = socket->nx_udp_socket_impl;
    for (;;) {
        const UINT got = tx_semaphore_get(&socket->nx_udp_socket_received, wait_option);
        if (got != TX_SUCCESS) {
            return net::FromWait(got);
        }
        net::Datagram d;
        {
            net::CoreLock core;
            if (state->pcb == nullptr) {
                return NX_NOT_BOUND;
            }
            if (state->queue.empty()) {
                continue;
            }
            d = std::move(state->queue.front());
            state->queue.pop_front();
        }
        NX_PACKET* p = nullptr;
        NX_PACKET_POOL* pool = socket->nx_udp_socket_ip_ptr->nx_ip_default_packet_pool;
        const UINT status = nx_packet_allocate(pool, &p, NX_RECEIVE_PACKET, TX_NO_WAIT);
        if (status != NX_SUCCESS || nx_packet_data_append(p, d.bytes.data(), ULONG(d.bytes.size()),
                                                          pool, TX_NO_WAIT) != NX_SUCCESS) {
            if (p != nullptr) {
                nx_packet_release(p);
            }
            ++socket->nx_udp_socket_ip_ptr->nx_ip_counters.udp_receive_dropped;
            return NX_NO_PACKET;
        }
        p->nx_packet_source_ip = d.source;
        p->nx_packet_source_port = d.port;
        p->nx_packet_ip = socket->nx_udp_socket_ip_ptr;
        *packet = p;
        return NX_SUCCESS;
    }
}

UINT nx_udp_source_extract(NX_PACKET* packet, ULONG* ip_address, UINT* port) {
    if (packet == nullptr || ip_address == nullptr || port == nullptr) {
        return NX_PTR_ERROR;
    }
    *ip_address = packet->nx_packet_source_ip;
    *port = packet->nx_packet_source_port;
    return NX_SUCCESS;
}
