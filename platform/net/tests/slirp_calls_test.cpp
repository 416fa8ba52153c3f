// The socket calls answered without the host kernel while slirp runs: a socket's IP_TTL set to
// the value it has, and its error queue read after a poll that found no error.

#include "platform/net/slirp_calls.h"

#include <arpa/inet.h>
#include <errno.h>
#include <gtest/gtest.h>
#include <linux/errqueue.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <vector>

namespace {

int Ttl(int fd) {
    int ttl = 0;
    socklen_t length = sizeof ttl;
    ::getsockopt(fd, IPPROTO_IP, IP_TTL, &ttl, &length);
    return ttl;
}

int SetTtl(int fd, int ttl) {
    return ::setsockopt(fd, IPPROTO_IP, IP_TTL, &ttl, sizeof ttl);
}

uint64_t Kept() {
    return net::GetSlirpCallFigures().ttlKept;
}

// Each step sets a TTL, inside a scope or not, on the socket in hand or on a new one that has
// taken its descriptor; the socket must end with that TTL, and only a repeat inside a scope is
// answered here.
TEST(SlirpCalls, TtlIsKeptOnlyWhereTheSocketHasIt) {
    struct Step {
        const char* what;
        bool inScope;
        bool newSocket;
        int ttl;
        bool kept;
    };
    const Step steps[] = {
        {"first set", true, false, 200, false},
        {"repeat", true, false, 200, true},
        {"another value", true, false, 100, false},
        {"set outside the scope", false, false, 50, false},
        {"repeat of the value before the outside set", true, false, 100, false},
        {"repeat after it", true, false, 100, true},
        {"a new socket on the same descriptor", true, true, 100, false},
        {"the default", true, false, -1, false},
        {"the default again", true, false, -1, false},
    };
    int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    ASSERT_GE(fd, 0);
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        if (step.newSocket) {
            const int old = fd;
            ::close(fd);
            fd = ::socket(AF_INET, SOCK_DGRAM, 0);
            ASSERT_EQ(fd, old);
        }
        const uint64_t before = Kept();
        if (step.inScope) {
            net::SlirpCallScope scope;
            EXPECT_EQ(SetTtl(fd, step.ttl), 0);
        } else {
            EXPECT_EQ(SetTtl(fd, step.ttl), 0);
        }
        EXPECT_EQ(Kept() - before, step.kept ? 1u : 0u);
        EXPECT_EQ(Ttl(fd), step.ttl < 0 ? 64 : step.ttl);
    }
    // A refused value is passed on and refused; it leaves nothing known.
    {
        net::SlirpCallScope scope;
        EXPECT_EQ(SetTtl(fd, 300), -1);
        EXPECT_EQ(errno, EINVAL);
    }
    ::close(fd);
}

// A socket with a port-unreachable error queued: its poll raises POLLERR and the error is read;
// once read, a poll without error answers the next read here, and a descriptor the poll did not
// cover goes to the kernel.
TEST(SlirpCalls, ErrorQueueIsReadUnlessThePollFoundNoError) {
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    ASSERT_GE(fd, 0);
    const int on = 1;
    ASSERT_EQ(::setsockopt(fd, IPPROTO_IP, IP_RECVERR, &on, sizeof on), 0);
    // A loopback port nobody listens on: taken, then given back.
    sockaddr_in closed{};
    closed.sin_family = AF_INET;
    closed.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    {
        const int taken = ::socket(AF_INET, SOCK_DGRAM, 0);
        socklen_t length = sizeof closed;
        ASSERT_EQ(::bind(taken, reinterpret_cast<sockaddr*>(&closed), sizeof closed), 0);
        ::getsockname(taken, reinterpret_cast<sockaddr*>(&closed), &length);
        ::close(taken);
    }
    ASSERT_EQ(::sendto(fd, "x", 1, 0, reinterpret_cast<sockaddr*>(&closed), sizeof closed), 1);

    auto readErrorQueue = [fd] {
        char data[64];
        char control[256];
        iovec iov{data, sizeof data};
        msghdr message{};
        message.msg_iov = &iov;
        message.msg_iovlen = 1;
        message.msg_control = control;
        message.msg_controllen = sizeof control;
        const ssize_t got = ::recvmsg(fd, &message, MSG_ERRQUEUE);
        if (got < 0) {
            return -errno;
        }
        const cmsghdr* c = CMSG_FIRSTHDR(&message);
        if (c == nullptr || c->cmsg_level != IPPROTO_IP || c->cmsg_type != IP_RECVERR) {
            return 0;
        }
        return int(reinterpret_cast<const sock_extended_err*>(CMSG_DATA(c))->ee_errno);
    };
    auto poll = [fd] {
        std::vector<pollfd> fds = {{fd, POLLIN, 0}};
        ::poll(fds.data(), fds.size(), 2000);
        return fds;
    };

    std::vector<pollfd> polled = poll();
    ASSERT_TRUE(polled[0].revents & POLLERR);
    uint64_t before = net::GetSlirpCallFigures().errorQueueEmpty;
    {
        net::SlirpCallScope scope(&polled);
        EXPECT_EQ(readErrorQueue(), ECONNREFUSED);
    }
    EXPECT_EQ(net::GetSlirpCallFigures().errorQueueEmpty, before);

    ::sendto(fd, "y", 1, 0, reinterpret_cast<sockaddr*>(&closed), sizeof closed);
    polled = poll();
    ASSERT_TRUE(polled[0].revents & POLLERR);
    {
        // Outside a poll round, and for a descriptor the poll did not cover, the kernel answers.
        net::SlirpCallScope plain;
        std::vector<pollfd> other = {{fd + 1000, POLLIN, 0}};
        net::SlirpCallScope elsewhere(&other);
        EXPECT_EQ(readErrorQueue(), ECONNREFUSED);
        EXPECT_EQ(readErrorQueue(), -EAGAIN);
    }
    EXPECT_EQ(net::GetSlirpCallFigures().errorQueueEmpty, before);

    polled = {{fd, POLLIN, 0}};
    ASSERT_EQ(::poll(polled.data(), polled.size(), 0), 0);
    {
        net::SlirpCallScope scope(&polled);
        EXPECT_EQ(readErrorQueue(), -EAGAIN);
    }
    EXPECT_EQ(net::GetSlirpCallFigures().errorQueueEmpty, before + 1);
    ::close(fd);
}

}  // namespace
