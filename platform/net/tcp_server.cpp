#include "platform/net/tcp_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "platform/net/net_config.h"

namespace net {

TcpServer::~TcpServer() {
    Stop();
}

bool TcpServer::Start(uint16_t port, WakeFn wake) {
    if (Running()) {
        return false;
    }
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return false;
    }
    const int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(BindAddress());
    socklen_t length = sizeof address;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(fd, 8) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
        ::pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0) {
        ::close(fd);
        return false;
    }
    listener_ = fd;
    port_ = ntohs(address.sin_port);
    wakeFn_ = std::move(wake);
    stop_ = false;
    helper_ = std::thread([this] { HelperMain(); });
    return true;
}

void TcpServer::Stop() {
    if (!Running()) {
        return;
    }
    {
        std::lock_guard<std::mutex> guard(lock_);
        stop_ = true;
    }
    Poke();
    helper_.join();
    std::lock_guard<std::mutex> guard(lock_);
    for (auto& [id, fd] : sockets_) {
        ::close(fd);
    }
    sockets_.clear();
    events_.clear();
    queuedBytes_ = 0;
    ::close(listener_);
    ::close(wake_[0]);
    ::close(wake_[1]);
    listener_ = wake_[0] = wake_[1] = -1;
    port_ = 0;
}

void TcpServer::Poke() {
    const char c = 0;
    (void)!::write(wake_[1], &c, 1);
}

void TcpServer::Push(TcpEvent event) {
    {
        std::lock_guard<std::mutex> guard(lock_);
        queuedBytes_ += event.data.size();
        events_.push_back(std::move(event));
        ++pushed_;
    }
    if (wakeFn_) {
        wakeFn_();
    }
    {
        std::lock_guard<std::mutex> guard(lock_);
        ++waked_;
    }
    woken_.notify_all();
}

bool TcpServer::Next(TcpEvent* event) {
    bool resumeReading = false;
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (events_.empty() || event == nullptr) {
            return false;
        }
        *event = std::move(events_.front());
        events_.pop_front();
        resumeReading = queuedBytes_ >= kMaxQueuedBytes;
        queuedBytes_ -= event->data.size();
        resumeReading = resumeReading && queuedBytes_ < kMaxQueuedBytes;
    }
    if (resumeReading) {
        Poke();
    }
    return true;
}

size_t TcpServer::Pending() const {
    std::lock_guard<std::mutex> guard(lock_);
    return events_.size();
}

bool TcpServer::WaitForEvents(size_t count, std::chrono::milliseconds limit) const {
    std::unique_lock<std::mutex> guard(lock_);
    return woken_.wait_for(guard, limit,
                           [&] { return events_.size() >= count && waked_ == pushed_; });
}

size_t TcpServer::Connections() const {
    std::lock_guard<std::mutex> guard(lock_);
    return sockets_.size();
}

bool TcpServer::Send(uint32_t connection, const void* data, size_t length) {
    std::lock_guard<std::mutex> guard(lock_);
    const auto it = sockets_.find(connection);
    if (it == sockets_.end() || (data == nullptr && length != 0)) {
        return false;
    }
    const char* bytes = static_cast<const char*>(data);
    while (length > 0) {
        const ssize_t sent = ::send(it->second, bytes, length, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent < 0 && errno == EINTR) {
            continue;
        }
        if (sent <= 0) {
            return false;
        }
        bytes += sent;
        length -= static_cast<size_t>(sent);
    }
    return true;
}

void TcpServer::Close(uint32_t connection) {
    std::lock_guard<std::mutex> guard(lock_);
    const auto it = sockets_.find(connection);
    if (it != sockets_.end()) {
        ::shutdown(it->second, SHUT_RDWR);
    }
}

void TcpServer::Accept() {
    sockaddr_in peer{};
    socklen_t length = sizeof peer;
    const int fd = ::accept4(listener_, reinterpret_cast<sockaddr*>(&peer), &length, SOCK_CLOEXEC);
    if (fd < 0) {
        return;
    }
    uint32_t id = 0;
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (sockets_.size() >= kMaxConnections || !EgressAllowed(ntohl(peer.sin_addr.s_addr))) {
            ::close(fd);
            return;
        }
        const int one = 1;
        ::setsockopt(fd, IPPROTO_TCP, 1 /* TCP_NODELAY */, &one, sizeof one);
        id = nextId_++;
        sockets_[id] = fd;
    }
    Push({TcpEvent::kConnected, id, {}});
}

void TcpServer::Drop(uint32_t connection) {
    {
        std::lock_guard<std::mutex> guard(lock_);
        const auto it = sockets_.find(connection);
        if (it == sockets_.end()) {
            return;
        }
        ::close(it->second);
        sockets_.erase(it);
    }
    Push({TcpEvent::kClosed, connection, {}});
}

void TcpServer::HelperMain() {
    std::vector<pollfd> fds;
    std::vector<uint32_t> ids;
    char buffer[kReadSize];
    for (;;) {
        fds.clear();
        ids.clear();
        fds.push_back({wake_[0], POLLIN, 0});
        fds.push_back({listener_, POLLIN, 0});
        {
            std::lock_guard<std::mutex> guard(lock_);
            if (stop_) {
                return;
            }
            const short reading = queuedBytes_ < kMaxQueuedBytes ? POLLIN : 0;
            for (const auto& [id, fd] : sockets_) {
                fds.push_back({fd, reading, 0});
                ids.push_back(id);
            }
        }
        if (::poll(fds.data(), fds.size(), -1) < 0) {
            continue;
        }
        if (fds[0].revents != 0) {
            while (::read(wake_[0], buffer, sizeof buffer) > 0) {
            }
        }
        if (fds[1].revents & POLLIN) {
            Accept();
        }
        for (size_t i = 2; i < fds.size(); ++i) {
            if (fds[i].revents == 0) {
                continue;
            }
            const ssize_t got = ::recv(fds[i].fd, buffer, sizeof buffer, MSG_DONTWAIT);
            if (got > 0) {
                Push({TcpEvent::kData, ids[i - 2], std::string(buffer, static_cast<size_t>(got))});
            } else if (got == 0 || (errno != EAGAIN && errno != EINTR)) {
                Drop(ids[i - 2]);
            }
        }
    }
}

}  // namespace net
