#include "runtime/crc16.h"

#include <array>

namespace {
constexpr std::array<uint16_t, 256> MakeTable() {
    std::array<uint16_t, 256> table{};
    for (unsigned i = 0; i < 256; ++i) {
        uint16_t crc = static_cast<uint16_t>(i);
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc & 1) != 0 ? static_cast<uint16_t>((crc >> 1) ^ 0x8408)
                                 : static_cast<uint16_t>(crc >> 1);
        }
        table[i] = crc;
    }
    return table;
}

constexpr std::array<uint16_t, 256> kTable = MakeTable();
static_assert(kTable[1] == 0x1189 && kTable[128] == 0x8408);

bool IsOpen(const Crc16State* state) {
    return state->tag == kCrc16OpenTag;
}
}  // namespace

uint16_t Crc16TableEntry(uint8_t index) {
    return kTable[index];
}

int Crc16Init(Crc16State* state, uint16_t initial) {
    if (state == nullptr) {
        return kCrc16MissingArgument;
    }
    if (IsOpen(state)) {
        return kCrc16AlreadyOpen;
    }
    state->tag = kCrc16OpenTag;
    state->crc = initial;
    return kCrc16Ok;
}

int Crc16Update(Crc16State* state, const void* bytes, size_t length) {
    if (state == nullptr) {
        return kCrc16MissingArgument;
    }
    if (!IsOpen(state)) {
        return kCrc16NotOpen;
    }
    if (length == 0) {
        return kCrc16Ok;
    }
    if (bytes == nullptr) {
        return kCrc16MissingArgument;
    }
    const auto* p = static_cast<const uint8_t*>(bytes);
    uint16_t crc = state->crc;
    for (size_t i = 0; i < length; ++i) {
        crc = static_cast<uint16_t>((crc >> 8) ^ kTable[(crc ^ p[i]) & 0xFF]);
    }
    state->crc = crc;
    return kCrc16Ok;
}

int Crc16Final(Crc16State* state, uint16_t* value, unsigned options) {
    if (state == nullptr || value == nullptr) {
        return kCrc16MissingArgument;
    }
    if (!IsOpen(state)) {
        return kCrc16NotOpen;
    }
    uint16_t crc = state->crc;
    if ((options & kCrc16Invert) != 0) {
        crc = static_cast<uint16_t>(~crc);
    }
    if ((options & kCrc16Swap) != 0) {
        crc = static_cast<uint16_t>((crc << 8) | (crc >> 8));
    }
    *value = crc;
    return kCrc16Ok;
}

int Crc16Close(Crc16State* state) {
    if (state == nullptr) {
        return kCrc16MissingArgument;
    }
    if (!IsOpen(state)) {
        return kCrc16NotOpen;
    }
    state->tag = kCrc16ClosedTag;
    return kCrc16Ok;
}

uint16_t Crc16Compute(uint16_t initial, const void* bytes, size_t length, unsigned options) {
    Crc16State state;
    uint16_t value = 0;
    Crc16Init(&state, initial);
    Crc16Update(&state, bytes, length);
    Crc16Final(&state, &value, options);
    return value;
}
