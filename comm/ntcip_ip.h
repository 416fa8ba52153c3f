#pragma once
// Addresses of the controller and of the central system: the own address the agents copy, and
// the central address and trap port the trap sender and the clients use.

#include <cstdint>

class CNTCIP_IP {
public:
    CNTCIP_IP() = default;
    virtual ~CNTCIP_IP() = default;

    void SetLocalAddress(uint32_t address);
    void SetCentralAddress(uint32_t address);

    uint8_t localBytes[4] = {};  // most significant first
    uint32_t local = 0;
    uint16_t snmpPort = 161;
    uint16_t trapPort = 162;
    uint8_t centralBytes[4] = {};
    uint32_t central = 0;
    uint16_t centralTrapPort = 162;
};

extern CNTCIP_IP g_NtcipIp;
