#pragma once
// The controller's telnet console server: one per system, its state in statics. A thread of its
// own ("Server") takes the connection events of a TCP server on port 23 (shifted by the port
// offset), strips the telnet negotiation from what arrives and hands every event to the console
// handler; the handler's reply goes back on the connection.

#include <cstddef>
#include <cstdint>

#include "platform/kernel/tx_api.h"

// The network stack's IP instance and packet pool (opaque here; the sockets of platform/net
// carry the traffic).
struct NX_IP;
struct NX_PACKET_POOL;

// The console handler: event 1 connection ended, 2 new connection, 3 data received (data and
// length given). Returns 0 when it has a reply in *reply / *replyLength.
using TelnetConsoleHandler = UINT (*)(UINT event, ULONG_PTR connection, const UCHAR* data,
                                      ULONG length, const char** reply, ULONG* replyLength);

class CTelnetServer {
public:
    enum State : uint8_t { kNew = 0, kDeleted = 1, kCreated = 2, kStopped = 3, kStarted = 4 };
    static constexpr UINT kEventEnd = 1;
    static constexpr UINT kEventNew = 2;
    static constexpr UINT kEventData = 3;
    static constexpr uint16_t kPort = 23;
    static constexpr ULONG kStackSize = 2048;
    static constexpr UINT kPriority = 16;

    CTelnetServer(NX_IP* ip, NX_PACKET_POOL* packetPool, TX_BYTE_POOL* stackPool);
    // Stop, then Delete; the statics return to the state of a new server.
    virtual ~CTelnetServer();
    CTelnetServer(const CTelnetServer&) = delete;
    CTelnetServer& operator=(const CTelnetServer&) = delete;

    // Each returns whether the wanted state was reached; a call in the wrong state does nothing.
    bool Create();  // 0 or 1 -> 2: the server thread with a 2048-byte stack from the pool
    bool Start();   // below 4 -> 4: listening
    bool Stop();    // 4 -> 3: listener and connections closed (the handler sees event 1)
    bool Delete();  // 2 and up -> 1

    // Sends text on a connection; true when it went out or was dropped for want of buffers,
    // false when the connection cannot take it.
    static bool Send(ULONG_PTR connection, const char* text, ULONG length);
    // Closes the listener and the connections without telling the handler. The sockets' helper
    // thread wakes the server through the kernel: whoever ends a boot calls this before the
    // kernel goes (from any host thread). The server is left stopped.
    static void EndOfBoot();
    static void SetHandler(TelnetConsoleHandler handler);
    static uint8_t GetState();

    // Listening port instead of 23 + the port offset (-1 restores that; 0 takes any free port).
    static void SetListenPort(int port);
    // The port listened on while started (0 otherwise).
    static uint16_t BoundPort();
    // Connection events waiting for the server thread (tests wait for socket traffic with it).
    static size_t PendingEvents();
    // Waits at most `milliseconds` until `count` socket events are queued and the server has been
    // woken for each; false on the time-out (for tests on the stepped clock).
    static bool WaitForEvents(size_t count, uint32_t milliseconds);

    NX_IP* IpInstance() const { return ip_; }
    NX_PACKET_POOL* PacketPool() const { return packetPool_; }

private:
    static void ThreadEntry(ULONG_PTR input);
    static void ServeEvents();

    NX_IP* ip_;
    NX_PACKET_POOL* packetPool_;
    TX_BYTE_POOL* stackPool_;
};
