// IP over a PMPP link: UDP requests in 0x21 frames (whole or split) answered to the sender, IP
// lengths out of range dropped without swallowing the next packet, and TCP connections on port
// 161 accepted, closed and accepted again, between two links wired to each other.
#include <gtest/gtest.h>

#include "comm/tests/pmpp_fixture.h"
#include "ntcip/tests/snmp_request_builder.h"
#include "platform/net/stack_core.h"

namespace {

using pmpp_test::Bytes;
using pmpp_test::Concat;
using pmpp_test::Framed;
using pmpp_test::Unframe;

constexpr uint32_t kOwn = 0x0A00020F;   // 10.0.2.15, the agents' own address
constexpr uint32_t kPeer = 0x0A000909;  // 10.0.9.9
constexpr uint32_t kPoolBytes = 0x30000;
alignas(16) uint8_t g_poolMemory[kPoolBytes];
NX_PACKET_POOL g_pool;

using pmpp_test::kSysDescr;

uint16_t Sum(const Bytes& data, size_t begin, size_t end, uint32_t sum = 0) {
    for (size_t i = begin; i < end; i += 2) {
        sum += uint32_t(data[i]) << 8 | (i + 1 < end ? data[i + 1] : 0);
    }
    while (sum >> 16) {
        sum = (sum & 0xFFFF) + (sum >> 16);
    }
    return uint16_t(sum);
}

void Put16(Bytes& b, size_t at, uint16_t v) {
    b[at] = uint8_t(v >> 8);
    b[at + 1] = uint8_t(v);
}
void Put32(Bytes& b, size_t at, uint32_t v) {
    Put16(b, at, uint16_t(v >> 16));
    Put16(b, at + 2, uint16_t(v));
}
uint16_t Get16(const Bytes& b, size_t at) {
    return uint16_t(b[at] << 8 | b[at + 1]);
}
uint32_t Get32(const Bytes& b, size_t at) {
    return uint32_t(Get16(b, at)) << 16 | Get16(b, at + 2);
}

uint32_t PseudoSum(uint32_t source, uint32_t destination, uint16_t length) {
    return (source >> 16) + (source & 0xFFFF) + (destination >> 16) + (destination & 0xFFFF) + 17 +
           length;
}

// An IPv4 packet with a UDP datagram, both checksums computed.
Bytes UdpPacket(uint32_t source, uint16_t sourcePort, uint32_t destination, uint16_t port,
                const Bytes& payload) {
    Bytes p(28 + payload.size());
    p[0] = 0x45;
    Put16(p, 2, uint16_t(p.size()));
    Put16(p, 4, 0x1234);
    p[8] = 64;
    p[9] = 17;
    Put32(p, 12, source);
    Put32(p, 16, destination);
    Put16(p, 10, uint16_t(~Sum(p, 0, 20)));
    Put16(p, 20, sourcePort);
    Put16(p, 22, port);
    Put16(p, 24, uint16_t(8 + payload.size()));
    std::copy(payload.begin(), payload.end(), p.begin() + 28);
    const uint16_t udp = uint16_t(
        ~Sum(p, 20, p.size(), PseudoSum(source, destination, uint16_t(8 + payload.size()))));
    Put16(p, 26, udp == 0 ? 0xFFFF : udp);
    return p;
}

struct Datagram {
    uint32_t source = 0, destination = 0;
    uint16_t sourcePort = 0, port = 0;
    Bytes payload;
};

// The UDP datagram of an IPv4 packet, checksums verified.
std::optional<Datagram> ParseUdp(const Bytes& p) {
    if (p.size() < 28 || p[0] != 0x45 || p[9] != 17 || Get16(p, 2) != p.size() ||
        Sum(p, 0, 20) != 0xFFFF) {
        return std::nullopt;
    }
    Datagram d;
    d.source = Get32(p, 12);
    d.destination = Get32(p, 16);
    d.sourcePort = Get16(p, 20);
    d.port = Get16(p, 22);
    const uint16_t length = Get16(p, 24);
    if (length != p.size() - 20 ||
        (Get16(p, 26) != 0 &&
         Sum(p, 20, p.size(), PseudoSum(d.source, d.destination, length)) != 0xFFFF)) {
        return std::nullopt;
    }
    d.payload.assign(p.begin() + 28, p.end());
    return d;
}

Bytes IpFrame(const Bytes& octets) {
    return Framed(Concat({0x05, 0x13, 0x21}, octets));
}

class SnmpOverPmppIpTest : public pmpp_test::PmppTest {
protected:
    ~SnmpOverPmppIpTest() override {
        Shutdown();
        net::EndOfBoot();
    }

    // count agents with their dispatch threads and IP instances.
    void StartIp(unsigned count) {
        Start(count, 1, true, [](uint8_t*) {
            ASSERT_EQ(nx_packet_pool_create(&g_pool, "NetX", 1568, g_poolMemory, kPoolBytes),
                      NX_SUCCESS);
            StartPmppIp(&g_pool, 0);
        });
        kernel_->Advance(1);
    }

    // The datagrams in the 0x21 frames the link sent.
    std::vector<Datagram> SentDatagrams() {
        std::vector<Datagram> out;
        for (const Bytes& frame : Unframe(Sent())) {
            if (frame.size() > 3 && frame[0] == 0x05 && frame[1] == 0x13 && frame[2] == 0x21) {
                if (auto d = ParseUdp(Bytes(frame.begin() + 3, frame.end()))) {
                    out.push_back(*d);
                }
            }
        }
        return out;
    }
};

TEST_F(SnmpOverPmppIpTest, UdpRequestsAreAnsweredToTheSender) {
    StartIp(1);
    ASSERT_NE(PmppIpInstance(&interfaces_[0].agent), nullptr);
    const Bytes get = pmpp_test::GetRequest(kSysDescr, 9);
    const Bytes packet = UdpPacket(kPeer, 40123, kOwn, 161, get);
    struct Case {
        const char* what;
        std::vector<size_t> cuts;  // where the packet is split over frames
    };
    const Case cases[] = {{"one frame", {}}, {"two frames", {30}}, {"three frames", {2, 25}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        size_t from = 0;
        for (size_t i = 0; i <= c.cuts.size(); ++i) {
            const size_t to = i < c.cuts.size() ? c.cuts[i] : packet.size();
            Feed(0, IpFrame(Bytes(packet.begin() + long(from), packet.begin() + long(to))));
            from = to;
        }
        kernel_->Advance(2);
        const auto datagrams = SentDatagrams();
        ASSERT_EQ(datagrams.size(), 1u);
        EXPECT_EQ(datagrams[0].destination, kPeer);
        EXPECT_EQ(datagrams[0].port, 40123);
        EXPECT_EQ(datagrams[0].source, kOwn);
        EXPECT_EQ(datagrams[0].sourcePort, 161);
        auto response = snmp_test::Decode(datagrams[0].payload);
        ASSERT_TRUE(response.has_value());
        EXPECT_EQ(snmp_test::Text(response->pdu->varbinds[0]), snmp_test::kSysDescrText);
    }
    EXPECT_EQ(Link().ipFramesSent, 3u);
}

TEST_F(SnmpOverPmppIpTest, IpLengthsOutOfRangeAreDroppedAlone) {
    StartIp(1);
    const Bytes get = pmpp_test::GetRequest(kSysDescr, 9);
    const Bytes good = UdpPacket(kPeer, 40123, kOwn, 161, get);
    for (uint16_t total : {0, 3, 19, 1501, 32767, 65535}) {
        SCOPED_TRACE(total);
        Bytes bad = good;
        Put16(bad, 2, total);
        Feed(0, IpFrame(bad));
        Feed(0, IpFrame(good));
        kernel_->Advance(2);
        EXPECT_EQ(SentDatagrams().size(), 1u);
        EXPECT_EQ(Link().ipPacket, nullptr);
    }
}

// The client side of the TCP test, on the second link's instance: the segments it sends once
// connected, and the responses it got back.
struct Client {
    NX_TCP_SOCKET socket{};
    UINT connect = 0xFF;
    std::vector<Bytes> segments;
    size_t expected = 0;
    std::vector<Bytes> responses;
};
Client g_client;

// Whole messages cut from the received stream by their BER lengths (short and 0x81/0x82 forms).
std::vector<Bytes> Messages(const Bytes& stream) {
    std::vector<Bytes> out;
    size_t at = 0;
    while (at + 2 <= stream.size()) {
        size_t header = 2, length = stream[at + 1];
        if (length == 0x81 && at + 3 <= stream.size()) {
            header = 3, length = stream[at + 2];
        } else if (length == 0x82 && at + 4 <= stream.size()) {
            header = 4, length = size_t(stream[at + 2]) << 8 | stream[at + 3];
        }
        if (at + header + length > stream.size()) {
            break;
        }
        out.emplace_back(stream.begin() + long(at), stream.begin() + long(at + header + length));
        at += header + length;
    }
    return out;
}

TEST_F(SnmpOverPmppIpTest, TcpConnectionsAreAcceptedClosedAndAcceptedAgain) {
    StartIp(2);
    // The second link hears the first and answers for the same station.
    pmpp_test::g_cross = true;
    pmpp_test::g_peer[0] = &Link(1);
    pmpp_test::g_peerPipe[0] = 1;
    pmpp_test::g_peer[1] = &Link(0);
    pmpp_test::g_peerPipe[1] = 0;
    NX_IP* server = PmppIpInstance(&interfaces_[0].agent);
    NX_IP* client = PmppIpInstance(&interfaces_[1].agent);
    ASSERT_NE(server, nullptr);
    ASSERT_NE(client, nullptr);
    InThread([client] { nx_ip_address_set(client, kPeer, 0xFFFF0000); });
    const Bytes get = pmpp_test::GetRequest(kSysDescr, 4);
    const Bytes second = pmpp_test::GetRequest(kSysDescr, 5);
    struct Round {
        const char* what;
        std::vector<Bytes> segments;
        size_t expected;
    };
    const Round rounds[] = {
        {"one message", {get}, 1},
        {"a message split, the next behind it",
         {Bytes(get.begin(), get.begin() + 10), Concat(Bytes(get.begin() + 10, get.end()), second)},
         2},
    };
    for (const Round& round : rounds) {
        SCOPED_TRACE(round.what);
        g_client = Client{};
        g_client.segments = round.segments;
        g_client.expected = round.expected;
        StartInThread([client, server] {
            nx_tcp_socket_create(client, &g_client.socket, "client", 0, NX_FRAGMENT_OKAY,
                                 NX_IP_TIME_TO_LIVE, 4096, nullptr, nullptr);
            nx_tcp_client_socket_bind(&g_client.socket, NX_ANY_PORT, TX_NO_WAIT);
            g_client.connect =
                nx_tcp_client_socket_connect(&g_client.socket, server->nx_ip_address, 161, 300);
            if (g_client.connect != NX_SUCCESS) {
                return;
            }
            for (const Bytes& segment : g_client.segments) {
                NX_PACKET* packet = nullptr;
                nx_packet_allocate(&g_pool, &packet, NX_TCP_PACKET, TX_WAIT_FOREVER);
                nx_packet_data_append(packet, segment.data(), ULONG(segment.size()), &g_pool,
                                      TX_WAIT_FOREVER);
                nx_tcp_socket_send(&g_client.socket, packet, 300);
                tx_thread_sleep(2);
            }
            Bytes stream;
            NX_PACKET* reply = nullptr;
            while (Messages(stream).size() < g_client.expected &&
                   nx_tcp_socket_receive(&g_client.socket, &reply, 300) == NX_SUCCESS) {
                stream.insert(stream.end(), reply->nx_packet_prepend_ptr,
                              reply->nx_packet_prepend_ptr + reply->nx_packet_length);
                nx_packet_release(reply);
            }
            g_client.responses = Messages(stream);
        });
        for (int i = 0; i < 300 && g_client.responses.size() < round.expected; ++i) {
            kernel_->Advance(1);
        }
        EXPECT_EQ(g_client.connect, NX_SUCCESS);
        EXPECT_EQ(PmppTcpConnected(&interfaces_[0].agent), 1u);
        ASSERT_EQ(g_client.responses.size(), round.expected);
        for (size_t i = 0; i < round.expected; ++i) {
            auto response = snmp_test::Decode(g_client.responses[i]);
            ASSERT_TRUE(response.has_value());
            EXPECT_EQ(response->pdu->request.request_id, 4u + i);
            EXPECT_EQ(snmp_test::Text(response->pdu->varbinds[0]), snmp_test::kSysDescrText);
        }

        // The client closes: the server side drops the connection and listens again.
        InThread([] {
            nx_tcp_socket_disconnect(&g_client.socket, 100);
            nx_tcp_client_socket_unbind(&g_client.socket);
            nx_tcp_socket_delete(&g_client.socket);
        });
        for (int i = 0; i < 200 && PmppTcpConnected(&interfaces_[0].agent) != 0; ++i) {
            kernel_->Advance(1);
        }
        EXPECT_EQ(PmppTcpConnected(&interfaces_[0].agent), 0u);
        kernel_->Advance(60);
    }
}

}  // namespace
