#pragma once
// Host stack of a firmware thread: its own mapping with a guard page below, painted 0xEF so that
// the touched part can be measured.

#include <cstddef>

namespace kernel {

class HostStack {
public:
    static constexpr unsigned char kPaint = 0xEF;

    HostStack() = default;
    ~HostStack();
    HostStack(const HostStack&) = delete;
    HostStack& operator=(const HostStack&) = delete;

    // Maps and paints size bytes (rounded up to whole pages); false when the mapping fails.
    bool Allocate(std::size_t size);
    // Unmaps the stack (its thread has ended).
    void Release();
    void* base() const { return base_; }
    std::size_t size() const { return size_; }
    // Bytes from the top down to the lowest byte that no longer holds the paint.
    std::size_t Used() const;

private:
    void* mapping_ = nullptr;
    std::size_t mapping_size_ = 0;
    void* base_ = nullptr;
    std::size_t size_ = 0;
};

// Default host stack size of a firmware thread.
std::size_t DefaultHostStackSize();

}  // namespace kernel
