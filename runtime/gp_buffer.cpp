#include "runtime/gp_buffer.h"

#include "platform/kernel/kernel.h"
#include "runtime/os_wrappers.h"

CGPBuffer g_GpBuffer;

CGPBuffer::~CGPBuffer() {
    // At the end of the process the kernel instance may be gone: its records went with it.
    if (state_ == kReady && kernel_ == kernel::Kernel::Current()) {
        tx_byte_pool_delete(&pool_);
    }
}

bool CGPBuffer::Create(uint8_t** next, uint32_t size) {
    if (state_ == kReady || next == nullptr || *next == nullptr) {
        return false;
    }
    if (os_byte_pool_create(&pool_, "gpbuffer", *next, size) != OS_SUCCESS) {
        return false;
    }
    start_ = *next;
    *next += size;
    size_ = size;
    kernel_ = kernel::Kernel::Current();
    outstanding_ = 0;
    state_ = kReady;
    return true;
}

bool CGPBuffer::Alloc(void** block, uint32_t size) {
    if (state_ != kReady || block == nullptr) {
        return false;
    }
    if (os_byte_allocate(&pool_, block, size, TX_NO_WAIT) != OS_SUCCESS) {
        return false;
    }
    const UINT saved = tx_interrupt_control(TX_INT_DISABLE);
    ++outstanding_;
    tx_interrupt_control(saved);
    return true;
}

bool CGPBuffer::Free(void* block) {
    const auto at = reinterpret_cast<uintptr_t>(block);
    const auto start = reinterpret_cast<uintptr_t>(start_);
    if (state_ != kReady || at < start || at >= start + size_) {
        return false;  // missing, or not a block of this pool
    }
    if (os_byte_release(block) != OS_SUCCESS) {
        return false;
    }
    const UINT saved = tx_interrupt_control(TX_INT_DISABLE);
    if (outstanding_ > 0) {
        --outstanding_;
    }
    tx_interrupt_control(saved);
    return true;
}
