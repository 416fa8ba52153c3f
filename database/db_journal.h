#pragma once
// What the object store needs of the flash journal: one record writer per value kind. The
// journal implements it; the store hands it every journalled NV write.

#include <cstdint>

class DbJournal {
public:
    virtual ~DbJournal() = default;
    // Each appends one record and returns non-zero when it was written. The record's address in
    // the journal goes to `recordAddress` when it is not null.
    virtual int WriteInt8(uint32_t id, uint8_t value, uint32_t* recordAddress) = 0;
    virtual int WriteInt16(uint32_t id, uint16_t value, uint32_t* recordAddress) = 0;
    virtual int WriteInt32(uint32_t id, uint32_t value, uint32_t* recordAddress) = 0;
    // Length 0 writes no record and retires every earlier record of the object.
    virtual int WriteString(uint32_t id, const uint8_t* text, uint16_t length,
                            uint32_t* recordAddress) = 0;
};
