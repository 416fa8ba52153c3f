#pragma once
// Where the string pool takes its blocks from: its own arena, or the kernel's "dynamic database"
// byte pool once start-up has created it. Offsets are from Base(); an allocator is safe to call
// from any thread.

#include <cstdint>

struct BlockAllocatorInfo {
    const char* name;
    uint32_t firstFree;  // offset of the first free block, 0 when unknown or none
    uint32_t available;  // free bytes
    uint32_t fragments;  // free blocks
    uint32_t total;      // size of the area
};

class BlockAllocator {
public:
    virtual ~BlockAllocator() = default;
    // Status 0 and the offset of `size` usable bytes, or the pool's failure status (0x10 when no
    // block is large enough). Never waits.
    virtual uint32_t Allocate(uint32_t size, uint32_t* offset) = 0;
    virtual void Release(uint32_t offset) = 0;
    virtual uint8_t* Base() const = 0;
    virtual uint32_t Size() const = 0;
    virtual BlockAllocatorInfo Info() const = 0;
};
