#pragma once
// A booted monitor task on the stepped kernel with its object store and boot monitor, its
// telnet console on the first instance of a two-instance wire, and a telnet peer on the second.

#include <functional>
#include <memory>
#include <string>

#include "comm/telnet_server.h"
#include "comm/tests/telnet_wire_client.h"
#include "database/data_base.h"
#include "platform/monitor/monitor.h"
#include "platform/monitor/tests/temp_board.h"
#include "platform/net/stack_core.h"
#include "runtime/letter_id.h"
#include "runtime/post_office.h"
#include "runtime/task_table.h"
#include "runtime/tests/kernel_fixture.h"
#include "system/monitor_task.h"
#include "system/vms_command.h"

namespace console_test {

class ConsoleTest;

// The peer of one console connection (the telnet negotiation bytes are visible to it). Its
// waits are in simulated milliseconds: the kernel is stepped meanwhile.
class Client {
public:
    explicit Client(ConsoleTest& test) : test_(test) {}
    ~Client() { Close(); }
    Client(const Client&) = delete;
    Client& operator=(const Client&) = delete;

    bool connected() const { return peer_.Connected(); }
    void Close();
    void Write(const std::string& text);
    // Everything that arrived so far (steps up to `ms` for the first byte).
    std::string Drain(int ms = 0);

    telnet_test::WireClient& peer() { return peer_; }

private:
    ConsoleTest& test_;
    telnet_test::WireClient peer_;
    bool open_ = true;
};

class ConsoleTest : public testing_support::KernelTest {
public:
    // Runs fn on a firmware thread, then lets the traffic flow.
    void PeerCall(const std::function<void()>& fn) {
        InThread(fn);
        Pump();
    }
    // Steps the kernel until the traffic has flowed.
    void Pump() { Advance(2); }
    void Step(ULONG ticks) { Advance(ticks); }

protected:
    static constexpr const char* kCommunity = "quartermaster";

    ConsoleTest() {
        monitor_ = board_.Boot();
        db_ = std::make_unique<CDataBase>(0x10000);
        SetCommunity(kCommunity);
        SetFeatures(CMonitorTask::kTelnetFeature);
        mon_addcommand(g_MonitorCommandTable, nullptr);
    }
    void TearDown() override {
        KernelTest::TearDown();
        CTelnetServer::EndOfBoot();
        net::EndOfBoot();
    }
    ~ConsoleTest() override {
        Shutdown();
        task_.reset();
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

    // Boots the task (its console on the wire's first instance) and runs it past its first
    // tick (its initialisation).
    void BootTask() {
        Boot([this](uint8_t*) {
            net_test::CreateWireInstances();
            task_ = std::make_unique<CMonitorTask>(office_, *db_, &stacks_, &net_test::g_ips[0],
                                                   &net_test::g_pools[0]);
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
    std::unique_ptr<Client> Connect() {
        auto client = std::make_unique<Client>(*this);
        UINT status = 0;
        InThread([&] { status = client->peer().Connect(); });
        EXPECT_TRUE(status == NX_IN_PROGRESS || status == NX_SUCCESS) << status;
        Pump();
        EXPECT_TRUE(client->connected());
        return client;
    }
    // Types text and returns the answer.
    std::string Exchange(Client& client, const std::string& text) {
        client.Write(text);
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

inline void Client::Close() {
    if (open_) {
        open_ = false;
        test_.PeerCall([this] { peer_.Close(); });
    }
}

inline void Client::Write(const std::string& text) {
    UINT status = 0;
    test_.PeerCall([&] { status = peer_.Write(text); });
    EXPECT_EQ(status, NX_SUCCESS);
}

inline std::string Client::Drain(int ms) {
    std::string text;
    for (int waited = 0;; waited += 10) {
        test_.PeerCall([&] { text += peer_.Read(); });
        if (!text.empty() || waited >= ms) {
            return text;
        }
        test_.Step(1);
    }
}

}  // namespace console_test
