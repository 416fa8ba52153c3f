// The port offset shifts every protocol port the host reaches, within 1..65535.
#include "platform/net/net_config.h"

#include <gtest/gtest.h>

namespace {

TEST(NetConfigTest, PortOffsetStaysWithinThePortRange) {
    struct Case {
        int offset;
        uint16_t port;
        uint16_t shifted;
    };
    for (const Case& c : {Case{10000, 23, 10023}, Case{0, 23, 23}, Case{65535, 23, 0},
                          Case{65512, 23, 65535}, Case{-23, 23, 0}, Case{-22, 23, 1}}) {
        net::SetPortOffset(c.offset);
        EXPECT_EQ(net::ShiftedPort(c.port), c.shifted) << c.offset;
    }
    net::SetPortOffset(0);
}

}  // namespace
