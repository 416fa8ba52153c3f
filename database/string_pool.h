#pragma once
// The "dynamic database" byte pool that holds the string objects of both images.
//
// A string lives in one block: a 32-bit length n (big-endian), the n bytes and a NUL (n + 5
// bytes). The image keeps a 32-bit handle to the block, never a host pointer. Every block is
// carved from one arena of 0x200000 bytes with a per-block header, so the pool's limit is the
// limit for all strings together. Allocation, release and every copy out of a block happen under
// the pool's lock, so a reader never copies from a block that another thread is releasing.

#include <cstdint>
#include <memory>
#include <mutex>
#include <set>
#include <vector>

using StringHandle = uint32_t;  // 0 is the null handle (the empty string)

struct StringPoolInfo {
    const char* name;
    uint32_t firstFree;  // handle-space offset of the first free block, 0 when none
    uint32_t available;  // bytes free, headers not counted
    uint32_t fragments;  // free blocks
    uint32_t total;      // size of the arena
};

class StringPool {
public:
    static constexpr uint32_t kDefaultSize = 0x200000;
    static constexpr uint32_t kHeaderSize = 8;
    static constexpr uint32_t kAlignment = 8;
    static constexpr uint32_t kNoMemory = 0x10;  // status of a failed allocation (no memory)

    explicit StringPool(const char* name = "dynamic database", uint32_t size = kDefaultSize);
    StringPool(const StringPool&) = delete;
    StringPool& operator=(const StringPool&) = delete;

    // Takes a block for `length` string bytes (block size length + 5) and fills it. Status 0 and
    // the handle, or kNoMemory and handle 0 when no free block is large enough.
    uint32_t Store(const void* bytes, uint32_t length, StringHandle* handle);
    // Rewrites the bytes of a block that already has exactly `length` bytes. False when the handle
    // is not a live block of that length.
    bool Overwrite(StringHandle handle, const void* bytes, uint32_t length);
    // Gives a block back; unknown handles are ignored (false).
    bool Release(StringHandle handle);

    // Length of the string in the block, 0 for null or unknown handles.
    uint32_t Length(StringHandle handle) const;
    // Copies up to `capacity` bytes of the string to `out` and gives its full length. False (and
    // length 0) when the handle is not a live block. The copy is made under the pool's lock.
    bool CopyOut(StringHandle handle, void* out, uint32_t capacity, uint32_t* length) const;
    // The same for the handle held (big-endian) in an image slot: the slot is read under the
    // pool's lock, so a writer switching it with SetSlot is seen before or after, never halfway.
    bool CopyOutSlot(const uint8_t* slot, void* out, uint32_t capacity, uint32_t* length) const;
    void SetSlot(uint8_t* slot, StringHandle handle);
    static StringHandle SlotValue(const uint8_t* slot);
    // True when the block holds exactly these bytes.
    bool Equals(StringHandle handle, const void* bytes, uint32_t length) const;

    StringPoolInfo Info() const;
    const char* Name() const { return name_; }
    uint32_t Size() const { return size_; }
    // Live blocks (tests and reports).
    uint32_t BlockCount() const;

private:
    // Header at the start of each block (in the arena, native order):
    //   word 0: block size including the header, bit 0 set when the block is in use
    //   word 1: size of the block physically before this one (0 for the first)
    uint32_t SizeWord(uint32_t offset) const;
    uint32_t PrevWord(uint32_t offset) const;
    void SetSizeWord(uint32_t offset, uint32_t value);
    void SetPrevWord(uint32_t offset, uint32_t value);
    bool IsLive(StringHandle handle) const;
    uint32_t LengthLocked(StringHandle handle) const;
    bool CopyOutLocked(StringHandle handle, void* out, uint32_t capacity, uint32_t* length) const;

    const char* name_;
    uint32_t size_;
    std::unique_ptr<uint8_t[]> arena_;
    std::set<uint32_t> free_;    // offsets of free blocks, lowest address first
    std::vector<bool> liveMap_;  // one bit per possible block start: block in use
    uint32_t live_ = 0;
    mutable std::mutex lock_;
};
