#include "platform/net/slirp_calls.h"

#include <dlfcn.h>
#include <errno.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <atomic>
#include <cstring>

namespace net {
namespace {

thread_local SlirpCallScope* tls_scope = nullptr;

// The IP_TTL each socket was last given here, by descriptor (0: not known). A descriptor's
// entry is forgotten whenever it is closed or handed out anew.
constexpr int kKnownDescriptors = 4096;
std::atomic<int> g_ttl[kKnownDescriptors];

std::atomic<uint64_t> g_ttlKept{0};
std::atomic<uint64_t> g_errorQueueEmpty{0};

bool Known(int fd) {
    return fd >= 0 && fd < kKnownDescriptors;
}

void Forget(int fd) {
    if (Known(fd)) {
        g_ttl[fd].store(0, std::memory_order_relaxed);
    }
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
            g_errorQueueEmpty.load(std::memory_order_relaxed)};
}

namespace {

// True if the poll slirp is reading found `fd` and raised no error on it.
bool PolledWithoutError(int fd) {
    const std::vector<pollfd>* polled = tls_scope != nullptr ? tls_scope->Polled() : nullptr;
    if (polled == nullptr) {
        return false;
    }
    bool found = false;
    for (const pollfd& p : *polled) {
        if (p.fd == fd) {
            if (p.revents & (POLLERR | POLLNVAL)) {
                return false;
            }
            found = true;
        }
    }
    return found;
}

}  // namespace
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
    if ((flags & MSG_ERRQUEUE) && net::PolledWithoutError(fd)) {
        net::g_errorQueueEmpty.fetch_add(1, std::memory_order_relaxed);
        errno = EAGAIN;
        return -1;
    }
    return next(fd, message, flags);
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
