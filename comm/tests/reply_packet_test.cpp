// A reply's packet: the channel's pool while one of its packets holds the reply, the large pool
// above that up to the agent's transmit buffer, nothing beyond (nor above one small packet
// without a large pool); the packet carries the reply's octets whole.

#include "comm/reply_packet.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <vector>

#include "ntcip/snmp_message.h"
#include "platform/kernel/kernel.h"

namespace {

constexpr ULONG kSmallPayload = 1568;
alignas(16) uint8_t g_smallArea[4 * (kSmallPayload + NX_PACKET_HEADER_SIZE)];
alignas(16) uint8_t
    g_largeArea[2 * (NX_TCP_PACKET + kSnmpMessageBufferSize + NX_PACKET_HEADER_SIZE + 4)];

enum class From { kSmall, kLarge, kNone };

struct Case {
    ULONG type;
    size_t length;
    bool large;  // a large pool is given
    From from;
};

TEST(ReplyPacket, TakesTheSmallestPoolThatHoldsTheReply) {
    const Case cases[] = {
        {NX_UDP_PACKET, 57, true, From::kSmall},
        {NX_UDP_PACKET, kSmallPayload - NX_UDP_PACKET, true, From::kSmall},
        {NX_UDP_PACKET, kSmallPayload - NX_UDP_PACKET + 1, true, From::kLarge},
        {NX_TCP_PACKET, kSmallPayload - NX_TCP_PACKET + 1, true, From::kLarge},
        {NX_UDP_PACKET, 1554, true, From::kLarge},  // the factory brightness table's response
        {NX_TCP_PACKET, kSnmpMessageBufferSize, true, From::kLarge},
        {NX_UDP_PACKET, kSnmpMessageBufferSize + NX_TCP_PACKET - NX_UDP_PACKET, true, From::kLarge},
        {NX_TCP_PACKET, kSnmpMessageBufferSize + 1, true, From::kNone},
        {NX_UDP_PACKET, kSmallPayload - NX_UDP_PACKET + 1, false, From::kNone},
    };
    kernel::Kernel k;
    static const Case* s_cases = cases;
    static size_t s_count = std::size(cases);
    k.Start([](void*) {
        NX_PACKET_POOL small{};
        NX_PACKET_POOL large{};
        ASSERT_EQ(
            nx_packet_pool_create(&small, "small", kSmallPayload, g_smallArea, sizeof g_smallArea),
            NX_SUCCESS);
        ASSERT_EQ(nx_packet_pool_create(&large, "large", ReplyPacketPayload(), g_largeArea,
                                        sizeof g_largeArea),
                  NX_SUCCESS);
        for (size_t i = 0; i < s_count; ++i) {
            const Case& c = s_cases[i];
            std::vector<uint8_t> frame(c.length);
            for (size_t n = 0; n < frame.size(); ++n) {
                frame[n] = uint8_t(n * 7 + 1);
            }
            NX_PACKET* packet =
                ReplyPacket(&small, c.large ? &large : nullptr, c.type, frame.data(), c.length);
            if (c.from == From::kNone) {
                EXPECT_EQ(packet, nullptr) << "case " << i;
                continue;
            }
            ASSERT_NE(packet, nullptr) << "case " << i;
            EXPECT_EQ(packet->nx_packet_pool_owner, c.from == From::kSmall ? &small : &large)
                << "case " << i;
            ASSERT_EQ(packet->nx_packet_length, c.length) << "case " << i;
            EXPECT_TRUE(std::equal(frame.begin(), frame.end(), packet->nx_packet_prepend_ptr))
                << "case " << i;
            nx_packet_release(packet);
        }
        EXPECT_EQ(small.nx_packet_pool_available, small.nx_packet_pool_total);
        EXPECT_EQ(large.nx_packet_pool_available, large.nx_packet_pool_total);
    });
    k.Advance(1);
}

}  // namespace
