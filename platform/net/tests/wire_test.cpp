// The wire lets out ARP, traffic to the host alias (which reaches the host's loopback) and
// DHCP requests; everything else is dropped with one report per destination unless the network
// is allowed.

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "platform/net/egress_filter.h"
#include "platform/net/slirp_calls.h"
#include "platform/net/slirp_wire.h"

namespace {

using Frame = std::vector<uint8_t>;

constexpr uint32_t kGuest = 0x0A00020F;
constexpr uint32_t kAlias = 0x0A000202;

void Put16(Frame& f, uint16_t v) {
    f.push_back(uint8_t(v >> 8));
    f.push_back(uint8_t(v));
}
void Put32(Frame& f, uint32_t v) {
    Put16(f, uint16_t(v >> 16));
    Put16(f, uint16_t(v));
}

// An IPv4/UDP frame from the guest (UDP checksum 0: none).
Frame UdpFrame(uint32_t destination, uint16_t port, const std::string& data,
               uint32_t source = kGuest, uint8_t ttl = 64) {
    Frame f = {0x52, 0x55, 0x0A, 0x00, 0x02, 0x02, 0x02, 0x00, 0x00, 0x00, 0x00, 0x01};
    Put16(f, 0x0800);
    Frame ip = {0x45, 0};
    Put16(ip, uint16_t(28 + data.size()));
    Put16(ip, 1);
    Put16(ip, 0);
    ip.push_back(ttl);
    ip.push_back(17);
    Put16(ip, 0);
    Put32(ip, source);
    Put32(ip, destination);
    uint32_t sum = 0;
    for (size_t i = 0; i < 20; i += 2)
        sum += uint32_t(ip[i] << 8 | ip[i + 1]);
    while (sum >> 16)
        sum = (sum & 0xFFFF) + (sum >> 16);
    ip[10] = uint8_t(~sum >> 8);
    ip[11] = uint8_t(~sum);
    Put16(ip, 40000);
    Put16(ip, port);
    Put16(ip, uint16_t(8 + data.size()));
    Put16(ip, 0);
    ip.insert(ip.end(), data.begin(), data.end());
    f.insert(f.end(), ip.begin(), ip.end());
    return f;
}

TEST(EgressFilter, PassesOnlyWhatMayLeave) {
    struct Case {
        const char* name;
        Frame frame;
        bool allow;
        bool pass;
    };
    Frame arp(42, 0);
    arp[12] = 0x08;
    arp[13] = 0x06;
    Frame ipv6(60, 0);
    ipv6[12] = 0x86;
    ipv6[13] = 0xDD;
    const Case cases[] = {
        {"arp", arp, false, true},
        {"to the host alias", UdpFrame(kAlias, 162, "trap"), false, true},
        {"dhcp request", UdpFrame(0xFFFFFFFF, 67, "discover", 0), false, true},
        {"broadcast, not dhcp", UdpFrame(0xFFFFFFFF, 68, "x", 0), false, false},
        {"elsewhere", UdpFrame(0xC0000201, 162, "trap"), false, false},
        {"elsewhere, allowed", UdpFrame(0xC0000201, 162, "trap"), true, true},
        {"ipv6", ipv6, false, false},
        {"runt", Frame(10, 0), true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> lines;
        net::EgressFilter filter(kAlias, c.allow,
                                 [&lines](const std::string& line) { lines.push_back(line); });
        EXPECT_EQ(filter.Pass(c.frame.data(), c.frame.size()), c.pass);
        EXPECT_EQ(filter.Dropped(), c.pass ? 0u : 1u);
    }
}

TEST(EgressFilter, ReportsEachDestinationOnce) {
    std::vector<std::string> lines;
    net::EgressFilter filter(kAlias, false,
                             [&lines](const std::string& line) { lines.push_back(line); });
    for (uint32_t destination : {0xC0000201u, 0xC0000201u, 0xC0000202u, 0xC0000201u}) {
        const Frame f = UdpFrame(destination, 9, "x");
        filter.Pass(f.data(), f.size());
    }
    EXPECT_EQ(filter.Dropped(), 4u);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "net: dropped traffic to 192.0.2.1 (--allow-network lifts this)\n");
    EXPECT_EQ(lines[1], "net: dropped traffic to 192.0.2.2 (--allow-network lifts this)\n");
}

// A UDP socket on a loopback address; Receive waits up to two seconds.
class Listener {
public:
    explicit Listener(const char* address) : fd_(::socket(AF_INET, SOCK_DGRAM, 0)) {
        sockaddr_in a{};
        a.sin_family = AF_INET;
        ::inet_pton(AF_INET, address, &a.sin_addr);
        socklen_t length = sizeof a;
        ::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a);
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &length);
        port_ = ntohs(a.sin_port);
        const int on = 1;
        ::setsockopt(fd_, IPPROTO_IP, IP_RECVTTL, &on, sizeof on);
    }
    ~Listener() { ::close(fd_); }
    uint16_t Port() const { return port_; }
    std::string Receive() {
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, 2000) <= 0) {
            return "";
        }
        char buffer[256];
        char control[64];
        iovec iov{buffer, sizeof buffer};
        msghdr message{};
        message.msg_name = &peer_;
        message.msg_namelen = sizeof peer_;
        message.msg_iov = &iov;
        message.msg_iovlen = 1;
        message.msg_control = control;
        message.msg_controllen = sizeof control;
        const ssize_t n = ::recvmsg(fd_, &message, 0);
        from_ = message.msg_namelen;
        ttl_ = 0;
        for (cmsghdr* c = CMSG_FIRSTHDR(&message); c != nullptr; c = CMSG_NXTHDR(&message, c)) {
            if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_TTL) {
                std::memcpy(&ttl_, CMSG_DATA(c), sizeof ttl_);
            }
        }
        return n > 0 ? std::string(buffer, size_t(n)) : "";
    }
    // The TTL the last datagram received arrived with.
    int Ttl() const { return ttl_; }
    // To the sender of the last datagram received.
    void Answer(const std::string& data) {
        ::sendto(fd_, data.data(), data.size(), 0, reinterpret_cast<sockaddr*>(&peer_), from_);
    }

private:
    int fd_;
    uint16_t port_ = 0;
    sockaddr_in peer_{};
    socklen_t from_ = 0;
    int ttl_ = 0;
};

// What the wire delivers to the guest, collected from the wire's thread.
class Delivered {
public:
    net::SlirpWire::Deliver Sink() {
        return [this](const uint8_t* frame, size_t length) {
            std::lock_guard<std::mutex> guard(lock_);
            text_.append(reinterpret_cast<const char*>(frame), length);
            frames_.emplace_back(reinterpret_cast<const char*>(frame), length);
            changed_.notify_all();
        };
    }
    // What the frames delivered so far carry from each occurrence of `prefix` to the end of
    // that frame's UDP payload, in order.
    std::string Payloads(const std::string& prefix) {
        std::lock_guard<std::mutex> guard(lock_);
        std::string found;
        for (const std::string& frame : frames_) {
            const size_t at = frame.find(prefix);
            if (at != std::string::npos) {
                found += frame.substr(at);
            }
        }
        return found;
    }
    // True once some frame carried data (within the wall time given).
    bool WaitFor(const std::string& data, std::chrono::milliseconds limit) {
        std::unique_lock<std::mutex> guard(lock_);
        return changed_.wait_for(guard, limit,
                                 [&] { return text_.find(data) != std::string::npos; });
    }

private:
    std::mutex lock_;
    std::condition_variable changed_;
    std::string text_;
    std::vector<std::string> frames_;
};

TEST(SlirpWire, HostAliasReachesLoopbackAndOtherAddressesNeedAllowing) {
    for (bool allow : {false, true}) {
        SCOPED_TRACE(allow);
        std::vector<std::string> lines;
        net::WireConfig config;
        config.allowNetwork = allow;
        config.log = [&lines](const std::string& line) { lines.push_back(line); };
        net::SlirpWire wire;
        ASSERT_TRUE(wire.Start(config, [](const uint8_t*, size_t) {}));
        Listener loopback("127.0.0.1");
        Listener other("127.0.0.2");  // not the host alias; stays on this machine
        const Frame toAlias = UdpFrame(kAlias, loopback.Port(), "to alias");
        wire.Send(toAlias.data(), toAlias.size());
        EXPECT_EQ(loopback.Receive(), "to alias");
        const Frame toOther = UdpFrame(0x7F000002, other.Port(), "to other");
        wire.Send(toOther.data(), toOther.size());
        if (allow) {
            EXPECT_EQ(other.Receive(), "to other");
            EXPECT_TRUE(lines.empty());
        } else {
            EXPECT_EQ(other.Receive(), "");
            EXPECT_EQ(wire.Dropped(), 1u);
            ASSERT_EQ(lines.size(), 1u);
            EXPECT_EQ(lines[0], "net: dropped traffic to 127.0.0.2 (--allow-network lifts this)\n");
        }
        wire.Stop();
    }
}

// The guest asks for the host alias's address (slirp learns the guest's from it).
Frame ArpRequest() {
    Frame f = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x02, 0x00, 0x00, 0x00, 0x00, 0x01};
    Put16(f, 0x0806);
    Put16(f, 1);
    Put16(f, 0x0800);
    f.push_back(6);
    f.push_back(4);
    Put16(f, 1);
    f.insert(f.end(), {0x02, 0x00, 0x00, 0x00, 0x00, 0x01});
    Put32(f, kGuest);
    f.insert(f.end(), 6, 0);
    Put32(f, kAlias);
    return f;
}

// A started wire that knows the guest (it asked for the host alias's address), and a socket on
// the host's loopback.
class WireToHost : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(wire_.Start(net::WireConfig{}, delivered_.Sink()));
        const Frame arp = ArpRequest();
        wire_.Send(arp.data(), arp.size());
        const std::string aliasMac = {'\x52', '\x55', '\x0A', '\x00', '\x02', '\x02'};
        ASSERT_TRUE(delivered_.WaitFor(aliasMac, std::chrono::milliseconds(2000)));
    }
    void TearDown() override { wire_.Stop(); }

    // The guest sends `frame`, which carries `request`; the host answers it with `answer`.
    void Exchange(const Frame& frame, const std::string& request, const std::string& answer) {
        wire_.Send(frame.data(), frame.size());
        ASSERT_EQ(host_.Receive(), request);
        host_.Answer(answer);
        EXPECT_TRUE(delivered_.WaitFor(answer, std::chrono::milliseconds(500)));
    }

    net::SlirpWire wire_;
    Delivered delivered_;
    Listener host_{"127.0.0.1"};
};

// A datagram to the host alias opens a new host socket inside slirp; the host's answer on it
// comes back to the guest at once (the wire's loop polls the new socket without waiting for
// its next time-out), for each new flow.
TEST_F(WireToHost, AnswersOnNewFlowsComeBackPromptly) {
    for (int flow = 0; flow < 3; ++flow) {
        SCOPED_TRACE(flow);
        const std::string request = "ping " + std::to_string(flow);
        // A new guest port each time: a new flow.
        Frame frame = UdpFrame(kAlias, host_.Port(), request);
        frame[14 + 20 + 1] = uint8_t(0x40 + flow);
        Exchange(frame, request, "pong " + std::to_string(flow));
    }
}

// On one flow, slirp sets the host socket's TTL to the guest's for each datagram and reads its
// error queue before each answer: the repeats are answered without the kernel, and each datagram
// still leaves with the TTL the guest gave it, one hop less.
TEST_F(WireToHost, OneFlowKeepsTheGuestsTtlWithoutRepeatedSocketCalls) {
    const uint8_t ttls[] = {200, 200, 200, 17, 17, 200};
    const net::SlirpCallFigures before = net::GetSlirpCallFigures();
    for (size_t i = 0; i < sizeof ttls; ++i) {
        SCOPED_TRACE(i);
        const std::string request = "ping " + std::to_string(i);
        Exchange(UdpFrame(kAlias, host_.Port(), request, kGuest, ttls[i]), request,
                 "pong " + std::to_string(i));
        EXPECT_EQ(host_.Ttl(), ttls[i] - 1);  // slirp routes it: one hop
    }
    const net::SlirpCallFigures after = net::GetSlirpCallFigures();
    EXPECT_EQ(after.ttlKept - before.ttlKept, 3u);
    EXPECT_EQ(after.errorQueueEmpty - before.errorQueueEmpty, sizeof ttls);
    EXPECT_EQ(after.readAhead - before.readAhead, sizeof ttls);
}

// Answers the host sends in a burst are taken from its socket together and reach the guest
// whole and in order.
TEST_F(WireToHost, ABurstOfAnswersArrivesInOrder) {
    Exchange(UdpFrame(kAlias, host_.Port(), "open"), "open", "first");
    std::string burst;
    for (int i = 0; i < 20; ++i) {
        const std::string answer = "answer " + std::to_string(100 + i) + ";";
        host_.Answer(answer);
        burst += answer;
    }
    EXPECT_TRUE(delivered_.WaitFor("answer 119;", std::chrono::milliseconds(1000)));
    EXPECT_EQ(delivered_.Payloads("answer "), burst);
}

}  // namespace
