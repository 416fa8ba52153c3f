#include "database/string_pool.h"

#include <cstring>

#include "database/arena_allocator.h"

namespace {
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
    : StringPool(std::make_unique<ArenaAllocator>(name, size)) {
    ownArena_ = true;
}

StringPool::StringPool(std::unique_ptr<BlockAllocator> allocator)
    : allocator_(std::move(allocator)),
      base_(allocator_->Base()),
      live_(static_cast<size_t>(allocator_->Size()) + 1, false) {}

StringPool::~StringPool() {
    // Blocks of a shared pool go back to it; an own arena goes as a whole.
    for (uint32_t handle = 0; !ownArena_ && liveCount_ != 0 && handle < live_.size(); ++handle) {
        if (live_[handle]) {
            allocator_->Release(handle);
            --liveCount_;
        }
    }
}

bool StringPool::IsLive(StringHandle handle) const {
    return handle != 0 && handle < live_.size() && live_[handle];
}

uint32_t StringPool::Store(const void* bytes, uint32_t length, StringHandle* handle) {
    *handle = 0;
    if (length > Size() - 5) {
        return kNoMemory;
    }
    uint32_t offset = 0;
    const uint32_t status = allocator_->Allocate(length + 5, &offset);
    if (status != 0) {
        return status;
    }
    if (offset == 0 || static_cast<uint64_t>(offset) + length + 5 > Size()) {
        // Not representable as a handle, or not inside the pool.
        allocator_->Release(offset);
        return kNoMemory;
    }
    // The block is not yet visible to anyone: fill it before it becomes live.
    uint8_t* payload = base_ + offset;
    WriteBe32(payload, length);
    if (length != 0) {
        std::memcpy(payload + 4, bytes, length);
    }
    payload[4 + length] = 0;
    live_[offset] = true;
    ++liveCount_;
    *handle = offset;
    return 0;
}

bool StringPool::Overwrite(StringHandle handle, const void* bytes, uint32_t length) {
    if (!IsLive(handle) || LengthLocked(handle) != length) {
        return false;
    }
    if (length != 0) {
        std::memcpy(base_ + handle + 4, bytes, length);
    }
    return true;
}

bool StringPool::Release(StringHandle handle) {
    {
        if (!IsLive(handle)) {
            return false;
        }
        live_[handle] = false;
        --liveCount_;
    }
    // No reader can reach the block any more; the allocator may take it back (a kernel call, so
    // outside the lock).
    allocator_->Release(handle);
    return true;
}

void StringPool::Abandon() {
    live_.assign(live_.size(), false);
    liveCount_ = 0;
}

uint32_t StringPool::LengthLocked(StringHandle handle) const {
    return ReadBe32(base_ + handle);
}

uint32_t StringPool::Length(StringHandle handle) const {
    return IsLive(handle) ? LengthLocked(handle) : 0;
}

bool StringPool::CopyOut(StringHandle handle, void* out, uint32_t capacity,
                         uint32_t* length) const {
    return CopyOutLocked(handle, out, capacity, length);
}

bool StringPool::CopyOutSlot(const uint8_t* slot, void* out, uint32_t capacity,
                             uint32_t* length) const {
    return CopyOutLocked(SlotValue(slot), out, capacity, length);
}

void StringPool::SetSlot(uint8_t* slot, StringHandle handle) {
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
        std::memcpy(out, base_ + handle + 4, n);
    }
    return true;
}

bool StringPool::Equals(StringHandle handle, const void* bytes, uint32_t length) const {
    return IsLive(handle) && LengthLocked(handle) == length &&
           (length == 0 || std::memcmp(base_ + handle + 4, bytes, length) == 0);
}

uint32_t StringPool::BlockCount() const {
    return liveCount_;
}
