#pragma once
// The 5-octet message ID code naming a stored message: memory type, number and CRC.

#include <cstdint>

class CMsgIDCode {
public:
    static constexpr unsigned kSize = 5;

    // Fields are left unset: callers Unpack or Set first.
    CMsgIDCode() {}
    virtual ~CMsgIDCode() = default;

    // Decodes 5 octets (big-endian numbers) and keeps a copy; null zeroes all and returns false.
    bool Unpack(const uint8_t* octets);
    // Stores the three values and packs them.
    void Set(uint8_t memoryType, uint16_t messageNumber, uint16_t crc);
    // Rebuilds the raw octets from the fields.
    void Pack();

    uint8_t raw[kSize];
    uint8_t memoryType;
    uint16_t messageNumber;
    uint16_t crc;
};
