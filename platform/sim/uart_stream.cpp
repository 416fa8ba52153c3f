#include "platform/sim/uart_stream.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace sim {

namespace {

void NonBlocking(int fd) {
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
}

}  // namespace

std::unique_ptr<UartStream> UartStream::OpenPty(Uart16550& uart) {
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) {
        if (master >= 0)
            ::close(master);
        return nullptr;
    }
    char name[128] = {};
    if (::ptsname_r(master, name, sizeof name) != 0) {
        ::close(master);
        return nullptr;
    }
    const int slave = ::open(name, O_RDWR | O_NOCTTY);
    if (slave < 0) {
        ::close(master);
        return nullptr;
    }
    termios tio{};
    ::tcgetattr(slave, &tio);
    ::cfmakeraw(&tio);
    ::tcsetattr(slave, TCSANOW, &tio);
    NonBlocking(master);
    return std::unique_ptr<UartStream>(new UartStream(uart, master, -1, slave, name));
}

std::unique_ptr<UartStream> UartStream::ListenTcp(Uart16550& uart, uint16_t port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return nullptr;
    }
    const int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(fd, 1) != 0) {
        ::close(fd);
        return nullptr;
    }
    NonBlocking(fd);
    return std::unique_ptr<UartStream>(
        new UartStream(uart, -1, fd, -1, "127.0.0.1:" + std::to_string(port)));
}

UartStream::UartStream(Uart16550& uart, int ioFd, int listenFd, int slaveFd, std::string path)
    : uart_(uart),
      ioFd_(ioFd),
      listenFd_(listenFd),
      slaveFd_(slaveFd),
      wakeFd_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)),
      path_(std::move(path)) {
    uart_.SetModemInputs(Uart16550::kCts | Uart16550::kDsr | Uart16550::kDcd);
    uart_.SetFarEnd(this);
    thread_ = std::thread([this] { Run(); });
}

UartStream::~UartStream() {
    uart_.SetFarEnd(nullptr);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    Wake();
    thread_.join();
    for (int fd : {ioFd_, listenFd_, slaveFd_, wakeFd_}) {
        if (fd >= 0)
            ::close(fd);
    }
}

bool UartStream::Take(uint8_t byte) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (out_.size() >= kOutLimit) {
            return false;
        }
        out_.push_back(byte);
    }
    Wake();
    return true;
}

void UartStream::Wake() {
    const uint64_t one = 1;
    [[maybe_unused]] ssize_t n = ::write(wakeFd_, &one, sizeof one);
}

// Writes what is queued; false when the peer is gone.
bool UartStream::Flush(int fd) {
    uint8_t chunk[1024];
    size_t count = 0;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (; count < sizeof chunk && count < out_.size(); ++count) {
            chunk[count] = out_[count];
        }
    }
    if (count == 0) {
        return true;
    }
    const ssize_t n =
        listenFd_ >= 0 ? ::send(fd, chunk, count, MSG_NOSIGNAL) : ::write(fd, chunk, count);
    if (n < 0) {
        return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        out_.erase(out_.begin(), out_.begin() + n);
    }
    uart_.FarEndReady();
    return true;
}

void UartStream::Feed(int fd, bool* closed) {
    uint8_t chunk[1024];
    const size_t room = uart_.InputRoom();
    if (room == 0) {
        return;
    }
    const ssize_t n = ::read(fd, chunk, room < sizeof chunk ? room : sizeof chunk);
    if (n > 0) {
        uart_.Receive(chunk, size_t(n));
    } else if (n == 0) {
        inputEnded_ = true;  // the peer sends no more but may still read
    } else if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
        *closed = true;
    }
}

void UartStream::Run() {
    for (;;) {
        bool pendingOut = false;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (stop_)
                return;
            pendingOut = !out_.empty();
        }
        pollfd fds[3] = {{wakeFd_, POLLIN, 0}, {ioFd_, 0, 0}, {listenFd_, POLLIN, 0}};
        if (ioFd_ >= 0) {
            fds[1].events = short((uart_.InputRoom() > 0 && !inputEnded_ ? POLLIN : 0) |
                                  (pendingOut ? POLLOUT : 0));
        }
        // Input room frees as the firmware reads: look again now and then.
        ::poll(fds, 3, 10);
        if (fds[0].revents & POLLIN) {
            uint64_t value = 0;
            [[maybe_unused]] ssize_t n = ::read(wakeFd_, &value, sizeof value);
        }
        if (listenFd_ >= 0 && ioFd_ < 0 && (fds[2].revents & POLLIN)) {
            ioFd_ = ::accept4(listenFd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
            inputEnded_ = false;
        }
        if (ioFd_ < 0)
            continue;
        bool closed = (fds[1].revents & (POLLHUP | POLLERR)) != 0;
        if (!closed && (fds[1].revents & POLLIN)) {
            Feed(ioFd_, &closed);
        }
        if (!closed && (fds[1].revents & POLLOUT)) {
            closed = !Flush(ioFd_);
        }
        // A TCP peer that left: wait for the next one; what it did not take stays queued.
        if (closed && listenFd_ >= 0) {
            ::close(ioFd_);
            ioFd_ = -1;
        }
    }
}

}  // namespace sim
