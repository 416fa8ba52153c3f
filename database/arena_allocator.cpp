#include "database/arena_allocator.h"

#include <cstring>

namespace {
constexpr uint32_t kInUse = 0x1;
constexpr uint32_t kMinFree = ArenaAllocator::kHeaderSize + ArenaAllocator::kAlignment;

uint32_t RoundUp(uint32_t value) {
    return (value + ArenaAllocator::kAlignment - 1) & ~(ArenaAllocator::kAlignment - 1);
}
}  // namespace

ArenaAllocator::ArenaAllocator(const char* name, uint32_t size)
    : name_(name), size_(size & ~(kAlignment - 1)), arena_(new uint8_t[size_]()) {
    SetSizeWord(0, size_);
    SetPrevWord(0, 0);
    free_.insert(0);
}

uint32_t ArenaAllocator::SizeWord(uint32_t block) const {
    uint32_t value;
    std::memcpy(&value, arena_.get() + block, 4);
    return value;
}

uint32_t ArenaAllocator::PrevWord(uint32_t block) const {
    uint32_t value;
    std::memcpy(&value, arena_.get() + block + 4, 4);
    return value;
}

void ArenaAllocator::SetSizeWord(uint32_t block, uint32_t value) {
    std::memcpy(arena_.get() + block, &value, 4);
}

void ArenaAllocator::SetPrevWord(uint32_t block, uint32_t value) {
    std::memcpy(arena_.get() + block + 4, &value, 4);
}

uint32_t ArenaAllocator::Allocate(uint32_t size, uint32_t* offset) {
    *offset = 0;
    if (size > size_) {
        return kNoMemory;
    }
    const uint32_t need = RoundUp(kHeaderSize + size);
    for (auto it = free_.begin(); it != free_.end(); ++it) {
        const uint32_t block = *it;
        const uint32_t blockSize = SizeWord(block);
        if (blockSize < need) {
            continue;
        }
        free_.erase(it);
        if (blockSize - need >= kMinFree) {
            const uint32_t rest = block + need;
            SetSizeWord(rest, blockSize - need);
            SetPrevWord(rest, need);
            if (block + blockSize < size_) {
                SetPrevWord(block + blockSize, blockSize - need);
            }
            free_.insert(rest);
            SetSizeWord(block, need | kInUse);
        } else {
            SetSizeWord(block, blockSize | kInUse);
        }
        *offset = block + kHeaderSize;
        return 0;
    }
    return kNoMemory;
}

void ArenaAllocator::Release(uint32_t offset) {
    uint32_t block = offset - kHeaderSize;
    uint32_t blockSize = SizeWord(block) & ~kInUse;
    const uint32_t next = block + blockSize;
    if (next < size_ && (SizeWord(next) & kInUse) == 0) {
        free_.erase(next);
        blockSize += SizeWord(next);
    }
    const uint32_t prevSize = PrevWord(block);
    if (prevSize != 0 && (SizeWord(block - prevSize) & kInUse) == 0) {
        free_.erase(block - prevSize);
        block -= prevSize;
        blockSize += prevSize;
    }
    SetSizeWord(block, blockSize);
    if (block + blockSize < size_) {
        SetPrevWord(block + blockSize, blockSize);
    }
    free_.insert(block);
}

BlockAllocatorInfo ArenaAllocator::Info() const {
    BlockAllocatorInfo info{name_, 0, 0, static_cast<uint32_t>(free_.size()), size_};
    if (!free_.empty()) {
        info.firstFree = *free_.begin() + kHeaderSize;
    }
    for (uint32_t block : free_) {
        info.available += SizeWord(block) - kHeaderSize;
    }
    return info;
}
