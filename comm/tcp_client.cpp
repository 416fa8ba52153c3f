#include "comm/tcp_client.h"

#include "runtime/debug_print.h"

namespace {

TcpClient* g_TcpClient = nullptr;  // the one client: its socket's disconnect callback finds it

void tcp_client_disconnect_callback(NX_TCP_SOCKET* socket) {
    TcpClient* client = g_TcpClient;
    if (client != nullptr && &client->socket == socket && client->state != TcpClient::kIdle) {
        client->disconnected = true;
        tx_thread_wait_abort(&client->thread);
    }
}

bool SocketClosed(const TcpClient* client) {
    return client->socket.nx_tcp_socket_state == NX_TCP_CLOSED ||
           client->socket.nx_tcp_socket_state == NX_TCP_CLOSE_WAIT;
}

// A send that found no connection is dropped.
void DropPending(TcpClient* client) {
    if (tx_semaphore_get(&client->transmit, TX_NO_WAIT) == TX_SUCCESS && client->packet) {
        nx_packet_release(client->packet);
    }
    client->packet = nullptr;
    client->pending = 0;
}

uint32_t Connect(TcpClient* client) {
    const bool abandon = client->disconnected;
    for (;;) {
        const UINT status = nx_tcp_client_socket_connect(&client->socket, client->remoteAddress,
                                                         client->remotePort, TcpClient::kWait);
        if (status == NX_SUCCESS) {
            client->idleCountdown = TcpClient::kIdleWaits;
            return TcpClient::kConnected;
        }
        if (status != NX_NOT_CONNECTED) {
            DebugPrint("tcp_client_thread_entry: nx_tcp_client_socket_connect failed:0x%02X\n",
                       status);
            DropPending(client);
            return TcpClient::kIdle;
        }
        DebugPrintLevel1(
            "tcp_client_thread_entry: nx_tcp_client_socket_connect connection timed out!\n");
        if (abandon) {
            DropPending(client);
            return TcpClient::kIdle;
        }
    }
}

uint32_t Serve(TcpClient* client) {
    uint32_t next = TcpClient::kConnected;
    if (client->disconnected || SocketClosed(client)) {
        next = TcpClient::kDisconnecting;
    }
    if (tx_semaphore_get(&client->transmit, TcpClient::kIdlePoll) == TX_SUCCESS) {
        NX_PACKET* packet = client->packet;
        client->packet = nullptr;
        const UINT status = nx_tcp_socket_send(&client->socket, packet, TcpClient::kWait);
        if (status != NX_SUCCESS) {
            DebugPrint("tcp_client_thread_entry: nx_tcp_socket_send failure:0x%02X\n", status);
            nx_packet_release(packet);
        }
        client->pending = 0;
        client->idleCountdown = TcpClient::kIdleWaits;
    }
    if (client->idleCountdown == 0) {
        return TcpClient::kDisconnecting;
    }
    --client->idleCountdown;
    return next;
}

void tcp_client_thread_entry(ULONG_PTR input) {
    TcpClient* client = reinterpret_cast<TcpClient*>(input);
    for (;;) {
        switch (client->state) {
            case TcpClient::kConnecting:
                client->state = Connect(client);
                break;
            case TcpClient::kConnected:
                client->state = Serve(client);
                break;
            case TcpClient::kDisconnecting: {
                if (client->socket.nx_tcp_socket_state != NX_TCP_CLOSED) {
                    const UINT status = nx_tcp_socket_disconnect(&client->socket, TcpClient::kWait);
                    if (status != NX_SUCCESS && status != NX_WAIT_ABORTED &&
                        status != NX_NOT_CONNECTED) {
                        DebugPrint(
                            "tcp_client_thread_entry: nx_tcp_socket_disconnect failure:0x%02X\n",
                            status);
                    }
                }
                // The old connection's port lingers in the stack: the next one takes another.
                nx_tcp_client_socket_unbind(&client->socket);
                nx_tcp_client_socket_bind(&client->socket, NX_ANY_PORT, TX_NO_WAIT);
                client->state = TcpClient::kIdle;
                break;
            }
            default:
                client->disconnected = false;
                if (client->pending == 0) {
                    tx_thread_suspend(&client->thread);  // a send resumes it
                }
                client->state = TcpClient::kConnecting;
                break;
        }
    }
}

}  // namespace

void tcp_client_initialize(TcpClient* client, NX_IP* ip, uint8_t** stack, NX_PACKET_POOL* pool) {
    client->ip = ip;
    client->pool = pool;
    client->state = TcpClient::kIdle;
    client->disconnected = false;
    client->pending = 0;
    client->packet = nullptr;
    client->idleCountdown = TcpClient::kIdleWaits;
    g_TcpClient = client;
    UINT status = tx_thread_create(&client->thread, const_cast<CHAR*>("tcp client thread"),
                                   tcp_client_thread_entry, reinterpret_cast<ULONG_PTR>(client),
                                   *stack, TcpClient::kStackSize, 3, 3, 1, TX_AUTO_START);
    if (status != TX_SUCCESS) {
        DebugPrint("tcp_client_initialize: tx_thread_create error:0x%02X!\n", status);
    } else {
        *stack += TcpClient::kStackSize;
    }
    status =
        nx_tcp_socket_create(ip, &client->socket, "tcp client socket", 0, NX_FRAGMENT_OKAY,
                             NX_IP_TIME_TO_LIVE, 1000, nullptr, tcp_client_disconnect_callback);
    if (status != NX_SUCCESS) {
        DebugPrint("tcp_client_initialize: nx_tcp_socket_create error:0x%02X!\n", status);
    }
    status = tx_semaphore_create(&client->transmit, const_cast<CHAR*>("transmit semaphore"), 0);
    if (status != TX_SUCCESS) {
        DebugPrint("tcp_client_initialize: tx_semaphore_create failure:0x%02X!\n", status);
    }
}

void tcp_client_configure(TcpClient* client, UINT, ULONG remoteAddress, UINT remotePort) {
    client->remoteAddress = remoteAddress;
    client->remotePort = remotePort;
    nx_tcp_client_socket_unbind(&client->socket);
    const UINT status = nx_tcp_client_socket_bind(&client->socket, NX_ANY_PORT, TX_NO_WAIT);
    if (status != NX_SUCCESS) {
        DebugPrint("tcp_thread_initialize: nx_tcp_client_socket_bind error:0x%02X\n", status);
    }
}

void tcp_client_send_data(TcpClient* client, const uint8_t* buffer, uint32_t length) {
    if (client->pending != 0) {
        DebugPrint("tcp_client_send_data: tcp client driver busy\n");
        return;
    }
    NX_PACKET* packet = nullptr;
    UINT status = nx_packet_allocate(client->pool, &packet, NX_TCP_PACKET, TcpClient::kWait);
    if (status != NX_SUCCESS) {
        DebugPrint("tcp_client_send_data: nx_packet_allocate failure:0x%02X!\n", status);
        return;
    }
    status = nx_packet_data_append(packet, buffer, length, client->pool, TcpClient::kWait);
    if (status != NX_SUCCESS) {
        DebugPrint("tcp_client_send_data: nx_packet_data_append failure:0x%02X\n", status);
    }
    client->packet = packet;
    client->pending = 1;
    tx_semaphore_put(&client->transmit);
    tx_thread_resume(&client->thread);
}
