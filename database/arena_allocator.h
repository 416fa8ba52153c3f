#pragma once
// First-fit allocator over an arena of its own: each block carries an 8-byte header (its size and
// the size of the block before it), so freed neighbours merge again. No lock: its calls make no
// kernel call, and only one firmware thread runs at a time.

#include <memory>
#include <set>

#include "database/block_allocator.h"

class ArenaAllocator : public BlockAllocator {
public:
    static constexpr uint32_t kHeaderSize = 8;
    static constexpr uint32_t kAlignment = 8;
    static constexpr uint32_t kNoMemory = 0x10;

    ArenaAllocator(const char* name, uint32_t size);

    uint32_t Allocate(uint32_t size, uint32_t* offset) override;
    void Release(uint32_t offset) override;
    uint8_t* Base() const override { return arena_.get(); }
    uint32_t Size() const override { return size_; }
    BlockAllocatorInfo Info() const override;

private:
    // Header words: block size including the header (bit 0 set while in use), and the size of
    // the block physically before this one (0 for the first).
    uint32_t SizeWord(uint32_t block) const;
    uint32_t PrevWord(uint32_t block) const;
    void SetSizeWord(uint32_t block, uint32_t value);
    void SetPrevWord(uint32_t block, uint32_t value);

    const char* name_;
    uint32_t size_;
    std::unique_ptr<uint8_t[]> arena_;
    std::set<uint32_t> free_;  // free blocks, lowest address first
};
