// The stack's TCP sockets keep their NetX semantics over lwIP: listen/accept/relisten (with a
// waiting connection reported as pending, and with another socket while the first is
// connected), the disconnect, listen and receive callbacks, receive and accept waits that time
// out or are aborted, all between two instances joined by a wire of their own on the stepped
// clock.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/kernel/kernel.h"
#include "platform/net/nx_api.h"
#include "platform/net/stack_core.h"
#include "platform/net/tests/two_instance_wire.h"

namespace {

using net_test::g_ips;
using net_test::g_pools;
using net_test::kAddress;

alignas(16) uint8_t g_stacks[3][8192];

struct Log {
    std::vector<std::string> events;
};
Log g_log;

void OnDisconnect(NX_TCP_SOCKET*) {
    g_log.events.push_back("disconnect");
}
void OnListen(NX_TCP_SOCKET*, UINT port) {
    g_log.events.push_back("listen " + std::to_string(port));
}

class TcpApiTest : public ::testing::Test {
protected:
    TcpApiTest() {
        g_log.events.clear();
        k_->Start([](void*) { net_test::CreateWireInstances(); });
        k_->Advance(1);
    }
    ~TcpApiTest() override {
        k_.reset();  // ends every thread, then the stack forgets the boot's sockets
        net::EndOfBoot();
    }

    // Runs fn on a new firmware thread (slot 0-2) at priority 5.
    void Run(int slot, void (*fn)(ULONG_PTR), ULONG_PTR input = 0) {
        TX_THREAD* thread = &threads_[slot];
        ASSERT_EQ(tx_thread_create(thread, const_cast<CHAR*>("test"), fn, input, g_stacks[slot],
                                   sizeof g_stacks[slot], 5, 5, TX_NO_TIME_SLICE, TX_AUTO_START),
                  TX_SUCCESS);
    }
    void Step(int ticks = 5) {
        for (int i = 0; i < ticks; ++i)
            k_->Advance(1);
    }

    std::unique_ptr<kernel::Kernel> k_ = std::make_unique<kernel::Kernel>();
    TX_THREAD threads_[3]{};
};

NX_TCP_SOCKET g_server;
NX_TCP_SOCKET g_clients[2];
UINT g_status[8];
std::string g_received;

NX_PACKET* Packet(NX_IP* ip, const std::string& text) {
    NX_PACKET* p = nullptr;
    nx_packet_allocate(ip->nx_ip_default_packet_pool, &p, NX_TCP_PACKET, TX_WAIT_FOREVER);
    nx_packet_data_append(p, text.data(), ULONG(text.size()), nullptr, TX_NO_WAIT);
    return p;
}

TEST_F(TcpApiTest, AcceptReceiveDisconnectRelistenWithAPendingConnection) {
    std::fill(std::begin(g_status), std::end(g_status), 0xFF);
    g_received.clear();
    // Server: listen, accept, take the data, see the peer go, relisten.
    Run(0, [](ULONG_PTR) {
        nx_tcp_socket_create(&g_ips[0], &g_server, "server", 0, 0, 128, 1000, nullptr,
                             &OnDisconnect);
        g_status[0] = nx_tcp_server_socket_listen(&g_ips[0], 161, &g_server, 1, &OnListen);
        g_status[1] = nx_tcp_server_socket_accept(&g_server, 200);
        NX_PACKET* p = nullptr;
        while (nx_tcp_socket_receive(&g_server, &p, 100) == NX_SUCCESS) {
            g_received.append(reinterpret_cast<char*>(p->nx_packet_prepend_ptr),
                              p->nx_packet_length);
            nx_packet_release(p);
        }
        nx_tcp_socket_disconnect(&g_server, 4);
        nx_tcp_server_socket_unaccept(&g_server);
        g_status[2] = nx_tcp_server_socket_relisten(&g_ips[0], 161, &g_server);
        g_status[3] = nx_tcp_server_socket_accept(&g_server, 200);
    });
    // Two clients: the second connects while the first is served and waits in the queue.
    Run(1, [](ULONG_PTR) {
        for (int i = 0; i < 2; ++i) {
            nx_tcp_socket_create(&g_ips[1], &g_clients[i], "client", 0, 0, 128, 1000, nullptr,
                                 nullptr);
            nx_tcp_client_socket_bind(&g_clients[i], NX_ANY_PORT, TX_NO_WAIT);
        }
        g_status[4] = nx_tcp_client_socket_connect(&g_clients[0], kAddress[0], 161, 100);
        nx_tcp_socket_send(&g_clients[0], Packet(&g_ips[1], "hello "), 100);
        nx_tcp_socket_send(&g_clients[0], Packet(&g_ips[1], "world"), 100);
        g_status[5] = nx_tcp_client_socket_connect(&g_clients[1], kAddress[0], 161, 100);
        tx_thread_sleep(10);
        nx_tcp_socket_disconnect(&g_clients[0], 4);
    });
    Step(40);
    EXPECT_EQ(g_status[0], NX_SUCCESS);
    EXPECT_EQ(g_status[1], NX_SUCCESS);
    EXPECT_EQ(g_status[4], NX_SUCCESS);
    EXPECT_EQ(g_status[5], NX_SUCCESS);  // accepted by the stack, waiting for a socket
    EXPECT_EQ(g_received, "hello world");
    EXPECT_EQ(g_status[2], NX_CONNECTION_PENDING);
    EXPECT_EQ(g_status[3], NX_SUCCESS);
    ASSERT_GE(g_log.events.size(), 3u);
    EXPECT_EQ(g_log.events[0], "listen 161");
    EXPECT_NE(std::find(g_log.events.begin(), g_log.events.end(), "disconnect"),
              g_log.events.end());
}

TEST_F(TcpApiTest, WaitsTimeOutOrAreAborted) {
    std::fill(std::begin(g_status), std::end(g_status), 0xFF);
    Run(0, [](ULONG_PTR) {
        nx_tcp_socket_create(&g_ips[0], &g_server, "server", 0, 0, 128, 1000, nullptr, nullptr);
        nx_tcp_server_socket_listen(&g_ips[0], 23, &g_server, 1, nullptr);
        g_status[0] = nx_tcp_server_socket_accept(&g_server, 20);  // nobody comes
        g_status[1] = nx_tcp_server_socket_accept(&g_server, TX_WAIT_FOREVER);
        // A second socket of this test's own on the same port.
        static NX_TCP_SOCKET second;
        second = NX_TCP_SOCKET{};
        nx_tcp_socket_create(&g_ips[0], &second, "second", 0, 0, 128, 1000, nullptr, nullptr);
        g_status[2] = nx_tcp_server_socket_listen(&g_ips[0], 23, &second, 1, nullptr);
        NX_PACKET* p = nullptr;
        g_status[3] = nx_tcp_socket_receive(&g_server, &p, 5);  // listening, not connected
    });
    Step(25);
    EXPECT_EQ(g_status[0], NX_NOT_CONNECTED);
    EXPECT_EQ(g_status[1], 0xFFu);
    tx_thread_wait_abort(&threads_[0]);
    Step(10);
    EXPECT_EQ(g_status[1], NX_WAIT_ABORTED);
    EXPECT_EQ(g_status[2], NX_DUPLICATE_LISTEN);
    EXPECT_EQ(g_status[3], NX_NOT_CONNECTED);
}

NX_TCP_SOCKET g_servers[2];
int g_notified[2];

void OnReceive(NX_TCP_SOCKET* socket) {
    ++g_notified[socket - g_servers];
}

TEST_F(TcpApiTest, RelistenWithAnotherSocketWhileTheFirstIsConnected) {
    std::fill(std::begin(g_status), std::end(g_status), 0xFF);
    g_notified[0] = g_notified[1] = 0;
    Run(0, [](ULONG_PTR) {
        for (NX_TCP_SOCKET& s : g_servers) {
            nx_tcp_socket_create(&g_ips[0], &s, "server", 0, 0, 128, 1000, nullptr, nullptr);
            nx_tcp_socket_receive_notify(&s, &OnReceive);
        }
        nx_tcp_server_socket_listen(&g_ips[0], 23, &g_servers[0], 2, nullptr);
        g_status[0] = nx_tcp_server_socket_accept(&g_servers[0], 100);
        g_status[1] = nx_tcp_server_socket_relisten(&g_ips[0], 23, &g_servers[1]);
        g_status[2] = nx_tcp_server_socket_accept(&g_servers[1], 100);
        tx_thread_sleep(10);
        // The port goes while both are connected: each socket is closed and deleted cleanly.
        g_status[3] = nx_tcp_server_socket_unlisten(&g_ips[0], 23);
        for (int i = 0; i < 2; ++i) {
            nx_tcp_socket_disconnect(&g_servers[i], TX_NO_WAIT);
            nx_tcp_server_socket_unaccept(&g_servers[i]);
            g_status[4 + i] = nx_tcp_socket_delete(&g_servers[i]);
        }
    });
    Run(1, [](ULONG_PTR) {
        for (int i = 0; i < 2; ++i) {
            nx_tcp_socket_create(&g_ips[1], &g_clients[i], "client", 0, 0, 128, 1000, nullptr,
                                 nullptr);
            nx_tcp_client_socket_bind(&g_clients[i], NX_ANY_PORT, TX_NO_WAIT);
            g_status[6 + i] = nx_tcp_client_socket_connect(&g_clients[i], kAddress[0], 23, 100);
        }
        tx_thread_sleep(2);  // both accepted
        for (NX_TCP_SOCKET& client : g_clients) {
            nx_tcp_socket_send(&client, Packet(&g_ips[1], "x"), 100);
        }
    });
    Step(30);
    EXPECT_EQ(g_status[0], NX_SUCCESS);
    EXPECT_TRUE(g_status[1] == NX_SUCCESS || g_status[1] == NX_CONNECTION_PENDING) << g_status[1];
    EXPECT_EQ(g_status[2], NX_SUCCESS);
    EXPECT_EQ(g_status[3], NX_SUCCESS);
    EXPECT_EQ(g_status[4], NX_SUCCESS);
    EXPECT_EQ(g_status[5], NX_SUCCESS);
    EXPECT_EQ(g_status[6], NX_SUCCESS);
    EXPECT_EQ(g_status[7], NX_SUCCESS);
    EXPECT_GE(g_notified[0], 1) << "data on the first connection";
    EXPECT_GE(g_notified[1], 1) << "data on the second";
}

}  // namespace
