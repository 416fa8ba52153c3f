// Each IP instance has its own ports: the same UDP port and TCP listen port on two instances
// both work and each serves only its own interface's traffic, a second bind on one instance is
// refused, over Ethernet-like and point-to-point links; only the Ethernet-like instance's ports
// are offered to the host's forwarding.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/kernel/kernel.h"
#include "platform/net/nx_api.h"
#include "platform/net/stack_core.h"
#include "platform/net/tests/two_instance_wire.h"

namespace {

using net_test::g_ips;
using net_test::kAddress;

struct Recorder : net::PortObserver {
    std::vector<std::string> seen;
    void PortBound(bool udp, uint16_t port) override {
        seen.push_back((udp ? "udp " : "tcp ") + std::to_string(port));
    }
    void PortReleased(bool, uint16_t) override {}
};

alignas(16) uint8_t g_stack[8192];
NX_UDP_SOCKET g_udp[3];
NX_TCP_SOCKET g_listen[2];
NX_TCP_SOCKET g_client;
UINT g_status[8];
bool g_received[2];

void Exercise(ULONG_PTR) {
    for (int i = 0; i < 2; ++i) {
        nx_udp_socket_create(&g_ips[i], &g_udp[i], "udp", 0, NX_FRAGMENT_OKAY, 128, 4);
        g_status[i] = nx_udp_socket_bind(&g_udp[i], 161, TX_NO_WAIT);
        nx_tcp_socket_create(&g_ips[i], &g_listen[i], "listen", 0, NX_FRAGMENT_OKAY, 128, 4096,
                             nullptr, nullptr);
        g_status[2 + i] = nx_tcp_server_socket_listen(&g_ips[i], 161, &g_listen[i], 1, nullptr);
    }
    nx_udp_socket_create(&g_ips[0], &g_udp[2], "udp", 0, NX_FRAGMENT_OKAY, 128, 4);
    g_status[4] = nx_udp_socket_bind(&g_udp[2], 161, TX_NO_WAIT);

    // Instance 0 sends to instance 1's port 161 and connects to it.
    NX_PACKET* packet = nullptr;
    nx_packet_allocate(&net_test::g_pools[0], &packet, NX_UDP_PACKET, TX_WAIT_FOREVER);
    nx_packet_data_append(packet, "x", 1, nullptr, TX_NO_WAIT);
    nx_udp_socket_send(&g_udp[0], packet, kAddress[1], 161);
    for (int i = 0; i < 2; ++i) {
        NX_PACKET* got = nullptr;
        g_received[i] = nx_udp_socket_receive(&g_udp[i], &got, 20) == NX_SUCCESS;
        if (got != nullptr) {
            nx_packet_release(got);
        }
    }
    nx_tcp_socket_create(&g_ips[0], &g_client, "client", 0, NX_FRAGMENT_OKAY, 128, 4096, nullptr,
                         nullptr);
    nx_tcp_client_socket_bind(&g_client, NX_ANY_PORT, TX_NO_WAIT);
    g_status[5] = nx_tcp_client_socket_connect(&g_client, kAddress[1], 161, 50);
    g_status[6] = nx_tcp_server_socket_accept(&g_listen[1], 20);
    g_status[7] = nx_tcp_server_socket_accept(&g_listen[0], 5);
}

class PortPerInstanceTest : public ::testing::TestWithParam<bool> {
protected:
    PortPerInstanceTest() {
        net_test::g_pointToPoint = GetParam();
        net::SetPortObserver(&recorder_);
        std::fill(std::begin(g_status), std::end(g_status), 0xFF);
        g_received[0] = g_received[1] = false;
        k_->Start([](void*) { net_test::CreateWireInstances(); });
        k_->Advance(1);
    }
    ~PortPerInstanceTest() override {
        k_.reset();
        net::EndOfBoot();
        net::SetPortObserver(nullptr);
        net_test::g_pointToPoint = false;
    }

    Recorder recorder_;
    std::unique_ptr<kernel::Kernel> k_ = std::make_unique<kernel::Kernel>();
    TX_THREAD thread_{};
};

TEST_P(PortPerInstanceTest, TheSamePortOnTwoInstancesServesEachItsOwnTraffic) {
    ASSERT_EQ(tx_thread_create(&thread_, "test", Exercise, 0, g_stack, sizeof g_stack, 5, 5,
                               TX_NO_TIME_SLICE, TX_AUTO_START),
              TX_SUCCESS);
    for (int i = 0; i < 100; ++i) {
        k_->Advance(1);
    }
    EXPECT_EQ(g_status[0], NX_SUCCESS) << "udp 161 on instance 0";
    EXPECT_EQ(g_status[1], NX_SUCCESS) << "udp 161 on instance 1";
    EXPECT_EQ(g_status[2], NX_SUCCESS) << "tcp 161 on instance 0";
    EXPECT_EQ(g_status[3], NX_SUCCESS) << "tcp 161 on instance 1";
    EXPECT_EQ(g_status[4], NX_PORT_UNAVAILABLE) << "udp 161 again on instance 0";
    EXPECT_FALSE(g_received[0]);
    EXPECT_TRUE(g_received[1]);
    EXPECT_EQ(g_status[5], NX_SUCCESS) << "connect";
    EXPECT_EQ(g_status[6], NX_SUCCESS) << "accepted by instance 1";
    EXPECT_NE(g_status[7], NX_SUCCESS) << "not by instance 0";
    if (GetParam()) {
        EXPECT_TRUE(recorder_.seen.empty());
    } else {
        EXPECT_EQ(recorder_.seen,
                  (std::vector<std::string>{"udp 161", "tcp 161", "udp 161", "tcp 161"}));
    }
}

INSTANTIATE_TEST_SUITE_P(Links, PortPerInstanceTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "PointToPoint" : "Ethernet"; });

}  // namespace
