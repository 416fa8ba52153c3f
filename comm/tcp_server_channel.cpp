#include "comm/tcp_server_channel.h"

#include "comm/reply_packet.h"
#include "comm/udp_server_channel.h"
#include "runtime/debug_print.h"

namespace {

struct TcpListenSlot {
    NX_TCP_SOCKET socket;
    TX_THREAD thread;
    NX_IP* ip;
    bool free;
    UINT port;
    bool connected;
    bool relisten;
    CTCP_Server* channel;
    uint8_t message[EthernetLink::kQueueSize];
};

TcpListenSlot g_TcpSlots[CTCP_Server::kSlots];
NX_PACKET_POOL* g_TcpPool = nullptr;
NX_PACKET_POOL* g_TcpLargePool = nullptr;
TX_MUTEX g_TcpMutex;
bool g_TcpReady = false;

TcpListenSlot* SlotOf(NX_TCP_SOCKET* socket) {
    for (TcpListenSlot& slot : g_TcpSlots) {
        if (&slot.socket == socket) {
            return &slot;
        }
    }
    return nullptr;
}

void tcp_thread_listen_callback(NX_TCP_SOCKET* socket, UINT) {
    if (TcpListenSlot* slot = SlotOf(socket)) {
        tx_thread_resume(&slot->thread);
    }
}

void tcp_thread_disconnect_callback(NX_TCP_SOCKET* socket) {
    TcpListenSlot* slot = SlotOf(socket);
    if (slot != nullptr && slot->connected) {
        slot->connected = false;
        tx_thread_wait_abort(&slot->thread);
    }
}

// Arms the free slots in index order until one listens on port; 0 on success.
int ArmSlot(UINT port, CTCP_Server* channel, bool relisten) {
    for (TcpListenSlot& slot : g_TcpSlots) {
        if (!slot.free) {
            continue;
        }
        slot.free = false;
        slot.port = port;
        slot.channel = channel;
        slot.relisten = false;
        const UINT status = relisten ? nx_tcp_server_socket_relisten(slot.ip, port, &slot.socket)
                                     : nx_tcp_server_socket_listen(slot.ip, port, &slot.socket, 1,
                                                                   tcp_thread_listen_callback);
        if (status == NX_SUCCESS || status == NX_CONNECTION_PENDING) {
            tx_thread_resume(&slot.thread);
            return 0;
        }
        DebugPrint("nx_tcp_server_socket_listen error:0x%02X\n", status);
    }
    return 1;
}

// The first slot due for relisten gives its port back to a free slot.
void RelistenPending() {
    for (TcpListenSlot& slot : g_TcpSlots) {
        if (slot.relisten) {
            slot.relisten = false;
            ArmSlot(slot.port, slot.channel, true);
            return;
        }
    }
}

void ServeConnection(TcpListenSlot* slot) {
    slot->connected = true;
    BerDelimiter delimiter(slot->message, sizeof slot->message);
    while (slot->connected) {
        if (slot->channel->Receive(&slot->socket, &delimiter) == 0) {
            slot->connected = false;
        }
    }
}

void tcp_thread_entry(ULONG_PTR input) {
    TcpListenSlot* slot = reinterpret_cast<TcpListenSlot*>(input);
    for (;;) {
        if (nx_tcp_server_socket_accept(&slot->socket, CTCP_Server::kAcceptTicks) == NX_SUCCESS) {
            ServeConnection(slot);
        }
        nx_tcp_socket_disconnect(&slot->socket, 4);
        nx_tcp_server_socket_unaccept(&slot->socket);
        tx_mutex_get(&g_TcpMutex, TX_WAIT_FOREVER);
        slot->connected = false;
        slot->free = true;
        slot->relisten = true;
        RelistenPending();
        const bool idle = slot->free;
        tx_mutex_put(&g_TcpMutex);
        if (idle) {
            tx_thread_suspend(&slot->thread);  // until a listen arms this slot again
        }
    }
}

}  // namespace

void CTCP_Server::Initialize(NX_IP* ip, uint8_t* stack, NX_PACKET_POOL* pool,
                             NX_PACKET_POOL* large) {
    g_TcpPool = pool;
    g_TcpLargePool = large;
    for (size_t i = 0; i < kSlots; ++i) {
        TcpListenSlot& slot = g_TcpSlots[i];
        slot.ip = ip;
        slot.free = true;
        slot.connected = false;
        slot.relisten = false;
        slot.channel = nullptr;
        UINT status = tx_thread_create(&slot.thread, const_cast<CHAR*>("tcp thread"),
                                       tcp_thread_entry, reinterpret_cast<ULONG_PTR>(&slot),
                                       stack + i * kStackSize, kStackSize, 3, 3, 1, TX_DONT_START);
        if (status != TX_SUCCESS) {
            DebugPrint("tcp_thread_initialize: tx_thread_create error 0x%02X!\n", status);
        }
        status =
            nx_tcp_socket_create(ip, &slot.socket, "tcp thread socket", 0, NX_FRAGMENT_OKAY,
                                 NX_IP_TIME_TO_LIVE, 1000, nullptr, tcp_thread_disconnect_callback);
        if (status != NX_SUCCESS) {
            DebugPrint("tcp_thread_initialize: nx_tcp_socket_create error 0x%02X!\n", status);
        }
    }
    tx_mutex_create(&g_TcpMutex, const_cast<CHAR*>("tcp mutex"), TX_INHERIT);
    g_TcpReady = true;
}

void CTCP_Server::Reset() {
    g_TcpReady = false;
    g_TcpPool = nullptr;
    g_TcpLargePool = nullptr;
}

int CTCP_Server::Listen(UINT port) {
    if (!g_TcpReady) {
        return 0;
    }
    tx_mutex_get(&g_TcpMutex, TX_WAIT_FOREVER);
    const int result = ArmSlot(port, this, false);
    tx_mutex_put(&g_TcpMutex);
    return result == 0 ? 1 : 0;
}

namespace {

// Answers on the connection the request came on.
class ConnectionReply final : public EthernetFrameSink {
public:
    explicit ConnectionReply(NX_TCP_SOCKET* socket) : socket_(socket) {}
    bool SendFrame(const uint8_t* frame, size_t length, uint32_t, uint16_t) override {
        return CTCP_Server::SendFrame(socket_, frame, length);
    }

private:
    NX_TCP_SOCKET* socket_;
};

}  // namespace

int CTCP_Server::Receive(NX_TCP_SOCKET* socket, BerDelimiter* delimiter) {
    NX_PACKET* packet = nullptr;
    if (nx_tcp_socket_receive(socket, &packet, kIdleTicks) != NX_SUCCESS) {
        return 0;
    }
    int result = 1;
    if (protocol_ == kEthernetProtocolSnmp && link_ != nullptr) {
        ConnectionReply reply(socket);
        const uint8_t* data = packet->nx_packet_prepend_ptr;
        for (ULONG i = 0; i < packet->nx_packet_length; ++i) {
            const BerDelimiter::Step step = delimiter->Push(data[i]);
            if (step == BerDelimiter::Step::kRefused) {
                result = 0;  // not an SNMP stream: the connection is closed
                break;
            }
            if (step == BerDelimiter::Step::kMessage) {
                link_->DeliverMessage(delimiter->Message(), delimiter->Length(),
                                      socket->nx_tcp_socket_connect_ip,
                                      uint16_t(socket->nx_tcp_socket_connect_port), &reply);
            }
        }
    }
    nx_packet_release(packet);
    return result;
}

bool CTCP_Server::SendFrame(NX_TCP_SOCKET* socket, const uint8_t* frame, size_t length) {
    if (socket == nullptr || length > kMaxFrame || g_TcpPool == nullptr) {
        return false;
    }
    NX_PACKET* packet = ReplyPacket(g_TcpPool, g_TcpLargePool, NX_TCP_PACKET, frame, length);
    if (packet == nullptr) {
        return false;
    }
    if (nx_tcp_socket_send(socket, packet, TX_WAIT_FOREVER) != NX_SUCCESS) {
        nx_packet_release(packet);
        return false;
    }
    return true;
}
