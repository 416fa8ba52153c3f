// TCP sockets over lwIP's raw TCP API. A listen entry per (instance, port) holds lwIP's listening
// connection, the socket that takes the next connection and the connections waiting for a
// socket. Socket state is guarded by the core lock; firmware callbacks run on the instance's
// thread.

#include <algorithm>
#include <deque>
#include <map>
#include <new>
#include <utility>
#include <vector>

#include "platform/net/ip_instance.h"
#include "platform/net/nx_api.h"
#include "platform/net/stack_core.h"

extern "C" {
#include "lwip/opt.h"
#include "lwip/tcp.h"
}

namespace net {

struct Listener;

struct TcpSocketState {
    NX_TCP_SOCKET* socket = nullptr;
    struct tcp_pcb* pcb = nullptr;  // the connection (or a bound client not yet connected)
    std::deque<uint8_t> rx;
    bool connected = false;
    bool peerClosed = false;
    bool failed = false;  // a connect that was refused or reset
    UINT boundPort = 0;
    Listener* listener = nullptr;  // the listen entry this socket takes connections for
    NX_TCP_CALLBACK receiveNotify = nullptr;
};

struct Listener {
    NX_IP* ip = nullptr;
    UINT port = 0;
    struct tcp_pcb* pcb = nullptr;
    NX_TCP_SOCKET* socket = nullptr;
    NX_TCP_LISTEN_CALLBACK callback = nullptr;
    std::deque<struct tcp_pcb*> pending;
    UINT queueMaximum = 1;
};

namespace {

constexpr ULONG kTcpId = 0x54435020;                       // "TCP "
std::map<std::pair<NX_IP*, UINT>, Listener*> g_listeners;  // guarded by the core lock
std::vector<TcpSocketState*> g_sockets;                    // guarded by the core lock

bool Valid(const NX_TCP_SOCKET* s) {
    return s != nullptr && s->nx_tcp_socket_id == kTcpId && s->nx_tcp_socket_impl != nullptr;
}

void Signal(NX_TCP_SOCKET* socket) {
    Wake([socket] { tx_semaphore_put(&socket->nx_tcp_socket_signal); });
}

void CallDisconnect(NX_TCP_SOCKET* socket) {
    if (socket->nx_tcp_disconnect_callback != nullptr) {
        NX_TCP_CALLBACK cb = socket->nx_tcp_disconnect_callback;
        PostToIpThread(socket->nx_tcp_socket_ip_ptr, [cb, socket] { cb(socket); });
    }
}

void PeerGone(TcpSocketState* state, bool reset) {
    NX_TCP_SOCKET* socket = state->socket;
    const bool wasConnected = state->connected;
    state->peerClosed = true;
    state->failed = reset && !wasConnected;
    if (reset) {
        state->pcb = nullptr;
        state->connected = false;
        socket->nx_tcp_socket_state = NX_TCP_CLOSED;
    } else {
        socket->nx_tcp_socket_state = NX_TCP_CLOSE_WAIT;
    }
    if (wasConnected) {
        ++socket->nx_tcp_socket_ip_ptr->nx_ip_counters.tcp_disconnections;
        CallDisconnect(socket);
    }
    Signal(socket);
}

err_t Received(void* arg, struct tcp_pcb*, struct pbuf* p, err_t) {
    auto* state = static_cast<TcpSocketState*>(arg);
    if (state == nullptr) {
        return ERR_MEM;  // a waiting connection: lwIP keeps the data for later
    }
    if (p == nullptr) {
        PeerGone(state, false);
        return ERR_OK;
    }
    std::vector<uint8_t> bytes(p->tot_len);
    pbuf_copy_partial(p, bytes.data(), p->tot_len, 0);
    state->rx.insert(state->rx.end(), bytes.begin(), bytes.end());
    state->socket->nx_tcp_socket_ip_ptr->nx_ip_counters.tcp_bytes_received += p->tot_len;
    pbuf_free(p);
    Signal(state->socket);
    if (NX_TCP_CALLBACK cb = state->receiveNotify) {
        NX_TCP_SOCKET* socket = state->socket;
        PostToIpThread(socket->nx_tcp_socket_ip_ptr, [cb, socket] { cb(socket); });
    }
    return ERR_OK;
}

err_t Sent(void* arg, struct tcp_pcb*, u16_t) {
    if (auto* state = static_cast<TcpSocketState*>(arg)) {
        Signal(state->socket);
    }
    return ERR_OK;
}

void Failed(void* arg, err_t) {
    if (auto* state = static_cast<TcpSocketState*>(arg)) {
        PeerGone(state, true);
    }
}

void Attach(TcpSocketState* state, struct tcp_pcb* pcb) {
    NX_TCP_SOCKET* socket = state->socket;
    state->pcb = pcb;
    state->connected = true;
    state->peerClosed = false;
    state->failed = false;
    state->rx.clear();
    tcp_arg(pcb, state);
    tcp_recv(pcb, Received);
    tcp_sent(pcb, Sent);
    tcp_err(pcb, Failed);
    tcp_nagle_disable(pcb);  // each send goes out at once, as the firmware expects
    socket->nx_tcp_socket_state = NX_TCP_ESTABLISHED;
    socket->nx_tcp_socket_connect_ip = lwip_ntohl(ip4_addr_get_u32(ip_2_ip4(&pcb->remote_ip)));
    socket->nx_tcp_socket_connect_port = pcb->remote_port;
    ++socket->nx_tcp_socket_ip_ptr->nx_ip_counters.tcp_connections;
    Signal(socket);
    // lwIP hands data refused while the connection waited once the receive callback takes it.
}

void PendingFailed(void* arg, err_t) {
    // A waiting connection reset by its peer: its pcb is gone.
    auto* entry = static_cast<std::pair<Listener*, struct tcp_pcb*>*>(arg);
    auto& pending = entry->first->pending;
    pending.erase(std::remove(pending.begin(), pending.end(), entry->second), pending.end());
    delete entry;
}

void ForgetPending(struct tcp_pcb* pcb) {
    delete static_cast<std::pair<Listener*, struct tcp_pcb*>*>(pcb->callback_arg);
    tcp_arg(pcb, nullptr);
    tcp_err(pcb, nullptr);
}

err_t Accepted(void* arg, struct tcp_pcb* pcb, err_t err) {
    auto* listener = static_cast<Listener*>(arg);
    if (err != ERR_OK || pcb == nullptr) {
        return ERR_VAL;
    }
    NX_TCP_SOCKET* socket = listener->socket;
    if (socket != nullptr && socket->nx_tcp_socket_state == NX_TCP_LISTEN_STATE) {
        Attach(socket->nx_tcp_socket_impl, pcb);
        listener->socket = nullptr;  // the port takes another socket by relisten
    } else if (listener->pending.size() < listener->queueMaximum) {
        listener->pending.push_back(pcb);
        tcp_arg(pcb, new std::pair<Listener*, struct tcp_pcb*>(listener, pcb));
        tcp_err(pcb, PendingFailed);
        // Data of a waiting connection is refused: lwIP offers it again once attached.
        tcp_recv(pcb, [](void*, struct tcp_pcb*, struct pbuf*, err_t) -> err_t { return ERR_MEM; });
    } else {
        tcp_abort(pcb);
        return ERR_ABRT;
    }
    if (listener->callback != nullptr) {
        NX_TCP_LISTEN_CALLBACK cb = listener->callback;
        NX_TCP_SOCKET* target = socket;
        const UINT port = listener->port;
        PostToIpThread(listener->ip, [cb, target, port] { cb(target, port); });
    }
    return ERR_OK;
}

void Detach(TcpSocketState* state) {
    if (state->pcb == nullptr) {
        return;
    }
    struct tcp_pcb* pcb = state->pcb;
    state->pcb = nullptr;
    tcp_arg(pcb, nullptr);
    tcp_recv(pcb, nullptr);
    tcp_sent(pcb, nullptr);
    tcp_err(pcb, nullptr);
    if (pcb->state == CLOSED) {
        tcp_close(pcb);
    } else if (tcp_close(pcb) != ERR_OK) {
        tcp_abort(pcb);
    }
}

// Waits for the socket's signal within what is left of wait_option since start.
UINT WaitSignal(NX_TCP_SOCKET* socket, ULONG wait_option, ULONG start, UINT timeoutStatus) {
    ULONG wait = wait_option;
    if (wait_option != TX_WAIT_FOREVER) {
        const ULONG waited = tx_time_get() - start;
        if (waited >= wait_option && wait_option != TX_NO_WAIT) {
            return timeoutStatus;
        }
        wait = wait_option == TX_NO_WAIT ? TX_NO_WAIT : wait_option - waited;
    }
    const UINT got = tx_semaphore_get(&socket->nx_tcp_socket_signal, wait);
    if (got == TX_SUCCESS) {
        return NX_SUCCESS;
    }
    return got == TX_WAIT_ABORTED ? NX_WAIT_ABORTED : timeoutStatus;
}

}  // namespace

void ForgetTcpSockets() {
    for (auto& [key, listener] : g_listeners) {
        for (struct tcp_pcb* pcb : listener->pending) {
            ForgetPending(pcb);
            tcp_abort(pcb);
        }
        tcp_arg(listener->pcb, nullptr);
        tcp_accept(listener->pcb, nullptr);
        tcp_close(listener->pcb);
        delete listener;
    }
    g_listeners.clear();
    for (TcpSocketState* state : g_sockets) {
        if (state->pcb != nullptr) {
            struct tcp_pcb* pcb = state->pcb;
            tcp_arg(pcb, nullptr);
            tcp_recv(pcb, nullptr);
            tcp_sent(pcb, nullptr);
            tcp_err(pcb, nullptr);
            tcp_abort(pcb);
        }
        delete state;
    }
    g_sockets.clear();
}

}  // namespace net

using net::Listener;
using net::TcpSocketState;

UINT nx_tcp_socket_create(NX_IP* ip, NX_TCP_SOCKET* socket, const CHAR* name, ULONG, ULONG, UINT,
                          ULONG window_size, NX_TCP_CALLBACK urgent_data_callback,
                          NX_TCP_CALLBACK disconnect_callback) {
    if (ip == nullptr || socket == nullptr) {
        return NX_PTR_ERROR;
    }
    if (!ip->nx_ip_tcp_enabled) {
        return NX_NOT_ENABLED;
    }
    auto* state = new (std::nothrow) TcpSocketState;
    if (state == nullptr) {
        return NX_NOT_SUCCESSFUL;
    }
    *socket = NX_TCP_SOCKET{};
    if (tx_semaphore_create(&socket->nx_tcp_socket_signal, const_cast<CHAR*>("tcp socket"), 0) !=
        TX_SUCCESS) {
        delete state;
        return NX_NOT_SUCCESSFUL;
    }
    state->socket = socket;
    socket->nx_tcp_socket_name = name;
    socket->nx_tcp_socket_ip_ptr = ip;
    socket->nx_tcp_socket_state = NX_TCP_CLOSED;
    socket->nx_tcp_socket_rx_window_default = window_size;
    socket->nx_tcp_urgent_data_callback = urgent_data_callback;
    socket->nx_tcp_disconnect_callback = disconnect_callback;
    socket->nx_tcp_socket_impl = state;
    socket->nx_tcp_socket_id = net::kTcpId;
    net::CoreLock core;
    net::g_sockets.push_back(state);
    return NX_SUCCESS;
}

UINT nx_tcp_socket_delete(NX_TCP_SOCKET* socket) {
    if (!net::Valid(socket)) {
        return NX_PTR_ERROR;
    }
    {
        net::CoreLock core;
        TcpSocketState* state = socket->nx_tcp_socket_impl;
        if (state->pcb != nullptr || state->listener != nullptr || state->boundPort != 0) {
            return NX_NOT_CLOSED;
        }
        socket->nx_tcp_socket_id = 0;
        std::erase(net::g_sockets, state);
    }
    tx_semaphore_delete(&socket->nx_tcp_socket_signal);
    delete socket->nx_tcp_socket_impl;
    socket->nx_tcp_socket_impl = nullptr;
    return NX_SUCCESS;
}

UINT nx_tcp_server_socket_listen(NX_IP* ip, UINT port, NX_TCP_SOCKET* socket, UINT queue_maximum,
                                 NX_TCP_LISTEN_CALLBACK listen_callback) {
    if (ip == nullptr || !net::Valid(socket)) {
        return NX_PTR_ERROR;
    }
    if (port == 0 || port > 0xFFFF) {
        return NX_INVALID_PORT;
    }
    {
        net::CoreLock core;
        TcpSocketState* state = socket->nx_tcp_socket_impl;
        if (net::g_listeners.count({ip, port}) != 0) {
            return NX_DUPLICATE_LISTEN;
        }
        if (socket->nx_tcp_socket_state != NX_TCP_CLOSED || state->pcb != nullptr ||
            state->listener != nullptr) {
            return NX_NOT_CLOSED;
        }
        struct tcp_pcb* pcb = tcp_new();
        if (pcb == nullptr) {
            return NX_NOT_SUCCESSFUL;
        }
        ip_set_option(pcb, SOF_REUSEADDR);
        if (tcp_bind(pcb, IP4_ADDR_ANY, u16_t(port)) != ERR_OK) {
            tcp_close(pcb);
            return NX_PORT_UNAVAILABLE;
        }
        if (const struct netif* nif = net::NetifOf(ip)) {
            tcp_bind_netif(pcb, nif);
        }
        // lwIP refuses a second listener of a port on the same local address when the option
        // is set; the port's listeners are per instance (checked above), so it is set after.
        ip_reset_option(pcb, SOF_REUSEADDR);
        struct tcp_pcb* listening = tcp_listen_with_backlog(pcb, 8);
        if (listening != nullptr) {
            ip_set_option(listening, SOF_REUSEADDR);
        }
        if (listening == nullptr) {
            tcp_close(pcb);
            return NX_NOT_SUCCESSFUL;
        }
        auto* listener = new Listener;
        listener->ip = ip;
        listener->port = port;
        listener->pcb = listening;
        listener->socket = socket;
        listener->callback = listen_callback;
        listener->queueMaximum = queue_maximum == 0 ? 1 : queue_maximum;
        tcp_arg(listening, listener);
        tcp_accept(listening, net::Accepted);
        net::g_listeners[{ip, port}] = listener;
        state->listener = listener;
        socket->nx_tcp_socket_port = port;
        socket->nx_tcp_socket_state = NX_TCP_LISTEN_STATE;
    }
    if (!net::PointToPoint(ip)) {
        net::NotifyPortBound(false, uint16_t(port));
    }
    return NX_SUCCESS;
}

UINT nx_tcp_server_socket_accept(NX_TCP_SOCKET* socket, ULONG wait_option) {
    if (!net::Valid(socket)) {
        return NX_PTR_ERROR;
    }
    const ULONG start = tx_time_get();
    for (;;) {
        {
            net::CoreLock core;
            TcpSocketState* state = socket->nx_tcp_socket_impl;
            if (state->connected) {
                return NX_SUCCESS;
            }
            if (socket->nx_tcp_socket_state != NX_TCP_LISTEN_STATE) {
                return NX_NOT_LISTEN_STATE;
            }
        }
        const UINT status = net::WaitSignal(socket, wait_option, start, NX_NOT_CONNECTED);
        if (status != NX_SUCCESS) {
            return status;
        }
    }
}

UINT nx_tcp_server_socket_unaccept(NX_TCP_SOCKET* socket) {
    if (!net::Valid(socket)) {
        return NX_PTR_ERROR;
    }
    net::CoreLock core;
    TcpSocketState* state = socket->nx_tcp_socket_impl;
    if (state->pcb != nullptr) {
        return NX_NOT_CLOSED;
    }
    if (state->listener != nullptr && state->listener->socket == socket) {
        state->listener->socket = nullptr;
    }
    state->listener = nullptr;
    state->rx.clear();
    state->peerClosed = false;
    socket->nx_tcp_socket_state = NX_TCP_CLOSED;
    return NX_SUCCESS;
}

UINT nx_tcp_server_socket_relisten(NX_IP* ip, UINT port, NX_TCP_SOCKET* socket) {
    if (ip == nullptr || !net::Valid(socket)) {
        return NX_PTR_ERROR;
    }
    net::CoreLock core;
    auto found = net::g_listeners.find({ip, port});
    if (found == net::g_listeners.end()) {
        return NX_NOT_LISTEN_STATE;
    }
    Listener* listener = found->second;
    TcpSocketState* state = socket->nx_tcp_socket_impl;
    if (socket->nx_tcp_socket_state != NX_TCP_CLOSED || state->pcb != nullptr) {
        return NX_NOT_CLOSED;
    }
    if (listener->socket != nullptr && listener->socket != socket) {
        return NX_INVALID_RELISTEN;
    }
    listener->socket = socket;
    state->listener = listener;
    socket->nx_tcp_socket_port = port;
    socket->nx_tcp_socket_state = NX_TCP_LISTEN_STATE;
    if (!listener->pending.empty()) {
        struct tcp_pcb* pcb = listener->pending.front();
        listener->pending.pop_front();
        net::ForgetPending(pcb);
        net::Attach(state, pcb);
        listener->socket = nullptr;
        return NX_CONNECTION_PENDING;
    }
    return NX_SUCCESS;
}

UINT nx_tcp_server_socket_unlisten(NX_IP* ip, UINT port) {
    {
        net::CoreLock core;
        auto found = net::g_listeners.find({ip, port});
        if (found == net::g_listeners.end()) {
            return NX_ENTRY_NOT_FOUND;
        }
        Listener* listener = found->second;
        net::g_listeners.erase(found);
        for (struct tcp_pcb* pcb : listener->pending) {
            net::ForgetPending(pcb);
            tcp_abort(pcb);
        }
        tcp_arg(listener->pcb, nullptr);
        tcp_accept(listener->pcb, nullptr);
        tcp_close(listener->pcb);
        // The listening socket and the ones that took connections of the port.
        for (TcpSocketState* state : net::g_sockets) {
            if (state->listener != listener) {
                continue;
            }
            state->listener = nullptr;
            if (state->socket->nx_tcp_socket_state == NX_TCP_LISTEN_STATE) {
                state->socket->nx_tcp_socket_state = NX_TCP_CLOSED;
            }
        }
        delete listener;
    }
    if (!net::PointToPoint(ip)) {
        net::NotifyPortReleased(false, uint16_t(port));
    }
    return NX_SUCCESS;
}

UINT nx_tcp_client_socket_bind(NX_TCP_SOCKET* socket, UINT port, ULONG) {
    if (!net::Valid(socket) || port > 0xFFFF) {
        return NX_PTR_ERROR;
    }
    net::CoreLock core;
    TcpSocketState* state = socket->nx_tcp_socket_impl;
    if (state->boundPort != 0 || state->listener != nullptr) {
        return NX_ALREADY_BOUND;
    }
    struct tcp_pcb* pcb = tcp_new();
    if (pcb == nullptr) {
        return NX_NOT_SUCCESSFUL;
    }
    ip_set_option(pcb, SOF_REUSEADDR);
    if (tcp_bind(pcb, IP4_ADDR_ANY, u16_t(port)) != ERR_OK) {
        tcp_close(pcb);
        return NX_PORT_UNAVAILABLE;
    }
    state->boundPort = pcb->local_port;
    socket->nx_tcp_socket_port = pcb->local_port;
    tcp_close(pcb);  // the connection is opened on this port by connect
    return NX_SUCCESS;
}

UINT nx_tcp_client_socket_unbind(NX_TCP_SOCKET* socket) {
    if (!net::Valid(socket)) {
        return NX_PTR_ERROR;
    }
    net::CoreLock core;
    TcpSocketState* state = socket->nx_tcp_socket_impl;
    if (state->boundPort == 0) {
        return NX_NOT_BOUND;
    }
    if (state->pcb != nullptr) {
        return NX_NOT_CLOSED;
    }
    state->boundPort = 0;
    socket->nx_tcp_socket_port = 0;
    return NX_SUCCESS;
}

namespace {
err_t Connected(void* arg, struct tcp_pcb* pcb, err_t) {
    auto* state = static_cast<TcpSocketState*>(arg);
    net::Attach(state, pcb);
    return ERR_OK;
}
}  // namespace

UINT nx_tcp_client_socket_connect(NX_TCP_SOCKET* socket, ULONG server_ip, UINT server_port,
                                  ULONG wait_option) {
    if (!net::Valid(socket)) {
        return NX_PTR_ERROR;
    }
    if (server_ip == 0 || server_port == 0 || server_port > 0xFFFF) {
        return server_ip == 0 ? NX_IP_ADDRESS_ERROR : NX_INVALID_PORT;
    }
    TcpSocketState* state = socket->nx_tcp_socket_impl;
    {
        net::CoreLock core;
        if (state->boundPort == 0) {
            return NX_NOT_BOUND;
        }
        if (state->pcb != nullptr) {
            return NX_NOT_CLOSED;
        }
        struct tcp_pcb* pcb = tcp_new();
        if (pcb == nullptr) {
            return NX_NOT_SUCCESSFUL;
        }
        ip_set_option(pcb, SOF_REUSEADDR);
        ip_addr_t to;
        ip_addr_set_ip4_u32(&to, lwip_htonl(server_ip));
        tcp_arg(pcb, state);
        tcp_err(pcb, net::Failed);
        if (const struct netif* nif = net::NetifOf(socket->nx_tcp_socket_ip_ptr)) {
            tcp_bind_netif(pcb, nif);
        }
        if (tcp_bind(pcb, IP4_ADDR_ANY, u16_t(state->boundPort)) != ERR_OK ||
            tcp_connect(pcb, &to, u16_t(server_port), Connected) != ERR_OK) {
            tcp_abort(pcb);
            return NX_NOT_SUCCESSFUL;
        }
        state->pcb = pcb;
        state->failed = false;
        state->peerClosed = false;
        socket->nx_tcp_socket_state = NX_TCP_SYN_SENT;
    }
    const ULONG start = tx_time_get();
    for (;;) {
        {
            net::CoreLock core;
            if (state->connected) {
                return NX_SUCCESS;
            }
            if (state->failed || state->pcb == nullptr) {
                socket->nx_tcp_socket_state = NX_TCP_CLOSED;
                return NX_NOT_CONNECTED;
            }
            if (wait_option == TX_NO_WAIT) {
                return NX_IN_PROGRESS;
            }
        }
        const UINT status = net::WaitSignal(socket, wait_option, start, NX_NOT_CONNECTED);
        if (status != NX_SUCCESS) {
            net::CoreLock core;
            if (!state->connected) {
                net::Detach(state);
                socket->nx_tcp_socket_state = NX_TCP_CLOSED;
                return status;
            }
        }
    }
}

UINT nx_tcp_socket_disconnect(NX_TCP_SOCKET* socket, ULONG) {
    if (!net::Valid(socket)) {
        return NX_PTR_ERROR;
    }
    net::CoreLock core;
    TcpSocketState* state = socket->nx_tcp_socket_impl;
    const bool had = state->pcb != nullptr || state->peerClosed;
    if (state->connected) {
        ++socket->nx_tcp_socket_ip_ptr->nx_ip_counters.tcp_disconnections;
    }
    net::Detach(state);
    state->connected = false;
    state->peerClosed = false;
    state->rx.clear();
    if (socket->nx_tcp_socket_state != NX_TCP_LISTEN_STATE || had) {
        socket->nx_tcp_socket_state = NX_TCP_CLOSED;
    }
    return had ? NX_SUCCESS : NX_NOT_CONNECTED;
}

UINT nx_tcp_socket_send(NX_TCP_SOCKET* socket, NX_PACKET* packet, ULONG wait_option) {
    if (!net::Valid(socket) || packet == nullptr) {
        return NX_PTR_ERROR;
    }
    TcpSocketState* state = socket->nx_tcp_socket_impl;
    const ULONG length = packet->nx_packet_length;
    const ULONG start = tx_time_get();
    for (;;) {
        {
            net::CoreLock core;
            if (!state->connected || state->pcb == nullptr) {
                return NX_NOT_CONNECTED;
            }
            if (length == 0) {
                break;
            }
            if (tcp_sndbuf(state->pcb) >= length &&
                tcp_sndqueuelen(state->pcb) < TCP_SND_QUEUELEN) {
                if (tcp_write(state->pcb, packet->nx_packet_prepend_ptr, u16_t(length),
                              TCP_WRITE_FLAG_COPY) != ERR_OK) {
                    return NX_NOT_SUCCESSFUL;
                }
                tcp_output(state->pcb);
                socket->nx_tcp_socket_ip_ptr->nx_ip_counters.tcp_bytes_sent += length;
                break;
            }
        }
        const UINT status = net::WaitSignal(socket, wait_option, start, NX_WINDOW_OVERFLOW);
        if (status != NX_SUCCESS) {
            return status;
        }
    }
    nx_packet_release(packet);
    return NX_SUCCESS;
}

UINT nx_tcp_socket_receive(NX_TCP_SOCKET* socket, NX_PACKET** packet, ULONG wait_option) {
    if (!net::Valid(socket) || packet == nullptr) {
        return NX_PTR_ERROR;
    }
    *packet = nullptr;
    TcpSocketState* state = socket->nx_tcp_socket_impl;
    NX_PACKET_POOL* pool = socket->nx_tcp_socket_ip_ptr->nx_ip_default_packet_pool;
    const ULONG start = tx_time_get();
    for (;;) {
        bool ready = false;
        {
            net::CoreLock core;
            ready = !state->rx.empty();
            if (!ready && (!state->connected || state->peerClosed)) {
                return NX_NOT_CONNECTED;
            }
        }
        if (ready) {
            NX_PACKET* p = nullptr;
            if (nx_packet_allocate(pool, &p, NX_RECEIVE_PACKET, TX_NO_WAIT) != NX_SUCCESS) {
                return NX_NO_PACKET;
            }
            net::CoreLock core;
            const size_t room = size_t(p->nx_packet_data_end - p->nx_packet_append_ptr);
            const size_t n = std::min(room, state->rx.size());
            std::copy_n(state->rx.begin(), n, p->nx_packet_append_ptr);
            state->rx.erase(state->rx.begin(), state->rx.begin() + long(n));
            p->nx_packet_append_ptr += n;
            p->nx_packet_length = ULONG(n);
            p->nx_packet_ip = socket->nx_tcp_socket_ip_ptr;
            if (state->pcb != nullptr) {
                tcp_recved(state->pcb, u16_t(n));
            }
            *packet = p;
            return NX_SUCCESS;
        }
        const UINT status = net::WaitSignal(socket, wait_option, start, NX_NO_PACKET);
        if (status != NX_SUCCESS) {
            return status;
        }
    }
}

UINT nx_tcp_socket_receive_notify(NX_TCP_SOCKET* socket, NX_TCP_CALLBACK notify) {
    if (!net::Valid(socket)) {
        return NX_PTR_ERROR;
    }
    net::CoreLock core;
    socket->nx_tcp_socket_impl->receiveNotify = notify;
    return NX_SUCCESS;
}
