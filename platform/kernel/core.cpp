#include "platform/kernel/core.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <utility>

#include "platform/kernel/host_memory.h"

namespace kernel {

namespace {
std::atomic<Core*> g_core{nullptr};
std::atomic<IdleWait*> g_idle{nullptr};
thread_local ThreadRec* tls_self = nullptr;
thread_local ThreadRec* tls_idle = nullptr;  // the thread whose host thread is in IdleWait::Wait
// Input may wait this long for a running thread's next kernel call before the source's helper
// takes it over.
constexpr auto kUnattendedLimit = std::chrono::milliseconds(1);
thread_local char tls_marker = 0;

const void* Marker() {
    return tls_self != nullptr ? static_cast<const void*>(tls_self)
                               : static_cast<const void*>(&tls_marker);
}

// Restores the dispatch state if a callback unwinds (it must not, but teardown stays sane).
struct ContextGuard {
    Context& slot;
    Context saved;
    ~ContextGuard() { slot = saved; }
};
}  // namespace

ThreadRec*& TlsSelf() {
    return tls_self;
}

ThreadRec* TlsIdle() {
    return tls_idle;
}

NoUnwindScope::NoUnwindScope() {
    if (tls_self != nullptr) {
        ++tls_self->no_unwind;
    }
}

NoUnwindScope::~NoUnwindScope() {
    if (tls_self != nullptr) {
        --tls_self->no_unwind;
    }
}

Core* Core::Get() {
    return g_core.load(std::memory_order_acquire);
}

Core::Core(const Options& options) : options_(options) {
    SetUpHostHeap();
    if (options_.host_stack_size == 0) {
        options_.host_stack_size = DefaultHostStackSize();
    }
    if (options_.host_stack_size < (256u << 10)) {
        options_.host_stack_size = 256u << 10;
    }
    if (!(options_.time_scale > 0)) {
        options_.time_scale = 1.0;
    }
    tick_length_ =
        std::chrono::nanoseconds(static_cast<std::int64_t>(10'000'000.0 / options_.time_scale));
    if (tick_length_.count() < 1000) {
        tick_length_ = std::chrono::nanoseconds(1000);
    }
    Core* expected = nullptr;
    if (!g_core.compare_exchange_strong(expected, this)) {
        std::fprintf(stderr, "kernel: a kernel instance exists already\n");
        std::abort();
    }
}

Core::~Core() {
    Shutdown();
    g_core.store(nullptr, std::memory_order_release);
}

// ---------------------------------------------------------------------------------------------
// Baton

Context Core::CallerContext() const {
    return holder_ == Marker() ? context_ : Context::kOutside;
}

ThreadRec* Core::RunningThread() const {
    return CallerContext() == Context::kThread ? current_ : nullptr;
}

Context Core::CurrentContextUnlocked() {
    std::lock_guard<std::mutex> guard(m_);
    return CallerContext();
}

ThreadRec* Core::HighestReady() const {
    for (const auto& list : ready_) {
        if (!list.empty()) {
            return list.front();
        }
    }
    return nullptr;
}

bool Core::IsReady(const ThreadRec* thread) const {
    return !thread->done && !thread->suspended && thread->wait == WaitKind::kNone;
}

void Core::MakeReady(ThreadRec* thread) {
    ready_[thread->priority].push_back(thread);
    SyncThread(thread);
}

void Core::RemoveReady(ThreadRec* thread) {
    auto& list = ready_[thread->priority];
    auto it = std::find(list.begin(), list.end(), thread);
    if (it != list.end()) {
        list.erase(it);
    }
}

UINT Core::StateOf(const ThreadRec* thread) const {
    if (thread->done) {
        return thread->done_state;
    }
    switch (thread->wait) {
        case WaitKind::kSleep:
            return TX_SLEEP;
        case WaitKind::kSemaphore:
            return TX_SEMAPHORE_SUSP;
        case WaitKind::kEventFlags:
            return TX_EVENT_FLAG;
        case WaitKind::kMutex:
            return TX_MUTEX_SUSP;
        case WaitKind::kBytePool:
            return TX_BYTE_MEMORY;
        case WaitKind::kNone:
            break;
    }
    return thread->suspended ? TX_SUSPENDED : TX_READY;
}

void Core::SyncThread(ThreadRec* thread) const {
    TX_THREAD* cb = thread->cb;
    cb->tx_thread_priority = thread->priority;
    cb->tx_thread_user_priority = thread->user_priority;
    cb->tx_thread_preempt_threshold = thread->threshold;
    cb->tx_thread_time_slice = thread->time_slice;
    cb->tx_thread_state = StateOf(thread);
    cb->tx_thread_run_count = thread->run_count;
}

void Core::HandTo(ThreadRec* thread) {
    current_ = thread;
    holder_ = thread;
    context_ = Context::kThread;
    ++thread->run_count;
    thread->cb->tx_thread_run_count = thread->run_count;
    wake_pending_ = thread;
}

// Wakes the new baton holder with the lock released, so that it does not wake only to wait for
// the lock.
void Core::FlushWake(std::unique_lock<std::mutex>& lock) {
    ThreadRec* thread = wake_pending_;
    const bool driver = driver_wake_pending_;
    if (thread == nullptr && !driver) {
        return;
    }
    wake_pending_ = nullptr;
    driver_wake_pending_ = false;
    IdleWait* interrupt = InterruptFor(thread);
    lock.unlock();
    if (thread != nullptr) {
        NotifyThread(thread, interrupt);
    }
    if (driver) {
        host_cv_.notify_all();
    }
    lock.lock();
}

IdleWait* Core::InterruptFor(const ThreadRec* thread) const {
    return thread != nullptr && thread == idle_waiter_ && tls_idle != thread ? g_idle.load()
                                                                             : nullptr;
}

void Core::NotifyThread(ThreadRec* thread, IdleWait* interrupt) {
    thread->cv.notify_one();
    if (interrupt != nullptr) {
        interrupt->Interrupt();
    }
}

void Core::FreeBaton(bool notify) {
    current_ = nullptr;
    holder_ = nullptr;
    context_ = Context::kOutside;
    if (notify) {
        host_cv_.notify_all();
    } else if (DriverWanted()) {
        driver_wake_pending_ = true;
    }
}

// Whether a thread that lets go of the baton has to wake the driver. The real-time driver idles
// until its deadline; it is woken early only for work: pending interrupts or posted functions,
// a ready thread, or a deadline now due or earlier than the one it sleeps for.
bool Core::DriverWanted() const {
    if (options_.clock != ClockMode::kRealTime || !started_ || shutting_down_ || stop_clock_ ||
        driver_awaits_baton_ || WorkPending()) {
        return true;
    }
    if (timeline_.empty()) {
        return false;
    }
    const std::uint64_t first = timeline_.begin()->first.first;
    return first < driver_until_ || WallTicks() >= first;
}

// A thread being ended unwinds by an exception. A terminated thread unwinds at its next kernel
// call. At teardown it unwinds only where it waits (or after many refused calls), not where it
// merely yields: a destructor that puts a mutex must not throw. Calls that give something back
// (the calls of destructors) never unwind without waiting; the next other call does.
bool Core::MayUnwind(ThreadRec* self, bool blocking, bool releasing) {
    if (std::uncaught_exceptions() != 0 || self->no_unwind > 0) {
        return false;  // already unwinding, or inside a destructor: calls are refused
    }
    if (holder_ == self && context_ != Context::kThread) {
        return false;  // an interrupt or timer running on the thread's own stack
    }
    if (blocking) {
        return true;
    }
    const bool due = self->terminated || ++self->refusals > kRefusalsBeforeUnwind;
    return due && !releasing;
}

void Core::WaitForBaton(std::unique_lock<std::mutex>& lock, ThreadRec* self, bool may_throw) {
    while (holder_ != self && !self->kill) {
        switch (WaitIdle(lock, self)) {
            case IdleResult::kServed:
                continue;
            case IdleResult::kRefused:
                if (holder_ == self || self->kill) {
                    continue;  // handed the baton while the lock was let go
                }
                break;
            case IdleResult::kNone:
                break;
        }
        self->cv.wait(lock);
    }
    if (self->kill && holder_ != self && may_throw && MayUnwind(self, true)) {
        throw ThreadExit{};
    }
}

void Core::SwitchAway(std::unique_lock<std::mutex>& lock, ThreadRec* self, bool may_throw) {
    ThreadRec* next = HighestReady();
    if (next == self) {
        return;
    }
    if (next == nullptr && stepping_ && !shutting_down_) {
        next = StepInPlace(lock, self);
        if (self->kill) {
            // Ended by a function run here: it unwinds holding the baton, alone, as at the
            // kernel call of an interrupted thread (here, or else at its next call).
            current_ = self;
            holder_ = self;
            context_ = Context::kThread;
            if (may_throw && MayUnwind(self, true)) {
                throw ThreadExit{};
            }
            return;
        }
        if (next == self) {
            HandTo(self);
            wake_pending_ = nullptr;
            return;
        }
    }
    if (next != nullptr && !shutting_down_) {
        HandTo(next);
    } else {
        FreeBaton(false);
    }
    FlushWake(lock);
    WaitForBaton(lock, self, may_throw);
}

// Stepped clock: the last thread to block moves the clock on itself, up to the driver's target,
// instead of handing the baton back to the driver for every deadline (two host thread switches
// each). Same order of events as the driver's loop: pending work, then the next deadline, then
// the first ready thread. Timer and interrupt functions run on this thread's host stack, as
// they do at a thread's kernel call on the real-time clock.
ThreadRec* Core::StepInPlace(std::unique_lock<std::mutex>& lock, ThreadRec* self) {
    current_ = nullptr;
    holder_ = self;
    context_ = Context::kOutside;
    for (;;) {
        DispatchPending(lock);
        if (shutting_down_) {
            return nullptr;
        }
        ThreadRec* next = HighestReady();
        if (next != nullptr || self->kill) {
            return next;
        }
        if (timeline_.empty() || timeline_.begin()->first.first > step_target_) {
            return nullptr;
        }
        ticks_ = std::max(ticks_, timeline_.begin()->first.first);
        ProcessDue(lock);
    }
}

// Real time, kernel idle: instead of sleeping until a helper's input readies a thread and wakes
// it, the last thread to block waits on the input source itself, serving the input on its own
// host thread. When the input readies this very thread it runs on without a host switch.
Core::IdleResult Core::WaitIdle(std::unique_lock<std::mutex>& lock, ThreadRec* self) {
    IdleWait* source = g_idle.load();
    if (source == nullptr || options_.clock != ClockMode::kRealTime || !started_ ||
        shutting_down_ || stop_clock_ || holder_ != nullptr || idle_waiter_ != nullptr ||
        WorkPending()) {
        return IdleResult::kNone;
    }
    idle_waiter_ = self;
    unattended_ = false;
    tls_self = nullptr;  // serves input as a helper does
    tls_idle = self;
    lock.unlock();
    const bool waited = source->Wait();
    lock.lock();
    tls_self = self;
    tls_idle = nullptr;
    idle_waiter_ = nullptr;
    if (!waited) {
        source->Unattended();  // nobody may poll it now: its helper does
        return IdleResult::kRefused;
    }
    // Nobody waits on the source until this thread, or the next one to block while the kernel
    // is idle, waits again; until then a running thread's kernel calls or the idle driver hand
    // it to the source's helper.
    unattended_ = true;
    unattended_since_ = std::chrono::steady_clock::now();
    return IdleResult::kServed;
}

void Core::CheckUnattended() {
    if (unattended_ && std::chrono::steady_clock::now() - unattended_since_ >= kUnattendedLimit) {
        HandOffInput();
    }
}

void Core::HandOffInput() {
    if (unattended_) {
        unattended_ = false;
        if (IdleWait* source = g_idle.load()) {
            source->Unattended();
        }
    }
}

void Core::PreemptPoint(std::unique_lock<std::mutex>& lock, ThreadRec* self, bool may_throw) {
    if (self->kill) {
        // Being ended: the thread yields nothing more; it unwinds at a waiting call.
        if (may_throw && MayUnwind(self, true)) {
            throw ThreadExit{};
        }
        return;
    }
    if (!IsReady(self)) {
        SwitchAway(lock, self, may_throw);
        return;
    }
    auto& own = ready_[self->priority];
    if (self->slice_expired) {
        self->slice_expired = false;
        self->slice_left = self->time_slice;
        if (own.size() > 1 && self->threshold >= self->user_priority) {
            RemoveReady(self);
            own.push_back(self);
        }
    }
    ThreadRec* best = HighestReady();
    if (best == self || best == nullptr) {
        return;
    }
    const UINT threshold = std::min(self->threshold, self->priority);
    if (best->priority < threshold || best->priority == self->priority) {
        SwitchAway(lock, self, may_throw);
    }
}

bool Core::Enter(std::unique_lock<std::mutex>& lock, Caller& caller, bool blocking,
                 bool releasing) {
    ThreadRec* me = tls_self;
    if (me != nullptr && me->core != this) {
        me = nullptr;
    }
    caller.context = CallerContext();
    caller.self = nullptr;
    CheckUnattended();
    if (me != nullptr && !me->kill && shutting_down_ && caller.context == Context::kThread) {
        me->kill = true;
    }
    if (me == nullptr || !me->kill) {
        if (caller.context != Context::kThread) {
            return true;
        }
        caller.self = current_;
        if (caller.self->posture == TX_INT_ENABLE && !dispatching_) {
            DispatchPending(lock);
        }
        PreemptPoint(lock, caller.self, blocking);
        if (me == nullptr || !me->kill) {
            return true;
        }
    }
    // A thread being ended: calls are refused until it reaches a point where it may unwind.
    if (MayUnwind(me, blocking, releasing)) {
        throw ThreadExit{};
    }
    return false;
}

void Core::AfterReady(std::unique_lock<std::mutex>& lock, const Caller& caller) {
    if (caller.context == Context::kThread) {
        PreemptPoint(lock, caller.self);
    } else if (caller.context == Context::kOutside) {
        NotifyDriverIfFree();
    }
}

UINT Core::Block(std::unique_lock<std::mutex>& lock, ThreadRec* self, WaitKind kind, void* object,
                 ULONG wait) {
    self->wait = kind;
    self->wait_object = object;
    self->wait_status = TX_SUCCESS;
    RemoveReady(self);
    if (wait != TX_WAIT_FOREVER) {
        self->timeout_key = TimeKey{ticks_ + wait, sequence_++};
        self->timeout_armed = true;
        timeline_[self->timeout_key] = Due{self, nullptr};
    }
    self->slice_left = self->time_slice;
    self->slice_expired = false;
    SyncThread(self);
    SwitchAway(lock, self, true);
    return self->wait_status;
}

void Core::Wake(ThreadRec* thread, UINT status) {
    if (thread->timeout_armed) {
        timeline_.erase(thread->timeout_key);
        thread->timeout_armed = false;
    }
    thread->wait = WaitKind::kNone;
    thread->wait_object = nullptr;
    thread->wait_status = status;
    if (IsReady(thread)) {
        MakeReady(thread);
    } else {
        SyncThread(thread);
    }
}

void Core::DetachFromWait(ThreadRec* thread) {
    if (thread->wait == WaitKind::kNone || thread->wait == WaitKind::kSleep) {
        return;
    }
    auto* waitable = static_cast<Waitable*>(nullptr);
    switch (thread->wait) {
        case WaitKind::kSemaphore:
            waitable = static_cast<SemaphoreRec*>(thread->wait_object);
            break;
        case WaitKind::kEventFlags:
            waitable = static_cast<EventFlagsRec*>(thread->wait_object);
            break;
        case WaitKind::kMutex:
            waitable = static_cast<MutexRec*>(thread->wait_object);
            break;
        case WaitKind::kBytePool:
            waitable = static_cast<PoolRec*>(thread->wait_object);
            break;
        default:
            return;
    }
    auto& list = waitable->waiters;
    list.erase(std::remove(list.begin(), list.end(), thread), list.end());
    if (thread->wait == WaitKind::kMutex) {
        auto* mutex = static_cast<MutexRec*>(thread->wait_object);
        if (mutex->inherit && mutex->owner != nullptr) {
            UpdatePriority(mutex->owner);  // the waiter no longer lends its priority
        }
    }
}

void Core::UpdatePriority(ThreadRec* thread) {
    UINT best = thread->user_priority;
    for (MutexRec* mutex : thread->owned) {
        if (!mutex->inherit) {
            continue;
        }
        for (ThreadRec* waiter : mutex->waiters) {
            best = std::min(best, waiter->priority);
        }
    }
    if (best == thread->priority) {
        return;
    }
    const bool ready = IsReady(thread);
    if (ready) {
        RemoveReady(thread);
    }
    thread->priority = best;
    if (ready) {
        if (thread == current_) {
            ready_[best].push_front(thread);
        } else {
            ready_[best].push_back(thread);
        }
    }
    SyncThread(thread);
    if (thread->wait == WaitKind::kMutex) {
        auto* mutex = static_cast<MutexRec*>(thread->wait_object);
        if (mutex->inherit && mutex->owner != nullptr) {
            UpdatePriority(mutex->owner);
        }
    }
}

void Core::TransferMutex(MutexRec* mutex) {
    ThreadRec* old_owner = mutex->owner;
    if (old_owner != nullptr) {
        auto& owned = old_owner->owned;
        owned.erase(std::remove(owned.begin(), owned.end(), mutex), owned.end());
    }
    mutex->owner = nullptr;
    mutex->count = 0;
    if (!mutex->waiters.empty()) {
        auto pick = mutex->waiters.begin();
        if (mutex->inherit) {
            for (auto it = mutex->waiters.begin(); it != mutex->waiters.end(); ++it) {
                if ((*it)->priority < (*pick)->priority) {
                    pick = it;
                }
            }
        }
        ThreadRec* next = *pick;
        mutex->waiters.erase(pick);
        mutex->owner = next;
        mutex->count = 1;
        next->owned.push_back(mutex);
        Wake(next, TX_SUCCESS);
        UpdatePriority(next);
    }
    mutex->cb->tx_mutex_owner = mutex->owner != nullptr ? mutex->owner->cb : nullptr;
    mutex->cb->tx_mutex_ownership_count = mutex->count;
    if (old_owner != nullptr) {
        UpdatePriority(old_owner);
    }
}

void Core::ReleaseOwnedMutexes(ThreadRec* thread) {
    while (!thread->owned.empty()) {
        TransferMutex(thread->owned.back());
    }
}

// ---------------------------------------------------------------------------------------------
// Host threads

void* Core::Trampoline(void* argument) {
    auto* self = static_cast<ThreadRec*>(argument);
    Core* core = self->core;
    tls_self = self;
    {
        char probe = 0;
        auto top = reinterpret_cast<std::uintptr_t>(self->stack.base()) + self->stack.size();
        self->stack_baseline = top - reinterpret_cast<std::uintptr_t>(&probe);
    }
    std::unique_lock<std::mutex> lock(core->m_);
    while (core->holder_ != self && !self->kill) {
        self->cv.wait(lock);
    }
    if (!self->kill) {
        lock.unlock();
        try {
            self->entry(self->input);
        } catch (const ThreadExit&) {
        }
        lock.lock();
    }
    core->OnThreadExit(lock, self);
    return nullptr;
}

void Core::OnThreadExit(std::unique_lock<std::mutex>& lock, ThreadRec* self) {
    if (!self->done) {
        self->done = true;
        self->done_state = self->kill ? TX_TERMINATED : TX_COMPLETED;
        DetachFromWait(self);
        if (self->timeout_armed) {
            timeline_.erase(self->timeout_key);
            self->timeout_armed = false;
        }
        self->wait = WaitKind::kNone;
        RemoveReady(self);
        ReleaseOwnedMutexes(self);
    }
    RemoveReady(self);
    SyncThread(self);
    if (holder_ == self) {
        ThreadRec* next = shutting_down_ ? nullptr : HighestReady();
        if (next != nullptr) {
            HandTo(next);
            FlushWake(lock);
        } else {
            FreeBaton();
            HandOffInput();
        }
    }
    // Last use of the lock by this host thread: it may be joined from now on.
    self->exited = true;
    exit_cv_.notify_all();
}

void Core::EndHostThread(std::unique_lock<std::mutex>& lock, ThreadRec* thread) {
    if (thread->exited || !thread->host_created) {
        thread->exited = true;
        return;
    }
    thread->kill = true;
    NotifyThread(thread, InterruptFor(thread));
    // The baton stays with the caller; the victim alone runs while it unwinds.
    exit_cv_.wait(lock, [&] { return thread->exited; });
}

void Core::JoinHostThread(ThreadRec* thread) {
    if (thread->host_created && !thread->joined) {
        pthread_join(thread->host, nullptr);
        thread->joined = true;
    }
}

// ---------------------------------------------------------------------------------------------
// Time line

void Core::ArmTimer(TimerRec* timer, ULONG ticks) {
    timer->key = TimeKey{ticks_ + ticks, sequence_++};
    timer->armed = true;
    timeline_[timer->key] = Due{nullptr, timer};
}

void Core::DisarmTimer(TimerRec* timer) {
    if (timer->armed) {
        timer->remaining = TimerRemaining(timer);
        timeline_.erase(timer->key);
        timer->armed = false;
    }
}

ULONG Core::TimerRemaining(const TimerRec* timer) const {
    if (!timer->armed) {
        return timer->remaining;
    }
    return timer->key.first > ticks_ ? static_cast<ULONG>(timer->key.first - ticks_) : 0;
}

void Core::ProcessDue(std::unique_lock<std::mutex>& lock) {
    while (!timeline_.empty() && timeline_.begin()->first.first <= ticks_) {
        const Due due = timeline_.begin()->second;
        timeline_.erase(timeline_.begin());
        if (due.thread != nullptr) {
            ThreadRec* thread = due.thread;
            thread->timeout_armed = false;
            UINT status = TX_SUCCESS;
            switch (thread->wait) {
                case WaitKind::kSemaphore:
                    status = TX_NO_INSTANCE;
                    break;
                case WaitKind::kEventFlags:
                    status = TX_NO_EVENTS;
                    break;
                case WaitKind::kMutex:
                    status = TX_NOT_AVAILABLE;
                    break;
                case WaitKind::kBytePool:
                    status = TX_NO_MEMORY;
                    break;
                default:
                    break;
            }
            DetachFromWait(thread);
            Wake(thread, status);
            continue;
        }
        TimerRec* timer = due.timer;
        timer->armed = false;
        if (timer->reschedule != 0) {
            ArmTimer(timer, timer->reschedule);
        } else {
            timer->remaining = timer->initial;
        }
        const TX_TIMER_EXPIRY expiry = timer->expiry;
        const ULONG_PTR input = timer->input;
        const UINT posture = system_posture_;
        ContextGuard guard{context_, context_};
        context_ = Context::kTimer;
        system_posture_ = TX_INT_ENABLE;
        lock.unlock();
        expiry(input);
        lock.lock();
        system_posture_ = posture;
    }
}

std::uint64_t Core::WallTicks() const {
    if (options_.clock != ClockMode::kRealTime || !started_) {
        return ticks_;
    }
    const auto elapsed = std::chrono::steady_clock::now() - epoch_;
    return static_cast<std::uint64_t>(elapsed / tick_length_);
}

std::uint64_t Core::NowTicks(Context context) const {
    return context == Context::kOutside ? std::max(ticks_, WallTicks()) : ticks_;
}

bool Core::CatchUp(std::unique_lock<std::mutex>& lock) {
    const std::uint64_t target = WallTicks();
    if (target <= ticks_) {
        return false;
    }
    std::uint64_t step_to = target;
    if (!timeline_.empty()) {
        step_to = std::min(step_to, std::max(timeline_.begin()->first.first, ticks_ + 1));
    }
    const std::uint64_t passed = step_to - ticks_;
    if (current_ != nullptr && current_->time_slice != 0) {
        if (passed >= current_->slice_left) {
            current_->slice_expired = true;
            current_->slice_left = current_->time_slice;
        } else {
            current_->slice_left -= static_cast<ULONG>(passed);
        }
    }
    ticks_ = step_to;
    ProcessDue(lock);
    return true;
}

void Core::DispatchPending(std::unique_lock<std::mutex>& lock) {
    if (dispatching_) {
        return;
    }
    dispatching_ = true;
    ContextGuard guard{context_, context_};
    const UINT posture = system_posture_;
    for (;;) {
        if (CatchUp(lock)) {
            continue;
        }
        unsigned line = 0;
        while (line < kInterruptLines && !(lines_[line].pending && lines_[line].isr != nullptr)) {
            ++line;
        }
        if (line < kInterruptLines) {
            lines_[line].pending = false;
            const Isr isr = lines_[line].isr;
            const std::uintptr_t argument = lines_[line].argument;
            context_ = Context::kIsr;
            system_posture_ = TX_INT_DISABLE;
            lock.unlock();
            isr(argument);
            lock.lock();
            continue;
        }
        if (!posted_.empty()) {
            std::function<void()> fn = std::move(posted_.front());
            posted_.pop_front();
            context_ = Context::kIsr;
            system_posture_ = TX_INT_DISABLE;
            lock.unlock();
            fn();
            lock.lock();
            continue;
        }
        break;
    }
    system_posture_ = posture;
    dispatching_ = false;
}

bool Core::WorkPending() const {
    if (!posted_.empty() || HighestReady() != nullptr) {
        return true;
    }
    for (const Line& line : lines_) {
        if (line.pending && line.isr != nullptr) {
            return true;
        }
    }
    return false;
}

// ---------------------------------------------------------------------------------------------
// Drivers: the host threads that run the idle loop (Start, Advance, the real-time clock).

void Core::AcquireAsDriver(std::unique_lock<std::mutex>& lock) {
    host_cv_.wait(lock, [&] { return holder_ == nullptr || stop_clock_; });
    if (holder_ == nullptr) {
        holder_ = Marker();
        current_ = nullptr;
        context_ = Context::kOutside;
    }
}

void Core::ReleaseDriver() {
    if (holder_ == Marker()) {
        holder_ = nullptr;
        current_ = nullptr;
        context_ = Context::kOutside;
        host_cv_.notify_all();
        HandOffInput();
    }
}

void Core::Settle(std::unique_lock<std::mutex>& lock) {
    const void* me = Marker();
    for (;;) {
        DispatchPending(lock);
        if (shutting_down_) {
            return;
        }
        ThreadRec* next = HighestReady();
        if (next == nullptr) {
            return;
        }
        HandTo(next);
        FlushWake(lock);
        host_cv_.wait(lock, [&] { return holder_ == nullptr; });
        holder_ = me;
        current_ = nullptr;
        context_ = Context::kOutside;
    }
}

void Core::Start(const std::function<void(void*)>& app_define) {
    std::unique_lock<std::mutex> lock(m_);
    if (started_ || holder_ == Marker()) {
        return;
    }
    AcquireAsDriver(lock);
    if (options_.free_memory_size != 0) {
        free_memory_.reset(new unsigned char[options_.free_memory_size]);
    }
    context_ = Context::kStartup;
    system_posture_ = TX_INT_DISABLE;
    lock.unlock();
    if (app_define) {
        app_define(free_memory_.get());
    }
    lock.lock();
    context_ = Context::kOutside;
    started_ = true;
    if (options_.clock == ClockMode::kStepped) {
        Settle(lock);
        ReleaseDriver();
        return;
    }
    epoch_ = std::chrono::steady_clock::now() - static_cast<std::int64_t>(ticks_) * tick_length_;
    ReleaseDriver();
    clock_thread_ = std::thread([this] { ClockLoop(); });
}

void Core::ClockLoop() {
    std::unique_lock<std::mutex> lock(m_);
    while (!stop_clock_) {
        driver_awaits_baton_ = true;
        AcquireAsDriver(lock);
        driver_awaits_baton_ = false;
        if (stop_clock_) {
            break;
        }
        // Runs what is due and hands the baton to the first ready thread without waiting for
        // the threads to block: the last one to block wakes the driver only when there is work
        // for it (DriverWanted), which saves a host thread wake-up per burst of work.
        DispatchPending(lock);
        ThreadRec* next = shutting_down_ ? nullptr : HighestReady();
        if (next != nullptr) {
            HandTo(next);
            FlushWake(lock);
        } else {
            ReleaseDriver();
        }
        if (stop_clock_) {
            break;
        }
        // Idle: sleep until the next deadline or until work arrives with the baton free.
        const std::uint64_t first = timeline_.empty() ? UINT64_MAX : timeline_.begin()->first.first;
        const std::uint64_t until = first == UINT64_MAX ? first : std::max(first, ticks_ + 1);
        driver_until_ = first;
        auto ready = [&] {
            const bool earlier = !timeline_.empty() && timeline_.begin()->first.first < first;
            return stop_clock_ || earlier ||
                   (holder_ == nullptr && (WorkPending() || WallTicks() >= until));
        };
        if (until == UINT64_MAX) {
            host_cv_.wait(lock, ready);
        } else {
            host_cv_.wait_until(lock, epoch_ + static_cast<std::int64_t>(until) * tick_length_,
                                ready);
        }
        driver_until_ = 0;
    }
    ReleaseDriver();
}

void Core::Advance(ULONG ticks) {
    std::unique_lock<std::mutex> lock(m_);
    if (options_.clock != ClockMode::kStepped || !started_ || holder_ == Marker()) {
        return;  // not stepped, not started, or called from inside the kernel
    }
    AcquireAsDriver(lock);
    const std::uint64_t target = ticks_ + ticks;
    BeginStepping(target);
    Settle(lock);
    while (!shutting_down_ && !timeline_.empty() && timeline_.begin()->first.first <= target) {
        ticks_ = std::max(ticks_, timeline_.begin()->first.first);
        ProcessDue(lock);
        Settle(lock);
    }
    ticks_ = std::max(ticks_, target);
    stepping_ = false;
    ReleaseDriver();
}

ULONG Core::RunUntilIdle(ULONG limit) {
    std::unique_lock<std::mutex> lock(m_);
    if (options_.clock != ClockMode::kStepped || !started_ || holder_ == Marker()) {
        return 0;
    }
    AcquireAsDriver(lock);
    const std::uint64_t start = ticks_;
    const std::uint64_t target = ticks_ + limit;
    BeginStepping(target);
    Settle(lock);
    while (!shutting_down_ && !timeline_.empty() && timeline_.begin()->first.first <= target) {
        ticks_ = std::max(ticks_, timeline_.begin()->first.first);
        ProcessDue(lock);
        Settle(lock);
    }
    stepping_ = false;
    ReleaseDriver();
    return static_cast<ULONG>(ticks_ - start);
}

void Core::WaitForStop() {
    std::unique_lock<std::mutex> lock(m_);
    stop_cv_.wait(lock, [&] { return stop_requested_; });
}

void Core::Stop() {
    std::lock_guard<std::mutex> guard(m_);
    stop_requested_ = true;
    stop_cv_.notify_all();
}

bool Core::StopRequested() {
    std::lock_guard<std::mutex> guard(m_);
    return stop_requested_;
}

// ---------------------------------------------------------------------------------------------
// Interrupts

bool Core::RegisterInterrupt(unsigned line, Isr isr, std::uintptr_t argument) {
    if (line >= kInterruptLines || isr == nullptr) {
        return false;
    }
    std::lock_guard<std::mutex> guard(m_);
    lines_[line].isr = isr;
    lines_[line].argument = argument;
    if (lines_[line].pending) {
        NotifyDriver();
    }
    return true;
}

void Core::UnregisterInterrupt(unsigned line) {
    if (line >= kInterruptLines) {
        return;
    }
    std::lock_guard<std::mutex> guard(m_);
    lines_[line].isr = nullptr;
    lines_[line].argument = 0;
}

void Core::RaiseInterrupt(unsigned line) {
    if (line >= kInterruptLines) {
        return;
    }
    std::unique_lock<std::mutex> lock(m_);
    lines_[line].pending = true;
    Caller caller;
    if (!Enter(lock, caller, false)) {
        return;
    }
    // Enter has served it already when the calling thread runs unmasked.
    if (caller.context == Context::kOutside) {
        NotifyDriverIfFree();
    }
}

bool Core::InterruptPending(unsigned line) {
    if (line >= kInterruptLines) {
        return false;
    }
    std::lock_guard<std::mutex> guard(m_);
    return lines_[line].pending;
}

void Core::Post(std::function<void()> fn) {
    std::unique_lock<std::mutex> lock(m_);
    posted_.push_back(std::move(fn));
    Caller caller;
    if (!Enter(lock, caller, false)) {
        return;
    }
    if (caller.context == Context::kOutside) {
        NotifyDriverIfFree();
    }
}

// A host helper lends its thread to one step of the real-time idle loop when the baton is free:
// the idle driver is not woken, and the first thread readied gets the baton from the helper.
void Core::PostAndServe(std::function<void()> fn) {
    std::unique_lock<std::mutex> lock(m_);
    const bool serve = options_.clock == ClockMode::kRealTime && started_ && !shutting_down_ &&
                       !stop_clock_ && holder_ == nullptr && tls_self == nullptr;
    if (!serve) {
        lock.unlock();
        Post(std::move(fn));
        return;
    }
    posted_.push_back(std::move(fn));
    holder_ = Marker();
    current_ = nullptr;
    context_ = Context::kOutside;
    DispatchPending(lock);
    ThreadRec* next = shutting_down_ ? nullptr : HighestReady();
    if (next != nullptr) {
        HandTo(next);
    } else {
        FreeBaton(false);
        HandOffInput();
    }
    // As FlushWake, but the lock is not taken again: the woken thread does not find it held.
    ThreadRec* wake = std::exchange(wake_pending_, nullptr);
    const bool driver = std::exchange(driver_wake_pending_, false);
    IdleWait* interrupt = InterruptFor(wake);
    lock.unlock();
    if (wake != nullptr) {
        NotifyThread(wake, interrupt);
    }
    if (driver) {
        host_cv_.notify_all();
    }
}

// ---------------------------------------------------------------------------------------------
// Teardown

void Core::Shutdown() {
    std::unique_lock<std::mutex> lock(m_);
    shutting_down_ = true;
    stop_clock_ = true;
    stop_requested_ = true;
    stop_cv_.notify_all();
    host_cv_.notify_all();
    if (IdleWait* source = InterruptFor(idle_waiter_)) {
        source->Interrupt();
    }
    if (clock_thread_.joinable()) {
        lock.unlock();
        clock_thread_.join();
        lock.lock();
    }
    // A thread still running ends at its next kernel call.
    host_cv_.wait(lock, [&] { return holder_ == nullptr || holder_ == Marker(); });
    holder_ = Marker();
    current_ = nullptr;
    context_ = Context::kOutside;
    for (ThreadRec* thread : thread_order_) {
        EndHostThread(lock, thread);
    }
    for (ThreadRec* thread : thread_order_) {
        JoinHostThread(thread);
    }
    holder_ = nullptr;
    posted_.clear();
    timeline_.clear();
    thread_order_.clear();
    threads_.clear();
    retired_.clear();
    semaphores_.clear();
    groups_.clear();
    mutexes_.clear();
    pools_.clear();
    timers_.clear();
}

void SetIdleWait(IdleWait* source) {
    g_idle.store(source);
}

}  // namespace kernel
