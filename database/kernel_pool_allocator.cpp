#include "database/kernel_pool_allocator.h"

uint32_t KernelPoolAllocator::Allocate(uint32_t size, uint32_t* offset) {
    *offset = 0;
    VOID* block = nullptr;
    const UINT status = tx_byte_allocate(pool_, &block, size, TX_NO_WAIT);
    if (status != TX_SUCCESS) {
        return status;
    }
    *offset = static_cast<uint32_t>(static_cast<uint8_t*>(block) - Base());
    return 0;
}

void KernelPoolAllocator::Release(uint32_t offset) {
    tx_byte_release(Base() + offset);
}

BlockAllocatorInfo KernelPoolAllocator::Info() const {
    const CHAR* name = nullptr;
    ULONG available = 0;
    ULONG fragments = 0;
    tx_byte_pool_info_get(pool_, &name, &available, &fragments, nullptr, nullptr, nullptr);
    return {name, 0, available, fragments, Size()};
}
