#pragma once
// Thin wrappers over the kernel services: translate the layer's option codes and map the kernel's
// completion statuses to OsStatus. They add no behaviour of their own.

#include <cstdint>

#include "platform/kernel/tx_api.h"

using OsStatus = std::uint32_t;
constexpr OsStatus OS_SUCCESS = 0;
constexpr OsStatus OS_OBJECT_ERROR = 1;     // event group or mutex creation refused
constexpr OsStatus OS_SEMAPHORE_ERROR = 2;  // semaphore creation, information, put
constexpr OsStatus OS_FAILURE = 3;          // any other error, or a bad option code
constexpr OsStatus OS_DELETED = 4;
constexpr OsStatus OS_WAIT_ERROR = 5;
constexpr OsStatus OS_NOT_AVAILABLE = 6;
constexpr OsStatus OS_NOT_OWNED = 7;
constexpr OsStatus OS_CALLER_ERROR = 8;
constexpr OsStatus OS_WAIT_ABORTED = 9;
constexpr OsStatus OS_NO_INSTANCE = 10;
constexpr OsStatus OS_NO_EVENTS = 11;
constexpr OsStatus OS_NO_MEMORY = 12;

// Event-flag options of the layer.
using OsEventOption = std::uint32_t;
constexpr OsEventOption OS_EVENT_AND = 1;
constexpr OsEventOption OS_EVENT_AND_CLEAR = 2;
constexpr OsEventOption OS_EVENT_OR = 3;
constexpr OsEventOption OS_EVENT_OR_CLEAR = 4;

// Timer activation options.
constexpr std::uint32_t OS_TIMER_NO_ACTIVATE = 0;
constexpr std::uint32_t OS_TIMER_ACTIVATE = 1;

// Waits are in ticks: TX_NO_WAIT (0) or TX_WAIT_FOREVER (0xFFFFFFFF) or a count.
OsStatus os_byte_pool_create(TX_BYTE_POOL* pool, const char* name, void* start, ULONG size);
OsStatus os_byte_allocate(TX_BYTE_POOL* pool, void** block, ULONG size, ULONG wait);
OsStatus os_byte_release(void* block);
OsStatus os_byte_pool_info(TX_BYTE_POOL* pool, const char** name, ULONG* total_size,
                           ULONG* available, ULONG* fragments);

OsStatus os_event_flags_create(TX_EVENT_FLAGS_GROUP* group, const char* name);
OsStatus os_event_flags_delete(TX_EVENT_FLAGS_GROUP* group);
OsStatus os_event_flags_get(TX_EVENT_FLAGS_GROUP* group, ULONG requested, OsEventOption option,
                            ULONG* actual, ULONG wait);
// OS_EVENT_OR ors the flags in, OS_EVENT_AND masks with them.
OsStatus os_event_flags_set(TX_EVENT_FLAGS_GROUP* group, ULONG flags, OsEventOption option);

OsStatus os_semaphore_create(TX_SEMAPHORE* semaphore, const char* name, ULONG initial_count);
OsStatus os_semaphore_get(TX_SEMAPHORE* semaphore, ULONG wait);
OsStatus os_semaphore_info(TX_SEMAPHORE* semaphore, const char** name, ULONG* count);
OsStatus os_semaphore_put(TX_SEMAPHORE* semaphore);

// inherit: 0 or 1 (priority inheritance).
OsStatus os_mutex_create(TX_MUTEX* mutex, const char* name, UINT inherit);
OsStatus os_mutex_delete(TX_MUTEX* mutex);
OsStatus os_mutex_get(TX_MUTEX* mutex, ULONG wait);
OsStatus os_mutex_put(TX_MUTEX* mutex);

// The expiry function is called with argument 0.
OsStatus os_timer_create(TX_TIMER* timer, const char* name, TX_TIMER_EXPIRY expiry,
                         ULONG initial_ticks, ULONG reschedule_ticks, std::uint32_t activation);
OsStatus os_timer_activate(TX_TIMER* timer);
OsStatus os_timer_deactivate(TX_TIMER* timer);
OsStatus os_timer_change(TX_TIMER* timer, ULONG initial_ticks, ULONG reschedule_ticks,
                         ULONG* previous_reschedule_ticks);
OsStatus os_timer_delete(TX_TIMER* timer);

// Name of the calling thread; OS_CALLER_ERROR when there is no calling thread.
OsStatus os_thread_name(const char** name);
OsStatus os_thread_sleep(ULONG ticks);
