#include "runtime/os_wrappers.h"

namespace {

// Kernel statuses shared by the waiting services.
OsStatus WaitStatus(UINT status) {
    switch (status) {
        case TX_SUCCESS:
            return OS_SUCCESS;
        case TX_DELETED:
            return OS_DELETED;
        case TX_WAIT_ABORTED:
            return OS_WAIT_ABORTED;
        default:
            return OS_FAILURE;
    }
}

OsStatus AnyError(UINT status, OsStatus failure) {
    return status == TX_SUCCESS ? OS_SUCCESS : failure;
}

}  // namespace

OsStatus os_byte_pool_create(TX_BYTE_POOL* pool, const char* name, void* start, ULONG size) {
    return AnyError(tx_byte_pool_create(pool, name, start, size), OS_FAILURE);
}

OsStatus os_byte_allocate(TX_BYTE_POOL* pool, void** block, ULONG size, ULONG wait) {
    const UINT status = tx_byte_allocate(pool, block, size, wait);
    return status == TX_NO_MEMORY ? OS_NO_MEMORY : WaitStatus(status);
}

OsStatus os_byte_release(void* block) {
    return AnyError(tx_byte_release(block), OS_FAILURE);
}

OsStatus os_byte_pool_info(TX_BYTE_POOL* pool, const char** name, ULONG* total_size,
                           ULONG* available, ULONG* fragments) {
    const UINT status =
        tx_byte_pool_info_get(pool, name, available, fragments, nullptr, nullptr, nullptr);
    if (status != TX_SUCCESS) {
        return OS_FAILURE;
    }
    if (total_size != nullptr) {
        *total_size = pool->tx_byte_pool_size;
    }
    return OS_SUCCESS;
}

OsStatus os_event_flags_create(TX_EVENT_FLAGS_GROUP* group, const char* name) {
    const UINT status = tx_event_flags_create(group, name);
    if (status == TX_SUCCESS) {
        return OS_SUCCESS;
    }
    return status == TX_GROUP_ERROR ? OS_OBJECT_ERROR : OS_FAILURE;
}

OsStatus os_event_flags_delete(TX_EVENT_FLAGS_GROUP* group) {
    const UINT status = tx_event_flags_delete(group);
    if (status == TX_SUCCESS) {
        return OS_SUCCESS;
    }
    return status == TX_CALLER_ERROR ? OS_CALLER_ERROR : OS_FAILURE;
}

namespace {

// The layer's event options to the kernel's; false for an unknown option.
bool TranslateEventOption(OsEventOption option, UINT* kernel_option) {
    switch (option) {
        case OS_EVENT_AND:
            *kernel_option = TX_AND;
            return true;
        case OS_EVENT_AND_CLEAR:
            *kernel_option = TX_AND_CLEAR;
            return true;
        case OS_EVENT_OR:
            *kernel_option = TX_OR;
            return true;
        case OS_EVENT_OR_CLEAR:
            *kernel_option = TX_OR_CLEAR;
            return true;
        default:
            return false;
    }
}

}  // namespace

OsStatus os_event_flags_get(TX_EVENT_FLAGS_GROUP* group, ULONG requested, OsEventOption option,
                            ULONG* actual, ULONG wait) {
    UINT kernel_option = 0;
    if (!TranslateEventOption(option, &kernel_option)) {
        return OS_FAILURE;
    }
    const UINT status = tx_event_flags_get(group, requested, kernel_option, actual, wait);
    switch (status) {
        case TX_WAIT_ERROR:
            return OS_WAIT_ERROR;
        case TX_NO_EVENTS:
            return OS_NO_EVENTS;
        default:
            return WaitStatus(status);
    }
}

OsStatus os_event_flags_set(TX_EVENT_FLAGS_GROUP* group, ULONG flags, OsEventOption option) {
    UINT kernel_option = 0;
    if (!TranslateEventOption(option, &kernel_option)) {
        return OS_FAILURE;
    }
    return AnyError(tx_event_flags_set(group, flags, kernel_option), OS_FAILURE);
}

OsStatus os_semaphore_create(TX_SEMAPHORE* semaphore, const char* name, ULONG initial_count) {
    const UINT status = tx_semaphore_create(semaphore, name, initial_count);
    if (status == TX_SUCCESS) {
        return OS_SUCCESS;
    }
    return status == TX_SEMAPHORE_ERROR ? OS_SEMAPHORE_ERROR : OS_FAILURE;
}

OsStatus os_semaphore_get(TX_SEMAPHORE* semaphore, ULONG wait) {
    const UINT status = tx_semaphore_get(semaphore, wait);
    switch (status) {
        case TX_SUCCESS:
            return OS_SUCCESS;
        case TX_DELETED:
            return OS_DELETED;
        case TX_WAIT_ERROR:
            return OS_WAIT_ERROR;
        case TX_NO_INSTANCE:
            return OS_NO_INSTANCE;
        default:
            return OS_FAILURE;
    }
}

OsStatus os_semaphore_info(TX_SEMAPHORE* semaphore, const char** name, ULONG* count) {
    return AnyError(tx_semaphore_info_get(semaphore, name, count, nullptr, nullptr, nullptr),
                    OS_SEMAPHORE_ERROR);
}

OsStatus os_semaphore_put(TX_SEMAPHORE* semaphore) {
    return AnyError(tx_semaphore_put(semaphore), OS_SEMAPHORE_ERROR);
}

OsStatus os_mutex_create(TX_MUTEX* mutex, const char* name, UINT inherit) {
    const UINT status = tx_mutex_create(mutex, name, inherit);
    if (status == TX_SUCCESS) {
        return OS_SUCCESS;
    }
    return status == TX_MUTEX_ERROR ? OS_OBJECT_ERROR : OS_FAILURE;
}

OsStatus os_mutex_delete(TX_MUTEX* mutex) {
    const UINT status = tx_mutex_delete(mutex);
    if (status == TX_SUCCESS) {
        return OS_SUCCESS;
    }
    return status == TX_CALLER_ERROR ? OS_CALLER_ERROR : OS_FAILURE;
}

OsStatus os_mutex_get(TX_MUTEX* mutex, ULONG wait) {
    const UINT status = tx_mutex_get(mutex, wait);
    return status == TX_NOT_AVAILABLE ? OS_NOT_AVAILABLE : WaitStatus(status);
}

OsStatus os_mutex_put(TX_MUTEX* mutex) {
    const UINT status = tx_mutex_put(mutex);
    if (status == TX_SUCCESS) {
        return OS_SUCCESS;
    }
    return status == TX_NOT_OWNED ? OS_NOT_OWNED : OS_FAILURE;
}

OsStatus os_timer_create(TX_TIMER* timer, const char* name, TX_TIMER_EXPIRY expiry,
                         ULONG initial_ticks, ULONG reschedule_ticks, std::uint32_t activation) {
    UINT activate = 0;
    if (activation == OS_TIMER_ACTIVATE) {
        activate = TX_AUTO_ACTIVATE;
    } else if (activation == OS_TIMER_NO_ACTIVATE) {
        activate = TX_NO_ACTIVATE;
    } else {
        return OS_FAILURE;
    }
    return AnyError(
        tx_timer_create(timer, name, expiry, 0, initial_ticks, reschedule_ticks, activate),
        OS_FAILURE);
}

OsStatus os_timer_activate(TX_TIMER* timer) {
    return AnyError(tx_timer_activate(timer), OS_FAILURE);
}

OsStatus os_timer_deactivate(TX_TIMER* timer) {
    return AnyError(tx_timer_deactivate(timer), OS_FAILURE);
}

OsStatus os_timer_change(TX_TIMER* timer, ULONG initial_ticks, ULONG reschedule_ticks,
                         ULONG* previous_reschedule_ticks) {
    if (timer == nullptr) {
        return OS_FAILURE;
    }
    if (previous_reschedule_ticks != nullptr) {
        *previous_reschedule_ticks = timer->tx_timer_reschedule_ticks;
    }
    return AnyError(tx_timer_change(timer, initial_ticks, reschedule_ticks), OS_FAILURE);
}

OsStatus os_timer_delete(TX_TIMER* timer) {
    return AnyError(tx_timer_delete(timer), OS_FAILURE);
}

OsStatus os_thread_name(const char** name) {
    TX_THREAD* thread = tx_thread_identify();
    if (thread == nullptr) {
        return OS_CALLER_ERROR;
    }
    if (name != nullptr) {
        *name = thread->tx_thread_name;
    }
    return OS_SUCCESS;
}

OsStatus os_thread_sleep(ULONG ticks) {
    return AnyError(tx_thread_sleep(ticks), OS_CALLER_ERROR);
}
