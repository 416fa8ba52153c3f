// The TCP server turns socket traffic into ordered events, bounds connections, guards egress.
#include "platform/net/tcp_server.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>

#include "platform/net/net_config.h"

namespace {

// A loopback client of the server under test.
class Client {
public:
    explicit Client(uint16_t port) {
        fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(0x7F000001u);
        connected_ = ::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    }
    ~Client() { Close(); }
    void Close() {
        if (fd_ >= 0) {
            ::close(fd_);
            fd_ = -1;
        }
    }
    bool connected() const { return connected_; }
    void Write(const std::string& text) {
        ASSERT_EQ(::send(fd_, text.data(), text.size(), 0), ssize_t(text.size()));
    }
    // Reads until `count` bytes came or the peer closed (5 s at most).
    std::string Read(size_t count) {
        std::string text;
        char buffer[256];
        while (text.size() < count) {
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, 5000) <= 0) {
                break;
            }
            const ssize_t got =
                ::recv(fd_, buffer, std::min(sizeof buffer, count - text.size()), 0);
            if (got <= 0) {
                break;
            }
            text.append(buffer, size_t(got));
        }
        return text;
    }
    bool PeerClosed() {
        pollfd p{fd_, POLLIN, 0};
        char c;
        return ::poll(&p, 1, 5000) == 1 && ::recv(fd_, &c, 1, 0) == 0;
    }

private:
    int fd_ = -1;
    bool connected_ = false;
};

class TcpServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server.Start(0, [this] {
            std::lock_guard<std::mutex> guard(lock);
            ++wakes;
            changed.notify_all();
        }));
        ASSERT_NE(server.Port(), 0);
    }
    // Waits (5 s at most) for the next event.
    bool NextEvent(net::TcpEvent* event) {
        std::unique_lock<std::mutex> guard(lock);
        changed.wait_for(guard, std::chrono::seconds(5), [&] { return server.Pending() > 0; });
        guard.unlock();
        return server.Next(event);
    }
    // Collects data events of one connection until `count` bytes came.
    std::string ReadData(uint32_t connection, size_t count) {
        std::string text;
        net::TcpEvent event;
        while (text.size() < count && NextEvent(&event)) {
            EXPECT_EQ(event.kind, net::TcpEvent::kData);
            EXPECT_EQ(event.connection, connection);
            text += event.data;
        }
        return text;
    }

    std::mutex lock;
    std::condition_variable changed;
    int wakes = 0;
    net::TcpServer server;
};

TEST_F(TcpServerTest, ConnectionDataAndCloseArriveAsEventsInOrder) {
    Client client(server.Port());
    ASSERT_TRUE(client.connected());
    net::TcpEvent event;
    ASSERT_TRUE(NextEvent(&event));
    EXPECT_EQ(event.kind, net::TcpEvent::kConnected);
    const uint32_t id = event.connection;
    EXPECT_EQ(server.Connections(), 1u);

    client.Write("hello");
    EXPECT_EQ(ReadData(id, 5), "hello");
    EXPECT_TRUE(server.Send(id, "abc\r\n", 5));
    EXPECT_EQ(client.Read(5), "abc\r\n");

    client.Close();
    ASSERT_TRUE(NextEvent(&event));
    EXPECT_EQ(event.kind, net::TcpEvent::kClosed);
    EXPECT_EQ(event.connection, id);
    EXPECT_FALSE(server.Send(id, "x", 1)) << "a closed connection takes nothing";
    std::lock_guard<std::mutex> guard(lock);
    EXPECT_GT(wakes, 0);
}

TEST_F(TcpServerTest, ServerSideCloseEndsTheConnection) {
    Client client(server.Port());
    net::TcpEvent event;
    ASSERT_TRUE(NextEvent(&event));
    server.Close(event.connection);
    EXPECT_TRUE(client.PeerClosed());
    ASSERT_TRUE(NextEvent(&event));
    EXPECT_EQ(event.kind, net::TcpEvent::kClosed);
}

TEST_F(TcpServerTest, ConnectionsBeyondTheLimitAreRefused) {
    std::vector<std::unique_ptr<Client>> clients;
    net::TcpEvent event;
    for (size_t i = 0; i < net::TcpServer::kMaxConnections; ++i) {
        clients.push_back(std::make_unique<Client>(server.Port()));
        ASSERT_TRUE(NextEvent(&event));
        EXPECT_EQ(event.connection, i + 1);
    }
    Client extra(server.Port());
    EXPECT_TRUE(extra.PeerClosed());
    EXPECT_EQ(server.Connections(), net::TcpServer::kMaxConnections);
}

TEST_F(TcpServerTest, UnknownConnectionsAndStopAreHarmless) {
    EXPECT_FALSE(server.Send(99, "x", 1));
    server.Close(99);
    net::TcpEvent event;
    EXPECT_FALSE(server.Next(&event));
    EXPECT_FALSE(server.Next(nullptr));
    EXPECT_FALSE(server.Start(0, {})) << "already running";
    server.Stop();
    EXPECT_FALSE(server.Running());
    EXPECT_EQ(server.Port(), 0);
    server.Stop();
}

TEST(NetConfigTest, PortOffsetAndEgressGuard) {
    net::SetPortOffset(10000);
    EXPECT_EQ(net::ShiftedPort(23), 10023);
    net::SetPortOffset(65535);
    EXPECT_EQ(net::ShiftedPort(23), 0) << "beyond the last port";
    net::SetPortOffset(0);
    EXPECT_EQ(net::ShiftedPort(23), 23);

    EXPECT_TRUE(net::EgressAllowed(0x7F000001u));
    EXPECT_TRUE(net::EgressAllowed(0x7F0000FEu));
    EXPECT_FALSE(net::EgressAllowed(0xC0A80D1Fu)) << "192.168.13.31";
    net::SetAllowNetwork(true);
    EXPECT_TRUE(net::EgressAllowed(0xC0A80D1Fu));
    net::SetAllowNetwork(false);
    EXPECT_EQ(net::BindAddress(), 0x7F000001u);
}

}  // namespace
