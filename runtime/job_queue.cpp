#include "runtime/job_queue.h"

namespace {
TX_EVENT_FLAGS_GROUP g_jobEvents;
TX_THREAD g_jobThread;
alignas(16) unsigned char g_jobStack[job_queue::kStackSize];

// Unlinks every queued job without running it.
void DropJobs(impl::list& jobs) {
    const UINT saved = tx_interrupt_control(TX_INT_DISABLE);
    while (impl::node* n = jobs.TakeFront()) {
        static_cast<job*>(n)->queued = 0;
    }
    tx_interrupt_control(saved);
}
}  // namespace

job_queue g_JobQueue;

job_queue::job_queue() = default;

job_queue::~job_queue() {
    DropJobs(jobs_);
}

bool job_queue::Start() {
    if (state_ == 2 || !jobs_.Init()) {
        return false;
    }
    if (tx_event_flags_create(&g_jobEvents, "job events") != TX_SUCCESS) {
        jobs_.Clear();
        return false;
    }
    if (tx_thread_create(&g_jobThread, "job queue", &job_queue::ThreadEntry,
                         reinterpret_cast<ULONG_PTR>(this), g_jobStack, sizeof g_jobStack, 0, 0, 1,
                         TX_AUTO_START) != TX_SUCCESS) {
        tx_event_flags_delete(&g_jobEvents);
        jobs_.Clear();
        return false;
    }
    state_ = 2;
    return true;
}

bool job_queue::Queue(job* item) {
    if (state_ != 2 || item == nullptr || item->queued != 0) {
        return false;
    }
    const UINT saved = tx_interrupt_control(TX_INT_DISABLE);
    const bool linked = jobs_.PushBack(item);
    if (linked) {
        item->queued = 1;
    }
    tx_interrupt_control(saved);
    return linked && tx_event_flags_set(&g_jobEvents, kRunFlag, TX_OR) == TX_SUCCESS;
}

bool job_queue::Stop() {
    if (state_ != 2) {
        return false;
    }
    return tx_event_flags_set(&g_jobEvents, kStopFlag, TX_OR) == TX_SUCCESS;
}

void job_queue::ThreadEntry(ULONG_PTR input) {
    auto* queue = reinterpret_cast<job_queue*>(input);
    for (;;) {
        ULONG actual = 0;
        const UINT status = tx_event_flags_get(&g_jobEvents, kRunFlag | kStopFlag, TX_OR_CLEAR,
                                               &actual, TX_WAIT_FOREVER);
        if (status == TX_DELETED) {
            break;
        }
        if (status != TX_SUCCESS) {
            continue;
        }
        if ((actual & kRunFlag) != 0) {
            for (;;) {
                const UINT saved = tx_interrupt_control(TX_INT_DISABLE);
                auto* item = static_cast<job*>(queue->jobs_.TakeFront());
                if (item != nullptr) {
                    item->queued = 0;
                }
                tx_interrupt_control(saved);
                if (item == nullptr) {
                    break;
                }
                item->run();
            }
        }
        if ((actual & kStopFlag) != 0) {
            break;
        }
    }
    tx_event_flags_delete(&g_jobEvents);
    DropJobs(queue->jobs_);
    queue->jobs_.Clear();
    queue->state_ = 0;
}
