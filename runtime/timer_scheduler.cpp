#include "runtime/timer_scheduler.h"

#include <new>

#include "platform/kernel/kernel.h"
#include "runtime/impl_list.h"

timer_scheduler* g_TimerScheduler = nullptr;

namespace {

struct TimerNode : impl::node {
    explicit TimerNode(timer_event* event) : event(event) { owned = 1; }
    timer_event* event;
    // Removed (or a fired one-shot) while an expiry pass walks the list: dropped at its end.
    bool dropped = false;
};

struct SchedulerState {
    SchedulerState() { timers.Init(); }
    ~SchedulerState() { DropAll(); }

    void DropAll() {
        while (auto* node = static_cast<TimerNode*>(timers.Head())) {
            delete node->event;
            timers.Remove(node);
        }
    }

    impl::list timers;
    uint32_t idCounter = 0;
    TX_MUTEX mutex{};
    TX_TIMER timer{};
    bool mutexCreated = false;
    bool timerCreated = false;
    bool inPass = false;
    kernel::Kernel* owner = nullptr;
    timer_scheduler_tx_rtos* instance = nullptr;
};

SchedulerState& State() {
    static SchedulerState state;
    return state;
}

// Thread-side operations exclude each other through the mutex; every list edit also runs with
// interrupts masked so that the expiry pass (timer context) never sees a change half done.
class Guard {
public:
    Guard() {
        SchedulerState& s = State();
        if (tx_thread_identify() != nullptr) {
            ok_ = s.mutexCreated && tx_mutex_get(&s.mutex, TX_WAIT_FOREVER) == TX_SUCCESS;
            held_ = ok_;
        } else {
            ok_ = true;
        }
        if (ok_) {
            saved_ = tx_interrupt_control(TX_INT_DISABLE);
        }
    }
    ~Guard() {
        if (ok_) {
            tx_interrupt_control(saved_);
        }
        if (held_) {
            tx_mutex_put(&State().mutex);
        }
    }
    bool ok() const { return ok_; }

private:
    bool ok_ = false;
    bool held_ = false;
    UINT saved_ = TX_INT_ENABLE;
};

uint32_t Remaining(uint32_t due, uint32_t now) {
    const auto delta = static_cast<int32_t>(due - now);
    return delta > 0 ? static_cast<uint32_t>(delta) : 0;
}

TimerNode* Find(uint32_t id) {
    for (impl::node* n = State().timers.Head(); n != nullptr; n = n->next) {
        auto* node = static_cast<TimerNode*>(n);
        if (!node->dropped && node->event->id == id) {
            return node;
        }
    }
    return nullptr;
}

void Rearm(uint32_t now) {
    SchedulerState& s = State();
    if (!s.timerCreated) {
        return;
    }
    uint32_t nearest = 0x7FFFFFFF;
    bool any = false;
    for (impl::node* n = s.timers.Head(); n != nullptr; n = n->next) {
        auto* node = static_cast<TimerNode*>(n);
        if (node->dropped) {
            continue;
        }
        any = true;
        const uint32_t remaining = Remaining(node->event->due, now);
        if (remaining < nearest) {
            nearest = remaining;
        }
    }
    tx_timer_deactivate(&s.timer);
    if (!any) {
        return;
    }
    // A timer already due fires at the next tick: the RTOS timer cannot be armed with 0.
    if (nearest == 0) {
        nearest = 1;
    }
    tx_timer_change(&s.timer, nearest, nearest);
    tx_timer_activate(&s.timer);
}

void Purge() {
    SchedulerState& s = State();
    impl::node* n = s.timers.Head();
    while (n != nullptr) {
        auto* node = static_cast<TimerNode*>(n);
        n = n->next;
        if (node->dropped) {
            delete node->event;
            s.timers.Remove(node);
        }
    }
}

}  // namespace

timer_scheduler_tx_rtos* timer_scheduler_tx_rtos::Instance() {
    SchedulerState& s = State();
    kernel::Kernel* current = kernel::Kernel::Current();
    if (s.instance != nullptr && s.owner == current) {
        return s.instance;
    }
    // First call in this kernel instance: control blocks of an earlier instance are void.
    s.DropAll();
    s.idCounter = 0;
    s.inPass = false;
    s.owner = current;
    s.mutexCreated = tx_mutex_create(&s.mutex, "Scheduler", TX_INHERIT) == TX_SUCCESS;
    s.timerCreated = tx_timer_create(&s.timer, "Scheduler", &timer_scheduler_tx_rtos::OnTick, 0,
                                     100, 100, TX_NO_ACTIVATE) == TX_SUCCESS;
    static timer_scheduler_tx_rtos scheduler;
    s.instance = &scheduler;
    g_TimerScheduler = &scheduler;
    return &scheduler;
}

void timer_scheduler_tx_rtos::Reset() {
    SchedulerState& s = State();
    s.DropAll();
    s.idCounter = 0;
    s.inPass = false;
    s.mutexCreated = s.timerCreated = false;
    s.owner = nullptr;
    s.instance = nullptr;
    g_TimerScheduler = nullptr;
}

uint32_t timer_scheduler_tx_rtos::AddTimer(timer_event* timer, uint32_t interval, bool periodic) {
    if (timer == nullptr) {
        return 0;
    }
    Guard guard;
    if (!guard.ok()) {
        return 0;
    }
    auto* node = new (std::nothrow) TimerNode(timer);
    if (node == nullptr) {
        return 0;
    }
    SchedulerState& s = State();
    if (++s.idCounter == 0) {
        ++s.idCounter;
    }
    const uint32_t now = tx_time_get();
    timer->id = s.idCounter;
    timer->due = now + interval;
    timer->interval = interval;
    timer->periodic = periodic ? 1 : 0;
    s.timers.PushBack(node);
    if (!s.inPass) {
        Rearm(now);
    }
    return timer->id;
}

bool timer_scheduler_tx_rtos::RemoveTimer(uint32_t id) {
    Guard guard;
    if (!guard.ok()) {
        return false;
    }
    TimerNode* node = Find(id);
    if (node == nullptr) {
        return false;
    }
    SchedulerState& s = State();
    if (s.inPass) {
        // Called from a fire operation: the pass still walks this node, drop it at the end.
        node->dropped = true;
        return true;
    }
    delete node->event;
    s.timers.Remove(node);
    Rearm(tx_time_get());
    return true;
}

bool timer_scheduler_tx_rtos::RestartTimer(uint32_t id) {
    Guard guard;
    if (!guard.ok()) {
        return false;
    }
    TimerNode* node = Find(id);
    if (node == nullptr || node->event->periodic == 0) {
        return false;
    }
    const uint32_t now = tx_time_get();
    node->event->due = now + node->event->interval;
    if (!State().inPass) {
        Rearm(now);
    }
    return true;
}

bool timer_scheduler_tx_rtos::TriggerTimer(uint32_t id, uint32_t argument) {
    return TriggerTimerWith(id, argument, nullptr, nullptr);
}

bool timer_scheduler_tx_rtos::TriggerTimerWith(uint32_t id, uint32_t argument, Prepare prepare,
                                               void* context) {
    Guard guard;
    if (!guard.ok()) {
        return false;
    }
    TimerNode* node = Find(id);
    if (node == nullptr) {
        return false;
    }
    if (prepare != nullptr && !prepare(*node->event, context)) {
        return false;
    }
    const uint32_t now = tx_time_get();
    node->event->restart(now, argument);
    if (!State().inPass) {
        Rearm(now);
    }
    return true;
}

void timer_scheduler_tx_rtos::OnTick(ULONG_PTR /*input*/) {
    SchedulerState& s = State();
    if (s.inPass) {
        return;
    }
    const UINT saved = tx_interrupt_control(TX_INT_DISABLE);
    s.inPass = true;
    const uint32_t now = tx_time_get();
    for (impl::node* n = s.timers.Head(); n != nullptr; n = n->next) {
        auto* node = static_cast<TimerNode*>(n);
        if (node->dropped || Remaining(node->event->due, now) != 0) {
            continue;
        }
        node->event->fire();
        if (node->dropped) {
            continue;  // removed by its own fire operation
        }
        if (node->event->periodic != 0) {
            node->event->due = now + node->event->interval;
        } else {
            node->dropped = true;  // a fired one-shot is the scheduler's to delete
        }
    }
    Purge();
    s.inPass = false;
    // Fire operations may have taken time: the next due times count from the tick read above,
    // the RTOS timer from now.
    Rearm(tx_time_get());
    tx_interrupt_control(saved);
}

uint32_t timer_scheduler_tx_rtos::TimerCount() const {
    Guard guard;
    return State().timers.Count();
}

bool timer_scheduler_tx_rtos::RtosTimerActive(ULONG* remaining, ULONG* reschedule) const {
    SchedulerState& s = State();
    if (!s.timerCreated) {
        return false;
    }
    UINT active = 0;
    ULONG left = 0;
    ULONG again = 0;
    if (tx_timer_info_get(&s.timer, nullptr, &active, &left, &again, nullptr) != TX_SUCCESS) {
        return false;
    }
    if (remaining != nullptr) {
        *remaining = left;
    }
    if (reschedule != nullptr) {
        *reschedule = again;
    }
    return active != 0;
}
