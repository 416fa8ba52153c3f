#pragma once
// A telnet peer for the console's tests: a TCP client on the second instance of the two-instance
// wire, the server on the first. Its calls never wait; they are made on a firmware thread and
// the test steps the kernel for the traffic to flow.

#include <string>

#include "platform/net/nx_api.h"
#include "platform/net/tests/two_instance_wire.h"

namespace telnet_test {

class WireClient {
public:
    // Creates the socket, binds an ephemeral port and starts connecting to port 23 of the
    // server's instance. NX_IN_PROGRESS or NX_SUCCESS when under way.
    UINT Connect() {
        NX_IP* ip = &net_test::g_ips[1];
        if (nx_tcp_socket_create(ip, &socket_, "client", NX_IP_NORMAL, NX_FRAGMENT_OKAY,
                                 NX_IP_TIME_TO_LIVE, 8192, nullptr, nullptr) != NX_SUCCESS ||
            nx_tcp_client_socket_bind(&socket_, NX_ANY_PORT, TX_NO_WAIT) != NX_SUCCESS) {
            return NX_NOT_SUCCESSFUL;
        }
        created_ = true;
        return nx_tcp_client_socket_connect(&socket_, net_test::kAddress[0], 23, TX_NO_WAIT);
    }
    bool Connected() const { return socket_.nx_tcp_socket_state == NX_TCP_ESTABLISHED; }
    // True once the server has closed the connection (or refused it).
    bool PeerClosed() const {
        return socket_.nx_tcp_socket_state == NX_TCP_CLOSE_WAIT ||
               socket_.nx_tcp_socket_state == NX_TCP_CLOSED;
    }

    UINT Write(const std::string& text) {
        NX_PACKET* packet = nullptr;
        UINT status = nx_packet_allocate(&net_test::g_pools[1], &packet, NX_TCP_PACKET, TX_NO_WAIT);
        if (status != NX_SUCCESS) {
            return status;
        }
        nx_packet_data_append(packet, text.data(), ULONG(text.size()), nullptr, TX_NO_WAIT);
        status = nx_tcp_socket_send(&socket_, packet, TX_NO_WAIT);
        if (status != NX_SUCCESS) {
            nx_packet_release(packet);
        }
        return status;
    }
    // What arrived since the last call.
    std::string Read() {
        std::string text;
        NX_PACKET* packet = nullptr;
        while (created_ && nx_tcp_socket_receive(&socket_, &packet, TX_NO_WAIT) == NX_SUCCESS) {
            text.append(reinterpret_cast<const char*>(packet->nx_packet_prepend_ptr),
                        packet->nx_packet_length);
            nx_packet_release(packet);
        }
        return text;
    }
    void Close() {
        if (created_) {
            nx_tcp_socket_disconnect(&socket_, TX_NO_WAIT);
            nx_tcp_client_socket_unbind(&socket_);
            nx_tcp_socket_delete(&socket_);
            created_ = false;
        }
    }

private:
    NX_TCP_SOCKET socket_{};
    bool created_ = false;
};

}  // namespace telnet_test
