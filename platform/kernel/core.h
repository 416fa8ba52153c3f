#pragma once
// Inside of the kernel stand-in: records of the kernel objects, the baton, the clock and the
// dispatch of timers and interrupts. Only platform/kernel includes this header.

#include <pthread.h>

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/kernel/byte_pool.h"
#include "platform/kernel/host_stack.h"
#include "platform/kernel/kernel.h"
#include "platform/kernel/tx_api.h"

namespace kernel {

struct ThreadRec;
struct TimerRec;

// Position on the time line: absolute tick (64 bits, never wraps) and a sequence number that
// keeps entries of one tick in arming order.
using TimeKey = std::pair<std::uint64_t, std::uint64_t>;

enum class WaitKind { kNone, kSleep, kSemaphore, kEventFlags, kMutex, kBytePool };

struct Waitable {
    std::deque<ThreadRec*> waiters;
};

struct SemaphoreRec : Waitable {
    TX_SEMAPHORE* cb = nullptr;
    ULONG count = 0;
};

struct EventFlagsRec : Waitable {
    TX_EVENT_FLAGS_GROUP* cb = nullptr;
    ULONG flags = 0;
};

struct MutexRec : Waitable {
    TX_MUTEX* cb = nullptr;
    bool inherit = false;
    ThreadRec* owner = nullptr;
    ULONG count = 0;
};

struct PoolRec : Waitable {
    TX_BYTE_POOL* cb = nullptr;
    FirstFitArea area;
};

struct TimerRec {
    TX_TIMER* cb = nullptr;
    TX_TIMER_EXPIRY expiry = nullptr;
    ULONG_PTR input = 0;
    ULONG initial = 0;
    ULONG reschedule = 0;
    ULONG remaining = 0;  // ticks left when deactivated
    bool armed = false;
    TimeKey key{};
};

struct ThreadRec {
    TX_THREAD* cb = nullptr;
    TX_THREAD_ENTRY entry = nullptr;
    ULONG_PTR input = 0;
    UINT priority = 0;       // effective (with inheritance)
    UINT user_priority = 0;  // as created or changed
    UINT threshold = 0;
    ULONG time_slice = 0;
    ULONG slice_left = 0;
    bool slice_expired = false;
    ULONG run_count = 0;

    bool done = false;  // completed or terminated
    UINT done_state = TX_COMPLETED;
    bool suspended = false;  // explicit suspension (may overlap a wait: delayed suspension)
    WaitKind wait = WaitKind::kNone;
    void* wait_object = nullptr;
    UINT wait_status = TX_SUCCESS;
    bool timeout_armed = false;
    TimeKey timeout_key{};
    // Event flags and byte pool wait parameters.
    ULONG requested = 0;
    UINT option = 0;
    ULONG* actual = nullptr;
    ULONG byte_size = 0;
    void** byte_out = nullptr;

    UINT posture = TX_INT_ENABLE;
    std::vector<MutexRec*> owned;

    std::condition_variable cv;
    bool kill = false;        // end the host thread at its next chance
    unsigned refusals = 0;    // calls refused since kill
    unsigned no_unwind = 0;   // depth of NoUnwindScope: calls refuse instead of unwinding
    bool terminated = false;  // ended by tx_thread_terminate (not by teardown)
    bool exited = false;      // host thread has left the firmware code for good
    bool joined = false;
    HostStack stack;
    std::size_t stack_baseline = 0;  // host stack in use before the entry function ran
    pthread_t host{};
    bool host_created = false;
    class Core* core = nullptr;
};

// What a service sees of its caller.
struct Caller {
    Context context = Context::kOutside;
    ThreadRec* self = nullptr;  // set in thread context
};

class Core {
public:
    explicit Core(const Options& options);
    ~Core();

    // Current instance (null when no kernel exists).
    static Core* Get();

    // --- host control (kernel.h) ---
    void Start(const std::function<void(void*)>& app_define);
    void Advance(ULONG ticks);
    ULONG RunUntilIdle(ULONG limit);
    void WaitForStop();
    void Stop();
    bool StopRequested();
    Context CallerContext() const;     // caller holds m_
    ThreadRec* RunningThread() const;  // the thread whose code calls, else null; caller holds m_
    Context CurrentContextUnlocked();
    bool RegisterInterrupt(unsigned line, Isr isr, std::uintptr_t argument);
    void UnregisterInterrupt(unsigned line);
    void RaiseInterrupt(unsigned line);
    bool InterruptPending(unsigned line);
    void Post(std::function<void()> fn);
    void PostAndServe(std::function<void()> fn);

    // --- service plumbing (callers hold m_) ---
    // Classifies the caller, runs pending interrupts and timers at a thread's kernel call and
    // yields to a thread that should preempt it. False: refuse the call (a thread being ended).
    // blocking: the call may wait, so a thread being ended may unwind there.
    // releasing: a call that gives something back (put, release, posture restore), the kind
    // destructors make; a thread being ended never unwinds there unless it waits.
    bool Enter(std::unique_lock<std::mutex>& lock, Caller& caller, bool blocking,
               bool releasing = false);
    // After a service readied threads: preemption check in thread context, driver wake-up
    // outside.
    void AfterReady(std::unique_lock<std::mutex>& lock, const Caller& caller);
    // Blocks the calling thread; returns its wait status.
    UINT Block(std::unique_lock<std::mutex>& lock, ThreadRec* self, WaitKind kind, void* object,
               ULONG wait);
    // Ends a wait with status (timeout, satisfied, aborted, deleted).
    void Wake(ThreadRec* thread, UINT status);
    // Removes a waiting thread from its object's wait list (before Wake on timeout or abort).
    void DetachFromWait(ThreadRec* thread);
    void MakeReady(ThreadRec* thread);
    void RemoveReady(ThreadRec* thread);
    bool IsReady(const ThreadRec* thread) const;
    UINT StateOf(const ThreadRec* thread) const;
    void SyncThread(ThreadRec* thread) const;
    // Recomputes a thread's effective priority from its own and its inheritance.
    void UpdatePriority(ThreadRec* thread);
    // Hands a mutex from its owner to the next waiter, or frees it.
    void TransferMutex(MutexRec* mutex);
    void ReleaseOwnedMutexes(ThreadRec* thread);
    // Ends another thread's host thread and waits until it has unwound.
    void EndHostThread(std::unique_lock<std::mutex>& lock, ThreadRec* thread);
    void JoinHostThread(ThreadRec* thread);
    // Yields the baton while the caller is no longer ready or another thread should run.
    // may_throw: a thread ended meanwhile unwinds here (waiting calls only).
    void PreemptPoint(std::unique_lock<std::mutex>& lock, ThreadRec* self, bool may_throw = false);
    void ArmTimer(TimerRec* timer, ULONG ticks);
    void DisarmTimer(TimerRec* timer);
    ULONG TimerRemaining(const TimerRec* timer) const;
    void DispatchPending(std::unique_lock<std::mutex>& lock);
    void NotifyDriver() { host_cv_.notify_all(); }
    // For work from outside: a baton holder serves it at its next kernel call or wakes the
    // driver when it lets go (DriverWanted), so only a free baton needs the driver now.
    void NotifyDriverIfFree() {
        if (holder_ == nullptr) {
            NotifyDriver();
        }
    }
    // Tick count as the caller sees it: outside the kernel in real time, the wall clock's
    // (ticks not yet processed included).
    std::uint64_t NowTicks(Context context) const;

    static void* Trampoline(void* argument);

    // --- state (guarded by m_) ---
    std::mutex m_;
    Options options_;
    std::unordered_map<const void*, std::unique_ptr<ThreadRec>> threads_;
    std::vector<ThreadRec*> thread_order_;  // creation order
    // Records of deleted threads, kept until the kernel ends: a wake-up sent just after the lock
    // was released may still reach one.
    std::vector<std::unique_ptr<ThreadRec>> retired_;
    std::unordered_map<const void*, std::unique_ptr<SemaphoreRec>> semaphores_;
    std::unordered_map<const void*, std::unique_ptr<EventFlagsRec>> groups_;
    std::unordered_map<const void*, std::unique_ptr<MutexRec>> mutexes_;
    std::unordered_map<const void*, std::unique_ptr<PoolRec>> pools_;
    std::unordered_map<const void*, std::unique_ptr<TimerRec>> timers_;

    std::uint64_t ticks_ = 0;  // processed ticks
    ULONG time_offset_ = 0;    // tx_time_set
    std::uint64_t sequence_ = 0;
    struct Due {
        ThreadRec* thread;
        TimerRec* timer;
    };
    std::map<TimeKey, Due> timeline_;

    // Fail the k-th byte allocation.
    unsigned fail_countdown_ = 0;
    TX_BYTE_POOL* fail_pool_ = nullptr;

private:
    void HandTo(ThreadRec* thread);
    void FlushWake(std::unique_lock<std::mutex>& lock);
    ThreadRec* wake_pending_ = nullptr;  // baton handed, wake-up not yet sent
    bool driver_wake_pending_ = false;
    // Real-time driver: waiting for the baton (any release wakes it), or idle until the first
    // deadline it knows, this tick (a release wakes it only for work: see DriverWanted); 0 while
    // it runs.
    bool driver_awaits_baton_ = false;
    std::uint64_t driver_until_ = 0;
    bool DriverWanted() const;
    // Stepped clock, while Advance or RunUntilIdle drives: the tick it runs to. A thread that
    // blocks with no other ready steps the clock itself up to there (StepInPlace).
    bool stepping_ = false;
    std::uint64_t step_target_ = 0;
    void BeginStepping(std::uint64_t target) {
        stepping_ = true;
        step_target_ = target;
    }
    ThreadRec* StepInPlace(std::unique_lock<std::mutex>& lock, ThreadRec* self);
    // Real time: the last thread to block waits on the idle input source itself (IdleWait).
    enum class IdleResult { kNone, kServed, kRefused };
    IdleResult WaitIdle(std::unique_lock<std::mutex>& lock, ThreadRec* self);
    // Wakes a thread handed the baton (lock released); interrupt: it waits on the input source.
    static void NotifyThread(ThreadRec* thread, IdleWait* interrupt);
    IdleWait* InterruptFor(const ThreadRec* thread) const;
    // Hands the input source back to its helper once no thread has waited on it for a while.
    void CheckUnattended();
    void HandOffInput();
    ThreadRec* idle_waiter_ = nullptr;  // in IdleWait::Wait
    bool unattended_ = false;           // nobody waits on the source since unattended_since_
    std::chrono::steady_clock::time_point unattended_since_;
    // Without notify the drivers are woken by the next FlushWake.
    void FreeBaton(bool notify = true);
    void WaitForBaton(std::unique_lock<std::mutex>& lock, ThreadRec* self, bool may_throw);
    void SwitchAway(std::unique_lock<std::mutex>& lock, ThreadRec* self, bool may_throw);
    bool MayUnwind(ThreadRec* self, bool blocking, bool releasing = false);
    static constexpr unsigned kRefusalsBeforeUnwind = 1000;
    ThreadRec* HighestReady() const;
    void AcquireAsDriver(std::unique_lock<std::mutex>& lock);
    void ReleaseDriver();
    void Settle(std::unique_lock<std::mutex>& lock);
    void ProcessDue(std::unique_lock<std::mutex>& lock);
    bool CatchUp(std::unique_lock<std::mutex>& lock);
    std::uint64_t WallTicks() const;
    bool WorkPending() const;
    void ClockLoop();
    void OnThreadExit(std::unique_lock<std::mutex>& lock, ThreadRec* self);
    void Shutdown();

    std::array<std::deque<ThreadRec*>, TX_MAX_PRIORITIES> ready_;
    ThreadRec* current_ = nullptr;  // thread holding the baton (or interrupted by a dispatch)
    const void* holder_ = nullptr;  // host thread holding the baton, null when free
    Context context_ = Context::kOutside;
    UINT system_posture_ = TX_INT_DISABLE;  // posture of start-up, timer and ISR contexts
    bool dispatching_ = false;
    bool started_ = false;
    bool shutting_down_ = false;
    bool stop_requested_ = false;
    bool stop_clock_ = false;
    std::condition_variable host_cv_;  // baton freed, work for the driver
    std::condition_variable exit_cv_;  // a host thread has unwound
    std::condition_variable stop_cv_;

    struct Line {
        Isr isr = nullptr;
        std::uintptr_t argument = 0;
        bool pending = false;
    };
    std::array<Line, kInterruptLines> lines_{};
    std::deque<std::function<void()>> posted_;

    std::unique_ptr<unsigned char[]> free_memory_;
    std::chrono::steady_clock::time_point epoch_;
    std::chrono::nanoseconds tick_length_{10'000'000};
    std::thread clock_thread_;

    friend class Kernel;
    friend UINT(::tx_interrupt_control)(UINT);
};

// Thread-local identity of the calling host thread.
ThreadRec*& TlsSelf();
// The blocked thread whose host thread waits on the idle input source (null otherwise).
ThreadRec* TlsIdle();

// Looks up a record by control block; null when not created in this kernel.
template <typename Map>
auto Find(Map& map, const void* cb) -> decltype(map.begin()->second.get()) {
    if (cb == nullptr) {
        return nullptr;
    }
    auto it = map.find(cb);
    return it == map.end() ? nullptr : it->second.get();
}

}  // namespace kernel

namespace kernel {

// One kernel service call: locks the current kernel and classifies the caller (see Core::Enter).
class ServiceCall {
public:
    // blocking: the service may wait (a wait option other than TX_NO_WAIT, sleep, suspend).
    // releasing: it gives something back (see Core::Enter).
    explicit ServiceCall(bool blocking = false, bool releasing = false) : core_(Core::Get()) {
        if (core_ != nullptr) {
            lock_ = std::unique_lock<std::mutex>(core_->m_);
            ok_ = core_->Enter(lock_, caller_, blocking, releasing);
        }
    }
    // False when no kernel exists or the call is refused.
    explicit operator bool() const { return core_ != nullptr && ok_; }
    Core& core() { return *core_; }
    std::unique_lock<std::mutex>& lock() { return lock_; }
    const Caller& caller() const { return caller_; }
    Context context() const { return caller_.context; }
    ThreadRec* self() const { return caller_.self; }
    bool in_thread() const { return caller_.context == Context::kThread; }
    bool in_interrupt() const {
        return caller_.context == Context::kTimer || caller_.context == Context::kIsr;
    }
    void AfterReady() { core_->AfterReady(lock_, caller_); }

private:
    Core* core_;
    std::unique_lock<std::mutex> lock_;
    Caller caller_;
    bool ok_ = false;
};

}  // namespace kernel
