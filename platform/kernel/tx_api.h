#pragma once
// RTOS services of the host kernel: threads, byte pools, event flags, semaphores, mutexes,
// application timers, the tick count and the interrupt posture.
//
// Only one firmware thread runs at a time (see kernel.h). Control blocks are allocated by the
// caller and stay owned by the caller; the kernel keeps its own record of every created object,
// so a control block is valid from its create call until its delete call (or the end of the
// kernel instance).
//
// Host adaptations: thread entry and timer expiry inputs are pointer-sized (ULONG_PTR) so that
// object pointers can be passed; names are const.

#include <cstdint>

using UINT = unsigned int;
using ULONG = std::uint32_t;
using ULONG_PTR = std::uintptr_t;
using CHAR = char;
using UCHAR = unsigned char;
typedef void VOID;

// Completion statuses.
constexpr UINT TX_SUCCESS = 0x00;
constexpr UINT TX_DELETED = 0x01;
constexpr UINT TX_POOL_ERROR = 0x02;
constexpr UINT TX_PTR_ERROR = 0x03;
constexpr UINT TX_WAIT_ERROR = 0x04;
constexpr UINT TX_SIZE_ERROR = 0x05;
constexpr UINT TX_GROUP_ERROR = 0x06;
constexpr UINT TX_NO_EVENTS = 0x07;
constexpr UINT TX_OPTION_ERROR = 0x08;
constexpr UINT TX_SEMAPHORE_ERROR = 0x0C;
constexpr UINT TX_NO_INSTANCE = 0x0D;
constexpr UINT TX_THREAD_ERROR = 0x0E;
constexpr UINT TX_PRIORITY_ERROR = 0x0F;
constexpr UINT TX_NO_MEMORY = 0x10;
constexpr UINT TX_START_ERROR = 0x10;
constexpr UINT TX_DELETE_ERROR = 0x11;
constexpr UINT TX_RESUME_ERROR = 0x12;
constexpr UINT TX_CALLER_ERROR = 0x13;
constexpr UINT TX_SUSPEND_ERROR = 0x14;
constexpr UINT TX_TIMER_ERROR = 0x15;
constexpr UINT TX_TICK_ERROR = 0x16;
constexpr UINT TX_ACTIVATE_ERROR = 0x17;
constexpr UINT TX_THRESH_ERROR = 0x18;
constexpr UINT TX_SUSPEND_LIFTED = 0x19;
constexpr UINT TX_WAIT_ABORTED = 0x1A;
constexpr UINT TX_WAIT_ABORT_ERROR = 0x1B;
constexpr UINT TX_MUTEX_ERROR = 0x1C;
constexpr UINT TX_NOT_AVAILABLE = 0x1D;
constexpr UINT TX_NOT_OWNED = 0x1E;
constexpr UINT TX_INHERIT_ERROR = 0x1F;

// Wait arguments (ticks).
constexpr ULONG TX_NO_WAIT = 0;
constexpr ULONG TX_WAIT_FOREVER = 0xFFFFFFFFu;

// Event flag options: get takes all four, set takes TX_AND (mask) or TX_OR.
constexpr UINT TX_OR = 0;
constexpr UINT TX_OR_CLEAR = 1;
constexpr UINT TX_AND = 2;
constexpr UINT TX_AND_CLEAR = 3;

constexpr UINT TX_NO_INHERIT = 0;
constexpr UINT TX_INHERIT = 1;
constexpr UINT TX_DONT_START = 0;
constexpr UINT TX_AUTO_START = 1;
constexpr UINT TX_NO_ACTIVATE = 0;
constexpr UINT TX_AUTO_ACTIVATE = 1;
constexpr ULONG TX_NO_TIME_SLICE = 0;

// Priorities 0 (highest) to TX_MAX_PRIORITIES - 1.
constexpr UINT TX_MAX_PRIORITIES = 32;
// Smallest declared stack accepted by tx_thread_create, smallest byte pool.
constexpr ULONG TX_MINIMUM_STACK = 200;
constexpr ULONG TX_BYTE_POOL_MIN = 100;

// Thread states (tx_thread_info_get).
constexpr UINT TX_READY = 0;
constexpr UINT TX_COMPLETED = 1;
constexpr UINT TX_TERMINATED = 2;
constexpr UINT TX_SUSPENDED = 3;
constexpr UINT TX_SLEEP = 4;
constexpr UINT TX_SEMAPHORE_SUSP = 6;
constexpr UINT TX_EVENT_FLAG = 7;
constexpr UINT TX_BYTE_MEMORY = 9;
constexpr UINT TX_MUTEX_SUSP = 13;

// Interrupt posture (tx_interrupt_control).
constexpr UINT TX_INT_ENABLE = 0;
constexpr UINT TX_INT_DISABLE = 1;

// Control blocks. Fields are written by the kernel and may be read by the owner; the kernel's
// record hangs off tx_*_internal.
struct TX_THREAD {
    const CHAR* tx_thread_name;
    VOID* tx_thread_stack_start;
    ULONG tx_thread_stack_size;
    UINT tx_thread_priority;  // current priority, including inherited priority
    UINT tx_thread_user_priority;
    UINT tx_thread_preempt_threshold;
    ULONG tx_thread_time_slice;
    UINT tx_thread_state;
    ULONG tx_thread_run_count;
    VOID* tx_thread_internal;
};

struct TX_BYTE_POOL {
    const CHAR* tx_byte_pool_name;
    UCHAR* tx_byte_pool_start;
    ULONG tx_byte_pool_size;
    ULONG tx_byte_pool_available;
    ULONG tx_byte_pool_fragments;
    VOID* tx_byte_pool_internal;
};

struct TX_EVENT_FLAGS_GROUP {
    const CHAR* tx_event_flags_group_name;
    ULONG tx_event_flags_group_current;
    VOID* tx_event_flags_group_internal;
};

struct TX_SEMAPHORE {
    const CHAR* tx_semaphore_name;
    ULONG tx_semaphore_count;
    VOID* tx_semaphore_internal;
};

struct TX_MUTEX {
    const CHAR* tx_mutex_name;
    UINT tx_mutex_inherit;
    ULONG tx_mutex_ownership_count;
    TX_THREAD* tx_mutex_owner;
    VOID* tx_mutex_internal;
};

struct TX_TIMER {
    const CHAR* tx_timer_name;
    ULONG tx_timer_initial_ticks;
    ULONG tx_timer_reschedule_ticks;  // 0: one-shot
    VOID* tx_timer_internal;
};

using TX_THREAD_ENTRY = VOID (*)(ULONG_PTR entry_input);
using TX_TIMER_EXPIRY = VOID (*)(ULONG_PTR expiry_input);

// Start-up hook, defined by the application: runs in start-up context before any thread.
VOID tx_application_define(VOID* first_unused_memory);

// Runs the kernel: calls tx_application_define with the free memory area, then schedules the
// threads. With a real-time kernel (the default when no kernel::Kernel exists) it returns when
// the kernel is stopped (kernel::Kernel::Stop); with a stepped kernel it returns at once and the
// host drives the clock.
VOID tx_kernel_enter(VOID);

// Threads.
UINT tx_thread_create(TX_THREAD* thread_ptr, const CHAR* name_ptr, TX_THREAD_ENTRY entry_function,
                      ULONG_PTR entry_input, VOID* stack_start, ULONG stack_size, UINT priority,
                      UINT preempt_threshold, ULONG time_slice, UINT auto_start);
UINT tx_thread_delete(TX_THREAD* thread_ptr);  // only completed or terminated threads
UINT tx_thread_suspend(TX_THREAD* thread_ptr);
UINT tx_thread_resume(TX_THREAD* thread_ptr);  // TX_RESUME_ERROR when not suspended
UINT tx_thread_terminate(TX_THREAD* thread_ptr);
UINT tx_thread_sleep(ULONG timer_ticks);
VOID tx_thread_relinquish(VOID);
TX_THREAD* tx_thread_identify(VOID);  // null outside thread context (start-up, timer, ISR)
UINT tx_thread_wait_abort(TX_THREAD* thread_ptr);
UINT tx_thread_priority_change(TX_THREAD* thread_ptr, UINT new_priority, UINT* old_priority);
UINT tx_thread_preemption_change(TX_THREAD* thread_ptr, UINT new_threshold, UINT* old_threshold);
UINT tx_thread_time_slice_change(TX_THREAD* thread_ptr, ULONG new_time_slice,
                                 ULONG* old_time_slice);
// Any out pointer may be null.
UINT tx_thread_info_get(TX_THREAD* thread_ptr, const CHAR** name, UINT* state, ULONG* run_count,
                        UINT* priority, UINT* preemption_threshold, ULONG* time_slice,
                        TX_THREAD** next_thread, TX_THREAD** next_suspended_thread);

// Byte pools: first-fit over the caller's area.
UINT tx_byte_pool_create(TX_BYTE_POOL* pool_ptr, const CHAR* name_ptr, VOID* pool_start,
                         ULONG pool_size);
UINT tx_byte_pool_delete(TX_BYTE_POOL* pool_ptr);
UINT tx_byte_allocate(TX_BYTE_POOL* pool_ptr, VOID** memory_ptr, ULONG memory_size,
                      ULONG wait_option);
UINT tx_byte_release(VOID* memory_ptr);
UINT tx_byte_pool_info_get(TX_BYTE_POOL* pool_ptr, const CHAR** name, ULONG* available_bytes,
                           ULONG* fragments, TX_THREAD** first_suspended, ULONG* suspended_count,
                           TX_BYTE_POOL** next_pool);

// Event flags.
UINT tx_event_flags_create(TX_EVENT_FLAGS_GROUP* group_ptr, const CHAR* name_ptr);
UINT tx_event_flags_delete(TX_EVENT_FLAGS_GROUP* group_ptr);
UINT tx_event_flags_get(TX_EVENT_FLAGS_GROUP* group_ptr, ULONG requested_flags, UINT get_option,
                        ULONG* actual_flags_ptr, ULONG wait_option);
UINT tx_event_flags_set(TX_EVENT_FLAGS_GROUP* group_ptr, ULONG flags_to_set, UINT set_option);
UINT tx_event_flags_info_get(TX_EVENT_FLAGS_GROUP* group_ptr, const CHAR** name,
                             ULONG* current_flags, TX_THREAD** first_suspended,
                             ULONG* suspended_count, TX_EVENT_FLAGS_GROUP** next_group);

// Counting semaphores.
UINT tx_semaphore_create(TX_SEMAPHORE* semaphore_ptr, const CHAR* name_ptr, ULONG initial_count);
UINT tx_semaphore_delete(TX_SEMAPHORE* semaphore_ptr);
UINT tx_semaphore_get(TX_SEMAPHORE* semaphore_ptr, ULONG wait_option);
UINT tx_semaphore_put(TX_SEMAPHORE* semaphore_ptr);
UINT tx_semaphore_info_get(TX_SEMAPHORE* semaphore_ptr, const CHAR** name, ULONG* current_value,
                           TX_THREAD** first_suspended, ULONG* suspended_count,
                           TX_SEMAPHORE** next_semaphore);

// Mutexes: owner recursion; optional priority inheritance.
UINT tx_mutex_create(TX_MUTEX* mutex_ptr, const CHAR* name_ptr, UINT inherit);
UINT tx_mutex_delete(TX_MUTEX* mutex_ptr);
UINT tx_mutex_get(TX_MUTEX* mutex_ptr, ULONG wait_option);
UINT tx_mutex_put(TX_MUTEX* mutex_ptr);
UINT tx_mutex_info_get(TX_MUTEX* mutex_ptr, const CHAR** name, ULONG* count, TX_THREAD** owner,
                       TX_THREAD** first_suspended, ULONG* suspended_count, TX_MUTEX** next_mutex);

// Application timers; expiry functions run in timer context. A deactivated timer keeps its
// remaining ticks and goes on from there when activated again; tx_timer_change sets both values
// afresh (initial ticks must be non-zero).
UINT tx_timer_create(TX_TIMER* timer_ptr, const CHAR* name_ptr, TX_TIMER_EXPIRY expiration_function,
                     ULONG_PTR expiration_input, ULONG initial_ticks, ULONG reschedule_ticks,
                     UINT auto_activate);
UINT tx_timer_delete(TX_TIMER* timer_ptr);
UINT tx_timer_activate(TX_TIMER* timer_ptr);  // TX_ACTIVATE_ERROR when already active
UINT tx_timer_deactivate(TX_TIMER* timer_ptr);
UINT tx_timer_change(TX_TIMER* timer_ptr, ULONG initial_ticks, ULONG reschedule_ticks);
UINT tx_timer_info_get(TX_TIMER* timer_ptr, const CHAR** name, UINT* active, ULONG* remaining_ticks,
                       ULONG* reschedule_ticks, TX_TIMER** next_timer);

// Tick count (100 per second), 32 bits, wrapping.
ULONG tx_time_get(VOID);
VOID tx_time_set(ULONG new_time);

// Interrupt posture of the calling context: returns the previous posture. Masking is nestable
// through save and restore; an interrupt raised while masked stays pending until unmasked.
UINT tx_interrupt_control(UINT new_posture);

#define TX_INTERRUPT_SAVE_AREA UINT interrupt_save;
#define TX_DISABLE interrupt_save = tx_interrupt_control(TX_INT_DISABLE);
#define TX_RESTORE tx_interrupt_control(interrupt_save);
