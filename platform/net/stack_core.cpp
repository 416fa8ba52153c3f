#include "platform/net/stack_core.h"

#include <atomic>
#include <condition_variable>
#include <cstdlib>
#include <ctime>
#include <mutex>
#include <vector>

#include "platform/kernel/kernel.h"

extern "C" {
#include "lwip/opt.h"
#include "lwip/tcpip.h"
}

namespace net {
namespace {

std::once_flag g_started;
thread_local std::vector<std::function<void()>> t_wakes;
thread_local int t_depth = 0;
std::atomic<PortObserver*> g_observer{nullptr};

}  // namespace

void StartStack() {
    std::call_once(g_started, [] {
        std::srand(unsigned(std::time(nullptr)));
        std::mutex m;
        std::condition_variable cv;
        bool done = false;
        struct Ready {
            std::mutex* m;
            std::condition_variable* cv;
            bool* done;
        } ready{&m, &cv, &done};
        tcpip_init(
            [](void* arg) {
                auto* r = static_cast<Ready*>(arg);
                std::lock_guard<std::mutex> g(*r->m);
                *r->done = true;
                r->cv->notify_all();
            },
            &ready);
        std::unique_lock<std::mutex> lock(m);
        cv.wait(lock, [&] { return done; });
    });
}

CoreLock::CoreLock() {
    StartStack();
    LOCK_TCPIP_CORE();
    ++t_depth;
}

CoreLock::~CoreLock() {
    kernel::NoUnwindScope no_unwind;  // the wakes call the kernel
    --t_depth;
    UNLOCK_TCPIP_CORE();
    if (t_depth == 0 && !t_wakes.empty()) {
        std::vector<std::function<void()>> wakes;
        wakes.swap(t_wakes);
        for (auto& fn : wakes) {
            fn();
        }
    }
}

bool HoldsCoreLock() {
    return t_depth > 0;
}

void Wake(std::function<void()> fn) {
    if (t_depth > 0 && kernel::CurrentContext() != kernel::Context::kOutside) {
        t_wakes.push_back(std::move(fn));
        return;
    }
    fn();
}

void EndOfBoot() {
    CoreLock core;
    ForgetTcpSockets();
    ForgetUdpSockets();
    ForgetInstances();
    ForgetPools();
}

void SetPortObserver(PortObserver* observer) {
    g_observer.store(observer);
}

void NotifyPortBound(bool udp, uint16_t port) {
    if (PortObserver* o = g_observer.load()) {
        o->PortBound(udp, port);
    }
}

void NotifyPortReleased(bool udp, uint16_t port) {
    if (PortObserver* o = g_observer.load()) {
        o->PortReleased(udp, port);
    }
}

}  // namespace net
