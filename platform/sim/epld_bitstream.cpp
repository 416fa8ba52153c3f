#include "platform/sim/epld_bitstream.h"

#include <cstring>

namespace sim {
namespace {
constexpr char kMagic[6] = {'Q', '2', 'E', 'P', 'L', 'D'};
}  // namespace

std::vector<uint8_t> MakeEpldBitstream(uint8_t version, size_t size) {
    if (size < kEpldBitstreamHeader) {
        size = kEpldBitstreamHeader;
    }
    std::vector<uint8_t> out(size, 0xFF);
    std::memcpy(out.data(), kMagic, sizeof kMagic);
    out[6] = kEpldBitstreamFormat;
    out[7] = version;
    const uint32_t n = uint32_t(size - kEpldBitstreamHeader);
    out[8] = uint8_t(n >> 24);
    out[9] = uint8_t(n >> 16);
    out[10] = uint8_t(n >> 8);
    out[11] = uint8_t(n);
    // Blocks of logic cells (random bits) between runs of unused, erased cells.
    uint32_t state = 0x2545F491u;
    for (size_t i = kEpldBitstreamHeader; i < size; ++i) {
        state = state * 1103515245u + 12345u;
        if ((i / 512) % 5 < 2) {
            out[i] = uint8_t(state >> 16);
        }
    }
    return out;
}

bool ParseEpldBitstream(const uint8_t* data, size_t size, uint8_t* version) {
    if (data == nullptr || size < kEpldBitstreamHeader ||
        std::memcmp(data, kMagic, sizeof kMagic) != 0 || data[6] != kEpldBitstreamFormat) {
        return false;
    }
    const uint32_t n =
        uint32_t(data[8]) << 24 | uint32_t(data[9]) << 16 | uint32_t(data[10]) << 8 | data[11];
    if (n != size - kEpldBitstreamHeader) {
        return false;
    }
    if (version != nullptr) {
        *version = data[7];
    }
    return true;
}

}  // namespace sim
