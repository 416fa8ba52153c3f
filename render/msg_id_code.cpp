#include "render/msg_id_code.h"

#include <cstring>

bool CMsgIDCode::Unpack(const uint8_t* octets) {
    if (octets == nullptr) {
        memoryType = 0;
        messageNumber = 0;
        crc = 0;
        std::memset(raw, 0, sizeof raw);
        return false;
    }
    std::memcpy(raw, octets, kSize);
    memoryType = raw[0];
    messageNumber = static_cast<uint16_t>(raw[1] << 8 | raw[2]);
    crc = static_cast<uint16_t>(raw[3] << 8 | raw[4]);
    return true;
}

void CMsgIDCode::Set(uint8_t type, uint16_t number, uint16_t code) {
    memoryType = type;
    messageNumber = number;
    crc = code;
    Pack();
}

void CMsgIDCode::Pack() {
    raw[0] = memoryType;
    raw[1] = static_cast<uint8_t>(messageNumber >> 8);
    raw[2] = static_cast<uint8_t>(messageNumber);
    raw[3] = static_cast<uint8_t>(crc >> 8);
    raw[4] = static_cast<uint8_t>(crc);
}
