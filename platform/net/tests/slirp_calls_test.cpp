// The socket calls answered without the host kernel while slirp runs: a socket's IP_TTL set to
// the value it has, and its error queue read after a poll that found no error.

#include "platform/net/slirp_calls.h"

#include <arpa/inet.h>
#include <errno.h>
#include <gtest/gtest.h>
#include <linux/errqueue.h>
#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>
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

// A UDP socket bound to a free loopback port.
struct Udp {
    int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in address{};
    Udp() {
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    }
    ~Udp() { ::close(fd); }
    void SendTo(const Udp& to, const std::string& data) const {
        ::sendto(fd, data.data(), data.size(), 0, reinterpret_cast<const sockaddr*>(&to.address),
                 sizeof to.address);
    }
};

// Polls `fd` for input until it has some.
std::vector<pollfd> PollIn(int fd) {
    std::vector<pollfd> fds = {{fd, POLLIN, 0}};
    ::poll(fds.data(), fds.size(), 2000);
    return fds;
}

uint64_t ReadAhead() {
    return net::GetSlirpCallFigures().readAhead;
}

// Slirp's read of a readable socket (its size asked first) takes every datagram waiting in one
// kernel call; its reads then get them in order, with their senders, as the kernel would give
// them: cut to the buffer, whole length with MSG_TRUNC, left in place with MSG_PEEK.
TEST(SlirpCalls, DatagramsAreReadAheadAndHandedOutInOrder) {
    Udp receiver;
    Udp a;
    Udp b;
    const std::string large(5000, 'x');
    a.SendTo(receiver, "one");
    b.SendTo(receiver, large);
    a.SendTo(receiver, "three");
    std::vector<pollfd> polled = PollIn(receiver.fd);
    ASSERT_TRUE(polled[0].revents & POLLIN);

    // Outside a poll round the size comes from the kernel and nothing is read ahead.
    int size = 0;
    {
        net::SlirpCallScope plain;
        ASSERT_EQ(::ioctl(receiver.fd, FIONREAD, &size), 0);
        EXPECT_EQ(size, 3);
        std::vector<pollfd> fds = {{receiver.fd, POLLIN, 0}};
        EXPECT_FALSE(net::MarkReadAhead(fds));
    }
    const uint64_t before = ReadAhead();
    {
        net::SlirpCallScope scope(&polled);
        size = 0;
        ASSERT_EQ(::ioctl(receiver.fd, FIONREAD, &size), 0);
        EXPECT_EQ(size, 3);
    }
    // Its next poll round needs no poll: the socket is readable, the others are not.
    std::vector<pollfd> next = {{a.fd, POLLIN, 0}, {receiver.fd, POLLIN, 0}};
    ASSERT_TRUE(net::MarkReadAhead(next));
    EXPECT_EQ(next[0].revents, 0);
    EXPECT_EQ(next[1].revents, POLLIN);

    struct Read {
        size_t buffer;
        int flags;
        ssize_t result;
        std::string data;
        const Udp* sender;
    };
    const Read reads[] = {
        {64, 0, 3, "one", &a},
        {2, MSG_PEEK | MSG_TRUNC, 5000, "xx", &b},
        {8000, 0, 5000, large, &b},
        {3, 0, 3, "thr", &a},
    };
    for (const Read& read : reads) {
        SCOPED_TRACE(read.data.substr(0, 8));
        std::vector<char> buffer(read.buffer);
        sockaddr_in from{};
        socklen_t fromLength = sizeof from;
        const ssize_t got = ::recvfrom(receiver.fd, buffer.data(), buffer.size(), read.flags,
                                       reinterpret_cast<sockaddr*>(&from), &fromLength);
        ASSERT_EQ(got, read.result);
        EXPECT_EQ(std::string(buffer.data(), std::min(buffer.size(), size_t(got))), read.data);
        EXPECT_EQ(fromLength, sizeof from);
        EXPECT_EQ(from.sin_port, read.sender->address.sin_port);
    }
    EXPECT_EQ(ReadAhead() - before, 3u);
    // All handed out: the kernel answers again, and has nothing.
    std::vector<pollfd> fds = {{receiver.fd, POLLIN, 0}};
    EXPECT_FALSE(net::MarkReadAhead(fds));
    char byte = 0;
    EXPECT_EQ(::recv(receiver.fd, &byte, 1, MSG_DONTWAIT), -1);
    EXPECT_EQ(errno, EAGAIN);
}

// What was read ahead goes with its socket: a new socket on the same descriptor sees none of
// it. A stream socket is never read ahead: its bytes stay with the kernel.
TEST(SlirpCalls, ReadAheadGoesWithItsSocketAndSkipsStreams) {
    Udp sender;
    int descriptor = -1;
    {
        Udp receiver;
        descriptor = receiver.fd;
        sender.SendTo(receiver, "held");
        std::vector<pollfd> polled = PollIn(receiver.fd);
        net::SlirpCallScope scope(&polled);
        int size = 0;
        ASSERT_EQ(::ioctl(receiver.fd, FIONREAD, &size), 0);
        std::vector<pollfd> fds = {{receiver.fd, POLLIN, 0}};
        ASSERT_TRUE(net::MarkReadAhead(fds));
    }
    {
        Udp again;
        ASSERT_EQ(again.fd, descriptor);
        std::vector<pollfd> fds = {{again.fd, POLLIN, 0}};
        EXPECT_FALSE(net::MarkReadAhead(fds));
        char byte = 0;
        EXPECT_EQ(::recv(again.fd, &byte, 1, MSG_DONTWAIT), -1);
    }

    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
    ASSERT_EQ(::listen(listener, 1), 0);
    const int client = ::socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_EQ(::connect(client, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    const int server = ::accept(listener, nullptr, nullptr);
    ASSERT_GE(server, 0);
    const std::string text = "stream data";
    ASSERT_EQ(::send(client, text.data(), text.size(), 0), ssize_t(text.size()));
    std::vector<pollfd> polled = PollIn(server);
    {
        net::SlirpCallScope scope(&polled);
        int size = 0;
        ASSERT_EQ(::ioctl(server, FIONREAD, &size), 0);
        EXPECT_EQ(size, int(text.size()));
        std::vector<pollfd> fds = {{server, POLLIN, 0}};
        EXPECT_FALSE(net::MarkReadAhead(fds));
    }
    char buffer[64];
    EXPECT_EQ(std::string(buffer, size_t(::recv(server, buffer, sizeof buffer, 0))), text);
    ::close(server);
    ::close(client);
    ::close(listener);
}

}  // namespace
