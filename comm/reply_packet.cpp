#include "comm/reply_packet.h"

#include "ntcip/snmp_message.h"

namespace {

bool Holds(const NX_PACKET_POOL* pool, ULONG type, size_t length) {
    return pool != nullptr && pool->nx_packet_pool_payload_size >= type &&
           pool->nx_packet_pool_payload_size - type >= length;
}

}  // namespace

ULONG ReplyPacketPayload() {
    return NX_TCP_PACKET + kSnmpMessageBufferSize;
}

NX_PACKET* ReplyPacket(NX_PACKET_POOL* pool, NX_PACKET_POOL* large, ULONG type,
                       const uint8_t* frame, size_t length) {
    NX_PACKET_POOL* from = Holds(pool, type, length) ? pool : large;
    if (!Holds(from, type, length)) {
        return nullptr;
    }
    NX_PACKET* packet = nullptr;
    if (nx_packet_allocate(from, &packet, type, TX_WAIT_FOREVER) != NX_SUCCESS) {
        return nullptr;
    }
    if (nx_packet_data_append(packet, frame, ULONG(length), from, TX_WAIT_FOREVER) != NX_SUCCESS) {
        nx_packet_release(packet);
        return nullptr;
    }
    return packet;
}
