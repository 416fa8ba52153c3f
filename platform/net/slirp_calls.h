// Two of the socket calls slirp makes for every datagram can be answered without the host kernel,
// and on a virtual machine each kernel call is dear:
// - it sets a socket's IP_TTL before each send, nearly always to the value the socket has;
// - it reads a socket's error queue before each receive, where our poll has just told whether
//   the queue holds anything (a queued error always raises POLLERR).
// While a thread runs slirp inside a SlirpCallScope, the process's setsockopt and recvmsg answer
// those two calls here; everything else goes to the C library. Scopes are opened only under the
// core lock, which also guards slirp.
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
