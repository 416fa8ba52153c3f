#pragma once
// The 12-octet message activation code: which stored message to show, for how long, at which
// priority and on whose request. Fields and raw octets are kept equal by Pack and Unpack.

#include <cstdint>

class CMsgActivationCode {
public:
    static constexpr unsigned kSize = 12;

    // Fields are left unset: callers Unpack, or set every field and Pack.
    CMsgActivationCode() {}
    virtual ~CMsgActivationCode() = default;

    // Decodes 12 octets (big-endian numbers) into the fields and keeps a copy of them.
    // A null pointer zeroes every field and octet and returns false.
    bool Unpack(const uint8_t* octets);
    // Rebuilds the raw octets from the fields.
    void Pack();
    // Same memory type, message number and CRC; duration, priority and source are ignored.
    bool IsSameMessage(const CMsgActivationCode& other) const;

    uint8_t raw[kSize];
    uint16_t duration;
    uint8_t priority;
    uint8_t memoryType;
    uint16_t messageNumber;
    uint16_t crc;
    uint8_t sourceAddress[4];  // IPv4 address in the order carried
};
