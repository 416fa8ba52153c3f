#pragma once
// Configuration bitstream of the simulated display EPLD: the payload that the monitor's EPLD-load
// service takes out of its "RBF1" container (platform/monitor/epld_image.h).
//   0 "Q2EPLD"   6 u8 format (1)   7 u8 EPLD version   8 u32 configuration length n (big-endian)
//   12 n configuration bytes; nothing may follow.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace sim {

inline constexpr size_t kEpldBitstreamHeader = 12;
inline constexpr uint8_t kEpldBitstreamFormat = 1;

// A bitstream of exactly `size` bytes (at least the header) for the version; the configuration
// bytes are a fixed pseudo-random pattern with long erased runs, as a real bitstream has.
std::vector<uint8_t> MakeEpldBitstream(uint8_t version, size_t size);
// True for a well-formed bitstream; *version receives its EPLD version.
bool ParseEpldBitstream(const uint8_t* data, size_t size, uint8_t* version);

}  // namespace sim
