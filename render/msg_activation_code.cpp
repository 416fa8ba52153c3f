#include "render/msg_activation_code.h"

#include <cstring>

bool CMsgActivationCode::Unpack(const uint8_t* octets) {
    if (octets == nullptr) {
        duration = 0;
        priority = 0;
        memoryType = 0;
        messageNumber = 0;
        crc = 0;
        std::memset(sourceAddress, 0, sizeof sourceAddress);
        std::memset(raw, 0, sizeof raw);
        return false;
    }
    std::memcpy(raw, octets, kSize);
    duration = static_cast<uint16_t>(raw[0] << 8 | raw[1]);
    priority = raw[2];
    memoryType = raw[3];
    messageNumber = static_cast<uint16_t>(raw[4] << 8 | raw[5]);
    crc = static_cast<uint16_t>(raw[6] << 8 | raw[7]);
    std::memcpy(sourceAddress, raw + 8, 4);
    return true;
}

void CMsgActivationCode::Pack() {
    raw[0] = static_cast<uint8_t>(duration >> 8);
    raw[1] = static_cast<uint8_t>(duration);
    raw[2] = priority;
    raw[3] = memoryType;
    raw[4] = static_cast<uint8_t>(messageNumber >> 8);
    raw[5] = static_cast<uint8_t>(messageNumber);
    raw[6] = static_cast<uint8_t>(crc >> 8);
    raw[7] = static_cast<uint8_t>(crc);
    std::memcpy(raw + 8, sourceAddress, 4);
}

bool CMsgActivationCode::IsSameMessage(const CMsgActivationCode& other) const {
    if (memoryType != other.memoryType) {
        return false;
    }
    if (messageNumber != other.messageNumber) {
        return false;
    }
    return crc == other.crc;
}
