#pragma once
// The lwIP core shared by every IP instance: started once per process (its thread is a host
// helper), one lock (lwIP's core lock) around every call into it, and the wakes that a firmware
// thread holding the lock must not make until it lets go (a kernel call may hand the baton to a
// thread that then waits for the lock).

#include <cstdint>
#include <functional>

namespace net {

// Starts lwIP's thread on first use; later calls return at once.
void StartStack();

// Holds lwIP's core lock; on release runs the wakes queued meanwhile.
class CoreLock {
public:
    CoreLock();
    ~CoreLock();
    CoreLock(const CoreLock&) = delete;
    CoreLock& operator=(const CoreLock&) = delete;
};

// True while the calling thread holds the core lock.
bool HoldsCoreLock();

// Runs fn now when called from a host helper thread; from a firmware thread it runs when the
// thread's core lock is released. fn may only make non-blocking kernel calls.
void Wake(std::function<void()> fn);

// Host side, after a boot's kernel has gone: drops every interface, socket and listener the
// boot made (lwIP itself keeps running for the next boot). Their NX records may be reused.
void EndOfBoot();
// Per kind, under the core lock (each file keeps its own registry).
void ForgetInstances();
void ForgetUdpSockets();
void ForgetTcpSockets();
void ForgetPools();  // the packet records of every pool not deleted

// Told whenever a port is bound or released by a socket of any instance (the wire forwards it
// from the host). Called from firmware threads, without the core lock.
struct PortObserver {
    virtual ~PortObserver() = default;
    virtual void PortBound(bool udp, uint16_t port) = 0;
    virtual void PortReleased(bool udp, uint16_t port) = 0;
};
void SetPortObserver(PortObserver* observer);
void NotifyPortBound(bool udp, uint16_t port);
void NotifyPortReleased(bool udp, uint16_t port);

}  // namespace net
