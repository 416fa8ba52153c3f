// Application timer services.

#include "platform/kernel/core.h"

using kernel::Core;
using kernel::Find;
using kernel::ServiceCall;
using kernel::TimerRec;

namespace {

void SyncTimer(const TimerRec* timer) {
    timer->cb->tx_timer_initial_ticks = timer->initial;
    timer->cb->tx_timer_reschedule_ticks = timer->reschedule;
}

}  // namespace

UINT tx_timer_create(TX_TIMER* timer_ptr, const CHAR* name_ptr, TX_TIMER_EXPIRY expiration_function,
                     ULONG_PTR expiration_input, ULONG initial_ticks, ULONG reschedule_ticks,
                     UINT auto_activate) {
    ServiceCall call;
    if (!call || call.in_interrupt()) {
        return TX_CALLER_ERROR;
    }
    Core& core = call.core();
    if (timer_ptr == nullptr || Find(core.timers_, timer_ptr) != nullptr) {
        return TX_TIMER_ERROR;
    }
    if (expiration_function == nullptr) {
        return TX_PTR_ERROR;
    }
    if (initial_ticks == 0) {
        return TX_TICK_ERROR;
    }
    if (auto_activate > TX_AUTO_ACTIVATE) {
        return TX_ACTIVATE_ERROR;
    }
    auto record = std::make_unique<TimerRec>();
    TimerRec* timer = record.get();
    timer->cb = timer_ptr;
    timer->expiry = expiration_function;
    timer->input = expiration_input;
    timer->initial = initial_ticks;
    timer->reschedule = reschedule_ticks;
    timer->remaining = initial_ticks;
    *timer_ptr = TX_TIMER{};
    timer_ptr->tx_timer_name = name_ptr;
    timer_ptr->tx_timer_internal = timer;
    SyncTimer(timer);
    core.timers_[timer_ptr] = std::move(record);
    if (auto_activate == TX_AUTO_ACTIVATE) {
        core.ArmTimer(timer, initial_ticks);
        if (call.context() == kernel::Context::kOutside) {
            core.NotifyDriver();
        }
    }
    return TX_SUCCESS;
}

UINT tx_timer_delete(TX_TIMER* timer_ptr) {
    ServiceCall call(false, true);
    if (!call || call.in_interrupt()) {
        return TX_CALLER_ERROR;
    }
    Core& core = call.core();
    TimerRec* timer = Find(core.timers_, timer_ptr);
    if (timer == nullptr) {
        return TX_TIMER_ERROR;
    }
    core.DisarmTimer(timer);
    timer_ptr->tx_timer_internal = nullptr;
    core.timers_.erase(timer_ptr);
    return TX_SUCCESS;
}

UINT tx_timer_activate(TX_TIMER* timer_ptr) {
    ServiceCall call;
    if (!call) {
        return TX_CALLER_ERROR;
    }
    Core& core = call.core();
    TimerRec* timer = Find(core.timers_, timer_ptr);
    if (timer == nullptr) {
        return TX_TIMER_ERROR;
    }
    if (timer->armed) {
        return TX_ACTIVATE_ERROR;
    }
    core.ArmTimer(timer, timer->remaining != 0 ? timer->remaining : timer->initial);
    if (call.context() == kernel::Context::kOutside) {
        core.NotifyDriver();
    }
    return TX_SUCCESS;
}

UINT tx_timer_deactivate(TX_TIMER* timer_ptr) {
    ServiceCall call;
    if (!call) {
        return TX_CALLER_ERROR;
    }
    Core& core = call.core();
    TimerRec* timer = Find(core.timers_, timer_ptr);
    if (timer == nullptr) {
        return TX_TIMER_ERROR;
    }
    core.DisarmTimer(timer);
    return TX_SUCCESS;
}

UINT tx_timer_change(TX_TIMER* timer_ptr, ULONG initial_ticks, ULONG reschedule_ticks) {
    ServiceCall call;
    if (!call) {
        return TX_CALLER_ERROR;
    }
    Core& core = call.core();
    TimerRec* timer = Find(core.timers_, timer_ptr);
    if (timer == nullptr) {
        return TX_TIMER_ERROR;
    }
    if (initial_ticks == 0) {
        return TX_TICK_ERROR;
    }
    // An active timer keeps its current expiry; the new values apply from then on.
    timer->initial = initial_ticks;
    timer->reschedule = reschedule_ticks;
    if (!timer->armed) {
        timer->remaining = initial_ticks;
    }
    SyncTimer(timer);
    return TX_SUCCESS;
}

UINT tx_timer_info_get(TX_TIMER* timer_ptr, const CHAR** name, UINT* active, ULONG* remaining_ticks,
                       ULONG* reschedule_ticks, TX_TIMER** next_timer) {
    ServiceCall call;
    if (!call) {
        return TX_CALLER_ERROR;
    }
    Core& core = call.core();
    TimerRec* timer = Find(core.timers_, timer_ptr);
    if (timer == nullptr) {
        return TX_TIMER_ERROR;
    }
    if (name != nullptr) {
        *name = timer_ptr->tx_timer_name;
    }
    if (active != nullptr) {
        *active = timer->armed ? 1 : 0;
    }
    if (remaining_ticks != nullptr) {
        *remaining_ticks = core.TimerRemaining(timer);
    }
    if (reschedule_ticks != nullptr) {
        *reschedule_ticks = timer->reschedule;
    }
    if (next_timer != nullptr) {
        *next_timer = nullptr;
    }
    return TX_SUCCESS;
}
