#include "comm/telnet_server.h"

#include <algorithm>
#include <string>

#include "comm/network_standin.h"
#include "comm/telnet_input.h"

namespace {

// Server thread events: set by the socket callbacks on the IP instance's thread.
constexpr ULONG kConnectEvent = 0x1;
constexpr ULONG kDataEvent = 0x2;
constexpr ULONG kDisconnectEvent = 0x4;
constexpr ULONG kAllEvents = kConnectEvent | kDataEvent | kDisconnectEvent;

struct Connection {
    NX_TCP_SOCKET socket;
    bool created;
    bool listening;  // the socket that takes the port's next connection
    bool connected;
    ULONG_PTR id;  // ids count from 1 and are never reused within a boot
    CTelnetInput input;
};

struct ServerStatics {
    uint8_t state = CTelnetServer::kNew;
    TelnetConsoleHandler handler = nullptr;
    NX_IP* ip = nullptr;
    NX_PACKET_POOL* pool = nullptr;
    TX_THREAD thread{};
    TX_EVENT_FLAGS_GROUP events{};
    TX_MUTEX lock{};  // the connection table, between the server thread and Stop
    void* stack = nullptr;
    Connection connections[CTelnetServer::kConnections]{};
    ULONG_PTR nextId = 1;
};

ServerStatics& S() {
    static ServerStatics statics;
    return statics;
}

void Raise(ULONG event) {
    if (S().state == CTelnetServer::kStarted) {
        tx_event_flags_set(&S().events, event, TX_OR);
    }
}
void OnListen(NX_TCP_SOCKET*, UINT) {
    Raise(kConnectEvent);
}
void OnReceive(NX_TCP_SOCKET*) {
    Raise(kDataEvent);
}
void OnDisconnect(NX_TCP_SOCKET*) {
    Raise(kDisconnectEvent);
}

Connection* Find(ULONG_PTR id) {
    for (Connection& c : S().connections) {
        if (c.connected && c.id == id) {
            return &c;
        }
    }
    return nullptr;
}

// Sends text in as many packets as it takes. Packets are taken without waiting: when none is
// free the rest is dropped and the result is still true. False when the socket refused a packet.
bool SendText(NX_TCP_SOCKET* socket, const char* text, ULONG length, ULONG wait) {
    NX_PACKET_POOL* pool = S().pool;
    while (length > 0) {
        NX_PACKET* packet = nullptr;
        if (nx_packet_allocate(pool, &packet, NX_TCP_PACKET, TX_NO_WAIT) != NX_SUCCESS) {
            return true;
        }
        const auto room = ULONG(packet->nx_packet_data_end - packet->nx_packet_append_ptr);
        const ULONG part = std::min(room, length);
        if (part == 0 ||
            nx_packet_data_append(packet, text, part, pool, TX_NO_WAIT) != NX_SUCCESS ||
            nx_tcp_socket_send(socket, packet, wait) != NX_SUCCESS) {
            nx_packet_release(packet);
            return false;
        }
        text += part;
        length -= part;
    }
    return true;
}

// Answers received data in the packet that brought it when the reply fits, else in new ones.
void Reply(NX_TCP_SOCKET* socket, NX_PACKET* packet, const char* reply, ULONG length) {
    packet->nx_packet_prepend_ptr = packet->nx_packet_data_start + NX_TCP_PACKET;
    packet->nx_packet_append_ptr = packet->nx_packet_prepend_ptr;
    packet->nx_packet_length = 0;
    if (packet->nx_packet_prepend_ptr + length > packet->nx_packet_data_end) {
        nx_packet_release(packet);
        SendText(socket, reply, length, CTelnetServer::kSendTicks);
        return;
    }
    if (nx_packet_data_append(packet, reply, length, S().pool, TX_NO_WAIT) != NX_SUCCESS ||
        nx_tcp_socket_send(socket, packet, CTelnetServer::kSendTicks) != NX_SUCCESS) {
        nx_packet_release(packet);
    }
}

// Calls the handler; true with the reply when it has one.
bool CallHandler(UINT event, ULONG_PTR id, const UCHAR* data, ULONG length, const char** reply,
                 ULONG* replyLength) {
    *reply = nullptr;
    *replyLength = 0;
    if (S().handler == nullptr) {
        return false;
    }
    return S().handler(event, id, data, length, reply, replyLength) == 0 && *reply != nullptr &&
           *replyLength > 0;
}

// Gives the port a free socket to take its next connection, unless one already waits.
void ArmListener() {
    ServerStatics& s = S();
    for (const Connection& c : s.connections) {
        if (c.listening) {
            return;
        }
    }
    for (Connection& c : s.connections) {
        if (c.connected) {
            continue;
        }
        const UINT status = nx_tcp_server_socket_relisten(s.ip, CTelnetServer::kPort, &c.socket);
        if (status == NX_SUCCESS || status == NX_CONNECTION_PENDING) {
            c.listening = true;
            if (status == NX_CONNECTION_PENDING) {
                tx_event_flags_set(&s.events, kConnectEvent, TX_OR);
            }
        }
        return;
    }
}

void AcceptConnections() {
    ServerStatics& s = S();
    for (Connection& c : s.connections) {
        if (!c.listening || nx_tcp_server_socket_accept(&c.socket, TX_NO_WAIT) != NX_SUCCESS) {
            continue;
        }
        c.listening = false;
        c.connected = true;
        c.id = s.nextId++;
        c.input = CTelnetInput{};
        // The console echoes and edits itself: the client goes to character mode.
        const std::string offer = CTelnetInput::Offer();
        SendText(&c.socket, offer.data(), ULONG(offer.size()), TX_NO_WAIT);
        const char* reply = nullptr;
        ULONG length = 0;
        if (CallHandler(CTelnetServer::kEventNew, c.id, nullptr, 0, &reply, &length)) {
            SendText(&c.socket, reply, length, CTelnetServer::kSendTicks);
        }
        ArmListener();
    }
}

void ReceiveData() {
    for (Connection& c : S().connections) {
        NX_PACKET* packet = nullptr;
        while (c.connected && nx_tcp_socket_receive(&c.socket, &packet, TX_NO_WAIT) == NX_SUCCESS) {
            const std::string in(reinterpret_cast<const char*>(packet->nx_packet_prepend_ptr),
                                 packet->nx_packet_length);
            std::string data;
            std::string answer;
            c.input.Take(in, &data, &answer);
            if (!answer.empty()) {
                SendText(&c.socket, answer.data(), ULONG(answer.size()), TX_NO_WAIT);
            }
            const char* reply = nullptr;
            ULONG length = 0;
            if (!data.empty() && CallHandler(CTelnetServer::kEventData, c.id,
                                             reinterpret_cast<const UCHAR*>(data.data()),
                                             ULONG(data.size()), &reply, &length)) {
                Reply(&c.socket, packet, reply, length);
            } else {
                nx_packet_release(packet);
            }
        }
    }
}

// Closes a connection's socket; the handler hears of it unless told otherwise.
void EndConnection(Connection& c, bool tell) {
    nx_tcp_socket_disconnect(&c.socket, TX_NO_WAIT);
    nx_tcp_server_socket_unaccept(&c.socket);
    c.connected = false;
    if (tell) {
        const char* reply = nullptr;
        ULONG length = 0;
        CallHandler(CTelnetServer::kEventEnd, c.id, nullptr, 0, &reply, &length);
    }
}

// Connections whose peer has gone (what they sent before is taken first).
void EndClosedConnections() {
    for (Connection& c : S().connections) {
        if (c.connected && c.socket.nx_tcp_socket_state != NX_TCP_ESTABLISHED) {
            EndConnection(c, true);
        }
    }
    ArmListener();
}

// The sockets, the lock, the events and the thread's stack (the thread is gone or never was).
void ReleaseResources(void* stack) {
    ServerStatics& s = S();
    for (Connection& c : s.connections) {
        if (c.created) {
            nx_tcp_socket_delete(&c.socket);
            c.created = false;
        }
    }
    tx_mutex_delete(&s.lock);
    tx_event_flags_delete(&s.events);
    tx_byte_release(stack);
}

}  // namespace

CTelnetServer::CTelnetServer(NX_IP* ip, NX_PACKET_POOL* packetPool, TX_BYTE_POOL* stackPool)
    : ip_(ip), packetPool_(packetPool), stackPool_(stackPool) {
    S().state = kNew;
}

CTelnetServer::~CTelnetServer() {
    Stop();
    Delete();
    const TelnetConsoleHandler handler = S().handler;
    S() = ServerStatics{};
    S().handler = handler;
}

bool CTelnetServer::Create() {
    ServerStatics& s = S();
    if (s.state != kNew && s.state != kDeleted) {
        return s.state == kCreated;
    }
    NX_IP* ip = ip_ != nullptr ? ip_ : EthernetIpInstance();
    NX_PACKET_POOL* pool = ip_ != nullptr ? packetPool_ : EthernetPacketPool();
    if (ip == nullptr || pool == nullptr || stackPool_ == nullptr) {
        return false;
    }
    void* stack = nullptr;
    if (tx_byte_allocate(stackPool_, &stack, kStackSize, TX_NO_WAIT) != TX_SUCCESS) {
        return false;
    }
    bool made = tx_event_flags_create(&s.events, const_cast<char*>("Server")) == TX_SUCCESS;
    made = made && tx_mutex_create(&s.lock, const_cast<char*>("Server"), TX_INHERIT) == TX_SUCCESS;
    for (Connection& c : s.connections) {
        c = Connection{};
        c.created = made && nx_tcp_socket_create(ip, &c.socket, "Server", NX_IP_NORMAL,
                                                 NX_FRAGMENT_OKAY, NX_IP_TIME_TO_LIVE, kWindowSize,
                                                 nullptr, &OnDisconnect) == NX_SUCCESS;
        made = c.created && nx_tcp_socket_receive_notify(&c.socket, &OnReceive) == NX_SUCCESS;
    }
    made = made && tx_thread_create(&s.thread, const_cast<char*>("Server"),
                                    &CTelnetServer::ThreadEntry, 0, stack, kStackSize, kPriority,
                                    kPriority, TX_NO_TIME_SLICE, TX_AUTO_START) == TX_SUCCESS;
    if (!made) {
        ReleaseResources(stack);
        return false;
    }
    s.ip = ip;
    s.pool = pool;
    s.stack = stack;
    s.state = kCreated;
    return true;
}

bool CTelnetServer::Start() {
    ServerStatics& s = S();
    if (s.state == kStarted) {
        return true;
    }
    if (s.state != kCreated && s.state != kStopped) {
        return false;
    }
    Connection& first = s.connections[0];
    if (nx_tcp_server_socket_listen(s.ip, kPort, &first.socket, UINT(kConnections), &OnListen) !=
        NX_SUCCESS) {
        return false;
    }
    first.listening = true;
    s.state = kStarted;
    return true;
}

bool CTelnetServer::Stop() {
    ServerStatics& s = S();
    if (s.state != kStarted) {
        return s.state == kStopped;
    }
    tx_mutex_get(&s.lock, TX_WAIT_FOREVER);
    s.state = kStopped;
    nx_tcp_server_socket_unlisten(s.ip, kPort);
    for (Connection& c : s.connections) {
        if (c.connected) {
            EndConnection(c, true);
        } else if (c.listening) {
            nx_tcp_server_socket_unaccept(&c.socket);
        }
        c.listening = false;
    }
    tx_mutex_put(&s.lock);
    return true;
}

bool CTelnetServer::Delete() {
    ServerStatics& s = S();
    if (s.state < kCreated) {
        return s.state == kDeleted;
    }
    if (s.state == kStarted && !Stop()) {
        return false;
    }
    tx_thread_terminate(&s.thread);
    if (tx_thread_delete(&s.thread) != TX_SUCCESS) {
        return false;
    }
    ReleaseResources(s.stack);
    s.stack = nullptr;
    s.state = kDeleted;
    return true;
}

bool CTelnetServer::Send(ULONG_PTR connection, const char* text, ULONG length) {
    if (text == nullptr || length == 0) {
        return true;
    }
    if (S().state != kStarted) {
        return false;
    }
    Connection* c = Find(connection);
    return c != nullptr && SendText(&c->socket, text, length, TX_NO_WAIT);
}

void CTelnetServer::EndOfBoot() {
    const TelnetConsoleHandler handler = S().handler;
    S() = ServerStatics{};
    S().handler = handler;
}

void CTelnetServer::SetHandler(TelnetConsoleHandler handler) {
    S().handler = handler;
}
uint8_t CTelnetServer::GetState() {
    return S().state;
}
size_t CTelnetServer::Connections() {
    return size_t(std::count_if(std::begin(S().connections), std::end(S().connections),
                                [](const Connection& c) { return c.connected; }));
}

void CTelnetServer::ThreadEntry(ULONG_PTR) {
    ServerStatics& s = S();
    for (;;) {
        ULONG actual = 0;
        if (tx_event_flags_get(&s.events, kAllEvents, TX_OR_CLEAR, &actual, TX_WAIT_FOREVER) !=
            TX_SUCCESS) {
            continue;
        }
        tx_mutex_get(&s.lock, TX_WAIT_FOREVER);
        // Every pass looks at every socket: a connection's data is taken before its end.
        if (s.state == kStarted) {
            AcceptConnections();
            ReceiveData();
            EndClosedConnections();
        }
        tx_mutex_put(&s.lock);
    }
}
