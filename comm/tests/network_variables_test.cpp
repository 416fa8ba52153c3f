// The monitor's network variables: each field that parses reaches its global and its volatile
// object, one that does not is reported and leaves the field alone, and a missing gateway
// gives the default one.

#include "comm/network_variables.h"

#include <gtest/gtest.h>

#include <string>

#include "database/global_database.h"
#include "database/object_ids.h"
#include "runtime/debug_print.h"

namespace {

std::string g_console;

TEST(NetworkVariables, FieldsParseOrAreReportedOneByOne) {
    struct Case {
        const char *ether, *ip, *mask, *gateway;
        uint32_t address, netmask, gw;
        bool mac;
        const char* warning;  // expected in the console, or ""
    };
    const Case cases[] = {
        {"02:00:5e:10:20:30", "192.168.7.20", "255.255.255.0", "192.168.7.1", 0xC0A80714,
         0xFFFFFF00, 0xC0A80701, true, ""},
        {"02:00:5e:10:20:30", "192.168.7", "255.255.255.0", "192.168.7.1", 0, 0xFFFFFF00,
         0xC0A80701, true, "Warning: Misformed IP addr - Using Default"},
        {"02:00:5e:10:20:30", "192.168.7.256", "255.255.255.0", nullptr, 0, 0xFFFFFF00,
         kDefaultGatewayAddress, true, "Warning: Misformed IP addr - Using Default"},
        {"02:00:5e:10:20:30", "10.1.1.1", "255.0.0.0", "10.1.1", 0x0A010101, 0xFF000000, 0, true,
         "Warning: Misformed GIP addr - No Gateway"},
        {"02:00:5e:10:20", "10.1.1.1", nullptr, "10.0.0.1", 0x0A010101, 0, 0x0A000001, false,
         "Warning: Invalid MAC Address - Using Default"},
        {nullptr, "10.1.1.1", "255.0.0.0", "10.0.0.1", 0x0A010101, 0xFF000000, 0x0A000001, false,
         "Warning: Invalid MAC Address - Using Default"},
        {"02:00:5e:10:20:30", "10.1.1.1", "255.0.0", "10.0.0.1", 0x0A010101, 0, 0x0A000001, true,
         "Warning: Misformed Net Mask addr - Using Default"},
    };
    DebugSetSink([](const char* text) { g_console += text; });
    for (const Case& c : cases) {
        g_console.clear();
        for (const DbObject* o : {&dbo::ipAdEntAddr, &dbo::ipAdEntNetMask, &dbo::ipRouteDest}) {
            g_DataBase.Set(*o, 0xEEEEEEEE, 0);
        }
        NetworkVariables v;
        ParseNetworkVariables(c.ether, c.ip, c.mask, c.gateway, &v);
        const std::string what = c.ip ? c.ip : "null";
        EXPECT_EQ(v.address, c.address) << what;
        EXPECT_EQ(v.mask, c.netmask) << what;
        EXPECT_EQ(v.gateway, c.gw) << what;
        EXPECT_EQ(v.macValid, c.mac) << what;
        // The objects follow the fields that parsed and keep their value otherwise.
        EXPECT_EQ(g_DataBase.Get(dbo::ipAdEntAddr), c.address ? c.address : 0xEEEEEEEE) << what;
        EXPECT_EQ(g_DataBase.Get(dbo::ipAdEntNetMask), c.netmask ? c.netmask : 0xEEEEEEEE) << what;
        EXPECT_EQ(g_DataBase.Get(dbo::ipRouteDest), c.gw ? c.gw : 0xEEEEEEEE) << what;
        if (*c.warning != '\0') {
            EXPECT_NE(g_console.find(c.warning), std::string::npos) << what << ": " << g_console;
        } else {
            EXPECT_EQ(g_console, "") << what;
        }
    }
    DebugSetSink(nullptr);
}

}  // namespace
