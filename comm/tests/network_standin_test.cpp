// The monitor's address texts parse only in their exact forms, and an address set the wire
// cannot reach falls back to slirp's usual network.

#include "comm/network_standin.h"

#include <gtest/gtest.h>

namespace {

TEST(NetworkAddresses, DottedQuads) {
    struct Case {
        const char* text;
        bool ok;
        uint32_t value;
    };
    const Case cases[] = {
        {"10.0.2.15", true, 0x0A00020F},
        {"255.255.255.0", true, 0xFFFFFF00},
        {"0.0.0.0", true, 0},
        {"10.0.2", false, 0},
        {"10.0.2.256", false, 0},
        {"10.0.2.15.", false, 0},
        {"10..2.15", false, 0},
        {"010.0.2.0015", false, 0},
        {"a.b.c.d", false, 0},
        {"", false, 0},
        {nullptr, false, 0},
    };
    for (const Case& c : cases) {
        uint32_t value = 0xDEADBEEF;
        EXPECT_EQ(ParseDottedQuad(c.text, &value), c.ok) << (c.text ? c.text : "null");
        if (c.ok) {
            EXPECT_EQ(value, c.value) << c.text;
        }
    }
}

TEST(NetworkAddresses, MacAddresses) {
    uint8_t mac[6] = {};
    EXPECT_TRUE(ParseMacAddress("02:00:5e:10:2:FF", mac));
    EXPECT_EQ(mac[0], 0x02);
    EXPECT_EQ(mac[4], 0x02);
    EXPECT_EQ(mac[5], 0xFF);
    for (const char* bad : {"02:00:5e:10:20", "02:00:5e:10:20:30:40", "02:00:5e:10:20:300",
                            "02-00-5e-10-20-30", "", "::::::"}) {
        EXPECT_FALSE(ParseMacAddress(bad, mac)) << bad;
    }
}

TEST(NetworkAddresses, UnreachableSettingsFallBackToTheWiresNetwork) {
    struct Case {
        const char *ip, *mask, *gateway;
        uint32_t address, netmask, gw;
    };
    const Case cases[] = {
        {"192.168.7.20", "255.255.255.0", "192.168.7.1", 0xC0A80714, 0xFFFFFF00, 0xC0A80701},
        {"127.0.0.1", "255.0.0.0", nullptr, 0x0A00020F, 0xFFFFFF00, 0x0A000202},
        {"192.168.7.20", "255.255.255.0", "192.168.8.1", 0x0A00020F, 0xFFFFFF00, 0x0A000202},
        {"192.168.7.20", "255.255.255.0", "192.168.7.20", 0x0A00020F, 0xFFFFFF00, 0x0A000202},
        {"bad", "255.255.255.0", "192.168.7.1", 0x0A00020F, 0xFFFFFF00, 0x0A000202},
    };
    for (const Case& c : cases) {
        uint32_t a = 0, m = 0, g = 0;
        ChooseNetworkAddresses(c.ip, c.mask, c.gateway, &a, &m, &g);
        EXPECT_EQ(a, c.address) << c.ip;
        EXPECT_EQ(m, c.netmask) << c.ip;
        EXPECT_EQ(g, c.gw) << c.ip;
    }
}

}  // namespace
