#pragma once
// The schedule task as far as event logging needs it, stand-in until the schedule task
// lands: its task contract (Schedule definition, every 50 ticks) running
// CEventLogging::Update each cycle, ClearClass on letters 6..21 and
// EnforceClassLimits on letter 22. The start-up call is Logging().Update().

#include "ntcip/event_logging.h"
#include "runtime/standard_task.h"

class CScheduleTaskStandIn : public CStandardTask {
public:
    explicit CScheduleTaskStandIn(PostOffice& office);
    CEventLogging& Logging() { return logging_; }

protected:
    void OnLetter(letter_s& letter) override;
    void Work() override;

private:
    CEventLogging logging_;
};
