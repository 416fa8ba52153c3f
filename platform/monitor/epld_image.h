#pragma once
// The project's EPLD bitstream container, as the monitor's EPLD load service
// accepts it from a flash file:
//   0 "RBF1"   4 u32 payload length (big-endian)   8 u32 CRC-32 of the payload
//   12 payload (the configuration bits)

#include <cstddef>
#include <cstdint>
#include <vector>

namespace monitor {

std::vector<uint8_t> MakeEpldImage(const uint8_t* payload, size_t size);
// The payload of a well-formed image, or false.
bool CheckEpldImage(const uint8_t* image, size_t size, const uint8_t** payload, size_t* length);

}  // namespace monitor
