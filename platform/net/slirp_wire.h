#pragma once
// The Ethernet wire: libslirp (user-mode NAT) on a host helper thread. Frames the MAC sends go
// through the egress filter into slirp; slirp's frames go to the MAC's receive side. Every port
// a socket of the stack binds is forwarded from 127.0.0.1 (port + the port offset). slirp is
// called only under lwIP's core lock and never from its own callbacks: what it emits meanwhile
// is queued, and every queue is bounded.
//
// The wire is the kernel's idle input source: while the kernel is idle, the last firmware
// thread to block polls slirp's sockets itself (one poller at a time), so that a request reaches
// the thread that answers it without a second host thread's wake-up. The wire's own thread
// polls only while no firmware thread does.

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/kernel/kernel.h"
#include "platform/net/egress_filter.h"
#include "platform/net/stack_core.h"

struct Slirp;
struct pollfd;

namespace net {

struct WireConfig {
    uint32_t address = 0x0A00020F;  // the controller (host order)
    uint32_t mask = 0xFFFFFF00;
    uint32_t hostAlias = 0x0A000202;  // the gateway: reaches the host's loopback
    int portOffset = 0;
    bool allowNetwork = false;
    std::function<void(const std::string&)> log;  // report lines (egress drops, forward failures)
};

class SlirpWire : public PortObserver, public kernel::IdleWait {
public:
    static constexpr size_t kMaxQueued = 256;
    using Deliver = std::function<void(const uint8_t* frame, size_t length)>;

    SlirpWire() = default;
    ~SlirpWire() override;
    SlirpWire(const SlirpWire&) = delete;
    SlirpWire& operator=(const SlirpWire&) = delete;

    // Starts slirp and its thread; deliver gets slirp's frames (from the wire's thread).
    bool Start(const WireConfig& config, Deliver deliver);
    void Stop();

    // From the MAC (firmware context): a frame to send. Goes into slirp at once under the core
    // lock (held only briefly by others), or is queued for the wire's thread when the caller
    // holds the lock already. Never waits on the kernel.
    void Send(const uint8_t* frame, size_t length);

    void PortBound(bool udp, uint16_t port) override;
    void PortReleased(bool udp, uint16_t port) override;

    // The idle input source (kernel::IdleWait): one poll of slirp's sockets, served.
    bool Wait() override;
    void Interrupt() override;
    void Unattended() override;

    uint64_t FramesOut() const;  // passed the filter into slirp
    uint64_t FramesIn() const;   // delivered to the MAC
    uint64_t Dropped() const;    // by the filter
    // Host port of a forward (0 when none).
    uint16_t ForwardedPort(bool udp, uint16_t port) const;

    // slirp callbacks.
    struct Timer {
        int id;
        void* opaque;
        int64_t expireMs;
    };
    void Emit(const uint8_t* frame, size_t length);
    void Wake();
    std::vector<std::unique_ptr<Timer>> timers_;
    std::vector<::pollfd>* pollfds_ = nullptr;
    bool loopDue_ = false;  // (core lock) the loop has to run again: sockets, timers, frames

private:
    void Loop();
    // One round of the poll loop on the caller's descriptor list: slirp's sockets and timers,
    // the queued frames in and out. False when the wire stops.
    bool PollOnce(std::vector<::pollfd>& fds);
    void Forward(bool udp, uint16_t port, bool add);

    WireConfig config_;
    Deliver deliver_;
    std::unique_ptr<EgressFilter> filter_;
    Slirp* slirp_ = nullptr;
    mutable std::mutex lock_;
    std::deque<std::vector<uint8_t>> toSlirp_;
    std::deque<std::vector<uint8_t>> fromSlirp_;
    std::map<std::pair<bool, uint16_t>, uint16_t> forwards_;
    int wake_[2] = {-1, -1};
    bool stop_ = false;
    // Who polls (lock_): the wire's thread while loopWanted_ and no firmware thread polls.
    bool loopWanted_ = true;
    bool loopPolls_ = false;
    bool lent_ = false;         // a firmware thread polls
    bool interrupted_ = false;  // the kernel wants the polling firmware thread back
    std::condition_variable pollers_;
    uint64_t framesOut_ = 0;
    uint64_t framesIn_ = 0;
    std::thread thread_;
};

}  // namespace net
