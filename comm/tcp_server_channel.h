#pragma once
// The TCP server channel and its five listener slots ("tcp thread"). A slot listens on one
// port; its thread accepts a connection, hands what arrives to the channel until the peer
// closes, the stream breaks or nothing comes for kIdleTicks, then the port is listened on
// again. On an SNMP channel each connection's byte stream is cut into messages for the
// "ethernet_tcp" link and every answer goes back on the connection its request came on.

#include <cstddef>
#include <cstdint>

#include "comm/ber_delimiter.h"
#include "comm/ethernet_link.h"
#include "platform/net/nx_api.h"

class CTCP_Server {
public:
    // The largest reply: the agent's transmit buffer (from the large pool above one packet).
    static constexpr size_t kMaxFrame = kSnmpMessageBufferSize;
    static constexpr size_t kSlots = 5;
    static constexpr ULONG kStackSize = 2048;
    static constexpr ULONG kAcceptTicks = 500;
    static constexpr ULONG kIdleTicks = 30000;

    // Creates the slot threads (suspended) and sockets; stack holds kSlots * kStackSize bytes.
    // Replies come from pool, or from large (when given) when one packet of pool is too small.
    static void Initialize(NX_IP* ip, uint8_t* stack, NX_PACKET_POOL* pool,
                           NX_PACKET_POOL* large = nullptr);
    // Forgets the slots (end of a boot; the kernel has gone).
    static void Reset();

    // 1 when a slot listens on port.
    int Listen(UINT port);
    // 0 drops what arrives (the trap port); kEthernetProtocolSnmp feeds the link.
    void SetProtocol(uint8_t code) { protocol_ = code; }
    void SetLink(EthernetLink* link) { link_ = link; }

    // One packet of a connection (waiting at most kIdleTicks); 0 ends the connection.
    int Receive(NX_TCP_SOCKET* socket, BerDelimiter* delimiter);
    // On the connection socket; refused from kMaxFrame + 1 bytes.
    static bool SendFrame(NX_TCP_SOCKET* socket, const uint8_t* frame, size_t length);

private:
    uint8_t protocol_ = 0;
    EthernetLink* link_ = nullptr;
};
