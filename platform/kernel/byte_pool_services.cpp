// Byte pool services.

#include "platform/kernel/core.h"

using kernel::Core;
using kernel::Find;
using kernel::PoolRec;
using kernel::ServiceCall;
using kernel::ThreadRec;
using kernel::WaitKind;

namespace {

void SyncPool(PoolRec* pool) {
    pool->cb->tx_byte_pool_available = pool->area.available();
    pool->cb->tx_byte_pool_fragments = pool->area.fragments();
}

// Serves waiting threads in order while their requests fit.
bool ServeWaiters(Core& core, PoolRec* pool) {
    bool readied = false;
    while (!pool->waiters.empty()) {
        ThreadRec* waiter = pool->waiters.front();
        void* block = pool->area.Allocate(waiter->byte_size);
        if (block == nullptr) {
            break;
        }
        pool->waiters.pop_front();
        *waiter->byte_out = block;
        core.Wake(waiter, TX_SUCCESS);
        readied = true;
    }
    SyncPool(pool);
    return readied;
}

}  // namespace

UINT tx_byte_pool_create(TX_BYTE_POOL* pool_ptr, const CHAR* name_ptr, VOID* pool_start,
                         ULONG pool_size) {
    ServiceCall call;
    if (!call || call.in_interrupt()) {
        return TX_CALLER_ERROR;
    }
    Core& core = call.core();
    if (pool_ptr == nullptr || Find(core.pools_, pool_ptr) != nullptr) {
        return TX_POOL_ERROR;
    }
    if (pool_start == nullptr) {
        return TX_PTR_ERROR;
    }
    if (pool_size < TX_BYTE_POOL_MIN) {
        return TX_SIZE_ERROR;
    }
    auto record = std::make_unique<PoolRec>();
    if (!record->area.Init(pool_start, pool_size)) {
        return TX_SIZE_ERROR;
    }
    record->cb = pool_ptr;
    *pool_ptr = TX_BYTE_POOL{};
    pool_ptr->tx_byte_pool_name = name_ptr;
    pool_ptr->tx_byte_pool_start = static_cast<UCHAR*>(pool_start);
    pool_ptr->tx_byte_pool_size = pool_size;
    pool_ptr->tx_byte_pool_internal = record.get();
    SyncPool(record.get());
    core.pools_[pool_ptr] = std::move(record);
    return TX_SUCCESS;
}

UINT tx_byte_pool_delete(TX_BYTE_POOL* pool_ptr) {
    ServiceCall call(false, true);
    if (!call || call.in_interrupt()) {
        return TX_CALLER_ERROR;
    }
    Core& core = call.core();
    PoolRec* pool = Find(core.pools_, pool_ptr);
    if (pool == nullptr) {
        return TX_POOL_ERROR;
    }
    while (!pool->waiters.empty()) {
        ThreadRec* waiter = pool->waiters.front();
        pool->waiters.pop_front();
        core.Wake(waiter, TX_DELETED);
    }
    pool_ptr->tx_byte_pool_internal = nullptr;
    core.pools_.erase(pool_ptr);
    call.AfterReady();
    return TX_SUCCESS;
}

UINT tx_byte_allocate(TX_BYTE_POOL* pool_ptr, VOID** memory_ptr, ULONG memory_size,
                      ULONG wait_option) {
    ServiceCall call(wait_option != TX_NO_WAIT);
    if (!call) {
        return TX_CALLER_ERROR;
    }
    Core& core = call.core();
    PoolRec* pool = Find(core.pools_, pool_ptr);
    if (pool == nullptr) {
        return TX_POOL_ERROR;
    }
    if (memory_ptr == nullptr) {
        return TX_PTR_ERROR;
    }
    if (memory_size == 0 || memory_size > pool_ptr->tx_byte_pool_size) {
        return TX_SIZE_ERROR;
    }
    if (wait_option != TX_NO_WAIT && !call.in_thread()) {
        return TX_WAIT_ERROR;
    }
    if (call.in_interrupt()) {
        return TX_CALLER_ERROR;
    }
    if (core.fail_countdown_ != 0 && (core.fail_pool_ == nullptr || core.fail_pool_ == pool_ptr)) {
        if (--core.fail_countdown_ == 0) {
            core.fail_pool_ = nullptr;
            return TX_NO_MEMORY;
        }
    }
    // Waiting threads are served first.
    void* block = pool->waiters.empty() ? pool->area.Allocate(memory_size) : nullptr;
    if (block != nullptr) {
        *memory_ptr = block;
        SyncPool(pool);
        return TX_SUCCESS;
    }
    if (wait_option == TX_NO_WAIT) {
        return TX_NO_MEMORY;
    }
    ThreadRec* self = call.self();
    self->byte_size = memory_size;
    self->byte_out = memory_ptr;
    pool->waiters.push_back(self);
    return core.Block(call.lock(), self, WaitKind::kBytePool, pool, wait_option);
}

UINT tx_byte_release(VOID* memory_ptr) {
    ServiceCall call(false, true);
    if (!call || call.in_interrupt()) {
        return TX_CALLER_ERROR;
    }
    if (memory_ptr == nullptr) {
        return TX_PTR_ERROR;
    }
    Core& core = call.core();
    for (auto& [cb, pool] : core.pools_) {
        if (!pool->area.Contains(memory_ptr)) {
            continue;
        }
        if (!pool->area.Release(memory_ptr)) {
            return TX_PTR_ERROR;
        }
        if (ServeWaiters(core, pool.get())) {
            call.AfterReady();
        }
        return TX_SUCCESS;
    }
    return TX_PTR_ERROR;
}

UINT tx_byte_pool_info_get(TX_BYTE_POOL* pool_ptr, const CHAR** name, ULONG* available_bytes,
                           ULONG* fragments, TX_THREAD** first_suspended, ULONG* suspended_count,
                           TX_BYTE_POOL** next_pool) {
    ServiceCall call;
    if (!call) {
        return TX_CALLER_ERROR;
    }
    PoolRec* pool = Find(call.core().pools_, pool_ptr);
    if (pool == nullptr) {
        return TX_POOL_ERROR;
    }
    if (name != nullptr) {
        *name = pool_ptr->tx_byte_pool_name;
    }
    if (available_bytes != nullptr) {
        *available_bytes = pool->area.available();
    }
    if (fragments != nullptr) {
        *fragments = pool->area.fragments();
    }
    if (first_suspended != nullptr) {
        *first_suspended = pool->waiters.empty() ? nullptr : pool->waiters.front()->cb;
    }
    if (suspended_count != nullptr) {
        *suspended_count = static_cast<ULONG>(pool->waiters.size());
    }
    if (next_pool != nullptr) {
        *next_pool = nullptr;
    }
    return TX_SUCCESS;
}
