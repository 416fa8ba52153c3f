#pragma once
// A high-priority thread that runs queued job objects.

#include <cstdint>

#include "platform/kernel/tx_api.h"
#include "runtime/impl_list.h"

class job : public impl::node {
public:
    virtual void run() = 0;
    uint8_t queued = 0;
};

class job_queue {
public:
    static constexpr ULONG kRunFlag = 0x1;
    static constexpr ULONG kStopFlag = 0x2;
    static constexpr ULONG kStackSize = 1024;

    job_queue();
    virtual ~job_queue();

    // Creates the event group "job events" and the thread "job queue" (priority 0).
    bool Start();
    // Queues a job (not already queued) and wakes the thread; the caller keeps the job alive
    // until it has run.
    bool Queue(job* item);
    // Asks the thread to end; it drops what is still queued.
    bool Stop();
    uint8_t State() const { return state_; }

    static void ThreadEntry(ULONG_PTR input);

private:
    uint8_t state_ = 0;
    impl::list jobs_;
};

extern job_queue g_JobQueue;
