// Event flags services.

#include "platform/kernel/core.h"

using kernel::Core;
using kernel::EventFlagsRec;
using kernel::Find;
using kernel::ServiceCall;
using kernel::ThreadRec;
using kernel::WaitKind;

namespace {

bool Satisfied(ULONG current, ULONG requested, UINT option) {
    if (option == TX_AND || option == TX_AND_CLEAR) {
        return (current & requested) == requested;
    }
    return (current & requested) != 0;
}

bool Clears(UINT option) {
    return option == TX_AND_CLEAR || option == TX_OR_CLEAR;
}

}  // namespace

UINT tx_event_flags_create(TX_EVENT_FLAGS_GROUP* group_ptr, const CHAR* name_ptr) {
    ServiceCall call;
    if (!call || call.in_interrupt()) {
        return TX_CALLER_ERROR;
    }
    Core& core = call.core();
    if (group_ptr == nullptr || Find(core.groups_, group_ptr) != nullptr) {
        return TX_GROUP_ERROR;
    }
    auto record = std::make_unique<EventFlagsRec>();
    record->cb = group_ptr;
    *group_ptr = TX_EVENT_FLAGS_GROUP{};
    group_ptr->tx_event_flags_group_name = name_ptr;
    group_ptr->tx_event_flags_group_internal = record.get();
    core.groups_[group_ptr] = std::move(record);
    return TX_SUCCESS;
}

UINT tx_event_flags_delete(TX_EVENT_FLAGS_GROUP* group_ptr) {
    ServiceCall call(false, true);
    if (!call || call.in_interrupt()) {
        return TX_CALLER_ERROR;
    }
    Core& core = call.core();
    EventFlagsRec* group = Find(core.groups_, group_ptr);
    if (group == nullptr) {
        return TX_GROUP_ERROR;
    }
    while (!group->waiters.empty()) {
        ThreadRec* waiter = group->waiters.front();
        group->waiters.pop_front();
        core.Wake(waiter, TX_DELETED);
    }
    group_ptr->tx_event_flags_group_internal = nullptr;
    core.groups_.erase(group_ptr);
    call.AfterReady();
    return TX_SUCCESS;
}

UINT tx_event_flags_get(TX_EVENT_FLAGS_GROUP* group_ptr, ULONG requested_flags, UINT get_option,
                        ULONG* actual_flags_ptr, ULONG wait_option) {
    ServiceCall call(wait_option != TX_NO_WAIT);
    if (!call) {
        return TX_CALLER_ERROR;
    }
    Core& core = call.core();
    EventFlagsRec* group = Find(core.groups_, group_ptr);
    if (group == nullptr) {
        return TX_GROUP_ERROR;
    }
    if (actual_flags_ptr == nullptr) {
        return TX_PTR_ERROR;
    }
    if (get_option > TX_AND_CLEAR) {
        return TX_OPTION_ERROR;
    }
    if (wait_option != TX_NO_WAIT && !call.in_thread()) {
        return TX_WAIT_ERROR;
    }
    if (Satisfied(group->flags, requested_flags, get_option)) {
        *actual_flags_ptr = group->flags;
        if (Clears(get_option)) {
            group->flags &= ~requested_flags;
            group_ptr->tx_event_flags_group_current = group->flags;
        }
        return TX_SUCCESS;
    }
    if (wait_option == TX_NO_WAIT) {
        return TX_NO_EVENTS;
    }
    ThreadRec* self = call.self();
    self->requested = requested_flags;
    self->option = get_option;
    self->actual = actual_flags_ptr;
    group->waiters.push_back(self);
    return core.Block(call.lock(), self, WaitKind::kEventFlags, group, wait_option);
}

UINT tx_event_flags_set(TX_EVENT_FLAGS_GROUP* group_ptr, ULONG flags_to_set, UINT set_option) {
    ServiceCall call(false, true);
    if (!call) {
        return TX_CALLER_ERROR;
    }
    Core& core = call.core();
    EventFlagsRec* group = Find(core.groups_, group_ptr);
    if (group == nullptr) {
        return TX_GROUP_ERROR;
    }
    if (set_option == TX_AND) {
        group->flags &= flags_to_set;
    } else if (set_option == TX_OR) {
        group->flags |= flags_to_set;
    } else {
        return TX_OPTION_ERROR;
    }
    bool readied = false;
    for (auto it = group->waiters.begin(); it != group->waiters.end();) {
        ThreadRec* waiter = *it;
        if (!Satisfied(group->flags, waiter->requested, waiter->option)) {
            ++it;
            continue;
        }
        *waiter->actual = group->flags;
        if (Clears(waiter->option)) {
            group->flags &= ~waiter->requested;
        }
        it = group->waiters.erase(it);
        core.Wake(waiter, TX_SUCCESS);
        readied = true;
    }
    group_ptr->tx_event_flags_group_current = group->flags;
    if (readied) {
        call.AfterReady();
    }
    return TX_SUCCESS;
}

UINT tx_event_flags_info_get(TX_EVENT_FLAGS_GROUP* group_ptr, const CHAR** name,
                             ULONG* current_flags, TX_THREAD** first_suspended,
                             ULONG* suspended_count, TX_EVENT_FLAGS_GROUP** next_group) {
    ServiceCall call;
    if (!call) {
        return TX_CALLER_ERROR;
    }
    EventFlagsRec* group = Find(call.core().groups_, group_ptr);
    if (group == nullptr) {
        return TX_GROUP_ERROR;
    }
    if (name != nullptr) {
        *name = group_ptr->tx_event_flags_group_name;
    }
    if (current_flags != nullptr) {
        *current_flags = group->flags;
    }
    if (first_suspended != nullptr) {
        *first_suspended = group->waiters.empty() ? nullptr : group->waiters.front()->cb;
    }
    if (suspended_count != nullptr) {
        *suspended_count = static_cast<ULONG>(group->waiters.size());
    }
    if (next_group != nullptr) {
        *next_group = nullptr;
    }
    return TX_SUCCESS;
}
