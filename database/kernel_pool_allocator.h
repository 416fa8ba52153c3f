#pragma once
// Blocks from a kernel byte pool (the "dynamic database" pool that start-up creates), so the
// pool's own accounting (availableGraphicMemory, the console's usage line) covers the strings.

#include "database/block_allocator.h"
#include "platform/kernel/tx_api.h"

class KernelPoolAllocator : public BlockAllocator {
public:
    explicit KernelPoolAllocator(TX_BYTE_POOL* pool) : pool_(pool) {}

    uint32_t Allocate(uint32_t size, uint32_t* offset) override;
    void Release(uint32_t offset) override;
    uint8_t* Base() const override { return pool_->tx_byte_pool_start; }
    uint32_t Size() const override { return pool_->tx_byte_pool_size; }
    BlockAllocatorInfo Info() const override;

private:
    TX_BYTE_POOL* pool_;
};
