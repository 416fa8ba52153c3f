#pragma once
// Stops a kernel on SIGINT or SIGTERM. Build it on the main thread before the kernel starts: it
// blocks the two signals in the calling thread (threads made afterwards inherit that) and takes
// them on a thread of its own. The destructor restores the caller's signal mask.

#include <signal.h>

#include <atomic>
#include <thread>

#include "platform/kernel/kernel.h"

namespace kernel {

class SignalStop {
public:
    explicit SignalStop(Kernel& kernel);
    ~SignalStop();
    SignalStop(const SignalStop&) = delete;
    SignalStop& operator=(const SignalStop&) = delete;

    // The signal that stopped the kernel, 0 when none did (yet).
    int signal() const { return signal_.load(); }

private:
    Kernel& kernel_;
    sigset_t old_mask_;
    std::atomic<int> signal_{0};
    std::atomic<bool> done_{false};
    std::thread waiter_;
};

}  // namespace kernel
