#include "comm/telnet_server.h"

#include <chrono>
#include <map>
#include <string>

#include "comm/telnet_input.h"
#include "platform/net/net_config.h"
#include "platform/net/tcp_server.h"

namespace {

constexpr ULONG kWakeFlag = 0x1;

struct ServerStatics {
    uint8_t state = CTelnetServer::kNew;
    TelnetConsoleHandler handler = nullptr;
    int listenPort = -1;
    net::TcpServer tcp;
    TX_THREAD thread{};
    TX_EVENT_FLAGS_GROUP wake{};
    void* stack = nullptr;
    std::map<ULONG_PTR, CTelnetInput> inputs;
};

ServerStatics& S() {
    static ServerStatics statics;
    return statics;
}

void SendReply(ULONG_PTR connection, UINT status, const char* reply, ULONG length) {
    if (status == 0 && reply != nullptr && length > 0) {
        CTelnetServer::Send(connection, reply, length);
    }
}

void CallHandler(UINT event, ULONG_PTR connection, const UCHAR* data, ULONG length) {
    if (S().handler == nullptr) {
        return;
    }
    const char* reply = nullptr;
    ULONG replyLength = 0;
    const UINT status = S().handler(event, connection, data, length, &reply, &replyLength);
    if (event != CTelnetServer::kEventEnd) {
        SendReply(connection, status, reply, replyLength);
    }
}

}  // namespace

CTelnetServer::CTelnetServer(NX_IP* ip, NX_PACKET_POOL* packetPool, TX_BYTE_POOL* stackPool)
    : ip_(ip), packetPool_(packetPool), stackPool_(stackPool) {
    S().state = kNew;
}

CTelnetServer::~CTelnetServer() {
    Stop();
    Delete();
    S().tcp.Stop();
    S().inputs.clear();
    S().state = kNew;
}

bool CTelnetServer::Create() {
    ServerStatics& s = S();
    if (s.state != kNew && s.state != kDeleted) {
        return s.state == kCreated;
    }
    void* stack = nullptr;
    if (stackPool_ == nullptr ||
        tx_byte_allocate(stackPool_, &stack, kStackSize, TX_NO_WAIT) != TX_SUCCESS) {
        return false;
    }
    if (tx_event_flags_create(&s.wake, const_cast<char*>("Server")) != TX_SUCCESS) {
        tx_byte_release(stack);
        return false;
    }
    if (tx_thread_create(&s.thread, const_cast<char*>("Server"), &CTelnetServer::ThreadEntry, 0,
                         stack, kStackSize, kPriority, kPriority, TX_NO_TIME_SLICE,
                         TX_AUTO_START) != TX_SUCCESS) {
        tx_event_flags_delete(&s.wake);
        tx_byte_release(stack);
        return false;
    }
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
    const uint16_t port =
        s.listenPort >= 0 ? static_cast<uint16_t>(s.listenPort) : net::ShiftedPort(kPort);
    if (s.listenPort < 0 && port == 0) {
        return false;
    }
    TX_EVENT_FLAGS_GROUP* wake = &s.wake;
    if (!s.tcp.Start(port, [wake] { tx_event_flags_set(wake, kWakeFlag, TX_OR); })) {
        return false;
    }
    s.state = kStarted;
    return true;
}

bool CTelnetServer::Stop() {
    ServerStatics& s = S();
    if (s.state != kStarted) {
        return s.state == kStopped;
    }
    s.tcp.Stop();
    // The connections are gone: the handler hears of each one.
    auto inputs = std::move(s.inputs);
    s.inputs.clear();
    for (const auto& [connection, input] : inputs) {
        CallHandler(kEventEnd, connection, nullptr, 0);
    }
    s.state = kStopped;
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
    tx_event_flags_delete(&s.wake);
    tx_byte_release(s.stack);
    s.stack = nullptr;
    s.state = kDeleted;
    return true;
}

bool CTelnetServer::Send(ULONG_PTR connection, const char* text, ULONG length) {
    if (text == nullptr || length == 0) {
        return true;
    }
    return S().tcp.Send(static_cast<uint32_t>(connection), text, length);
}

void CTelnetServer::EndOfBoot() {
    ServerStatics& s = S();
    s.tcp.Stop();
    s.inputs.clear();
    if (s.state == kStarted) {
        s.state = kStopped;
    }
}

void CTelnetServer::SetHandler(TelnetConsoleHandler handler) {
    S().handler = handler;
}
uint8_t CTelnetServer::GetState() {
    return S().state;
}
void CTelnetServer::SetListenPort(int port) {
    S().listenPort = port;
}
uint16_t CTelnetServer::BoundPort() {
    return S().state == kStarted ? S().tcp.Port() : 0;
}
size_t CTelnetServer::PendingEvents() {
    return S().tcp.Pending();
}
bool CTelnetServer::WaitForEvents(size_t count, uint32_t milliseconds) {
    return S().tcp.WaitForEvents(count, std::chrono::milliseconds(milliseconds));
}

void CTelnetServer::ThreadEntry(ULONG_PTR) {
    for (;;) {
        ULONG actual = 0;
        if (tx_event_flags_get(&S().wake, kWakeFlag, TX_OR_CLEAR, &actual, TX_WAIT_FOREVER) !=
            TX_SUCCESS) {
            return;
        }
        ServeEvents();
    }
}

void CTelnetServer::ServeEvents() {
    ServerStatics& s = S();
    net::TcpEvent event;
    while (s.state == kStarted && s.tcp.Next(&event)) {
        const ULONG_PTR connection = event.connection;
        switch (event.kind) {
            case net::TcpEvent::kConnected: {
                s.inputs[connection] = CTelnetInput{};
                // The console echoes and edits itself: the client goes to character mode.
                const std::string offer = CTelnetInput::Offer();
                Send(connection, offer.data(), static_cast<ULONG>(offer.size()));
                CallHandler(kEventNew, connection, nullptr, 0);
                break;
            }
            case net::TcpEvent::kData: {
                const auto it = s.inputs.find(connection);
                if (it == s.inputs.end()) {
                    break;
                }
                std::string data;
                std::string answer;
                it->second.Take(event.data, &data, &answer);
                if (!answer.empty()) {
                    Send(connection, answer.data(), static_cast<ULONG>(answer.size()));
                }
                if (!data.empty()) {
                    CallHandler(kEventData, connection, reinterpret_cast<const UCHAR*>(data.data()),
                                static_cast<ULONG>(data.size()));
                }
                break;
            }
            case net::TcpEvent::kClosed:
                s.inputs.erase(connection);
                CallHandler(kEventEnd, connection, nullptr, 0);
                break;
        }
    }
}
