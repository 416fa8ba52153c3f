// Counting semaphore services.

#include "platform/kernel/core.h"

using kernel::Core;
using kernel::Find;
using kernel::SemaphoreRec;
using kernel::ServiceCall;
using kernel::ThreadRec;
using kernel::WaitKind;

UINT tx_semaphore_create(TX_SEMAPHORE* semaphore_ptr, const CHAR* name_ptr, ULONG initial_count) {
    ServiceCall call;
    if (!call || call.in_interrupt()) {
        return TX_CALLER_ERROR;
    }
    Core& core = call.core();
    if (semaphore_ptr == nullptr || Find(core.semaphores_, semaphore_ptr) != nullptr) {
        return TX_SEMAPHORE_ERROR;
    }
    auto record = std::make_unique<SemaphoreRec>();
    record->cb = semaphore_ptr;
    record->count = initial_count;
    *semaphore_ptr = TX_SEMAPHORE{};
    semaphore_ptr->tx_semaphore_name = name_ptr;
    semaphore_ptr->tx_semaphore_count = initial_count;
    semaphore_ptr->tx_semaphore_internal = record.get();
    core.semaphores_[semaphore_ptr] = std::move(record);
    return TX_SUCCESS;
}

UINT tx_semaphore_delete(TX_SEMAPHORE* semaphore_ptr) {
    ServiceCall call(false, true);
    if (!call || call.in_interrupt()) {
        return TX_CALLER_ERROR;
    }
    Core& core = call.core();
    SemaphoreRec* semaphore = Find(core.semaphores_, semaphore_ptr);
    if (semaphore == nullptr) {
        return TX_SEMAPHORE_ERROR;
    }
    while (!semaphore->waiters.empty()) {
        ThreadRec* waiter = semaphore->waiters.front();
        semaphore->waiters.pop_front();
        core.Wake(waiter, TX_DELETED);
    }
    semaphore_ptr->tx_semaphore_internal = nullptr;
    core.semaphores_.erase(semaphore_ptr);
    call.AfterReady();
    return TX_SUCCESS;
}

UINT tx_semaphore_get(TX_SEMAPHORE* semaphore_ptr, ULONG wait_option) {
    ServiceCall call(wait_option != TX_NO_WAIT);
    if (!call) {
        return TX_CALLER_ERROR;
    }
    Core& core = call.core();
    SemaphoreRec* semaphore = Find(core.semaphores_, semaphore_ptr);
    if (semaphore == nullptr) {
        return TX_SEMAPHORE_ERROR;
    }
    if (wait_option != TX_NO_WAIT && !call.in_thread()) {
        return TX_WAIT_ERROR;
    }
    if (semaphore->count > 0) {
        semaphore_ptr->tx_semaphore_count = --semaphore->count;
        return TX_SUCCESS;
    }
    if (wait_option == TX_NO_WAIT) {
        return TX_NO_INSTANCE;
    }
    semaphore->waiters.push_back(call.self());
    return core.Block(call.lock(), call.self(), WaitKind::kSemaphore, semaphore, wait_option);
}

UINT tx_semaphore_put(TX_SEMAPHORE* semaphore_ptr) {
    ServiceCall call(false, true);
    if (!call) {
        return TX_CALLER_ERROR;
    }
    Core& core = call.core();
    SemaphoreRec* semaphore = Find(core.semaphores_, semaphore_ptr);
    if (semaphore == nullptr) {
        return TX_SEMAPHORE_ERROR;
    }
    if (!semaphore->waiters.empty()) {
        ThreadRec* waiter = semaphore->waiters.front();
        semaphore->waiters.pop_front();
        core.Wake(waiter, TX_SUCCESS);
        call.AfterReady();
        return TX_SUCCESS;
    }
    if (semaphore->count == 0xFFFFFFFFu) {
        return TX_SEMAPHORE_ERROR;  // the count would wrap to 0
    }
    semaphore_ptr->tx_semaphore_count = ++semaphore->count;
    return TX_SUCCESS;
}

UINT tx_semaphore_info_get(TX_SEMAPHORE* semaphore_ptr, const CHAR** name, ULONG* current_value,
                           TX_THREAD** first_suspended, ULONG* suspended_count,
                           TX_SEMAPHORE** next_semaphore) {
    ServiceCall call;
    if (!call) {
        return TX_CALLER_ERROR;
    }
    SemaphoreRec* semaphore = Find(call.core().semaphores_, semaphore_ptr);
    if (semaphore == nullptr) {
        return TX_SEMAPHORE_ERROR;
    }
    if (name != nullptr) {
        *name = semaphore_ptr->tx_semaphore_name;
    }
    if (current_value != nullptr) {
        *current_value = semaphore->count;
    }
    if (first_suspended != nullptr) {
        *first_suspended = semaphore->waiters.empty() ? nullptr : semaphore->waiters.front()->cb;
    }
    if (suspended_count != nullptr) {
        *suspended_count = static_cast<ULONG>(semaphore->waiters.size());
    }
    if (next_semaphore != nullptr) {
        *next_semaphore = nullptr;
    }
    return TX_SUCCESS;
}
