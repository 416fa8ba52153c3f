#pragma once
// The "dynamic database" pool that holds the string objects of both images.
//
// A string lives in one block: a 32-bit length n (big-endian), the n bytes and a NUL (n + 5
// bytes). The image keeps a 32-bit handle to the block (its offset in the pool), never a host
// pointer. The blocks come from an arena of the pool's own (0x200000 bytes by default) or from
// the kernel's "dynamic database" byte pool; either way that size is the limit for all strings.
//
// Only blocks the pool handed out and has not taken back are "live"; a handle read from an image
// is checked against them before any byte of the pool is touched. Copies out of a block, the
// switch of an image slot from one block to another and the retirement of a block make no kernel
// call, and only one firmware thread runs at a time: a reader never copies from a block that is
// being released.

#include <cstdint>
#include <memory>
#include <vector>

#include "database/block_allocator.h"

using StringHandle = uint32_t;  // 0 is the null handle (the empty string)
using StringPoolInfo = BlockAllocatorInfo;

class StringPool {
public:
    static constexpr uint32_t kDefaultSize = 0x200000;
    static constexpr uint32_t kHeaderSize = 8;   // per block, in the pool's own arena
    static constexpr uint32_t kNoMemory = 0x10;  // status of a failed allocation (no memory)

    // A pool over an arena of its own.
    explicit StringPool(const char* name = "dynamic database", uint32_t size = kDefaultSize);
    // A pool over another allocator (the kernel's byte pool).
    explicit StringPool(std::unique_ptr<BlockAllocator> allocator);
    ~StringPool();
    StringPool(const StringPool&) = delete;
    StringPool& operator=(const StringPool&) = delete;

    // Takes a block for `length` string bytes (block size length + 5) and fills it. Status 0 and
    // the handle, or the allocator's status (kNoMemory when no block is large enough) and 0.
    uint32_t Store(const void* bytes, uint32_t length, StringHandle* handle);
    // Rewrites the bytes of a live block that holds exactly `length` bytes; false otherwise.
    bool Overwrite(StringHandle handle, const void* bytes, uint32_t length);
    // Gives a block back; handles that are not live are ignored (false).
    bool Release(StringHandle handle);
    // Forgets every block without giving it back: the memory under the pool went away as a whole
    // (the kernel's pool at the end of a boot). Every handle reads as the empty string after.
    void Abandon();

    // Length of the string in the block, 0 when the handle is not live.
    uint32_t Length(StringHandle handle) const;
    // Copies up to `capacity` bytes of the string to `out` and gives its full length. False (and
    // length 0) when the handle is not live.
    bool CopyOut(StringHandle handle, void* out, uint32_t capacity, uint32_t* length) const;
    // The same for the handle held (big-endian) in an image slot: the slot is read under the
    // lock, so a writer switching it with SetSlot is seen before or after, never halfway.
    bool CopyOutSlot(const uint8_t* slot, void* out, uint32_t capacity, uint32_t* length) const;
    void SetSlot(uint8_t* slot, StringHandle handle);
    static StringHandle SlotValue(const uint8_t* slot);
    // True when the live block holds exactly these bytes.
    bool Equals(StringHandle handle, const void* bytes, uint32_t length) const;

    StringPoolInfo Info() const { return allocator_->Info(); }
    const char* Name() const { return allocator_->Info().name; }
    uint32_t Size() const { return allocator_->Size(); }
    // Live blocks.
    uint32_t BlockCount() const;

private:
    bool IsLive(StringHandle handle) const;
    uint32_t LengthLocked(StringHandle handle) const;
    bool CopyOutLocked(StringHandle handle, void* out, uint32_t capacity, uint32_t* length) const;

    std::unique_ptr<BlockAllocator> allocator_;
    uint8_t* base_;
    std::vector<bool> live_;  // one bit per offset: a live block's handle
    uint32_t liveCount_ = 0;
    bool ownArena_ = false;
};
