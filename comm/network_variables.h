#pragma once
// The boot monitor's network variables (ETHERADD, IPADD, NETMASK, GIPADD), read once at the
// network start-up: each field that parses is kept and copied into its volatile object (MAC
// address, IP address, gateway, network mask); one that does not is reported and left as it was.

#include <cstdint>

struct NetworkVariables {
    uint32_t address = 0;
    uint32_t mask = 0;
    uint32_t gateway = 0;
    uint8_t mac[6] = {};
    bool macValid = false;
};

// Null texts are absent variables. A missing GIPADD gives the default gateway.
void ParseNetworkVariables(const char* etheradd, const char* ipadd, const char* netmask,
                           const char* gipadd, NetworkVariables* out);

inline constexpr uint32_t kDefaultGatewayAddress = 0xAC10C00E;  // 172.16.192.14
