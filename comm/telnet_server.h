#pragma once
// The controller's telnet console server: one per system, its state in statics. A thread of its
// own ("Server") listens on TCP port 23 of an IP instance, serves up to kConnections connections
// at once (further ones wait in the listen queue), strips the telnet negotiation from what
// arrives and hands every connection event to the console handler; the handler's reply goes back
// on the connection.

#include <cstddef>
#include <cstdint>

#include "platform/kernel/tx_api.h"
#include "platform/net/nx_api.h"

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
    static constexpr UINT kPort = 23;
    static constexpr size_t kConnections = 4;
    static constexpr ULONG kWindowSize = 2048;
    static constexpr ULONG kStackSize = 2048;
    static constexpr UINT kPriority = 16;
    static constexpr ULONG kSendTicks = 100;  // replies wait this long for room to send

    // ip and packetPool null: the controller's Ethernet instance and its pool, looked up by
    // Create (the network comes up after the console is built).
    CTelnetServer(NX_IP* ip, NX_PACKET_POOL* packetPool, TX_BYTE_POOL* stackPool);
    // Stop, then Delete; the statics return to the state of a new server.
    virtual ~CTelnetServer();
    CTelnetServer(const CTelnetServer&) = delete;
    CTelnetServer& operator=(const CTelnetServer&) = delete;

    // Each returns whether the wanted state was reached; a call in the wrong state does nothing.
    bool Create();  // 0 or 1 -> 2: sockets, and the server thread with a stack from the pool
    bool Start();   // 2 or 3 -> 4: listening
    bool Stop();    // 4 -> 3: listener and connections closed (the handler sees event 1)
    bool Delete();  // 2 and up -> 1

    // Sends text on a connection without waiting; true when it went out or was dropped for want
    // of packets, false when the connection cannot take it.
    static bool Send(ULONG_PTR connection, const char* text, ULONG length);
    // Forgets the server after the boot's kernel has gone (its threads and sockets went with
    // it): the statics return to the state of a new server.
    static void EndOfBoot();
    static void SetHandler(TelnetConsoleHandler handler);
    static uint8_t GetState();
    // Connections being served now.
    static size_t Connections();

    NX_IP* IpInstance() const { return ip_; }
    NX_PACKET_POOL* PacketPool() const { return packetPool_; }

private:
    static void ThreadEntry(ULONG_PTR input);

    NX_IP* ip_;
    NX_PACKET_POOL* packetPool_;
    TX_BYTE_POOL* stackPool_;
};
