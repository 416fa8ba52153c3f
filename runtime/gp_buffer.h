#pragma once
// General-purpose buffer pool "gpbuffer".

#include <cstdint>

#include "platform/kernel/tx_api.h"

class CGPBuffer {
public:
    enum State : uint8_t { kBuilt = 0, kReady = 2 };

    CGPBuffer() = default;
    CGPBuffer(const CGPBuffer&) = delete;
    CGPBuffer& operator=(const CGPBuffer&) = delete;
    virtual ~CGPBuffer();

    // Lays the pool down at *next and advances *next by size.
    bool Create(uint8_t** next, uint32_t size);
    // A block of the size, without waiting; false when none is free.
    bool Alloc(void** block, uint32_t size);
    bool Free(void* block);

    uint8_t GetState() const { return state_; }
    uint32_t Outstanding() const { return outstanding_; }
    uint32_t Size() const { return size_; }

private:
    uint8_t state_ = kBuilt;
    uint32_t outstanding_ = 0;  // blocks handed out; changed with interrupts masked
    uint32_t size_ = 0;
    uint8_t* start_ = nullptr;
    const void* kernel_ = nullptr;  // kernel instance that holds the pool
    TX_BYTE_POOL pool_{};
};

extern CGPBuffer g_GpBuffer;
