#include "comm/udp_server_channel.h"

#include <cstring>

#include "comm/reply_packet.h"
#include "database/global_database.h"
#include "database/object_ids.h"
#include "runtime/debug_print.h"

namespace {

struct UdpListenSlot {
    NX_UDP_SOCKET socket;
    TX_THREAD thread;
    NX_IP* ip;
    bool free;
    UINT port;
    CUDP_Server* channel;
};

UdpListenSlot g_UdpSlots[CUDP_Server::kSlots];
NX_PACKET_POOL* g_UdpPool = nullptr;
NX_PACKET_POOL* g_UdpLargePool = nullptr;
TX_MUTEX g_UdpMutex;
bool g_UdpReady = false;

constexpr size_t kTextHeader = 8;
constexpr uint8_t kTextMark = 0x0D;

void udp_thread_entry(ULONG_PTR input) {
    UdpListenSlot* slot = reinterpret_cast<UdpListenSlot*>(input);
    for (;;) {
        if (slot->channel->Receive(&slot->socket, slot->port) == 0) {
            tx_thread_sleep(1);
        }
    }
}

}  // namespace

// Sends the response to the peer of the datagram that carried the request.
class CUDP_Server::Reply final : public EthernetFrameSink {
public:
    explicit Reply(NX_UDP_SOCKET* socket) : socket_(socket) {}
    bool SendFrame(const uint8_t* frame, size_t length, uint32_t peer, uint16_t port) override {
        if (length > kMaxFrame || g_UdpPool == nullptr) {
            return false;
        }
        NX_PACKET* packet = ReplyPacket(g_UdpPool, g_UdpLargePool, NX_UDP_PACKET, frame, length);
        if (packet == nullptr) {
            return false;
        }
        if (nx_udp_socket_send(socket_, packet, peer, port) != NX_SUCCESS) {
            nx_packet_release(packet);
            return false;
        }
        return true;
    }

private:
    NX_UDP_SOCKET* socket_;
};

void CUDP_Server::Initialize(NX_IP* ip, uint8_t* stack, NX_PACKET_POOL* pool,
                             NX_PACKET_POOL* large) {
    g_UdpPool = pool;
    g_UdpLargePool = large;
    for (size_t i = 0; i < kSlots; ++i) {
        UdpListenSlot& slot = g_UdpSlots[i];
        slot = UdpListenSlot{};
        UINT status = tx_thread_create(&slot.thread, const_cast<CHAR*>("udp thread"),
                                       udp_thread_entry, reinterpret_cast<ULONG_PTR>(&slot),
                                       stack + i * kStackSize, kStackSize, 3, 3, 1, TX_DONT_START);
        if (status != TX_SUCCESS) {
            DebugPrint("udp_thread_initialize: tx_thread_create error:0x%02X\n", status);
        }
        status = nx_udp_socket_create(ip, &slot.socket, "udp thread socket", 0, NX_FRAGMENT_OKAY,
                                      NX_IP_TIME_TO_LIVE, 1000);
        if (status != NX_SUCCESS) {
            DebugPrint("udp_thread_initialize: nx_udp_socket_create error:0x%02X\n", status);
        }
        slot.ip = ip;
        slot.free = true;
    }
    tx_mutex_create(&g_UdpMutex, const_cast<CHAR*>("udp mutex"), TX_INHERIT);
    g_UdpReady = true;
}

void CUDP_Server::Reset() {
    g_UdpReady = false;
    g_UdpPool = nullptr;
    g_UdpLargePool = nullptr;
}

int CUDP_Server::Listen(UINT port) {
    if (!g_UdpReady) {
        return 0;
    }
    tx_mutex_get(&g_UdpMutex, TX_WAIT_FOREVER);
    for (UdpListenSlot& slot : g_UdpSlots) {
        if (!slot.free) {
            continue;
        }
        slot.free = false;
        slot.port = port;
        slot.channel = this;
        const UINT status = nx_udp_socket_bind(&slot.socket, port, TX_NO_WAIT);
        if (status != NX_SUCCESS) {
            DebugPrint("udp_thread_listen_setup: nx_udp_socket_bind error:0x%02X\n", status);
            continue;
        }
        tx_mutex_put(&g_UdpMutex);
        tx_thread_resume(&slot.thread);
        return 1;
    }
    tx_mutex_put(&g_UdpMutex);
    return 0;
}

int CUDP_Server::Receive(NX_UDP_SOCKET* socket, UINT port) {
    NX_PACKET* packet = nullptr;
    if (nx_udp_socket_receive(socket, &packet, TX_WAIT_FOREVER) != NX_SUCCESS) {
        return 0;
    }
    const uint8_t* data = packet->nx_packet_prepend_ptr;
    const size_t length = packet->nx_packet_length;
    if (port == kAuxiliaryTextPort) {
        StoreExternalText(data, length);
    } else if (protocol_ == kEthernetProtocolSnmp && link_ != nullptr) {
        ULONG peer = 0;
        UINT peerPort = 0;
        nx_udp_source_extract(packet, &peer, &peerPort);
        DeliverSnmp(socket, data, length, peer, peerPort);
    }
    nx_packet_release(packet);
    return 1;
}

void CUDP_Server::DeliverSnmp(NX_UDP_SOCKET* socket, const uint8_t* data, size_t length, ULONG peer,
                              UINT peerPort) {
    // Each datagram is delimited on its own: a broken one cannot swallow the next.
    BerDelimiter delimiter(message_, sizeof message_);
    Reply reply(socket);
    for (size_t i = 0; i < length; ++i) {
        const BerDelimiter::Step step = delimiter.Push(data[i]);
        if (step == BerDelimiter::Step::kRefused) {
            return;
        }
        if (step == BerDelimiter::Step::kMessage) {
            link_->DeliverMessage(delimiter.Message(), delimiter.Length(), peer, uint16_t(peerPort),
                                  &reply);
        }
    }
}

int StoreExternalText(const uint8_t* datagram, size_t length) {
    if (length <= kTextHeader || datagram[0] != kTextMark) {
        return 0;
    }
    g_DataBase.SetText(dbo::externalText, datagram + kTextHeader, uint32_t(length - kTextHeader),
                       kDbNotify);
    return 1;
}
