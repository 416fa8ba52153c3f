#pragma once
// The TCP client over the Ethernet IP instance: it holds a connection to the configured remote
// address only while it has data to send. Its thread ("tcp client thread") connects when a send
// is handed to it, sends, and closes the connection after about ten idle 100-tick waits.

#include <cstdint>

#include "platform/net/nx_api.h"

struct TcpClient {
    enum State : uint32_t { kIdle = 0, kConnecting = 1, kConnected = 2, kDisconnecting = 3 };
    static constexpr ULONG kStackSize = 2048;
    static constexpr ULONG kWait = 6000;       // connect, send, disconnect, allocate
    static constexpr ULONG kIdlePoll = 100;    // one wait for data while connected
    static constexpr uint8_t kIdleWaits = 10;  // waits without a send before closing

    NX_TCP_SOCKET socket;
    TX_THREAD thread;
    NX_IP* ip;
    ULONG remoteAddress;
    UINT remotePort;
    NX_PACKET* packet;
    NX_PACKET_POOL* pool;
    uint32_t state;
    TX_SEMAPHORE transmit;
    bool disconnected;
    uint32_t pending;
    uint8_t idleCountdown;
};

// The thread's stack is taken from *stack, which advances by kStackSize on success.
void tcp_client_initialize(TcpClient* client, NX_IP* ip, uint8_t** stack, NX_PACKET_POOL* pool);
// The local port is only a wish: the client binds an ephemeral port, so that it never takes a
// port a server listens on (the trap port 162).
void tcp_client_configure(TcpClient* client, UINT localPort, ULONG remoteAddress, UINT remotePort);
void tcp_client_send_data(TcpClient* client, const uint8_t* buffer, uint32_t length);
