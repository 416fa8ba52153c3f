#pragma once
// The packet that carries a server channel's reply: from the channel's pool when the reply fits
// one of its packets, else from the pool of large replies (an SNMP response of up to the agent's
// transmit buffer, sent by the stack in IP fragments on UDP).

#include <cstddef>
#include <cstdint>

#include "platform/net/nx_api.h"

// Octets of a large-reply packet's payload: the agent's transmit buffer after the largest header
// room (TCP).
ULONG ReplyPacketPayload();

// A packet of type holding the length octets of frame, waiting for a free one; null when neither
// pool holds that much (large may be null) or the allocation failed.
NX_PACKET* ReplyPacket(NX_PACKET_POOL* pool, NX_PACKET_POOL* large, ULONG type,
                       const uint8_t* frame, size_t length);
