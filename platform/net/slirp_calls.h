// Slirp makes six kernel calls for each datagram it forwards (poll, error queue, size, read in;
// TTL, send out), and on a virtual machine each kernel call is dear. Most of them are answered
// here, in the process's own setsockopt, recvmsg, ioctl, recvfrom and recv:
// - it sets a socket's IP_TTL before each send, nearly always to the value the socket has;
// - it reads a socket's error queue before each receive, where our poll has just told whether
//   the queue holds anything (a queued error always raises POLLERR);
// - when it asks the size of the next datagram on a readable datagram socket, every datagram
//   waiting there (up to eight) is taken in one call; its reads of that socket, and the next polls,
//   are then answered from what was taken, in order.
// Only calls made while a thread runs slirp inside a SlirpCallScope are answered here (reads of
// a socket with datagrams taken ahead, by anyone); everything else goes to the C library.
// Scopes are opened only under the core lock, which also guards slirp.
#pragma once

#include <poll.h>

#include <cstdint>
#include <vector>

namespace net {

class SlirpCallScope {
public:
    // `polled`: the poll set whose results slirp is about to read, or null outside a poll round.
    explicit SlirpCallScope(const std::vector<pollfd>* polled = nullptr);
    ~SlirpCallScope();
    SlirpCallScope(const SlirpCallScope&) = delete;
    SlirpCallScope& operator=(const SlirpCallScope&) = delete;

    const std::vector<pollfd>* Polled() const { return polled_; }

private:
    SlirpCallScope* outer_;
    const std::vector<pollfd>* polled_;
};

// Calls answered here since the process began.
struct SlirpCallFigures {
    uint64_t ttlKept = 0;          // IP_TTL set to the value the socket had
    uint64_t errorQueueEmpty = 0;  // error queue read after a poll that found no error
    uint64_t readAhead = 0;        // datagrams read ahead, then handed to a read
};
SlirpCallFigures GetSlirpCallFigures();

// Before a poll: marks the descriptors with datagrams read ahead readable (and the others not)
// and returns true, so the round is served without the poll; false if nothing is held.
bool MarkReadAhead(std::vector<pollfd>& fds);

}  // namespace net
