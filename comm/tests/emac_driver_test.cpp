// The EMAC driver moves frames byte-exact between the MAC model and the stack, keeps its rings
// running through bad frames, pool exhaustion and link changes, and sets up the MAC and PHY for
// each link mode.

#include <gtest/gtest.h>

#include <cstring>

#include "comm/tests/emac_fixture.h"

namespace emac_test {
namespace {

using Emac = sim::Emac;

constexpr uint8_t kBroadcast[6] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};

uint16_t Be16(const Frame& f, size_t at) {
    return uint16_t(f[at] << 8 | f[at + 1]);
}

class EmacDriverTest : public EmacTest {};

TEST_F(EmacDriverTest, ArpRequestForUsIsAnsweredByteExact) {
    Start();
    ASSERT_EQ(EmacGetFigures().state, kEmacEnabled);
    Offer(ArpRequest(kOwnIp));
    const std::vector<Frame> sent = Sent();
    ASSERT_EQ(sent.size(), 1u);
    Frame expected(kHostMac, kHostMac + 6);
    expected.insert(expected.end(), kStation, kStation + 6);
    const uint8_t body[] = {0x08, 0x06, 0, 1, 0x08, 0x00, 6, 4, 0, 2};
    expected.insert(expected.end(), body, body + sizeof body);
    expected.insert(expected.end(), kStation, kStation + 6);
    for (uint32_t a : {kOwnIp}) {
        for (int s = 24; s >= 0; s -= 8)
            expected.push_back(uint8_t(a >> s));
    }
    expected.insert(expected.end(), kHostMac, kHostMac + 6);
    for (int s = 24; s >= 0; s -= 8)
        expected.push_back(uint8_t(kHostIp >> s));
    expected.resize(60, 0);  // padded by the MAC
    EXPECT_EQ(sent[0], expected);

    // The console's figures: one request in, one answer out, the host in the cache.
    ULONG v[8] = {};
    ASSERT_EQ(nx_arp_info_get(&ip_, &v[0], &v[1], &v[2], &v[3], &v[4], &v[5], &v[6], &v[7]),
              NX_SUCCESS);
    EXPECT_EQ(v[1], 1u);
    EXPECT_EQ(v[2], 1u);
    EXPECT_EQ(v[4], 1u);
    ULONG address = 0, msw = 0, lsw = 0;
    ASSERT_EQ(nx_arp_entry_get(&ip_, 0, &address, &msw, &lsw), NX_SUCCESS);
    EXPECT_EQ(address, kHostIp);
    EXPECT_EQ(msw, 0x5255u);
    EXPECT_EQ(lsw, 0x0A000202u);
    EXPECT_EQ(nx_arp_entry_get(&ip_, 1, &address, &msw, &lsw), NX_ENTRY_NOT_FOUND);
}

TEST_F(EmacDriverTest, ArpForAnotherAddressNeverReachesTheStack) {
    Start();
    const uint32_t dropped = EmacGetFigures().framesDropped;
    Offer(ArpRequest(kOwnIp + 1));
    EXPECT_TRUE(Sent().empty());
    EXPECT_EQ(EmacGetFigures().framesDropped, dropped + 1);
    EXPECT_EQ(ip_.nx_ip_counters.arp_frames_received, 0u);
}

TEST_F(EmacDriverTest, EchoIsAnsweredOnlyWithIcmpEnabled) {
    for (bool icmp : {true, false}) {
        SCOPED_TRACE(icmp);
        Options options;
        options.icmp = icmp;
        Start(options);
        Offer(ArpRequest(kOwnIp));  // the stack learns the host's address
        Sent();
        Offer(Ipv4(1, IcmpEcho(7, 1, "ping data")));
        const std::vector<Frame> sent = Sent();
        if (!icmp) {
            EXPECT_TRUE(sent.empty());
            EXPECT_EQ(ip_.nx_ip_counters.icmp_dropped, 1u);
        } else {
            ASSERT_EQ(sent.size(), 1u);
            const Frame& reply = sent[0];
            EXPECT_TRUE(std::equal(kHostMac, kHostMac + 6, reply.begin()));
            EXPECT_EQ(Be16(reply, 12), 0x0800);
            EXPECT_EQ(reply[14 + 9], 1);
            EXPECT_EQ(reply[34], 0);  // echo reply
            EXPECT_EQ(std::string(reply.begin() + 42, reply.begin() + 51), "ping data");
        }
        NextRound();
    }
}

TEST_F(EmacDriverTest, UdpDatagramInAndReplyOut) {
    Start();
    static NX_UDP_SOCKET socket;
    static UINT status = 0xFF;
    static std::string got;
    InThread([this] {
        ASSERT_EQ(nx_udp_socket_create(&ip_, &socket, "udp", 0, 0, 128, 4), NX_SUCCESS);
        ASSERT_EQ(nx_udp_socket_bind(&socket, 161, TX_NO_WAIT), NX_SUCCESS);
    });
    StartInThread([] {
        NX_PACKET* packet = nullptr;
        status = nx_udp_socket_receive(&socket, &packet, 500);
        if (status == NX_SUCCESS) {
            got.assign(reinterpret_cast<char*>(packet->nx_packet_prepend_ptr),
                       packet->nx_packet_length);
            ULONG from = 0;
            UINT port = 0;
            nx_udp_source_extract(packet, &from, &port);
            packet->nx_packet_prepend_ptr = packet->nx_packet_data_start + NX_UDP_PACKET;
            packet->nx_packet_append_ptr = packet->nx_packet_prepend_ptr;
            packet->nx_packet_length = 0;
            nx_packet_data_append(packet, "pong", 4, nullptr, TX_NO_WAIT);
            status = nx_udp_socket_send(&socket, packet, from, port);
        }
    });
    Advance(1);
    Offer(ArpRequest(kOwnIp));
    Sent();
    // A short datagram: the frame is padded to 60 bytes on the wire.
    Offer(Ipv4(17, Udp(40000, 161, "ping")));
    Advance(2);
    EXPECT_EQ(status, NX_SUCCESS);
    EXPECT_EQ(got, "ping");
    const std::vector<Frame> sent = Sent();
    ASSERT_EQ(sent.size(), 1u);
    const Frame& reply = sent[0];
    EXPECT_EQ(Be16(reply, 34), 161);
    EXPECT_EQ(Be16(reply, 36), 40000);
    EXPECT_EQ(std::string(reply.begin() + 42, reply.begin() + 46), "pong");
}

// Frames the driver must drop; each is followed by a good ARP request that must still be
// answered (the ring keeps running).
TEST_F(EmacDriverTest, MalformedFramesAreDroppedAndTheRingKeepsRunning) {
    Start();
    struct Case {
        const char* name;
        Frame frame;
        uint16_t status;
    };
    Frame longIp = Ipv4(17, Udp(1, 2, "abcd"));
    longIp[16] = 0x05;  // total length 0x05xx: beyond the frame
    Frame shortIp = Ipv4(17, Udp(1, 2, "abcd"));
    shortIp[16] = 0;
    shortIp[17] = 19;  // below a header
    Frame unknownType = ArpRequest(kOwnIp);
    unknownType[12] = 0x86;
    unknownType[13] = 0xDD;
    Frame truncatedArp = ArpRequest(kOwnIp);
    truncatedArp.resize(20);
    const Case cases[] = {
        {"ip length beyond frame", longIp, 0},
        {"ip length under 20", shortIp, 0},
        {"receive status error", ArpRequest(kOwnIp), 0x0040},
        {"unknown type", unknownType, 0},
        {"truncated arp", truncatedArp, 0},
        {"oversized", Frame(1600, 0xAB), 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Frame frame = c.frame;
        std::memcpy(frame.data(), kStation, 6);
        const uint32_t dropped = EmacGetFigures().framesDropped;
        if (c.status) {
            emac_.InjectRxStatus(c.status);
        }
        Offer(frame);
        EXPECT_TRUE(Sent().empty());
        EXPECT_EQ(EmacGetFigures().framesDropped, dropped + 1);
        Offer(ArpRequest(kOwnIp));
        EXPECT_EQ(Sent().size(), 1u);
    }
}

TEST_F(EmacDriverTest, RingWrapsAndPoolExhaustionDropsWithoutLeaking) {
    Start();
    NX_PACKET_POOL* pool = EmacPacketPool();
    ASSERT_NE(pool, nullptr);
    EXPECT_EQ(pool->nx_packet_pool_total, 44u);
    const ULONG idle = pool->nx_packet_pool_available;  // 44 - 32 in the ring
    EXPECT_EQ(idle, 12u);
    for (int i = 0; i < 70; ++i) {  // more than twice round the ring
        Offer(ArpRequest(kOwnIp));
    }
    EXPECT_EQ(Sent().size(), 70u);
    Advance(1);
    EXPECT_EQ(pool->nx_packet_pool_available, idle);

    static std::vector<NX_PACKET*> held;
    InThread([pool] {
        NX_PACKET* p = nullptr;
        while (nx_packet_allocate(pool, &p, NX_RECEIVE_PACKET, TX_NO_WAIT) == NX_SUCCESS) {
            held.push_back(p);
        }
    });
    const uint32_t dropped = EmacGetFigures().framesDropped;
    for (int i = 0; i < 3; ++i) {
        Offer(ArpRequest(kOwnIp));
    }
    EXPECT_TRUE(Sent().empty());
    EXPECT_EQ(EmacGetFigures().framesDropped, dropped + 3);
    InThread([] {
        for (NX_PACKET* p : held)
            nx_packet_release(p);
        held.clear();
    });
    Offer(ArpRequest(kOwnIp));
    EXPECT_EQ(Sent().size(), 1u);
    Advance(1);
    EXPECT_EQ(pool->nx_packet_pool_available, idle);
}

TEST_F(EmacDriverTest, SendLimitsAndEnableStates) {
    Start();
    static UINT results[6];
    InThread([this] {
        auto send = [this](ULONG payload) {
            NX_PACKET* p = nullptr;
            nx_packet_allocate(&pool_, &p, NX_IP_PACKET, TX_NO_WAIT);
            std::memset(p->nx_packet_prepend_ptr, 0x45, payload);
            p->nx_packet_append_ptr += payload;
            p->nx_packet_length = payload;
            NX_IP_DRIVER r{};
            r.nx_ip_driver_command = NX_LINK_PACKET_SEND;
            r.nx_ip_driver_ptr = &ip_;
            r.nx_ip_driver_packet = p;
            r.nx_ip_driver_physical_address_msw = 0x5255;
            r.nx_ip_driver_physical_address_lsw = 0x0A000202;
            EmacNetDriver(&r);
            return r.nx_ip_driver_status;
        };
        auto command = [this](UINT c) {
            NX_IP_DRIVER r{};
            r.nx_ip_driver_command = c;
            r.nx_ip_driver_ptr = &ip_;
            EmacNetDriver(&r);
            return r.nx_ip_driver_status;
        };
        results[0] = send(1504);  // a 1518-byte frame
        results[1] = send(1505);  // 1519
        results[2] = command(NX_LINK_ENABLE);
        results[3] = command(NX_LINK_DISABLE);
        results[4] = send(100);
        results[5] = command(33);
    });
    Advance(1);
    EXPECT_EQ(results[0], NX_SUCCESS);
    EXPECT_EQ(results[1], NX_NOT_SUCCESSFUL);
    EXPECT_EQ(results[2], NX_ALREADY_ENABLED);
    EXPECT_EQ(results[3], NX_SUCCESS);
    EXPECT_EQ(results[4], NX_NOT_ENABLED);
    EXPECT_EQ(results[5], NX_UNHANDLED_COMMAND);
    const std::vector<Frame> sent = Sent();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].size(), 1518u);
    Advance(1);
    EXPECT_EQ(pool_.nx_packet_pool_available, pool_.nx_packet_pool_total);
}

TEST_F(EmacDriverTest, BackToBackSendsQueueBehindTheFrameInTransmission) {
    Start();
    InThread([this] {
        for (uint8_t i = 0; i < 5; ++i) {
            NX_PACKET* p = nullptr;
            nx_packet_allocate(&pool_, &p, NX_IP_PACKET, TX_NO_WAIT);
            std::memset(p->nx_packet_prepend_ptr, i, 46);
            p->nx_packet_append_ptr += 46;
            p->nx_packet_length = 46;
            NX_IP_DRIVER r{};
            r.nx_ip_driver_command = NX_LINK_PACKET_BROADCAST;
            r.nx_ip_driver_ptr = &ip_;
            r.nx_ip_driver_packet = p;
            // Interrupts stay masked: every send but the first waits in the queue.
            UINT old = tx_interrupt_control(TX_INT_DISABLE);
            EmacNetDriver(&r);
            tx_interrupt_control(old);
        }
    });
    Advance(2);
    const std::vector<Frame> sent = Sent();
    ASSERT_EQ(sent.size(), 5u);
    for (uint8_t i = 0; i < 5; ++i) {
        EXPECT_TRUE(std::equal(kBroadcast, kBroadcast + 6, sent[i].begin()));
        EXPECT_EQ(sent[i][14], i);
    }
    EXPECT_EQ(pool_.nx_packet_pool_available, pool_.nx_packet_pool_total);
}

TEST_F(EmacDriverTest, LinkLossAndReturnRenegotiateOncePerTransition) {
    Start();
    EXPECT_EQ(EmacGetFigures().mode1, 0x91780000u);  // 100 Mbit/s full duplex at set-up
    Console();
    const unsigned before = emac_.GetPhy().Negotiations();
    InThread([] { EthernetLinkCheck(); });
    EXPECT_EQ(g_EthernetLinkState, 1);
    EXPECT_EQ(emac_.GetPhy().Negotiations(), before);  // first check: no renegotiation
    emac_.GetPhy().SetLink(false);
    InThread([] {
        EthernetLinkCheck();
        EthernetLinkCheck();
    });
    EXPECT_EQ(g_EthernetLinkState, 0);
    EXPECT_EQ(Console(), "link down\n\r");
    emac_.GetPhy().SetLink(true);
    InThread([] {
        EthernetLinkCheck();
        EthernetLinkCheck();
    });
    EXPECT_EQ(g_EthernetLinkState, 1);
    EXPECT_EQ(Console(), "link enabled\n\r");
    EXPECT_EQ(emac_.GetPhy().Negotiations(), before + 1);
    EXPECT_EQ(emac_.Register(0x04), 0x81780000u);
}

TEST_F(EmacDriverTest, LinkModesSetMacAndPhy) {
    struct Case {
        int speed, duplex, restrict;
        uint16_t partner;
        uint32_t mode1;
        uint16_t advertisement;
        uint16_t controlBits;  // speed and duplex bits of PHY control
    };
    const Case cases[] = {
        {kEthernetSpeed100, kEthernetDuplexFull, 0, 0, 0x91780000, 0x0101, 0x2100},
        {kEthernetSpeed100, kEthernetDuplexHalf, 0, 0, 0x00780000, 0x0081, 0x2000},
        {kEthernetSpeed10, kEthernetDuplexFull, 0, 0, 0x00380000, 0x1001, 0x0100},
        {kEthernetSpeed10, kEthernetDuplexHalf, 0, 0, 0x00380000, 0x0021, 0x0000},
        {kEthernetSpeed100, kEthernetDuplexFull, 1, 0, 0x00380000, 0x0021, 0x0000},
        {kEthernetSpeedAuto, kEthernetDuplexAuto, 0, 0x41E1, 0x91780000, 0x01E1, 0x2100},
        {kEthernetSpeedAuto, kEthernetDuplexAuto, 0, 0x40A1, 0x00780000, 0x01E1, 0x2000},
        {kEthernetSpeedAuto, kEthernetDuplexAuto, 0, 0x4061, 0x00380000, 0x01E1, 0x0100},
        {kEthernetSpeedAuto, kEthernetDuplexAuto, 1, 0x41E1, 0x00380000, 0x0021, 0x0000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.speed << "/" << c.duplex << "/" << c.restrict << "/"
                                        << std::hex << c.partner);
        emac_.GetPhy().SetPartnerAbility(c.partner);
        Options options;
        options.speed = c.speed;
        options.duplex = c.duplex;
        options.restrict = c.restrict;
        Start(options);
        EXPECT_EQ(EmacGetFigures().state, kEmacEnabled);
        EXPECT_EQ(emac_.Register(0x04), c.mode1);
        EXPECT_EQ(emac_.GetPhy().Advertisement(), c.advertisement);
        EXPECT_EQ(emac_.GetPhy().Control() & 0x2100, c.controlBits);
        EXPECT_EQ(emac_.GetPhy().Vendor() & 0x0030, 0x0020);
        EXPECT_EQ(emac_.Dcr(0xAA), 0x60606000u);
        EXPECT_EQ(emac_.Dcr(0x180) & 0x0007C082, 0x0007C082u);
        EXPECT_EQ(emac_.Dcr(0x1E0), 0x60u);
        EXPECT_EQ(emac_.Register(0x1C), 0x0200u);
        EXPECT_EQ(emac_.Register(0x20), 0x5E102030u);
        NextRound();
    }
}

TEST_F(EmacDriverTest, PhyFailuresReportAndLeaveTheLinkDown) {
    Options options;
    options.phyAbsent = true;
    Start(options);
    const EmacFigures f = EmacGetFigures();
    EXPECT_EQ(f.state, kEmacPhyFailed);
    EXPECT_EQ(f.phyFailed, 1);
    EXPECT_NE(Console().find("phy_read err3\n"), std::string::npos);
    InThread([] { EthernetLinkCheck(); });
    EXPECT_EQ(g_EthernetLinkState, 0);
    NextRound();

    Start();
    emac_.SetMdioStuck(true);
    Console();
    static int result = 0;
    InThread([] {
        uint16_t value = 0;
        result = phy_read(1, &value);
        EthernetLinkCheck();
    });
    EXPECT_EQ(result, -1);
    EXPECT_EQ(g_EthernetLinkState, 0);
    EXPECT_EQ(Console(), "phy_read err1\nphy_read err1\n");
}

TEST_F(EmacDriverTest, AutoNegotiationTimesOutAndReportsRemoteFault) {
    Start();
    Console();
    static int result = 0;
    static int f100 = 1, full = 1;
    emac_.GetPhy().SetAutoNegReads(50);
    InThread([] {
        f100 = full = 1;
        result = AutoNegotiate(10, &f100, &full);
    });
    EXPECT_EQ(result, -1);
    EXPECT_EQ(Console(), "Autonegotiate: Timeout\n");
    emac_.GetPhy().SetAutoNegReads(1);
    emac_.GetPhy().SetRemoteFault(true);
    InThread([] { result = AutoNegotiate(0, &f100, &full); });
    EXPECT_EQ(result, -1);
    EXPECT_EQ(Console(), "Autonegotiate: remote fault\n");
}

}  // namespace
}  // namespace emac_test
