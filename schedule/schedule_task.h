#pragma once
// CScheduleTask: runs the sign by the clock. Twice a second it reads the local time and, while
// the sign is under schedule control (dmsMsgSourceMode 9), requests the message of the day-plan
// event in effect through activation request slot 6. At its start it decides what the sign shows
// after the restart (the power-recovery or reset message, or the message that was on display
// with its remaining time) and sends the cold-start or warm-start traps. It also runs the event
// logging engine every cycle and applies changes of the central system's address.
//
//   CScheduleTask schedule(g_PostOffice, &databaseEvents, services);
//   schedule.Start(); schedule.Create(&stacks);

#include <cstdint>
#include <ctime>
#include <functional>

#include "ntcip/event_logging.h"
#include "peripherals/clock.h"
#include "runtime/standard_task.h"

class CScheduleTask : public CStandardTask {
public:
    // dmsMsgSourceMode values the task writes.
    static constexpr uint32_t kSourceSchedule = 9;
    static constexpr uint32_t kSourcePowerRecovery = 10;
    static constexpr uint32_t kSourceReset = 11;
    static constexpr ULONG kEventRemoteAddress = 0x80000;
    static constexpr uint32_t kPowerLossOrigin = 7;

    struct Services {
        // The clock peripheral (id 90); null while there is none.
        std::function<CClock*()> findClock;
        // How this start came about: 0 after a power loss, 1 a warm start, 2 a reset.
        std::function<uint8_t()> powerUpKind;
    };

    // databaseEvents: the "database" event flags group (may be null: no database events).
    CScheduleTask(PostOffice& office, TX_EVENT_FLAGS_GROUP* databaseEvents, Services services);

    CEventLogging& Logging() { return logging_; }

    // The start-up decision: what the sign shows after this start, and the start traps.
    void CheckResetType(bool sendTraps);
    // One evaluation of the time-base schedule against the local time record.
    void EvaluateSchedule();
    // Puts the sign under schedule control (blank 255 with source mode 9).
    void ResumeSchedule();
    void ApplyRemoteAddress();
    void ReadClock();

    bool ResetCheckDone() const { return resetCheckDone_ != 0; }
    const std::tm& LocalTime() const { return localTime_; }

protected:
    void Init() override;
    void OnLetter(letter_s& letter) override;
    void Work() override;

private:
    // Empties the schedule message and requests blank 255 under schedule control.
    void BlankUnderSchedule();
    CClock* Clock();

    TX_EVENT_FLAGS_GROUP* databaseEvents_;
    Services services_;
    CEventLogging logging_;
    CClock* clock_ = nullptr;
    uint8_t resetCheckDone_ = 0;
    std::tm localTime_{};
    uint8_t firstCycle_ = 1;
    uint8_t entrySeen_ = 0;
    uint8_t eventSeen_ = 0;
};

// 1 while a trap client is connected (letters 32 and 33).
extern uint8_t g_TrapLinkUp;
