#include "platform/net/slirp_calls.h"

#include <dlfcn.h>
#include <errno.h>
#include <netinet/in.h>
#include <stdarg.h>
#include <sys/ioctl.h>
#include <sys/socket.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <deque>
#include <mutex>
#include <unordered_map>

namespace net {
namespace {

thread_local SlirpCallScope* tls_scope = nullptr;

// The IP_TTL each socket was last given here, by descriptor (0: not known). A descriptor's
// entry is forgotten whenever it is closed or handed out anew.
constexpr int kKnownDescriptors = 4096;
std::atomic<int> g_ttl[kKnownDescriptors];

std::atomic<uint64_t> g_ttlKept{0};
std::atomic<uint64_t> g_errorQueueEmpty{0};
std::atomic<uint64_t> g_readAhead{0};

// Datagrams read ahead from a datagram socket slirp reads: one kernel call takes up to
// kReadAhead of them, and slirp's own reads of that socket are then answered from here, in
// order, while its polls see it readable.
constexpr unsigned kReadAhead = 8;
constexpr size_t kLargestDatagram = 65536;
struct Datagram {
    std::vector<uint8_t> data;
    sockaddr_storage from{};
    socklen_t fromLength = 0;
};
struct ReadSocket {
    bool datagram = false;
    std::deque<Datagram> ahead;
};
std::mutex g_readLock;  // close() may come from any thread
std::unordered_map<int, ReadSocket> g_read;
std::atomic<size_t> g_aheadCount{0};   // datagrams held in g_read
std::atomic<size_t> g_readSockets{0};  // entries in g_read: while none, close() takes no lock

bool Known(int fd) {
    return fd >= 0 && fd < kKnownDescriptors;
}

void Forget(int fd) {
    if (Known(fd)) {
        g_ttl[fd].store(0, std::memory_order_relaxed);
    }
    if (g_readSockets.load(std::memory_order_relaxed) == 0) {
        return;
    }
    std::lock_guard<std::mutex> guard(g_readLock);
    const auto found = g_read.find(fd);
    if (found != g_read.end()) {
        g_aheadCount.fetch_sub(found->second.ahead.size(), std::memory_order_relaxed);
        g_read.erase(found);
        g_readSockets.fetch_sub(1, std::memory_order_relaxed);
    }
}

// What the poll slirp is reading found on `fd` (its events over every entry for it); -1 outside
// a poll round or for a descriptor it did not cover.
int PolledEvents(int fd) {
    const std::vector<pollfd>* polled = tls_scope != nullptr ? tls_scope->Polled() : nullptr;
    if (polled == nullptr) {
        return -1;
    }
    int events = -1;
    for (const pollfd& p : *polled) {
        if (p.fd == fd) {
            events = std::max(events, 0) | p.revents;
        }
    }
    return events;
}

// Reads ahead from `fd` if nothing is held for it yet; the size of the first datagram held.
bool ReadAhead(int fd, int* size) {
    std::lock_guard<std::mutex> guard(g_readLock);
    auto [entry, added] = g_read.try_emplace(fd);
    ReadSocket& socket = entry->second;
    if (added) {
        g_readSockets.fetch_add(1, std::memory_order_relaxed);
        int type = 0;
        socklen_t length = sizeof type;
        socket.datagram =
            ::getsockopt(fd, SOL_SOCKET, SO_TYPE, &type, &length) == 0 && type == SOCK_DGRAM;
    }
    if (!socket.datagram) {
        return false;
    }
    if (socket.ahead.empty()) {
        static std::vector<uint8_t> scratch(size_t(kReadAhead) * kLargestDatagram);
        mmsghdr messages[kReadAhead]{};
        iovec vectors[kReadAhead];
        sockaddr_storage from[kReadAhead];
        for (unsigned i = 0; i < kReadAhead; ++i) {
            vectors[i] = {scratch.data() + i * kLargestDatagram, kLargestDatagram};
            messages[i].msg_hdr.msg_iov = &vectors[i];
            messages[i].msg_hdr.msg_iovlen = 1;
            messages[i].msg_hdr.msg_name = &from[i];
            messages[i].msg_hdr.msg_namelen = sizeof from[i];
        }
        const int got = ::recvmmsg(fd, messages, kReadAhead, MSG_DONTWAIT, nullptr);
        for (int i = 0; i < got; ++i) {
            const uint8_t* data = scratch.data() + size_t(i) * kLargestDatagram;
            Datagram& d = socket.ahead.emplace_back();
            d.data.assign(data, data + std::min<size_t>(messages[i].msg_len, kLargestDatagram));
            d.fromLength = std::min<socklen_t>(messages[i].msg_hdr.msg_namelen, sizeof d.from);
            std::memcpy(&d.from, &from[i], d.fromLength);
        }
        g_aheadCount.fetch_add(socket.ahead.size(), std::memory_order_relaxed);
    }
    if (socket.ahead.empty()) {
        return false;
    }
    *size = int(socket.ahead.front().data.size());
    return true;
}

// A read of `fd` answered from what is held for it, if anything is.
bool TakeAhead(int fd, void* buffer, size_t length, int flags, sockaddr* from,
               socklen_t* fromLength, ssize_t* result) {
    if (g_aheadCount.load(std::memory_order_relaxed) == 0 || (flags & MSG_ERRQUEUE)) {
        return false;
    }
    std::lock_guard<std::mutex> guard(g_readLock);
    const auto found = g_read.find(fd);
    if (found == g_read.end() || found->second.ahead.empty()) {
        return false;
    }
    std::deque<Datagram>& ahead = found->second.ahead;
    const Datagram& d = ahead.front();
    const size_t copied = std::min(length, d.data.size());
    if (copied > 0) {
        std::memcpy(buffer, d.data.data(), copied);
    }
    if (from != nullptr && fromLength != nullptr) {
        std::memcpy(from, &d.from, std::min(*fromLength, d.fromLength));
        *fromLength = d.fromLength;
    }
    *result = ssize_t((flags & MSG_TRUNC) ? d.data.size() : copied);
    if (!(flags & MSG_PEEK)) {
        ahead.pop_front();
        g_aheadCount.fetch_sub(1, std::memory_order_relaxed);
        g_readAhead.fetch_add(1, std::memory_order_relaxed);
    }
    return true;
}

// The next definition of a C library call after this program's own.
template <typename Function>
Function Next(const char* name) {
    return reinterpret_cast<Function>(::dlsym(RTLD_NEXT, name));
}

}  // namespace

SlirpCallScope::SlirpCallScope(const std::vector<pollfd>* polled)
    : outer_(tls_scope), polled_(polled) {
    tls_scope = this;
}

SlirpCallScope::~SlirpCallScope() {
    tls_scope = outer_;
}

SlirpCallFigures GetSlirpCallFigures() {
    return {g_ttlKept.load(std::memory_order_relaxed),
            g_errorQueueEmpty.load(std::memory_order_relaxed),
            g_readAhead.load(std::memory_order_relaxed)};
}

bool MarkReadAhead(std::vector<pollfd>& fds) {
    if (g_aheadCount.load(std::memory_order_relaxed) == 0) {
        return false;
    }
    std::lock_guard<std::mutex> guard(g_readLock);
    bool any = false;
    for (pollfd& p : fds) {
        const auto found = g_read.find(p.fd);
        p.revents = found != g_read.end() && !found->second.ahead.empty() ? POLLIN : 0;
        any = any || p.revents != 0;
    }
    return any;
}

}  // namespace net

// The process's own definitions of these calls, ahead of the C library's.

extern "C" int setsockopt(int fd, int level, int name, const void* value,
                          socklen_t length) noexcept {
    using Function = int (*)(int, int, int, const void*, socklen_t);
    static const Function next = net::Next<Function>("setsockopt");
    if (level != IPPROTO_IP || name != IP_TTL || !net::Known(fd)) {
        return next(fd, level, name, value, length);
    }
    int ttl = 0;
    const bool plain = value != nullptr && length == sizeof ttl;
    if (plain) {
        std::memcpy(&ttl, value, sizeof ttl);
    }
    const bool cacheable = plain && ttl >= 1 && ttl <= 255 && net::tls_scope != nullptr;
    if (cacheable && net::g_ttl[fd].load(std::memory_order_relaxed) == ttl) {
        net::g_ttlKept.fetch_add(1, std::memory_order_relaxed);
        return 0;
    }
    const int result = next(fd, level, name, value, length);
    net::g_ttl[fd].store(cacheable && result == 0 ? ttl : 0, std::memory_order_relaxed);
    return result;
}

extern "C" ssize_t recvmsg(int fd, msghdr* message, int flags) {
    using Function = ssize_t (*)(int, msghdr*, int);
    static const Function next = net::Next<Function>("recvmsg");
    const int polled = (flags & MSG_ERRQUEUE) ? net::PolledEvents(fd) : -1;
    if (polled >= 0 && !(polled & (POLLERR | POLLNVAL))) {
        net::g_errorQueueEmpty.fetch_add(1, std::memory_order_relaxed);
        errno = EAGAIN;
        return -1;
    }
    return next(fd, message, flags);
}

extern "C" int ioctl(int fd, unsigned long request, ...) noexcept {
    using Function = int (*)(int, unsigned long, void*);
    static const Function next = net::Next<Function>("ioctl");
    va_list arguments;
    va_start(arguments, request);
    void* argument = va_arg(arguments, void*);
    va_end(arguments);
    if (request == FIONREAD && argument != nullptr) {
        const int polled = net::PolledEvents(fd);
        int size = 0;
        if (polled > 0 && (polled & POLLIN) && net::ReadAhead(fd, &size)) {
            std::memcpy(argument, &size, sizeof size);
            return 0;
        }
    }
    return next(fd, request, argument);
}

extern "C" ssize_t recvfrom(int fd, void* buffer, size_t length, int flags, sockaddr* from,
                            socklen_t* fromLength) {
    using Function = ssize_t (*)(int, void*, size_t, int, sockaddr*, socklen_t*);
    static const Function next = net::Next<Function>("recvfrom");
    ssize_t result = 0;
    if (net::TakeAhead(fd, buffer, length, flags, from, fromLength, &result)) {
        return result;
    }
    return next(fd, buffer, length, flags, from, fromLength);
}

extern "C" ssize_t recv(int fd, void* buffer, size_t length, int flags) {
    using Function = ssize_t (*)(int, void*, size_t, int);
    static const Function next = net::Next<Function>("recv");
    ssize_t result = 0;
    if (net::TakeAhead(fd, buffer, length, flags, nullptr, nullptr, &result)) {
        return result;
    }
    return next(fd, buffer, length, flags);
}

extern "C" int close(int fd) {
    using Function = int (*)(int);
    static const Function next = net::Next<Function>("close");
    net::Forget(fd);
    return next(fd);
}

extern "C" int socket(int domain, int type, int protocol) noexcept {
    using Function = int (*)(int, int, int);
    static const Function next = net::Next<Function>("socket");
    const int fd = next(domain, type, protocol);
    net::Forget(fd);
    return fd;
}

extern "C" int accept(int fd, sockaddr* address, socklen_t* length) {
    using Function = int (*)(int, sockaddr*, socklen_t*);
    static const Function next = net::Next<Function>("accept");
    const int connection = next(fd, address, length);
    net::Forget(connection);
    return connection;
}

extern "C" int accept4(int fd, sockaddr* address, socklen_t* length, int flags) {
    using Function = int (*)(int, sockaddr*, socklen_t*, int);
    static const Function next = net::Next<Function>("accept4");
    const int connection = next(fd, address, length, flags);
    net::Forget(connection);
    return connection;
}
