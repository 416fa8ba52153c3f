#include "platform/kernel/byte_pool.h"

namespace kernel {

bool FirstFitArea::Init(void* start, std::uint32_t size) {
    auto address = reinterpret_cast<std::uintptr_t>(start);
    const std::uintptr_t aligned = (address + kAlign - 1) & ~std::uintptr_t{kAlign - 1};
    const std::uintptr_t skip = aligned - address;
    if (size < skip) {
        return false;
    }
    size = static_cast<std::uint32_t>((size - skip) & ~(kAlign - 1));
    if (size < 2 * kOverhead + kAlign) {
        return false;
    }
    start_ = reinterpret_cast<unsigned char*>(aligned);
    size_ = size;
    blocks_.clear();
    free_.clear();
    const std::uint32_t end = size - kOverhead;
    blocks_[0] = Block{end, true};
    blocks_[end] = Block{kOverhead, false};  // end marker, never handed out
    free_.insert(0);
    available_ = end - kOverhead;
    return true;
}

void* FirstFitArea::Allocate(std::uint32_t size) {
    if (size == 0 || size > size_) {
        return nullptr;
    }
    const std::uint32_t need = ((size + kAlign - 1) & ~(kAlign - 1)) + kOverhead;
    for (std::uint32_t offset : free_) {
        Block& block = blocks_[offset];
        if (block.size < need) {
            continue;
        }
        free_.erase(offset);
        const std::uint32_t rest = block.size - need;
        if (rest >= kOverhead + kAlign) {
            block.size = need;
            blocks_[offset + need] = Block{rest, true};
            free_.insert(offset + need);
            available_ -= need;
        } else {
            available_ -= block.size - kOverhead;
        }
        block.free = false;
        return start_ + offset + kOverhead;
    }
    return nullptr;
}

bool FirstFitArea::Contains(const void* pointer) const {
    auto p = static_cast<const unsigned char*>(pointer);
    return start_ != nullptr && p >= start_ && p < start_ + size_;
}

bool FirstFitArea::Release(void* block) {
    if (!Contains(block)) {
        return false;
    }
    const auto distance = static_cast<std::uint32_t>(static_cast<unsigned char*>(block) - start_);
    if (distance < kOverhead) {
        return false;
    }
    const std::uint32_t offset = distance - kOverhead;
    auto it = blocks_.find(offset);
    if (it == blocks_.end() || it->second.free || offset + it->second.size >= size_) {
        return false;  // not a block start, already free, or the end marker
    }
    MarkFree(offset);
    return true;
}

void FirstFitArea::MarkFree(std::uint32_t offset) {
    auto it = blocks_.find(offset);
    it->second.free = true;
    available_ += it->second.size - kOverhead;
    auto next = std::next(it);
    if (next != blocks_.end() && next->second.free) {
        it->second.size += next->second.size;
        available_ += kOverhead;
        free_.erase(next->first);
        blocks_.erase(next);
    }
    if (it != blocks_.begin()) {
        auto prev = std::prev(it);
        if (prev->second.free) {
            prev->second.size += it->second.size;
            available_ += kOverhead;
            blocks_.erase(it);
            return;
        }
    }
    free_.insert(offset);
}

}  // namespace kernel
