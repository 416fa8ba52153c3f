#include "database/string_pool.h"

#include <cstring>

namespace {
constexpr uint32_t kInUse = 0x1;
constexpr uint32_t kMinFree = StringPool::kHeaderSize + StringPool::kAlignment;

uint32_t RoundUp(uint32_t value) {
    return (value + StringPool::kAlignment - 1) & ~(StringPool::kAlignment - 1);
}

uint32_t ReadBe32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 |
           static_cast<uint32_t>(p[2]) << 8 | p[3];
}

void WriteBe32(uint8_t* p, uint32_t value) {
    p[0] = static_cast<uint8_t>(value >> 24);
    p[1] = static_cast<uint8_t>(value >> 16);
    p[2] = static_cast<uint8_t>(value >> 8);
    p[3] = static_cast<uint8_t>(value);
}
}  // namespace

StringPool::StringPool(const char* name, uint32_t size)
    : name_(name),
      size_(size & ~(kAlignment - 1)),
      arena_(new uint8_t[size_]()),
      liveMap_(size_ / kAlignment, false) {
    SetSizeWord(0, size_);
    SetPrevWord(0, 0);
    free_.insert(0);
}

uint32_t StringPool::SizeWord(uint32_t offset) const {
    uint32_t value;
    std::memcpy(&value, arena_.get() + offset, 4);
    return value;
}

uint32_t StringPool::PrevWord(uint32_t offset) const {
    uint32_t value;
    std::memcpy(&value, arena_.get() + offset + 4, 4);
    return value;
}

void StringPool::SetSizeWord(uint32_t offset, uint32_t value) {
    std::memcpy(arena_.get() + offset, &value, 4);
}

void StringPool::SetPrevWord(uint32_t offset, uint32_t value) {
    std::memcpy(arena_.get() + offset + 4, &value, 4);
}

// A handle is the arena offset of the block's payload, so it is never 0. A handle read from an
// image is checked against the map of live blocks before any header is trusted.
bool StringPool::IsLive(StringHandle handle) const {
    if (handle < kHeaderSize || handle >= size_ || handle % kAlignment != 0) {
        return false;
    }
    return liveMap_[(handle - kHeaderSize) / kAlignment];
}

uint32_t StringPool::Store(const void* bytes, uint32_t length, StringHandle* handle) {
    *handle = 0;
    if (length > size_) {
        return kNoMemory;
    }
    const uint32_t need = RoundUp(kHeaderSize + length + 5);
    std::lock_guard<std::mutex> guard(lock_);
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
            if (rest + (blockSize - need) < size_) {
                SetPrevWord(rest + blockSize - need, blockSize - need);
            }
            free_.insert(rest);
            SetSizeWord(block, need | kInUse);
        } else {
            SetSizeWord(block, blockSize | kInUse);
        }
        uint8_t* payload = arena_.get() + block + kHeaderSize;
        WriteBe32(payload, length);
        if (length != 0) {
            std::memcpy(payload + 4, bytes, length);
        }
        payload[4 + length] = 0;
        liveMap_[block / kAlignment] = true;
        ++live_;
        *handle = block + kHeaderSize;
        return 0;
    }
    return kNoMemory;
}

bool StringPool::Overwrite(StringHandle handle, const void* bytes, uint32_t length) {
    std::lock_guard<std::mutex> guard(lock_);
    if (!IsLive(handle) || LengthLocked(handle) != length) {
        return false;
    }
    if (length != 0) {
        std::memcpy(arena_.get() + handle + 4, bytes, length);
    }
    return true;
}

bool StringPool::Release(StringHandle handle) {
    std::lock_guard<std::mutex> guard(lock_);
    if (!IsLive(handle)) {
        return false;
    }
    uint32_t block = handle - kHeaderSize;
    uint32_t blockSize = SizeWord(block) & ~kInUse;
    liveMap_[block / kAlignment] = false;
    // Merge with the next block when it is free.
    const uint32_t next = block + blockSize;
    if (next < size_ && (SizeWord(next) & kInUse) == 0) {
        free_.erase(next);
        blockSize += SizeWord(next);
    }
    // Merge with the previous block when it is free.
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
    --live_;
    return true;
}

uint32_t StringPool::LengthLocked(StringHandle handle) const {
    return ReadBe32(arena_.get() + handle);
}

uint32_t StringPool::Length(StringHandle handle) const {
    std::lock_guard<std::mutex> guard(lock_);
    return IsLive(handle) ? LengthLocked(handle) : 0;
}

bool StringPool::CopyOut(StringHandle handle, void* out, uint32_t capacity,
                         uint32_t* length) const {
    std::lock_guard<std::mutex> guard(lock_);
    return CopyOutLocked(handle, out, capacity, length);
}

bool StringPool::CopyOutSlot(const uint8_t* slot, void* out, uint32_t capacity,
                             uint32_t* length) const {
    std::lock_guard<std::mutex> guard(lock_);
    return CopyOutLocked(SlotValue(slot), out, capacity, length);
}

void StringPool::SetSlot(uint8_t* slot, StringHandle handle) {
    std::lock_guard<std::mutex> guard(lock_);
    WriteBe32(slot, handle);
}

StringHandle StringPool::SlotValue(const uint8_t* slot) {
    return ReadBe32(slot);
}

bool StringPool::CopyOutLocked(StringHandle handle, void* out, uint32_t capacity,
                               uint32_t* length) const {
    *length = 0;
    if (!IsLive(handle)) {
        return false;
    }
    *length = LengthLocked(handle);
    const uint32_t n = *length < capacity ? *length : capacity;
    if (n != 0) {
        std::memcpy(out, arena_.get() + handle + 4, n);
    }
    return true;
}

bool StringPool::Equals(StringHandle handle, const void* bytes, uint32_t length) const {
    std::lock_guard<std::mutex> guard(lock_);
    return IsLive(handle) && LengthLocked(handle) == length &&
           (length == 0 || std::memcmp(arena_.get() + handle + 4, bytes, length) == 0);
}

StringPoolInfo StringPool::Info() const {
    std::lock_guard<std::mutex> guard(lock_);
    StringPoolInfo info{name_, 0, 0, static_cast<uint32_t>(free_.size()), size_};
    if (!free_.empty()) {
        info.firstFree = *free_.begin() + kHeaderSize;
    }
    for (uint32_t block : free_) {
        info.available += SizeWord(block) - kHeaderSize;
    }
    return info;
}

uint32_t StringPool::BlockCount() const {
    std::lock_guard<std::mutex> guard(lock_);
    return live_;
}
