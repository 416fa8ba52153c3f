#pragma once
// A booted monitor task on the stepped kernel with its object store and boot monitor, and a
// loopback telnet client to talk to its console.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "comm/telnet_server.h"
#include "database/data_base.h"
#include "platform/monitor/monitor.h"
#include "platform/monitor/tests/temp_board.h"
#include "runtime/letter_id.h"
#include "runtime/post_office.h"
#include "runtime/task_table.h"
#include "runtime/tests/kernel_fixture.h"
#include "system/monitor_task.h"
#include "system/vms_command.h"

namespace console_test {

// A raw loopback TCP client (the telnet negotiation bytes are visible to it).
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
    Client(const Client&) = delete;
    Client& operator=(const Client&) = delete;

    bool connected() const { return connected_; }
    void Close() {
        if (fd_ >= 0) {
            ::close(fd_);
            fd_ = -1;
        }
    }
    void Write(const std::string& text) {
        ASSERT_EQ(::send(fd_, text.data(), text.size(), MSG_NOSIGNAL), ssize_t(text.size()));
    }
    // Everything that arrived so far (waits up to `ms` for the first byte).
    std::string Drain(int ms = 0) {
        std::string text;
        char buffer[512];
        pollfd p{fd_, POLLIN, 0};
        while (::poll(&p, 1, text.empty() ? ms : 0) == 1) {
            const ssize_t got = ::recv(fd_, buffer, sizeof buffer, MSG_DONTWAIT);
            if (got <= 0) {
                break;
            }
            text.append(buffer, size_t(got));
        }
        return text;
    }

private:
    int fd_ = -1;
    bool connected_ = false;
};

class ConsoleTest : public testing_support::KernelTest {
protected:
    static constexpr const char* kCommunity = "quartermaster";

    ConsoleTest() {
        monitor_ = board_.Boot();
        db_ = std::make_unique<CDataBase>(0x10000);
        SetCommunity(kCommunity);
        SetFeatures(CMonitorTask::kTelnetFeature);
        CTelnetServer::SetListenPort(0);
        mon_addcommand(g_MonitorCommandTable, nullptr);
    }
    // The sockets' helper thread wakes the server through the kernel: it ends first.
    void TearDown() override {
        CTelnetServer::EndOfBoot();
        KernelTest::TearDown();
    }
    ~ConsoleTest() override {
        Shutdown();
        task_.reset();
        CTelnetServer::SetListenPort(-1);
        VmsUseDefaultSystem();
    }

    void SetCommunity(const std::string& text) {
        ASSERT_EQ(db_->SetString(dbo::communityNameAdmin.id, 4, text.data(), uint32_t(text.size()),
                                 dbo::communityNameAdmin.image, kDbReplayFlags),
                  kDbOk);
    }
    void SetFeatures(uint32_t bits) {
        ASSERT_EQ(db_->Set(dbo::brenFeatureSet, bits, kDbReplayFlags), kDbOk);
    }

    // Boots the task and runs it past its first tick (its initialisation).
    void BootTask() {
        Boot([this](uint8_t*) {
            task_ = std::make_unique<CMonitorTask>(office_, *db_, &stacks_);
            ASSERT_TRUE(task_->Start());
            ASSERT_TRUE(task_->Create(&stacks_));
        });
        Advance(kMonitorTaskDefinition.firstTick + 1);
        ASSERT_EQ(task_->ConsoleStateNow(), CMonitorTask::kConsoleIdle);
    }
    // Letter 104 and one monitor cycle: the telnet server starts when the bit is on.
    void NetworkUp() {
        office_.PostLetter(kLetterCommNetworkStarted);
        Advance(kMonitorTaskDefinition.period);
    }
    // Lets the server thread handle what the sockets brought (waits for the traffic itself,
    // at most 5 s), then steps until the server has taken every event.
    void Pump(size_t events = 1) {
        CTelnetServer::WaitForEvents(events, 5000);
        Advance(0);
        for (int i = 0; i < 100 && CTelnetServer::PendingEvents() > 0; ++i) {
            CTelnetServer::WaitForEvents(1, 5000);
            Advance(0);
        }
    }
    std::unique_ptr<Client> Connect() {
        auto client = std::make_unique<Client>(CTelnetServer::BoundPort());
        EXPECT_TRUE(client->connected());
        Pump();
        return client;
    }
    // Types text and returns the answer.
    std::string Exchange(Client& client, const std::string& text) {
        client.Write(text);
        Pump();
        return client.Drain(5000);
    }
    // Connects and logs in; returns the client with its greeting read.
    std::unique_ptr<Client> LoggedIn() {
        auto client = Connect();
        client->Drain(5000);
        const std::string answer = Exchange(*client, std::string(kCommunity) + "\r\n");
        EXPECT_NE(answer.find("SUCCESS"), std::string::npos) << answer;
        return client;
    }

    monitor_test::TempBoard board_;
    std::unique_ptr<monitor::Monitor> monitor_;
    std::unique_ptr<CDataBase> db_;
    PostOffice office_;
    std::unique_ptr<CMonitorTask> task_;
};

}  // namespace console_test
