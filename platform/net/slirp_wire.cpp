#include "platform/net/slirp_wire.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <utility>

#include "platform/net/net_config.h"
#include "platform/net/slirp_calls.h"

extern "C" {
#include <slirp/libslirp.h>
}

namespace net {
namespace {

int64_t NowNs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return int64_t(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

in_addr Addr(uint32_t hostOrder) {
    in_addr a{};
    a.s_addr = htonl(hostOrder);
    return a;
}

SlirpWire* Self(void* opaque) {
    return static_cast<SlirpWire*>(opaque);
}

ssize_t SendPacket(const void* buf, size_t len, void* opaque) {
    Self(opaque)->Emit(static_cast<const uint8_t*>(buf), len);
    return ssize_t(len);
}

void GuestError(const char*, void*) {}

int64_t ClockNs(void*) {
    return NowNs();
}

void* TimerNewOpaque(SlirpTimerId id, void* cbOpaque, void* opaque) {
    auto timer = std::make_unique<SlirpWire::Timer>(SlirpWire::Timer{int(id), cbOpaque, -1});
    SlirpWire::Timer* raw = timer.get();
    Self(opaque)->timers_.push_back(std::move(timer));
    return raw;
}

void* TimerNew(SlirpTimerCb, void*, void*) {
    return nullptr;  // only the opaque timers are used (config version 4)
}

void TimerFree(void* timer, void* opaque) {
    auto& timers = Self(opaque)->timers_;
    std::erase_if(timers, [timer](const auto& t) { return t.get() == timer; });
}

void TimerMod(void* timer, int64_t expireMs, void* opaque) {
    if (timer != nullptr) {
        static_cast<SlirpWire::Timer*>(timer)->expireMs = expireMs;
        Self(opaque)->loopDue_ = true;
    }
}

void RegisterPollFd(int, void* opaque) {
    Self(opaque)->loopDue_ = true;
}

void UnregisterPollFd(int, void* opaque) {
    Self(opaque)->loopDue_ = true;
}

void Notify(void* opaque) {
    Self(opaque)->Wake();
}

int AddPoll(int fd, int events, void* opaque) {
    short e = 0;
    e |= (events & SLIRP_POLL_IN) ? POLLIN : 0;
    e |= (events & SLIRP_POLL_OUT) ? POLLOUT : 0;
    e |= (events & SLIRP_POLL_PRI) ? POLLPRI : 0;
    auto* fds = Self(opaque)->pollfds_;
    fds->push_back(pollfd{fd, e, 0});
    return int(fds->size() - 1);
}

int GetRevents(int idx, void* opaque) {
    auto* fds = Self(opaque)->pollfds_;
    if (idx < 0 || size_t(idx) >= fds->size()) {
        return 0;
    }
    const short r = (*fds)[size_t(idx)].revents;
    int events = 0;
    events |= (r & POLLIN) ? SLIRP_POLL_IN : 0;
    events |= (r & POLLOUT) ? SLIRP_POLL_OUT : 0;
    events |= (r & POLLPRI) ? SLIRP_POLL_PRI : 0;
    events |= (r & POLLERR) ? SLIRP_POLL_ERR : 0;
    events |= (r & POLLHUP) ? SLIRP_POLL_HUP : 0;
    return events;
}

const SlirpCb kCallbacks = {
    .send_packet = SendPacket,
    .guest_error = GuestError,
    .clock_get_ns = ClockNs,
    .timer_new = TimerNew,
    .timer_free = TimerFree,
    .timer_mod = TimerMod,
    .register_poll_fd = RegisterPollFd,
    .unregister_poll_fd = UnregisterPollFd,
    .notify = Notify,
    .init_completed = nullptr,
    .timer_new_opaque = TimerNewOpaque,
};

}  // namespace

SlirpWire::~SlirpWire() {
    Stop();
}

bool SlirpWire::Start(const WireConfig& config, Deliver deliver) {
    if (slirp_ != nullptr) {
        return false;
    }
    // slirp writes to host sockets whose peer may have gone: such a write must fail, not end
    // the process.
    ::signal(SIGPIPE, SIG_IGN);
    config_ = config;
    deliver_ = std::move(deliver);
    filter_ = std::make_unique<EgressFilter>(config.hostAlias, config.allowNetwork, config.log);
    if (::pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0) {
        return false;
    }
    SlirpConfig c{};
    c.version = 4;
    c.restricted = 0;
    c.in_enabled = true;
    c.vnetwork = Addr(config.address & config.mask);
    c.vnetmask = Addr(config.mask);
    c.vhost = Addr(config.hostAlias);
    c.in6_enabled = false;
    c.vdhcp_start = Addr(config.address);
    c.vnameserver = Addr((config.address & config.mask) | 3);
    c.if_mtu = 1500;
    c.if_mru = 1500;
    c.disable_dns = true;
    {
        CoreLock core;
        slirp_ = slirp_new(&c, &kCallbacks, this);
    }
    if (slirp_ == nullptr) {
        return false;
    }
    stop_ = false;
    loopWanted_ = true;
    thread_ = std::thread([this] { Loop(); });
    SetPortObserver(this);
    kernel::SetIdleWait(this);
    return true;
}

void SlirpWire::Stop() {
    if (slirp_ == nullptr) {
        return;
    }
    SetPortObserver(nullptr);
    kernel::SetIdleWait(nullptr);
    {
        std::unique_lock<std::mutex> guard(lock_);
        stop_ = true;
        pollers_.notify_all();
        Wake();
        // A firmware thread in the middle of a poll finishes it first.
        pollers_.wait(guard, [this] { return !lent_; });
    }
    if (thread_.joinable()) {
        thread_.join();
    }
    {
        CoreLock core;
        slirp_cleanup(slirp_);
        slirp_ = nullptr;
        timers_.clear();
    }
    ::close(wake_[0]);
    ::close(wake_[1]);
    wake_[0] = wake_[1] = -1;
    forwards_.clear();
}

void SlirpWire::Wake() {
    const char c = 1;
    if (wake_[1] >= 0) {
        [[maybe_unused]] ssize_t n = ::write(wake_[1], &c, 1);
    }
}

void SlirpWire::Send(const uint8_t* frame, size_t length) {
    if (!filter_ || !filter_->Pass(frame, length)) {
        return;
    }
    if (!HoldsCoreLock()) {
        // Into slirp at once (a datagram for the host leaves on its socket now). The loop is
        // woken only when slirp opened or closed a socket, moved a timer or emitted frames.
        bool due = false;
        {
            CoreLock core;
            if (slirp_ == nullptr) {
                return;
            }
            loopDue_ = false;
            SlirpCallScope scope;
            slirp_input(slirp_, frame, int(length));
            ++framesOut_;
            due = loopDue_;
        }
        if (due) {
            Wake();
        }
        return;
    }
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (toSlirp_.size() >= kMaxQueued) {
            return;
        }
        toSlirp_.emplace_back(frame, frame + length);
    }
    Wake();
}

void SlirpWire::Emit(const uint8_t* frame, size_t length) {
    loopDue_ = true;
    std::lock_guard<std::mutex> guard(lock_);
    if (fromSlirp_.size() < kMaxQueued) {
        fromSlirp_.emplace_back(frame, frame + length);
    }
}

void SlirpWire::Loop() {
    std::vector<pollfd> fds;
    for (;;) {
        {
            std::unique_lock<std::mutex> guard(lock_);
            pollers_.wait(guard, [this] { return stop_ || (loopWanted_ && !lent_); });
            if (stop_) {
                return;
            }
            loopPolls_ = true;
        }
        const bool going = PollOnce(fds);
        {
            std::lock_guard<std::mutex> guard(lock_);
            loopPolls_ = false;
            pollers_.notify_all();
        }
        if (!going) {
            return;
        }
    }
}

bool SlirpWire::Wait() {
    if (HoldsCoreLock()) {
        return false;  // slirp is polled under that lock
    }
    {
        std::unique_lock<std::mutex> guard(lock_);
        if (stop_ || slirp_ == nullptr) {
            return false;
        }
        loopWanted_ = false;
        if (loopPolls_) {
            // The wire's thread polls: it stops after this round.
            Wake();
            pollers_.wait(guard, [this] { return stop_ || !loopPolls_; });
            if (stop_) {
                return false;
            }
        }
        if (std::exchange(interrupted_, false)) {
            return true;  // the kernel wants this thread back already
        }
        lent_ = true;
    }
    thread_local std::vector<pollfd> fds;
    PollOnce(fds);
    std::lock_guard<std::mutex> guard(lock_);
    lent_ = false;
    interrupted_ = false;
    if (stop_ || loopWanted_) {
        pollers_.notify_all();
    }
    return true;
}

void SlirpWire::Interrupt() {
    {
        std::lock_guard<std::mutex> guard(lock_);
        interrupted_ = true;
    }
    Wake();
}

void SlirpWire::Unattended() {
    std::lock_guard<std::mutex> guard(lock_);
    if (!loopWanted_) {
        loopWanted_ = true;
        pollers_.notify_all();
    }
}

bool SlirpWire::PollOnce(std::vector<pollfd>& fds) {
    fds.clear();
    fds.push_back(pollfd{wake_[0], POLLIN, 0});
    uint32_t timeout = 1000;
    {
        CoreLock core;
        pollfds_ = &fds;
        slirp_pollfds_fill(slirp_, &timeout, AddPoll, this);
        const int64_t nowMs = NowNs() / 1000000;
        for (const auto& t : timers_) {
            if (t->expireMs >= 0) {
                timeout = uint32_t(std::clamp<int64_t>(t->expireMs - nowMs, 0, timeout));
            }
        }
    }
    // Datagrams already read ahead make this round's poll needless.
    const bool ahead = MarkReadAhead(fds);
    const int ready = ahead ? 1 : ::poll(fds.data(), fds.size(), int(timeout));
    if (fds[0].revents & POLLIN) {
        char drain[64];
        while (::read(wake_[0], drain, sizeof drain) > 0) {
        }
    }
    std::deque<std::vector<uint8_t>> in;
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (stop_) {
            return false;
        }
        in.swap(toSlirp_);
    }
    {
        CoreLock core;
        pollfds_ = &fds;
        {
            // A failed poll left no results to answer slirp's calls from.
            SlirpCallScope scope(ready < 0 ? nullptr : &fds);
            slirp_pollfds_poll(slirp_, ready < 0, GetRevents, this);
        }
        SlirpCallScope scope;
        const int64_t nowMs = NowNs() / 1000000;
        std::vector<Timer> due;
        for (const auto& t : timers_) {
            if (t->expireMs >= 0 && t->expireMs <= nowMs) {
                t->expireMs = -1;
                due.push_back(*t);
            }
        }
        for (const Timer& t : due) {
            slirp_handle_timer(slirp_, SlirpTimerId(t.id), t.opaque);
        }
        for (const auto& frame : in) {
            slirp_input(slirp_, frame.data(), int(frame.size()));
            ++framesOut_;
        }
        pollfds_ = nullptr;
    }
    std::deque<std::vector<uint8_t>> out;
    {
        std::lock_guard<std::mutex> guard(lock_);
        out.swap(fromSlirp_);
        framesIn_ += out.size();
    }
    for (const auto& frame : out) {
        deliver_(frame.data(), frame.size());
    }
    return true;
}

void SlirpWire::Forward(bool udp, uint16_t port, bool add) {
    const uint16_t hostPort = ShiftedPort(port);
    if (hostPort == 0 || slirp_ == nullptr) {
        return;
    }
    const std::pair<bool, uint16_t> key{udp, port};
    int result = 0;
    {
        CoreLock core;
        if (add) {
            if (forwards_.count(key)) {
                return;
            }
            result = slirp_add_hostfwd(slirp_, udp, Addr(0x7F000001), hostPort,
                                       Addr(config_.address), port);
        } else {
            if (!forwards_.count(key)) {
                return;
            }
            slirp_remove_hostfwd(slirp_, udp, Addr(0x7F000001), hostPort);
        }
    }
    std::lock_guard<std::mutex> guard(lock_);
    if (!add) {
        forwards_.erase(key);
    } else if (result == 0) {
        forwards_[key] = hostPort;
    } else if (config_.log) {
        char text[96];
        std::snprintf(text, sizeof text, "net: cannot forward %s port %u from 127.0.0.1:%u\n",
                      udp ? "UDP" : "TCP", port, hostPort);
        config_.log(text);
    }
    Wake();
}

void SlirpWire::PortBound(bool udp, uint16_t port) {
    Forward(udp, port, true);
}

void SlirpWire::PortReleased(bool udp, uint16_t port) {
    Forward(udp, port, false);
}

uint64_t SlirpWire::FramesOut() const {
    CoreLock core;
    return framesOut_;
}

uint64_t SlirpWire::FramesIn() const {
    std::lock_guard<std::mutex> guard(lock_);
    return framesIn_;
}

uint64_t SlirpWire::Dropped() const {
    return filter_ ? filter_->Dropped() : 0;
}

uint16_t SlirpWire::ForwardedPort(bool udp, uint16_t port) const {
    std::lock_guard<std::mutex> guard(lock_);
    auto it = forwards_.find({udp, port});
    return it == forwards_.end() ? 0 : it->second;
}

}  // namespace net
