// The server channels and the clients on the stepped clock, against a manager on a wire of its
// own: an idle connection is closed after its time-out and the port listens again, a stream
// that cannot be SNMP is closed at once, a sixth connection waits for a free slot, the
// auxiliary UDP port stores its external text; the TCP client opens a connection per burst from
// an ephemeral port, refuses a second pending send and closes when idle; the UDP client cuts
// what it reads to the caller's room.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "comm/ethernet_link.h"
#include "comm/tcp_client.h"
#include "comm/tcp_server_channel.h"
#include "comm/udp_client.h"
#include "comm/udp_server_channel.h"
#include "database/global_database.h"
#include "database/object_ids.h"
#include "platform/kernel/kernel.h"
#include "platform/net/nx_api.h"
#include "platform/net/stack_core.h"
#include "platform/net/tests/two_instance_wire.h"

namespace {

using net_test::g_ips;
using net_test::g_pools;
using net_test::kAddress;

constexpr int kController = 0;
constexpr int kManager = 1;
constexpr int kClients = 6;

alignas(16) uint8_t g_threadStacks[2][8192];
alignas(16) uint8_t g_tcpStacks[CTCP_Server::kSlots * CTCP_Server::kStackSize];
alignas(16) uint8_t g_udpStacks[CUDP_Server::kSlots * CUDP_Server::kStackSize];

// What the manager's thread does, and what it saw.
struct Manager {
    NX_TCP_SOCKET clients[kClients];
    bool closed[kClients];
    UINT connectStatus[kClients];
    int listened = 0;
    int sixthListen = -1;
    std::string send;  // bytes client 0 sends once connected
    uint16_t ports[kClients];
};
Manager g_m;
CTCP_Server g_snmpTcp;
CUDP_Server g_udp;
EthernetLink g_unusedLink;  // never created: messages go nowhere

void OnClientClosed(NX_TCP_SOCKET* socket) {
    g_m.closed[socket - g_m.clients] = true;
}

NX_PACKET* Packet(const std::string& text, ULONG type) {
    NX_PACKET* p = nullptr;
    nx_packet_allocate(&g_pools[kManager], &p, type, TX_WAIT_FOREVER);
    nx_packet_data_append(p, text.data(), ULONG(text.size()), nullptr, TX_NO_WAIT);
    return p;
}

class IpEndpointsTest : public ::testing::Test {
protected:
    IpEndpointsTest() {
        g_m = Manager{};
        k_->Start([](void*) { net_test::CreateWireInstances(); });
        k_->Advance(1);
    }
    ~IpEndpointsTest() override {
        k_.reset();
        CTCP_Server::Reset();
        CUDP_Server::Reset();
        net::EndOfBoot();
    }

    void Run(int slot, void (*fn)(ULONG_PTR), UINT priority = 5) {
        ASSERT_EQ(tx_thread_create(&threads_[slot], const_cast<CHAR*>("test"), fn, 0,
                                   g_threadStacks[slot], sizeof g_threadStacks[slot], priority,
                                   priority, TX_NO_TIME_SLICE, TX_AUTO_START),
                  TX_SUCCESS);
    }
    void Step(ULONG ticks) {
        for (ULONG i = 0; i < ticks; ++i) {
            k_->Advance(1);
        }
    }
    ULONG Accepted() const { return g_ips[kController].nx_ip_counters.tcp_connections; }

    std::unique_ptr<kernel::Kernel> k_ = std::make_unique<kernel::Kernel>();
    TX_THREAD threads_[2]{};
};

// The controller: the servers on its instance, the SNMP channel on the listed ports.
void StartController(ULONG_PTR) {
    CTCP_Server::Initialize(&g_ips[kController], g_tcpStacks, &g_pools[kController]);
    CUDP_Server::Initialize(&g_ips[kController], g_udpStacks, &g_pools[kController]);
    g_snmpTcp.SetProtocol(kEthernetProtocolSnmp);
    g_snmpTcp.SetLink(&g_unusedLink);
    for (uint16_t port : g_m.ports) {
        if (port != 0 && g_snmpTcp.Listen(port) == 1) {
            ++g_m.listened;
        }
    }
    g_m.sixthListen = g_snmpTcp.Listen(4000);
    g_udp.Listen(kAuxiliaryTextPort);
}

// The manager connects client i to ports[i] in turn (those with a port).
void ConnectClients(ULONG_PTR) {
    for (int i = 0; i < kClients; ++i) {
        nx_tcp_socket_create(&g_ips[kManager], &g_m.clients[i], "client", 0, 0, 128, 1000, nullptr,
                             &OnClientClosed);
        nx_tcp_client_socket_bind(&g_m.clients[i], NX_ANY_PORT, TX_NO_WAIT);
    }
    const uint16_t sixth = g_m.ports[0];
    for (int i = 0; i < kClients; ++i) {
        const uint16_t port = i == kClients - 1 ? sixth : g_m.ports[i];
        if (port == 0) {
            continue;
        }
        g_m.connectStatus[i] =
            nx_tcp_client_socket_connect(&g_m.clients[i], kAddress[kController], port, 100);
        if (i == 0 && !g_m.send.empty()) {
            nx_tcp_socket_send(&g_m.clients[0], Packet(g_m.send, NX_TCP_PACKET), 100);
        }
    }
}

TEST_F(IpEndpointsTest, AnIdleConnectionIsClosedAndItsPortListensAgain) {
    g_m.ports[0] = 161;
    Run(0, StartController);
    Run(1, ConnectClients);
    Step(50);
    ASSERT_EQ(g_m.connectStatus[0], NX_SUCCESS);
    EXPECT_EQ(Accepted(), 1u);
    Step(CTCP_Server::kIdleTicks - 200);
    EXPECT_FALSE(g_m.closed[0]) << "closed before its idle time-out";
    Step(400);
    EXPECT_TRUE(g_m.closed[0]) << "an idle connection stays open";
    // The second connection to the port (the sixth client) is served once the first is gone.
    Step(50);
    EXPECT_EQ(Accepted(), 2u);
}

TEST_F(IpEndpointsTest, AStreamThatCannotBeSnmpIsClosedAtOnce) {
    g_m.ports[0] = 161;
    g_m.send = std::string("\x30\x84\x80\x00\x00\x00", 6);  // a length of 2^31
    Run(0, StartController);
    Run(1, ConnectClients);
    Step(100);
    ASSERT_EQ(g_m.connectStatus[0], NX_SUCCESS);
    EXPECT_TRUE(g_m.closed[0]);
    EXPECT_EQ(Accepted(), 2u) << "the waiting connection is not served next";
}

TEST_F(IpEndpointsTest, ASixthConnectionWaitsForAFreeSlot) {
    for (int i = 0; i < 5; ++i) {
        g_m.ports[i] = uint16_t(1001 + i);
    }
    Run(0, StartController);
    Run(1, ConnectClients);
    Step(100);
    EXPECT_EQ(g_m.listened, 5);
    EXPECT_EQ(g_m.sixthListen, 0) << "a port beyond the five slots";
    for (int i = 0; i < kClients; ++i) {
        EXPECT_EQ(g_m.connectStatus[i], NX_SUCCESS) << i;
    }
    EXPECT_EQ(Accepted(), 5u) << "the sixth connection is served without a slot";
    nx_tcp_socket_disconnect(&g_m.clients[0], TX_NO_WAIT);
    Step(100);
    EXPECT_EQ(Accepted(), 6u) << "the sixth connection still waits after a slot came free";
}

TEST_F(IpEndpointsTest, TheAuxiliaryPortStoresItsText) {
    Run(0, StartController);
    Step(10);
    struct Case {
        std::string datagram;
        const char* stored;
    };
    const Case cases[] = {
        {std::string("\x0D") + "HEADER" + "Xfirst", "first"},
        {std::string("\x0D") + "1234567", "first"},  // exactly 8 bytes: no text
        {std::string("\x0E") + "1234567" + "other", "first"},
        {std::string("\x0D") + "1234567" + "next", "next"},
    };
    static NX_UDP_SOCKET sender;
    Run(1, [](ULONG_PTR) {
        nx_udp_socket_create(&g_ips[kManager], &sender, "sender", 0, 0, 128, 8);
        nx_udp_socket_bind(&sender, NX_ANY_PORT, TX_NO_WAIT);
        tx_thread_suspend(tx_thread_identify());
    });
    Step(10);
    for (const Case& c : cases) {
        nx_udp_socket_send(&sender, Packet(c.datagram, NX_UDP_PACKET), kAddress[kController],
                           kAuxiliaryTextPort);
        Step(20);
        uint32_t length = 0;
        const char* text = g_DataBase.GetText(dbo::externalText, &length);
        EXPECT_EQ(std::string(text, length), c.stored) << c.datagram.substr(1);
    }
}

// The manager's trap receiver on port 162: takes connections one after another.
struct TrapReceiver {
    NX_TCP_SOCKET socket;
    std::string received;
    int connections = 0;
    UINT peerPort = 0;
};
TrapReceiver g_receiver;
TcpClient g_client;
CTCP_Server g_trapServer;
alignas(16) uint8_t g_clientStack[TcpClient::kStackSize];

void ReceiveTraps(ULONG_PTR) {
    nx_tcp_socket_create(&g_ips[kManager], &g_receiver.socket, "traps", 0, 0, 128, 1000, nullptr,
                         nullptr);
    nx_tcp_server_socket_listen(&g_ips[kManager], 162, &g_receiver.socket, 1, nullptr);
    for (;;) {
        if (nx_tcp_server_socket_accept(&g_receiver.socket, TX_WAIT_FOREVER) == NX_SUCCESS) {
            ++g_receiver.connections;
            g_receiver.peerPort = g_receiver.socket.nx_tcp_socket_connect_port;
            NX_PACKET* p = nullptr;
            while (nx_tcp_socket_receive(&g_receiver.socket, &p, TX_WAIT_FOREVER) == NX_SUCCESS) {
                g_receiver.received.append(reinterpret_cast<char*>(p->nx_packet_prepend_ptr),
                                           p->nx_packet_length);
                nx_packet_release(p);
            }
        }
        nx_tcp_socket_disconnect(&g_receiver.socket, 4);
        nx_tcp_server_socket_unaccept(&g_receiver.socket);
        nx_tcp_server_socket_relisten(&g_ips[kManager], 162, &g_receiver.socket);
    }
}

void StartTrapClient(ULONG_PTR) {
    // The controller's own trap port listens too: the client must not take it.
    CTCP_Server::Initialize(&g_ips[kController], g_tcpStacks, &g_pools[kController]);
    g_trapServer.Listen(162);
    uint8_t* stack = g_clientStack;
    tcp_client_initialize(&g_client, &g_ips[kController], &stack, &g_pools[kController]);
    tcp_client_configure(&g_client, 162, kAddress[kManager], 162);
    const std::string first = "trap one;";
    const std::string second = "trap two;";
    tcp_client_send_data(&g_client, reinterpret_cast<const uint8_t*>(first.data()),
                         uint32_t(first.size()));
    tcp_client_send_data(&g_client, reinterpret_cast<const uint8_t*>(second.data()),
                         uint32_t(second.size()));  // refused: the first is still pending
    tx_thread_suspend(tx_thread_identify());
    tcp_client_send_data(&g_client, reinterpret_cast<const uint8_t*>(second.data()),
                         uint32_t(second.size()));
    tx_thread_suspend(tx_thread_identify());
}

TEST_F(IpEndpointsTest, TheTcpClientConnectsPerBurstAndClosesWhenIdle) {
    g_receiver = TrapReceiver{};
    Run(1, ReceiveTraps);
    Step(5);
    Run(0, StartTrapClient, 2);  // above the client's thread: both sends before it runs
    Step(100);
    EXPECT_EQ(g_receiver.received, "trap one;");
    EXPECT_EQ(g_receiver.connections, 1);
    EXPECT_NE(g_receiver.peerPort, 0u);
    EXPECT_NE(g_receiver.peerPort, 162u) << "the client took the trap server's port";
    EXPECT_EQ(g_client.state, uint32_t(TcpClient::kConnected));
    Step(TcpClient::kIdlePoll * (TcpClient::kIdleWaits + 2));
    EXPECT_EQ(g_client.state, uint32_t(TcpClient::kIdle)) << "an idle connection stays open";
    tx_thread_resume(&threads_[0]);
    Step(100);
    EXPECT_EQ(g_receiver.received, "trap one;trap two;");
    EXPECT_EQ(g_receiver.connections, 2) << "the next send opens a new connection";
}

TEST_F(IpEndpointsTest, TheUdpClientCutsADatagramToTheCallersRoom) {
    static UdpClient client;
    static NX_UDP_SOCKET manager;
    static uint32_t results[2];
    static uint8_t buffer[16];
    Run(0, [](ULONG_PTR) {
        udp_client_initialize(&client, &g_ips[kController], nullptr, &g_pools[kController]);
        udp_client_configure(&client, 162, kAddress[kManager], 5000);
        results[0] = udp_client_receive_data(&client, buffer, sizeof buffer, TX_NO_WAIT);
        tx_thread_sleep(5);  // the manager binds its socket
        udp_client_send_data(&client, reinterpret_cast<const uint8_t*>("ping"), 4);
        results[1] = udp_client_receive_data(&client, buffer, 10, 100);
    });
    Run(1, [](ULONG_PTR) {
        nx_udp_socket_create(&g_ips[kManager], &manager, "manager", 0, 0, 128, 8);
        nx_udp_socket_bind(&manager, 5000, TX_NO_WAIT);
        NX_PACKET* p = nullptr;
        if (nx_udp_socket_receive(&manager, &p, 100) == NX_SUCCESS) {
            ULONG from = 0;
            UINT port = 0;
            nx_udp_source_extract(p, &from, &port);
            nx_packet_release(p);
            nx_udp_socket_send(&manager,
                               Packet("0123456789abcdefghijklmnopqrstuvwxyz", NX_UDP_PACKET), from,
                               port);
        }
    });
    Step(60);
    EXPECT_EQ(results[0], 0u);
    EXPECT_EQ(results[1], 10u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), 10), "0123456789");
    EXPECT_EQ(client.lastSourceAddress, kAddress[kManager]);
    EXPECT_EQ(client.lastSourcePort, 5000u);
}

}  // namespace
