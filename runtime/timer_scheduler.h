#pragma once
// Software timers multiplexed on one RTOS application timer.

#include <cstdint>

#include "platform/kernel/tx_api.h"

class timer_event {
public:
    timer_event() = default;
    timer_event(const timer_event&) = delete;
    timer_event& operator=(const timer_event&) = delete;
    virtual ~timer_event() = default;

    // Runs in timer context.
    virtual void fire() = 0;
    virtual void restart(uint32_t now, uint32_t argument) {
        due = now + argument;
        interval = argument;
    }

    uint32_t due = 0;       // tick count at which it fires
    uint32_t interval = 0;  // ticks
    uint8_t periodic = 0;
    uint32_t id = 0;  // given by the scheduler
};

class timer_scheduler {
public:
    // Called under the scheduler's lock with the found timer; false refuses the trigger.
    using Prepare = bool (*)(timer_event& timer, void* context);

    virtual ~timer_scheduler() = default;
    // The scheduler owns the timer from a successful AddTimer (id not 0) on: it deletes it on
    // RemoveTimer, or after a one-shot timer has fired. On 0 the caller keeps it.
    virtual uint32_t AddTimer(timer_event* timer, uint32_t interval, bool periodic) = 0;
    virtual bool RemoveTimer(uint32_t id) = 0;
    // Due one full interval from now; false for a one-shot timer.
    virtual bool RestartTimer(uint32_t id) = 0;
    // Calls the timer's restart operation with now and the argument.
    virtual bool TriggerTimer(uint32_t id, uint32_t argument) = 0;
    // TriggerTimer that first runs prepare on the timer, atomically with the trigger.
    virtual bool TriggerTimerWith(uint32_t id, uint32_t argument, Prepare prepare,
                                  void* context) = 0;
};

class timer_scheduler_tx_rtos : public timer_scheduler {
public:
    // The one scheduler. The first call (in each kernel instance) creates the mutex and the
    // RTOS timer "Scheduler"; timers left from an earlier kernel instance are dropped.
    static timer_scheduler_tx_rtos* Instance();
    // Deletes every timer and forgets the kernel objects: for a boot in a fresh kernel
    // instance (tests), after the previous kernel has ended.
    static void Reset();

    uint32_t AddTimer(timer_event* timer, uint32_t interval, bool periodic) override;
    bool RemoveTimer(uint32_t id) override;
    bool RestartTimer(uint32_t id) override;
    bool TriggerTimer(uint32_t id, uint32_t argument) override;
    bool TriggerTimerWith(uint32_t id, uint32_t argument, Prepare prepare, void* context) override;

    // Expiry function of the RTOS timer.
    static void OnTick(ULONG_PTR input);

    // For inspection: number of timers, and the RTOS timer's state.
    uint32_t TimerCount() const;
    bool RtosTimerActive(ULONG* remaining = nullptr, ULONG* reschedule = nullptr) const;

private:
    timer_scheduler_tx_rtos() = default;
};

extern timer_scheduler* g_TimerScheduler;
