#pragma once
// A small TCP server on a Linux socket. A host helper thread accepts connections and reads what
// arrives into a queue of events, then calls the wake function (which may only do what a host
// helper may: set event flags, raise an interrupt). The owner takes the events with Next and
// sends with Send from any thread; sends never block.

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>

namespace net {

struct TcpEvent {
    enum Kind : uint8_t { kConnected, kData, kClosed };
    Kind kind = kData;
    uint32_t connection = 0;  // ids count from 1 and are never reused by a server
    std::string data;         // kData only
};

class TcpServer {
public:
    static constexpr size_t kMaxConnections = 4;
    // Reading pauses while this many received bytes wait in the queue.
    static constexpr size_t kMaxQueuedBytes = 64 * 1024;
    static constexpr size_t kReadSize = 1024;

    using WakeFn = std::function<void()>;

    TcpServer() = default;
    ~TcpServer();
    TcpServer(const TcpServer&) = delete;
    TcpServer& operator=(const TcpServer&) = delete;

    // Listens on the bind address (net::BindAddress) at `port` as given (0: any free port) and
    // starts the helper thread. False when already running or the socket cannot be bound.
    bool Start(uint16_t port, WakeFn wake);
    // Closes the listener and every connection; queued events are discarded.
    void Stop();
    bool Running() const { return helper_.joinable(); }
    // The port bound by Start (0 when not running).
    uint16_t Port() const { return port_; }

    // Takes the oldest event; false when none is queued.
    bool Next(TcpEvent* event);
    size_t Pending() const;
    // Waits at most `limit` until `count` events are queued and the wake function has returned
    // for every event queued so far (tests step the kernel then); false on the time-out.
    bool WaitForEvents(size_t count, std::chrono::milliseconds limit) const;
    // Queues the bytes on the connection's socket without waiting; false when the connection is
    // unknown or the socket could not take every byte (the rest is dropped).
    bool Send(uint32_t connection, const void* data, size_t length);
    // Ends a connection; its kClosed event follows.
    void Close(uint32_t connection);
    size_t Connections() const;

private:
    void HelperMain();
    void Push(TcpEvent event);
    void Poke();
    void Accept();
    void Drop(uint32_t connection);

    mutable std::mutex lock_;
    std::deque<TcpEvent> events_;
    mutable std::condition_variable woken_;
    uint64_t pushed_ = 0;  // events queued
    uint64_t waked_ = 0;   // of those, the ones whose wake function has returned
    size_t queuedBytes_ = 0;
    std::map<uint32_t, int> sockets_;
    uint32_t nextId_ = 1;
    int listener_ = -1;
    int wake_[2] = {-1, -1};
    uint16_t port_ = 0;
    bool stop_ = false;
    WakeFn wakeFn_;
    std::thread helper_;
};

}  // namespace net
