#include "comm/telnet_server.h"

#include <map>
#include <string>

#include "platform/net/net_config.h"
#include "platform/net/tcp_server.h"

namespace {

constexpr uint8_t kIac = 255;
constexpr uint8_t kDont = 254;
constexpr uint8_t kDo = 253;
constexpr uint8_t kWont = 252;
constexpr uint8_t kWill = 251;
constexpr uint8_t kSb = 250;
constexpr uint8_t kSe = 240;
constexpr uint8_t kOptionEcho = 1;
constexpr uint8_t kOptionSuppressGoAhead = 3;
constexpr ULONG kWakeFlag = 0x1;

// Telnet input of one connection: negotiation and subnegotiation are taken out, CR LF and CR NUL
// become a single CR, IAC IAC a data byte 255. Options other than echo and suppress-go-ahead
// (which the server offers) are refused.
class TelnetInput {
public:
    // Appends the data bytes of `in` to `data` and the answers to the peer's requests to `answer`.
    void Take(const std::string& in, std::string* data, std::string* answer) {
        for (const char c : in) {
            const auto byte = static_cast<uint8_t>(c);
            switch (state_) {
                case kData:
                    if (byte == kIac) {
                        state_ = kCommand;
                    } else {
                        Data(byte, data);
                    }
                    break;
                case kCommand:
                    if (byte == kIac) {
                        Data(byte, data);
                        state_ = kData;
                    } else if (byte >= kWill && byte <= kDont) {
                        verb_ = byte;
                        state_ = kOption;
                    } else {
                        state_ = byte == kSb ? kSub : kData;
                    }
                    break;
                case kOption:
                    Answer(byte, answer);
                    state_ = kData;
                    break;
                case kSub:
                    if (byte == kIac) {
                        state_ = kSubIac;
                    }
                    break;
                case kSubIac:
                    state_ = byte == kSe ? kData : kSub;
                    break;
            }
        }
    }

private:
    enum State : uint8_t { kData, kCommand, kOption, kSub, kSubIac };

    void Data(uint8_t byte, std::string* data) {
        const bool lineEnd = afterCr_ && (byte == '\n' || byte == '\0');
        afterCr_ = byte == '\r';
        if (!lineEnd) {
            data->push_back(static_cast<char>(byte));
        }
    }
    void Answer(uint8_t option, std::string* answer) {
        const bool ours = option == kOptionEcho || option == kOptionSuppressGoAhead;
        if (verb_ == kDo && !ours) {
            *answer +=
                {static_cast<char>(kIac), static_cast<char>(kWont), static_cast<char>(option)};
        } else if (verb_ == kWill) {
            *answer +=
                {static_cast<char>(kIac), static_cast<char>(kDont), static_cast<char>(option)};
        }
    }

    State state_ = kData;
    uint8_t verb_ = 0;
    bool afterCr_ = false;
};

struct ServerStatics {
    uint8_t state = CTelnetServer::kNew;
    TelnetConsoleHandler handler = nullptr;
    int listenPort = -1;
    net::TcpServer tcp;
    TX_THREAD thread{};
    TX_EVENT_FLAGS_GROUP wake{};
    void* stack = nullptr;
    std::map<ULONG_PTR, TelnetInput> inputs;
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
                s.inputs[connection] = TelnetInput{};
                // The console echoes and edits itself: the client goes to character mode.
                static const char kOffer[] = {
                    static_cast<char>(kIac),        static_cast<char>(kWill),
                    static_cast<char>(kOptionEcho), static_cast<char>(kIac),
                    static_cast<char>(kWill),       static_cast<char>(kOptionSuppressGoAhead)};
                Send(connection, kOffer, sizeof kOffer);
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
