#pragma once
// Base of every task: one thread, one event flags group and one periodic timer.

#include <cstdint>
#include <ctime>

#include "platform/kernel/tx_api.h"

class CTaskBase {
public:
    enum State : uint8_t { kConstructed = 0, kCreated = 2 };
    // Event flags of a task's group.
    static constexpr ULONG kLetterFlag = 0x1;
    static constexpr ULONG kTickFlag = 0x4;
    static constexpr uint8_t kStackPaint = 0xEF;

    CTaskBase(const char* name, uint32_t stackSize, uint32_t priority, uint32_t timeSlice,
              uint32_t firstTick, uint32_t period);
    CTaskBase(const CTaskBase&) = delete;
    CTaskBase& operator=(const CTaskBase&) = delete;
    virtual ~CTaskBase() = default;

    virtual int Run();

    // Takes the stack from the pool, creates the event group, the timer (when a callback is
    // given; first tick, then every period) and last the auto-started thread. Everything made
    // so far is undone on a failure. entry and timerCallback both receive input.
    bool Create(TX_BYTE_POOL* pool, TX_THREAD_ENTRY entry, TX_TIMER_EXPIRY timerCallback,
                ULONG_PTR input);
    // Timer on, then thread resumed / timer off, then thread suspended.
    bool Resume();
    bool Suspend();

    // Seconds of timer ticks (ticks x period / 100); always written.
    void GetUptimeSeconds(uint32_t* seconds) const;
    // Seconds, minutes, hours, day of year (365-day years) and years; other fields untouched.
    void GetUptime(std::tm* time) const;
    static void SecondsToUptime(uint32_t seconds, std::tm* time);

    // Prints "<name> Stack Used: used/size. 0xLOW-0xHIGH Current:0xFIRST\n" from the 0xEF paint
    // of the task's stack; nothing while the whole stack still holds the paint.
    void StackReport();
    static bool StackReport(const char* name, const uint8_t* stack, uint32_t size);
    // Index of the first byte that no longer holds the paint (size when none).
    static uint32_t UntouchedStackBytes(const uint8_t* stack, uint32_t size);

    uint8_t state = kConstructed;
    const char* name;
    uint32_t stackSize;
    uint32_t priority;
    uint32_t timeSlice;
    uint32_t firstTick;
    uint32_t period;
    uint16_t rescheduleCount = 0;
    TX_THREAD thread{};
    TX_TIMER timer{};
    TX_EVENT_FLAGS_GROUP events{};
    uint8_t runsPerSecond = 1;
    uint32_t ticks = 0;  // timer expiries, counted by the timer callback
    uint32_t runs = 0;
    uint32_t createdTick = 0;
    uint8_t* stack = nullptr;
    bool hasTimer = false;
};
