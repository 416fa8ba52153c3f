// Thread services.

#include <algorithm>
#include <exception>

#include "platform/kernel/core.h"

using kernel::Context;
using kernel::Core;
using kernel::Find;
using kernel::ServiceCall;
using kernel::ThreadRec;
using kernel::WaitKind;

namespace {

bool StacksOverlap(const ThreadRec& other, const unsigned char* start, ULONG size) {
    auto* other_start = static_cast<const unsigned char*>(other.cb->tx_thread_stack_start);
    const ULONG other_size = other.cb->tx_thread_stack_size;
    return start < other_start + other_size && other_start < start + size;
}

}  // namespace

UINT tx_thread_create(TX_THREAD* thread_ptr, const CHAR* name_ptr, TX_THREAD_ENTRY entry_function,
                      ULONG_PTR entry_input, VOID* stack_start, ULONG stack_size, UINT priority,
                      UINT preempt_threshold, ULONG time_slice, UINT auto_start) {
    ServiceCall call;
    if (!call || call.in_interrupt()) {
        return TX_CALLER_ERROR;
    }
    Core& core = call.core();
    if (thread_ptr == nullptr || Find(core.threads_, thread_ptr) != nullptr) {
        return TX_THREAD_ERROR;
    }
    if (entry_function == nullptr || stack_start == nullptr) {
        return TX_PTR_ERROR;
    }
    if (stack_size < TX_MINIMUM_STACK) {
        return TX_SIZE_ERROR;
    }
    if (priority >= TX_MAX_PRIORITIES) {
        return TX_PRIORITY_ERROR;
    }
    if (preempt_threshold > priority) {
        return TX_THRESH_ERROR;
    }
    if (auto_start > TX_AUTO_START) {
        return TX_START_ERROR;
    }
    for (ThreadRec* other : core.thread_order_) {
        if (StacksOverlap(*other, static_cast<unsigned char*>(stack_start), stack_size)) {
            return TX_PTR_ERROR;
        }
    }

    auto record = std::make_unique<ThreadRec>();
    ThreadRec* thread = record.get();
    thread->cb = thread_ptr;
    thread->core = &core;
    thread->entry = entry_function;
    thread->input = entry_input;
    thread->priority = priority;
    thread->user_priority = priority;
    thread->threshold = preempt_threshold;
    thread->time_slice = time_slice;
    thread->slice_left = time_slice;
    thread->suspended = auto_start != TX_AUTO_START;

    *thread_ptr = TX_THREAD{};
    thread_ptr->tx_thread_name = name_ptr;
    thread_ptr->tx_thread_stack_start = stack_start;
    thread_ptr->tx_thread_stack_size = stack_size;
    thread_ptr->tx_thread_internal = thread;

    if (!thread->stack.Allocate(core.options_.host_stack_size)) {
        return TX_NO_MEMORY;
    }
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setstack(&attributes, thread->stack.base(), thread->stack.size());
    const int created = pthread_create(&thread->host, &attributes, &Core::Trampoline, thread);
    pthread_attr_destroy(&attributes);
    if (created != 0) {
        return TX_NO_MEMORY;
    }
    thread->host_created = true;
    core.threads_[thread_ptr] = std::move(record);
    core.thread_order_.push_back(thread);
    if (!thread->suspended) {
        core.MakeReady(thread);
        call.AfterReady();
    } else {
        core.SyncThread(thread);
    }
    return TX_SUCCESS;
}

UINT tx_thread_delete(TX_THREAD* thread_ptr) {
    ServiceCall call(false, true);
    if (!call || call.in_interrupt()) {
        return TX_CALLER_ERROR;
    }
    Core& core = call.core();
    ThreadRec* thread = Find(core.threads_, thread_ptr);
    if (thread == nullptr) {
        return TX_THREAD_ERROR;
    }
    if (!thread->done) {
        return TX_DELETE_ERROR;
    }
    core.EndHostThread(call.lock(), thread);
    core.JoinHostThread(thread);
    auto& order = core.thread_order_;
    order.erase(std::remove(order.begin(), order.end(), thread), order.end());
    thread_ptr->tx_thread_internal = nullptr;
    thread->stack.Release();
    auto it = core.threads_.find(thread_ptr);
    core.retired_.push_back(std::move(it->second));
    core.threads_.erase(it);
    return TX_SUCCESS;
}

UINT tx_thread_suspend(TX_THREAD* thread_ptr) {
    ServiceCall call(true);
    if (!call) {
        return TX_CALLER_ERROR;
    }
    Core& core = call.core();
    ThreadRec* thread = Find(core.threads_, thread_ptr);
    if (thread == nullptr) {
        return TX_THREAD_ERROR;
    }
    if (thread->done) {
        return TX_SUSPEND_ERROR;
    }
    if (thread->suspended) {
        return TX_SUCCESS;
    }
    const bool was_ready = core.IsReady(thread);
    thread->suspended = true;
    if (was_ready) {
        core.RemoveReady(thread);
    }
    core.SyncThread(thread);
    if (thread == call.self()) {
        core.PreemptPoint(call.lock(), thread, true);  // blocks until resumed
    }
    return TX_SUCCESS;
}

UINT tx_thread_resume(TX_THREAD* thread_ptr) {
    ServiceCall call;
    if (!call) {
        return TX_CALLER_ERROR;
    }
    Core& core = call.core();
    ThreadRec* thread = Find(core.threads_, thread_ptr);
    if (thread == nullptr) {
        return TX_THREAD_ERROR;
    }
    if (thread->done || !thread->suspended) {
        return TX_RESUME_ERROR;
    }
    thread->suspended = false;
    if (thread->wait != WaitKind::kNone) {
        core.SyncThread(thread);
        return TX_SUSPEND_LIFTED;  // still waiting; the suspension after the wait is lifted
    }
    core.MakeReady(thread);
    call.AfterReady();
    return TX_SUCCESS;
}

UINT tx_thread_terminate(TX_THREAD* thread_ptr) {
    ServiceCall call;
    if (!call) {
        return TX_CALLER_ERROR;
    }
    Core& core = call.core();
    ThreadRec* thread = Find(core.threads_, thread_ptr);
    if (thread == nullptr) {
        return TX_THREAD_ERROR;
    }
    if (thread->done) {
        return TX_SUCCESS;
    }
    core.DetachFromWait(thread);
    if (thread->timeout_armed) {
        core.timeline_.erase(thread->timeout_key);
        thread->timeout_armed = false;
    }
    const bool was_ready = core.IsReady(thread);
    if (was_ready) {
        core.RemoveReady(thread);
    }
    thread->wait = WaitKind::kNone;
    thread->suspended = false;
    thread->done = true;
    thread->done_state = TX_TERMINATED;
    thread->terminated = true;
    core.ReleaseOwnedMutexes(thread);
    core.SyncThread(thread);
    if (thread == call.self()) {
        thread->kill = true;
        throw kernel::ThreadExit{};
    }
    if (kernel::TlsSelf() == thread || kernel::TlsIdle() == thread) {
        // An interrupt or timer running on the thread's own host stack (or served by it while
        // it waits on the idle input source): the thread ends at the kernel call it was
        // interrupted in, or when its wait ends.
        thread->kill = true;
    } else {
        core.EndHostThread(call.lock(), thread);  // unwinds it now
    }
    call.AfterReady();
    return TX_SUCCESS;
}

UINT tx_thread_sleep(ULONG timer_ticks) {
    ServiceCall call(timer_ticks != 0);
    if (!call || !call.in_thread()) {
        return TX_CALLER_ERROR;
    }
    if (timer_ticks == 0) {
        return TX_SUCCESS;
    }
    return call.core().Block(call.lock(), call.self(), WaitKind::kSleep, nullptr, timer_ticks);
}

VOID tx_thread_relinquish(VOID) {
    ServiceCall call(true);
    if (!call || !call.in_thread()) {
        return;
    }
    Core& core = call.core();
    ThreadRec* self = call.self();
    core.RemoveReady(self);
    core.MakeReady(self);  // tail of its priority
    core.PreemptPoint(call.lock(), self, true);
}

TX_THREAD* tx_thread_identify(VOID) {
    // A query, not a service: no preemption point, and never refused or unwound (destructors
    // ask it).
    Core* core = Core::Get();
    if (core == nullptr) {
        return nullptr;
    }
    std::lock_guard<std::mutex> lock(core->m_);
    ThreadRec* running = core->RunningThread();
    return running != nullptr ? running->cb : nullptr;
}

UINT tx_thread_wait_abort(TX_THREAD* thread_ptr) {
    ServiceCall call;
    if (!call) {
        return TX_CALLER_ERROR;
    }
    Core& core = call.core();
    ThreadRec* thread = Find(core.threads_, thread_ptr);
    if (thread == nullptr) {
        return TX_THREAD_ERROR;
    }
    if (thread->done || thread->wait == WaitKind::kNone) {
        return TX_WAIT_ABORT_ERROR;
    }
    core.DetachFromWait(thread);
    core.Wake(thread, TX_WAIT_ABORTED);
    call.AfterReady();
    return TX_SUCCESS;
}

UINT tx_thread_priority_change(TX_THREAD* thread_ptr, UINT new_priority, UINT* old_priority) {
    ServiceCall call;
    if (!call || call.in_interrupt()) {
        return TX_CALLER_ERROR;
    }
    Core& core = call.core();
    ThreadRec* thread = Find(core.threads_, thread_ptr);
    if (thread == nullptr) {
        return TX_THREAD_ERROR;
    }
    if (new_priority >= TX_MAX_PRIORITIES) {
        return TX_PRIORITY_ERROR;
    }
    if (old_priority == nullptr) {
        return TX_PTR_ERROR;
    }
    *old_priority = thread->user_priority;
    thread->user_priority = new_priority;
    thread->threshold = new_priority;
    core.UpdatePriority(thread);
    core.SyncThread(thread);
    call.AfterReady();
    return TX_SUCCESS;
}

UINT tx_thread_preemption_change(TX_THREAD* thread_ptr, UINT new_threshold, UINT* old_threshold) {
    ServiceCall call;
    if (!call || call.in_interrupt()) {
        return TX_CALLER_ERROR;
    }
    Core& core = call.core();
    ThreadRec* thread = Find(core.threads_, thread_ptr);
    if (thread == nullptr) {
        return TX_THREAD_ERROR;
    }
    if (new_threshold > thread->user_priority) {
        return TX_THRESH_ERROR;
    }
    if (old_threshold == nullptr) {
        return TX_PTR_ERROR;
    }
    *old_threshold = thread->threshold;
    thread->threshold = new_threshold;
    core.SyncThread(thread);
    call.AfterReady();
    return TX_SUCCESS;
}

UINT tx_thread_time_slice_change(TX_THREAD* thread_ptr, ULONG new_time_slice,
                                 ULONG* old_time_slice) {
    ServiceCall call;
    if (!call || call.in_interrupt()) {
        return TX_CALLER_ERROR;
    }
    Core& core = call.core();
    ThreadRec* thread = Find(core.threads_, thread_ptr);
    if (thread == nullptr) {
        return TX_THREAD_ERROR;
    }
    if (old_time_slice == nullptr) {
        return TX_PTR_ERROR;
    }
    *old_time_slice = thread->time_slice;
    thread->time_slice = new_time_slice;
    thread->slice_left = new_time_slice;
    core.SyncThread(thread);
    return TX_SUCCESS;
}

UINT tx_thread_info_get(TX_THREAD* thread_ptr, const CHAR** name, UINT* state, ULONG* run_count,
                        UINT* priority, UINT* preemption_threshold, ULONG* time_slice,
                        TX_THREAD** next_thread, TX_THREAD** next_suspended_thread) {
    ServiceCall call;
    if (!call) {
        return TX_CALLER_ERROR;
    }
    Core& core = call.core();
    ThreadRec* thread = Find(core.threads_, thread_ptr);
    if (thread == nullptr) {
        return TX_THREAD_ERROR;
    }
    if (name != nullptr) {
        *name = thread->cb->tx_thread_name;
    }
    if (state != nullptr) {
        *state = core.StateOf(thread);
    }
    if (run_count != nullptr) {
        *run_count = thread->run_count;
    }
    if (priority != nullptr) {
        *priority = thread->priority;
    }
    if (preemption_threshold != nullptr) {
        *preemption_threshold = thread->threshold;
    }
    if (time_slice != nullptr) {
        *time_slice = thread->time_slice;
    }
    if (next_thread != nullptr) {
        auto& order = core.thread_order_;
        auto it = std::find(order.begin(), order.end(), thread);
        *next_thread =
            (it != order.end() && std::next(it) != order.end()) ? (*std::next(it))->cb : nullptr;
    }
    if (next_suspended_thread != nullptr) {
        *next_suspended_thread = nullptr;
    }
    return TX_SUCCESS;
}
