#include "platform/kernel/host_stack.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstring>

#include "platform/kernel/host_memory.h"

namespace kernel {

std::size_t DefaultHostStackSize() {
    // AddressSanitizer and ThreadSanitizer keep state on the thread's stack: 4 MiB under either.
    return UnderSanitizer() ? (4u << 20) : (512u << 10);
}

HostStack::~HostStack() {
    Release();
}

void HostStack::Release() {
    if (mapping_ != nullptr) {
        munmap(mapping_, mapping_size_);
    }
    mapping_ = nullptr;
    mapping_size_ = 0;
    base_ = nullptr;
    size_ = 0;
}

bool HostStack::Allocate(std::size_t size) {
    const std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    size = (size + page - 1) / page * page;
    mapping_size_ = size + page;
    void* mapping =
        mmap(nullptr, mapping_size_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapping == MAP_FAILED) {
        mapping_size_ = 0;
        return false;
    }
    mapping_ = mapping;
    mprotect(mapping_, page, PROT_NONE);  // guard page below the stack
    base_ = static_cast<unsigned char*>(mapping_) + page;
    size_ = size;
    std::memset(base_, kPaint, size_);
    return true;
}

// Reads memory below the live frames of another thread's stack, which the sanitizer may have
// poisoned as redzones of earlier frames.
__attribute__((no_sanitize("address"))) std::size_t HostStack::Used() const {
    const volatile unsigned char* p = static_cast<const unsigned char*>(base_);
    std::size_t i = 0;
    while (i < size_ && p[i] == kPaint) {
        ++i;
    }
    return size_ - i;
}

}  // namespace kernel
