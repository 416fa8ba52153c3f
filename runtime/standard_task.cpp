#include "runtime/standard_task.h"

#include "runtime/debug_print.h"

CStandardTask::CStandardTask(PostOffice& office, const TaskDefinition& definition)
    : CTaskBase(definition.name, definition.stackSize, definition.priority, definition.timeSlice,
                definition.firstTick, definition.period),
      definition_(definition),
      office_(office),
      subscriber_(&office, &events, kLetterFlag, &thread) {}

bool CStandardTask::Start() {
    return subscriber_.Start(definition_.letters);
}

bool CStandardTask::Create(TX_BYTE_POOL* pool) {
    return CTaskBase::Create(pool, &CStandardTask::ThreadEntry, &CStandardTask::TimerExpiry,
                             reinterpret_cast<ULONG_PTR>(this));
}

void CStandardTask::TimerExpiry(ULONG_PTR input) {
    auto* task = reinterpret_cast<CStandardTask*>(input);
    ++task->ticks;
    tx_event_flags_set(&task->events, kTickFlag, TX_OR);
}

void CStandardTask::ThreadEntry(ULONG_PTR input) {
    reinterpret_cast<CStandardTask*>(input)->ThreadMain();
}

UINT CStandardTask::WaitForTick() {
    ULONG actual = 0;
    return tx_event_flags_get(&events, kTickFlag, TX_OR_CLEAR, &actual, TX_WAIT_FOREVER);
}

void CStandardTask::ThreadMain() {
    // The first tick: a wait cut short by a letter does not start the task early.
    for (UINT status = WaitForTick(); status != TX_SUCCESS; status = WaitForTick()) {
        if (status != TX_WAIT_ABORTED) {
            return;  // the group is gone
        }
    }
    DebugPrintLevel1("%s Start...\n", definition_.startText);
    Init();
    if (definition_.announceId != 0) {
        Post(definition_.announceId);
    }
    if (definition_.supervisionStartId != 0) {
        Post(definition_.supervisionStartId);
        Post(definition_.kickId);
    }
    for (;;) {
        // A wait cut short (a sender waking this thread for its request) runs a cycle at once.
        const UINT status = WaitForTick();
        if (status != TX_SUCCESS && status != TX_WAIT_ABORTED) {
            return;
        }
        if (definition_.kickId != 0) {
            Post(definition_.kickId);
        }
        Run();
    }
}

int CStandardTask::Run() {
    CTaskBase::Run();
    BeforeLetters();
    letter_s* received = nullptr;
    while (subscriber_.Receive(&received)) {
        // Handled as a copy: the mailbox letter goes back at once, even when the handling ends
        // or suspends the thread.
        letter_s letter;
        letter.CopyContent(*received);
        subscriber_.Release(received);
        if (!HandleControl(letter)) {
            OnLetter(letter);
        }
    }
    Work();
    return 0;
}

bool CStandardTask::HandleControl(const letter_s& letter) {
    const uint32_t id = letter.id;
    if (id == definition_.terminateId) {
        if (definition_.ignoresTerminate) {
            return true;
        }
        OnTerminate();
        if (definition_.supervisionStopId != 0) {
            Post(definition_.supervisionStopId);
        }
        if (hasTimer) {
            tx_timer_deactivate(&timer);
        }
        if (definition_.terminatesThread) {
            tx_thread_terminate(&thread);
        }
        return true;
    }
    if (id == definition_.suspendId) {
        if (definition_.supervisionStopId != 0) {
            Post(definition_.supervisionStopId);
        }
        if (definition_.suspendMessage != nullptr) {
            DebugPrint("%s", definition_.suspendMessage);
        }
        OnSuspend();
        Suspend();
        return true;
    }
    if (id == definition_.resumeId) {
        if (definition_.supervisionStartId != 0) {
            Post(definition_.supervisionStartId);
        }
        if (definition_.resumeMessage != nullptr) {
            DebugPrint("%s", definition_.resumeMessage);
        }
        OnResume();
        Resume();
        return true;
    }
    if (id == definition_.stackReportId) {
        if (definition_.printsStackReport) {
            StackReport();
        }
        return true;
    }
    return false;
}
