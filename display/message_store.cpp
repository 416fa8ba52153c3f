#include "display/message_store.h"

#include "database/global_database.h"
#include "database/object_ids.h"

namespace message_store {

namespace {

// Text and owner are string slots (4 bytes), the CRC 2 bytes, the rest 1 byte per entry.
Location Table(DbImage image, uint32_t text, uint32_t owner, uint32_t crc, uint32_t beacon,
               uint32_t pixelService, uint32_t priority, uint32_t status, uint32_t i) {
    Location l;
    l.stored = true;
    l.image = image;
    l.text = text + 4 * i;
    l.owner = owner + 4 * i;
    l.crc = crc + 2 * i;
    l.beacon = beacon + i;
    l.pixelService = pixelService + i;
    l.priority = priority + i;
    l.status = status + i;
    return l;
}

uint32_t Place(const Location& where, Location* out) {
    *out = where;
    return kFound;
}

}  // namespace

Location NvEntry(uint32_t k) {
    return Table(DbImage::kNv, 25792, 28192, 30592, 31792, 32392, 32992, 33592, k);
}

uint32_t Locate(uint8_t memoryType, uint16_t number, Location* out) {
    *out = Location{};
    if (memoryType < kPermanent || memoryType > kBlank) {
        return kBadMemoryType;
    }
    if (number == 0) {
        return kBadNumber;
    }
    const bool upperChangeable = g_DataBase.Get(dbo::messageStoreSplit) == 2;
    switch (memoryType) {
        case kPermanent:
            if (number <= 2) {
                return Place(
                    Table(DbImage::kVolatile, 84, 92, 100, 104, 106, 108, 110, number - 1u), out);
            }
            if (upperChangeable || number > g_DataBase.Get(dbo::dmsNumPermanentMsg) ||
                number + 497u > 599u) {
                return kBadNumber;
            }
            return Place(NvEntry(number + 497u), out);
        case kChangeable:
            if (number > (upperChangeable ? 600 : 500)) {
                return kBadNumber;
            }
            return Place(NvEntry(number - 1u), out);
        case kVolatile:
            if (number > 4) {
                return kBadNumber;
            }
            return Place(Table(DbImage::kVolatile, 28, 44, 60, 68, 72, 76, 80, number - 1u), out);
        case kCurrentBuffer:
        case kSchedule:
            if (number != 1) {
                return kBadNumber;
            }
            return Place(
                memoryType == kCurrentBuffer
                    ? Table(DbImage::kNv, 34208, 34212, 34216, 34218, 34219, 34220, 34221, 0)
                    : Table(DbImage::kNv, 34192, 34196, 34200, 34202, 34203, 34204, 34205, 0),
                out);
        default:  // blank: every number up to 255, nothing stored
            return number <= 255 ? kFound : kBadNumber;
    }
}

}  // namespace message_store
