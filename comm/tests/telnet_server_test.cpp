// The telnet server follows its states and hands every socket event to its handler.
#include "comm/telnet_server.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "platform/kernel/kernel.h"
#include "runtime/tests/kernel_fixture.h"

namespace {

std::vector<std::pair<UINT, std::string>> g_events;

UINT Handler(UINT event, ULONG_PTR, const UCHAR* data, ULONG length, const char** reply,
             ULONG* replyLength) {
    g_events.emplace_back(event,
                          std::string(reinterpret_cast<const char*>(data), data ? length : 0));
    *reply = "ok";
    *replyLength = 2;
    return 0;
}

class TelnetServerTest : public testing_support::KernelTest {
protected:
    TelnetServerTest() {
        g_events.clear();
        CTelnetServer::SetListenPort(0);
        CTelnetServer::SetHandler(&Handler);
    }
    void TearDown() override {
        CTelnetServer::EndOfBoot();
        KernelTest::TearDown();
    }
    ~TelnetServerTest() override {
        CTelnetServer::SetListenPort(-1);
        CTelnetServer::SetHandler(nullptr);
    }
    bool InThreadResult(bool (CTelnetServer::*op)()) {
        bool result = false;
        InThread([&] { result = (server_.*op)(); });
        return result;
    }
    // Waits for the socket traffic, then steps until the server has taken every event.
    void WaitForEvents() {
        CTelnetServer::WaitForEvents(1, 5000);
        Advance(0);
        for (int i = 0; i < 100 && CTelnetServer::PendingEvents() > 0; ++i) {
            CTelnetServer::WaitForEvents(1, 5000);
            Advance(0);
        }
    }

    CTelnetServer server_{nullptr, nullptr, &stacks_};
};

TEST_F(TelnetServerTest, StatesFollowTheCallsAndWrongOrderDoesNothing) {
    Boot();
    EXPECT_EQ(CTelnetServer::GetState(), CTelnetServer::kNew);
    EXPECT_FALSE(InThreadResult(&CTelnetServer::Start)) << "not created";
    EXPECT_FALSE(InThreadResult(&CTelnetServer::Stop));
    EXPECT_FALSE(InThreadResult(&CTelnetServer::Delete));
    EXPECT_TRUE(InThreadResult(&CTelnetServer::Create));
    EXPECT_EQ(CTelnetServer::GetState(), CTelnetServer::kCreated);
    EXPECT_TRUE(InThreadResult(&CTelnetServer::Start));
    EXPECT_NE(CTelnetServer::BoundPort(), 0);
    EXPECT_FALSE(InThreadResult(&CTelnetServer::Create)) << "already started";
    EXPECT_TRUE(InThreadResult(&CTelnetServer::Stop));
    EXPECT_EQ(CTelnetServer::BoundPort(), 0);
    EXPECT_TRUE(InThreadResult(&CTelnetServer::Start)) << "a stopped server starts again";
    EXPECT_TRUE(InThreadResult(&CTelnetServer::Delete));
    EXPECT_EQ(CTelnetServer::GetState(), CTelnetServer::kDeleted);
    EXPECT_TRUE(InThreadResult(&CTelnetServer::Create)) << "a deleted server is created again";
}

TEST_F(TelnetServerTest, CreateWithoutStackMemoryFails) {
    Boot();
    kernel::FailByteAllocation(1, &stacks_);
    EXPECT_FALSE(InThreadResult(&CTelnetServer::Create));
    EXPECT_EQ(CTelnetServer::GetState(), CTelnetServer::kNew);
    kernel::FailByteAllocation(0);
}

TEST_F(TelnetServerTest, StartFailsWhenThePortIsTaken) {
    Boot();
    const int blocker = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(0x7F000001u);
    socklen_t length = sizeof address;
    ASSERT_EQ(::bind(blocker, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(blocker, 1), 0);
    ASSERT_EQ(::getsockname(blocker, reinterpret_cast<sockaddr*>(&address), &length), 0);
    CTelnetServer::SetListenPort(ntohs(address.sin_port));
    EXPECT_TRUE(InThreadResult(&CTelnetServer::Create));
    EXPECT_FALSE(InThreadResult(&CTelnetServer::Start));
    EXPECT_EQ(CTelnetServer::GetState(), CTelnetServer::kCreated);
    ::close(blocker);
}

TEST_F(TelnetServerTest, HandlerSeesEveryEventAndStopEndsOpenConnections) {
    Boot();
    ASSERT_TRUE(InThreadResult(&CTelnetServer::Create));
    ASSERT_TRUE(InThreadResult(&CTelnetServer::Start));
    const int client = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(CTelnetServer::BoundPort());
    address.sin_addr.s_addr = htonl(0x7F000001u);
    ASSERT_EQ(::connect(client, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    WaitForEvents();
    ASSERT_EQ(::send(client, "hi\r\n", 4, 0), 4);
    WaitForEvents();
    char buffer[64];
    std::string received;
    while (received.size() < 10) {
        const ssize_t got = ::recv(client, buffer, sizeof buffer, 0);
        ASSERT_GT(got, 0);
        received.append(buffer, size_t(got));
    }
    EXPECT_EQ(received, "\xFF\xFB\x01\xFF\xFB\x03okok") << "offer, reply to connect, reply to data";
    EXPECT_TRUE(InThreadResult(&CTelnetServer::Stop));
    const std::vector<std::pair<UINT, std::string>> expected = {{CTelnetServer::kEventNew, ""},
                                                                {CTelnetServer::kEventData, "hi\r"},
                                                                {CTelnetServer::kEventEnd, ""}};
    EXPECT_EQ(g_events, expected);
    ::close(client);
}

}  // namespace
