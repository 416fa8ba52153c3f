#pragma once
// Runs a function on the running controller's job-queue thread (stores of strings and journal
// writes need a thread) and waits for it, for tests that boot the board in-process.

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

#include "platform/kernel/kernel.h"
#include "runtime/job_queue.h"

namespace app_test {

// True once fn has run (15 s at most).
inline bool RunOnJobQueue(std::function<void()> fn) {
    struct FunctionJob : public job {
        void run() override { fn(); }
        std::function<void()> fn;
    };
    std::atomic<bool> done{false};
    FunctionJob work;
    work.fn = [&] {
        fn();
        done.store(true);
    };
    kernel::Post([&] { g_JobQueue.Queue(&work); });
    for (int i = 0; i < 6000 && !done.load(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return done.load();
}

}  // namespace app_test
