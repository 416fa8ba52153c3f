#pragma once
// The UDP server channel and its two listener slots ("udp thread"). Datagrams to the SNMP port
// go, message by message, to the "ethernet_udp" link and are answered to the sender of each
// datagram; datagrams to the auxiliary port 3002 carry the external text.

#include <cstddef>
#include <cstdint>

#include "comm/ber_delimiter.h"
#include "comm/ethernet_link.h"
#include "platform/net/nx_api.h"

inline constexpr uint8_t kEthernetProtocolSnmp = 11;
inline constexpr UINT kAuxiliaryTextPort = 3002;

class CUDP_Server {
public:
    // The largest reply: the agent's transmit buffer (from the large pool above one packet, sent
    // in IP fragments).
    static constexpr size_t kMaxFrame = kSnmpMessageBufferSize;
    static constexpr size_t kSlots = 2;
    static constexpr ULONG kStackSize = 2048;

    // Creates the slot threads (suspended) and sockets; stack holds kSlots * kStackSize bytes.
    // Replies come from pool, or from large (when given) when one packet of pool is too small.
    static void Initialize(NX_IP* ip, uint8_t* stack, NX_PACKET_POOL* pool,
                           NX_PACKET_POOL* large = nullptr);
    // Forgets the slots (end of a boot; the kernel has gone).
    static void Reset();

    // 1 when a slot was bound to port and started.
    int Listen(UINT port);
    void SetProtocol(uint8_t code) { protocol_ = code; }
    void SetLink(EthernetLink* link) { link_ = link; }

    // One datagram from socket (waiting as long as it takes); 0 when the receive failed.
    int Receive(NX_UDP_SOCKET* socket, UINT port);

private:
    class Reply;
    void DeliverSnmp(NX_UDP_SOCKET* socket, const uint8_t* data, size_t length, ULONG peer,
                     UINT peerPort);

    uint8_t protocol_ = kEthernetProtocolSnmp;
    EthernetLink* link_ = nullptr;
    uint8_t message_[EthernetLink::kQueueSize] = {};
};

// 1 when the datagram carried an external text (first byte 0x0D, more than 8 bytes): the text
// from offset 8 is written into externalText with notification.
int StoreExternalText(const uint8_t* datagram, size_t length);
