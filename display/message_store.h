#pragma once
// Where each memory type keeps its messages in the object database: the seven attributes of a
// message (text, owner, CRC, beacon, pixel service, run-time priority, status) by memory type
// and message number.

#include <cstdint>

#include "database/db_types.h"

namespace message_store {

enum MemoryType : uint8_t {
    kPermanent = 2,
    kChangeable = 3,
    kVolatile = 4,
    kCurrentBuffer = 5,
    kSchedule = 6,
    kBlank = 7,
};

// Object ids of one stored message; blank messages have none (stored false).
struct Location {
    bool stored = false;
    DbImage image = DbImage::kNone;
    uint32_t text = 0, owner = 0, crc = 0, beacon = 0, pixelService = 0, priority = 0, status = 0;
};

// Activation error codes the look-up gives: 2 found, 5 memory type, 6 message number.
inline constexpr uint32_t kFound = 2;
inline constexpr uint32_t kBadMemoryType = 5;
inline constexpr uint32_t kBadNumber = 6;

// Places the message; reads messageStoreSplit and dmsNumPermanentMsg.
uint32_t Locate(uint8_t memoryType, uint16_t number, Location* out);

// The NV index of entry k (0..599) of the seven arrays.
Location NvEntry(uint32_t k);

}  // namespace message_store
