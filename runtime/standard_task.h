#pragma once
// The task contract shared by the seven tasks: subscription, thread loop paced by the timer,
// supervision letters and the four control letters. A task derives from CStandardTask with its
// TaskDefinition and fills in the hooks.

#include <cstdint>

#include "runtime/post_office.h"
#include "runtime/task_base.h"

struct TaskDefinition {
    const char* name;
    uint32_t stackSize;
    uint32_t priority;
    uint32_t timeSlice;
    uint32_t firstTick;
    uint32_t period;
    const char* startText;
    const uint32_t* letters;  // zero-terminated subscription list
    // Control letters.
    uint32_t terminateId;
    uint32_t suspendId;
    uint32_t resumeId;
    uint32_t stackReportId;
    // Supervision letters (0: not supervised).
    uint32_t supervisionStartId;
    uint32_t kickId;
    uint32_t supervisionStopId;
    // Posted once before the supervision start letter (0: none).
    uint32_t announceId;
    bool printsStackReport;
    bool terminatesThread;  // on its terminate letter, after the timer is off
    bool ignoresTerminate;
    const char* suspendMessage;  // null: none
    const char* resumeMessage;
};

class CStandardTask : public CTaskBase {
public:
    CStandardTask(PostOffice& office, const TaskDefinition& definition);

    // Subscribes the letter list (before the kernel starts).
    bool Start();
    // Creates stack, event group, timer and thread from the pool.
    bool Create(TX_BYTE_POOL* pool);
    // One cycle: counts the run, BeforeLetters, drains the mailbox (control letters, then
    // OnLetter), then Work.
    int Run() override;

    const TaskDefinition& Definition() const { return definition_; }
    subscriber& Subscriber() { return subscriber_; }
    PostOffice& Office() { return office_; }
    void Post(uint32_t id) { office_.PostLetter(id); }

protected:
    // The task's own initialisation, on its thread after the first tick.
    virtual void Init() {}
    // The task's work that comes before its letters in a cycle.
    virtual void BeforeLetters() {}
    // A letter of the task's list other than its control letters.
    virtual void OnLetter(letter_s& /*letter*/) {}
    // The task's periodic work, after the mailbox is drained.
    virtual void Work() {}
    // Control hooks, run before the base handling (timer and thread).
    virtual void OnTerminate() {}
    virtual void OnSuspend() {}
    virtual void OnResume() {}

private:
    static void ThreadEntry(ULONG_PTR input);
    static void TimerExpiry(ULONG_PTR input);
    void ThreadMain();
    UINT WaitForTick();
    // True when the letter was one of the four control letters.
    bool HandleControl(const letter_s& letter);

    const TaskDefinition& definition_;
    PostOffice& office_;
    subscriber subscriber_;
};
