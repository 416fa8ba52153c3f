#pragma once
// Host control of the kernel stand-in.
//
// Every firmware thread is a host thread, but only the holder of the baton runs: the baton goes
// to the highest-priority ready thread at every kernel call that can block or ready another
// thread (FIFO among equals, preemption threshold and time slices honoured at kernel calls).
//
// Typical test:
//     kernel::Kernel k;                        // stepped clock
//     k.Start([](void* memory) { ...create pools, threads, timers... });
//     k.Advance(10);                           // ten ticks; returns with every thread blocked
//     ...inspect...
//   (the destructor ends every thread; one kernel instance exists at a time)
//
// Host helper threads (sockets, terminals) never run firmware code. They may
//   - raise an interrupt line (RaiseInterrupt): the registered ISR runs in ISR context at the
//     next dispatch point (a kernel call of the running thread with interrupts unmasked, or the
//     idle loop);
//   - post a function to run in ISR context the same way (Post);
//   - call the non-blocking kernel services directly (tx_event_flags_set, tx_semaphore_put, ...):
//     they run under the kernel's lock as "outside any thread" (a wait fails with TX_WAIT_ERROR).
// With the stepped clock, work raised from outside is run at the next Advance/RunUntilIdle.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>

#include "platform/kernel/tx_api.h"

namespace kernel {

constexpr ULONG kTicksPerSecond = 100;
constexpr unsigned kInterruptLines = 64;

enum class ClockMode {
    kStepped,   // time moves only through Advance / RunUntilIdle
    kRealTime,  // one tick per 10 ms divided by the time scale
};

enum class Context {
    kOutside,  // a host thread that does not hold the baton (tests between steps, helpers)
    kStartup,  // inside the start-up hook, before threads run
    kThread,   // a firmware thread
    kTimer,    // an application timer's expiry function
    kIsr,      // an interrupt handler or a posted function
};

struct Options {
    ClockMode clock = ClockMode::kStepped;
    double time_scale = 1.0;                   // real time: ticks run this many times faster
    std::size_t host_stack_size = 0;           // 0: default (512 KiB; 4 MiB under sanitizers)
    std::size_t free_memory_size = 32u << 20;  // area handed to the start-up hook
};

// Thrown through a firmware thread's stack to end it (terminate, kernel teardown). Firmware code
// must not catch it; it derives from nothing.
struct ThreadExit {};

// While one lives on a firmware thread's stack, a thread being ended does not unwind at its
// kernel calls: they are refused instead. For destructors that must call the kernel (an
// exception thrown out of a destructor ends the process).
class NoUnwindScope {
public:
    NoUnwindScope();
    ~NoUnwindScope();
    NoUnwindScope(const NoUnwindScope&) = delete;
    NoUnwindScope& operator=(const NoUnwindScope&) = delete;
};

class Core;

class Kernel {
public:
    explicit Kernel(const Options& options = {});
    // Ends every thread (unwinding blocked ones) and frees all kernel records.
    ~Kernel();
    Kernel(const Kernel&) = delete;
    Kernel& operator=(const Kernel&) = delete;

    // The instance alive now, or null.
    static Kernel* Current();
    // Distinct for every instance of the process (a new kernel may reuse an old one's address).
    std::uint64_t id() const { return id_; }

    // Runs app_define in start-up context with the free memory area. Stepped clock: then runs
    // every ready thread until all are blocked. Real time: starts the clock and returns.
    void Start(const std::function<void(void*)>& app_define);

    // Stepped clock. Advance: for each of `ticks` ticks, fire the due timers and time-outs, then
    // run until every thread is blocked (Advance(0) only runs pending work). RunUntilIdle: jumps
    // from deadline to deadline (at most `limit` ticks in all) until no timer or time-out is
    // pending; returns the ticks that passed.
    void Advance(ULONG ticks);
    ULONG RunUntilIdle(ULONG limit);

    // Real time: blocks until Stop is called (by any host thread or by firmware).
    void WaitForStop();
    void Stop();
    bool StopRequested() const;

    ClockMode clock() const;
    double time_scale() const;
    void* free_memory() const;
    std::size_t free_memory_size() const;

    Core& core() { return *core_; }

private:
    Core* core_;
    std::uint64_t id_;
};

// The calling host thread's context in the current kernel (kOutside when none exists).
Context CurrentContext();

// Interrupt lines 0 .. kInterruptLines-1. The ISR runs in ISR context with interrupts masked;
// lines are served in increasing order. A line raised again while pending is served once.
using Isr = void (*)(std::uintptr_t argument);
bool RegisterInterrupt(unsigned line, Isr isr, std::uintptr_t argument);
void UnregisterInterrupt(unsigned line);
// Callable from any host thread and from firmware.
void RaiseInterrupt(unsigned line);
bool InterruptPending(unsigned line);

// Runs fn in ISR context at the next dispatch point (from any host thread).
void Post(std::function<void()> fn);
// As Post; in real time, when no thread runs, the calling host thread runs fn and whatever else
// is pending at once, in ISR context, and hands the baton to the first ready thread, sparing the
// idle clock thread a wake-up. For helpers that hold no lock the handlers may take.
void PostAndServe(std::function<void()> fn);

// A host input source that a thread blocked while the kernel is idle (real time) waits on
// itself, so that input for that thread reaches it without waking a second host thread. One
// thread waits at a time; otherwise the source's own helper thread serves it.
class IdleWait {
public:
    virtual ~IdleWait() = default;
    // Waits for input and serves it as a helper does (PostAndServe); true once it waited. False
    // at once when the source cannot be waited on (stopped).
    virtual bool Wait() = 0;
    // Makes a Wait in progress return soon (from any host thread).
    virtual void Interrupt() = 0;
    // No thread waits on the source while threads run: its own helper serves it from now on.
    virtual void Unattended() = 0;
};
// The source idle threads wait on (null: none). It must outlive the threads' waits on it.
void SetIdleWait(IdleWait* source);

// Makes the k-th call of tx_byte_allocate from now (1 = the next one) fail with TX_NO_MEMORY;
// 0 disarms. When pool is given only allocations from that pool are counted.
void FailByteAllocation(unsigned k, TX_BYTE_POOL* pool = nullptr);

// Host stack of a thread (painted 0xEF at creation): bytes touched so far, and its size.
struct StackUse {
    std::size_t used;
    std::size_t size;
};
StackUse HostStackUse(TX_THREAD* thread);
// Marks the top bytes of the thread's declared stack (the caller's area) as used so that a scan
// of the 0xEF paint reports the host figure, clamped to the declared size; returns that figure.
ULONG MirrorStackUse(TX_THREAD* thread);

// Console output capture for tests (null restores standard output).
using ConsoleCapture = std::function<void(std::string_view)>;
void SetConsoleCapture(ConsoleCapture capture);

}  // namespace kernel

// The board console: standard output of the process (or the test capture).
void host_console_write(const char* data, std::size_t length);
