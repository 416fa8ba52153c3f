// Mutex services: owner recursion and optional priority inheritance.

#include <algorithm>

#include "platform/kernel/core.h"

using kernel::Core;
using kernel::Find;
using kernel::MutexRec;
using kernel::ServiceCall;
using kernel::ThreadRec;
using kernel::WaitKind;

UINT tx_mutex_create(TX_MUTEX* mutex_ptr, const CHAR* name_ptr, UINT inherit) {
    ServiceCall call;
    if (!call || call.in_interrupt()) {
        return TX_CALLER_ERROR;
    }
    Core& core = call.core();
    if (mutex_ptr == nullptr || Find(core.mutexes_, mutex_ptr) != nullptr) {
        return TX_MUTEX_ERROR;
    }
    if (inherit > TX_INHERIT) {
        return TX_INHERIT_ERROR;
    }
    auto record = std::make_unique<MutexRec>();
    record->cb = mutex_ptr;
    record->inherit = inherit == TX_INHERIT;
    *mutex_ptr = TX_MUTEX{};
    mutex_ptr->tx_mutex_name = name_ptr;
    mutex_ptr->tx_mutex_inherit = inherit;
    mutex_ptr->tx_mutex_internal = record.get();
    core.mutexes_[mutex_ptr] = std::move(record);
    return TX_SUCCESS;
}

UINT tx_mutex_delete(TX_MUTEX* mutex_ptr) {
    ServiceCall call(false, true);
    if (!call || call.in_interrupt()) {
        return TX_CALLER_ERROR;
    }
    Core& core = call.core();
    MutexRec* mutex = Find(core.mutexes_, mutex_ptr);
    if (mutex == nullptr) {
        return TX_MUTEX_ERROR;
    }
    ThreadRec* owner = mutex->owner;
    while (!mutex->waiters.empty()) {
        ThreadRec* waiter = mutex->waiters.front();
        mutex->waiters.pop_front();
        core.Wake(waiter, TX_DELETED);
    }
    if (owner != nullptr) {
        auto& owned = owner->owned;
        owned.erase(std::remove(owned.begin(), owned.end(), mutex), owned.end());
        core.UpdatePriority(owner);
    }
    mutex_ptr->tx_mutex_internal = nullptr;
    mutex_ptr->tx_mutex_owner = nullptr;
    mutex_ptr->tx_mutex_ownership_count = 0;
    core.mutexes_.erase(mutex_ptr);
    call.AfterReady();
    return TX_SUCCESS;
}

UINT tx_mutex_get(TX_MUTEX* mutex_ptr, ULONG wait_option) {
    ServiceCall call(wait_option != TX_NO_WAIT);
    if (!call) {
        return TX_CALLER_ERROR;
    }
    Core& core = call.core();
    MutexRec* mutex = Find(core.mutexes_, mutex_ptr);
    if (mutex == nullptr) {
        return TX_MUTEX_ERROR;
    }
    if (!call.in_thread()) {
        return wait_option != TX_NO_WAIT ? TX_WAIT_ERROR : TX_CALLER_ERROR;
    }
    ThreadRec* self = call.self();
    if (mutex->owner == nullptr) {
        mutex->owner = self;
        mutex->count = 1;
        self->owned.push_back(mutex);
    } else if (mutex->owner == self) {
        ++mutex->count;
    } else if (wait_option == TX_NO_WAIT) {
        return TX_NOT_AVAILABLE;
    } else {
        mutex->waiters.push_back(self);
        if (mutex->inherit) {
            core.UpdatePriority(mutex->owner);
        }
        return core.Block(call.lock(), self, WaitKind::kMutex, mutex, wait_option);
    }
    mutex_ptr->tx_mutex_owner = self->cb;
    mutex_ptr->tx_mutex_ownership_count = mutex->count;
    return TX_SUCCESS;
}

UINT tx_mutex_put(TX_MUTEX* mutex_ptr) {
    ServiceCall call(false, true);
    if (!call) {
        return TX_CALLER_ERROR;
    }
    Core& core = call.core();
    MutexRec* mutex = Find(core.mutexes_, mutex_ptr);
    if (mutex == nullptr) {
        return TX_MUTEX_ERROR;
    }
    if (!call.in_thread()) {
        return TX_CALLER_ERROR;
    }
    if (mutex->owner != call.self()) {
        return TX_NOT_OWNED;
    }
    if (--mutex->count > 0) {
        mutex_ptr->tx_mutex_ownership_count = mutex->count;
        return TX_SUCCESS;
    }
    core.TransferMutex(mutex);
    call.AfterReady();
    return TX_SUCCESS;
}

UINT tx_mutex_info_get(TX_MUTEX* mutex_ptr, const CHAR** name, ULONG* count, TX_THREAD** owner,
                       TX_THREAD** first_suspended, ULONG* suspended_count, TX_MUTEX** next_mutex) {
    ServiceCall call;
    if (!call) {
        return TX_CALLER_ERROR;
    }
    MutexRec* mutex = Find(call.core().mutexes_, mutex_ptr);
    if (mutex == nullptr) {
        return TX_MUTEX_ERROR;
    }
    if (name != nullptr) {
        *name = mutex_ptr->tx_mutex_name;
    }
    if (count != nullptr) {
        *count = mutex->count;
    }
    if (owner != nullptr) {
        *owner = mutex->owner != nullptr ? mutex->owner->cb : nullptr;
    }
    if (first_suspended != nullptr) {
        *first_suspended = mutex->waiters.empty() ? nullptr : mutex->waiters.front()->cb;
    }
    if (suspended_count != nullptr) {
        *suspended_count = static_cast<ULONG>(mutex->waiters.size());
    }
    if (next_mutex != nullptr) {
        *next_mutex = nullptr;
    }
    return TX_SUCCESS;
}
