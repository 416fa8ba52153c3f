#include "platform/kernel/signal_stop.h"

#include <pthread.h>
#include <time.h>

namespace kernel {

namespace {
sigset_t StopSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    return set;
}
}  // namespace

SignalStop::SignalStop(Kernel& kernel) : kernel_(kernel) {
    const sigset_t set = StopSignals();
    pthread_sigmask(SIG_BLOCK, &set, &old_mask_);
    waiter_ = std::thread([this, set] {
        // Polls so that a stop from elsewhere (firmware, the owner) also ends this thread.
        while (!done_.load() && !kernel_.StopRequested()) {
            const timespec wait{0, 100'000'000};
            const int taken = sigtimedwait(&set, nullptr, &wait);
            if (taken == SIGINT || taken == SIGTERM) {
                signal_.store(taken);
                kernel_.Stop();
            }
        }
    });
}

SignalStop::~SignalStop() {
    done_.store(true);
    waiter_.join();
    pthread_sigmask(SIG_SETMASK, &old_mask_, nullptr);
}

}  // namespace kernel
