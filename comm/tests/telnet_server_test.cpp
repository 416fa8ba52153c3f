// The telnet server follows its states, serves its connections over the network stack on the
// stepped clock (a peer on a wire of its own) and hands every connection event to its handler.
#include "comm/telnet_server.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <utility>
#include <vector>

#include "comm/tests/telnet_wire_client.h"
#include "platform/kernel/kernel.h"
#include "platform/net/stack_core.h"
#include "runtime/tests/kernel_fixture.h"

namespace {

using telnet_test::WireClient;

const std::string kOffer = "\xFF\xFB\x01\xFF\xFB\x03";

std::vector<std::pair<UINT, std::string>> g_events;
std::string g_reply = "ok";

UINT Handler(UINT event, ULONG_PTR, const UCHAR* data, ULONG length, const char** reply,
             ULONG* replyLength) {
    g_events.emplace_back(event,
                          std::string(reinterpret_cast<const char*>(data), data ? length : 0));
    *reply = g_reply.data();
    *replyLength = ULONG(g_reply.size());
    return 0;
}

class TelnetServerTest : public testing_support::KernelTest {
protected:
    TelnetServerTest() {
        g_events.clear();
        g_reply = "ok";
        CTelnetServer::SetHandler(&Handler);
    }
    void TearDown() override {
        KernelTest::TearDown();
        CTelnetServer::EndOfBoot();
        net::EndOfBoot();
    }
    ~TelnetServerTest() override { CTelnetServer::SetHandler(nullptr); }

    void BootWithWire() {
        Boot([](uint8_t*) { net_test::CreateWireInstances(); });
        Advance(1);
    }
    bool InThreadResult(bool (CTelnetServer::*op)()) {
        bool result = false;
        InThread([&] { result = (server_.*op)(); });
        return result;
    }
    void CreateAndStart() {
        ASSERT_TRUE(InThreadResult(&CTelnetServer::Create));
        ASSERT_TRUE(InThreadResult(&CTelnetServer::Start));
    }
    // Connects the client and lets the server take the connection.
    void Connect(WireClient& client) {
        UINT status = 0;
        InThread([&] { status = client.Connect(); });
        ASSERT_TRUE(status == NX_IN_PROGRESS || status == NX_SUCCESS) << status;
        Advance(2);
    }
    std::string Read(WireClient& client) {
        Advance(2);
        std::string text;
        InThread([&] { text = client.Read(); });
        return text;
    }
    std::string Exchange(WireClient& client, const std::string& text) {
        InThread([&] { client.Write(text); });
        return Read(client);
    }
    void Close(WireClient& client) {
        InThread([&] { client.Close(); });
        Advance(2);
    }

    CTelnetServer server_{&net_test::g_ips[0], &net_test::g_pools[0], &stacks_};
};

TEST_F(TelnetServerTest, StatesFollowTheCallsAndWrongOrderDoesNothing) {
    BootWithWire();
    EXPECT_EQ(CTelnetServer::GetState(), CTelnetServer::kNew);
    struct Step {
        bool (CTelnetServer::*op)();
        bool result;
        uint8_t state;
        const char* what;
    };
    const Step steps[] = {
        {&CTelnetServer::Start, false, CTelnetServer::kNew, "start before create"},
        {&CTelnetServer::Stop, false, CTelnetServer::kNew, "stop before create"},
        {&CTelnetServer::Delete, false, CTelnetServer::kNew, "delete before create"},
        {&CTelnetServer::Create, true, CTelnetServer::kCreated, "create"},
        {&CTelnetServer::Create, true, CTelnetServer::kCreated, "create again"},
        {&CTelnetServer::Stop, false, CTelnetServer::kCreated, "stop before start"},
        {&CTelnetServer::Start, true, CTelnetServer::kStarted, "start"},
        {&CTelnetServer::Create, false, CTelnetServer::kStarted, "create while started"},
        {&CTelnetServer::Stop, true, CTelnetServer::kStopped, "stop"},
        {&CTelnetServer::Start, true, CTelnetServer::kStarted, "a stopped server starts again"},
        {&CTelnetServer::Delete, true, CTelnetServer::kDeleted, "delete while started"},
        {&CTelnetServer::Start, false, CTelnetServer::kDeleted, "start after delete"},
        {&CTelnetServer::Create, true, CTelnetServer::kCreated, "a deleted server is created"},
        {&CTelnetServer::Start, true, CTelnetServer::kStarted, "and starts on the same port"},
    };
    for (const Step& step : steps) {
        EXPECT_EQ(InThreadResult(step.op), step.result) << step.what;
        EXPECT_EQ(CTelnetServer::GetState(), step.state) << step.what;
    }
}

TEST_F(TelnetServerTest, CreateFailsWithoutStackMemoryOrNetwork) {
    BootWithWire();
    {
        // No instance given and no Ethernet instance up.
        CTelnetServer unconnected(nullptr, nullptr, &stacks_);
        bool created = true;
        InThread([&] { created = unconnected.Create(); });
        EXPECT_FALSE(created);
        EXPECT_EQ(CTelnetServer::GetState(), CTelnetServer::kNew);
    }
    kernel::FailByteAllocation(1, &stacks_);
    EXPECT_FALSE(InThreadResult(&CTelnetServer::Create));
    EXPECT_EQ(CTelnetServer::GetState(), CTelnetServer::kNew);
    kernel::FailByteAllocation(0);
    EXPECT_TRUE(InThreadResult(&CTelnetServer::Create)) << "nothing was left half made";
}

TEST_F(TelnetServerTest, StartFailsWhenThePortIsTaken) {
    BootWithWire();
    NX_TCP_SOCKET blocker{};
    UINT status = 0xFF;
    InThread([&] {
        nx_tcp_socket_create(&net_test::g_ips[0], &blocker, "blocker", 0, 0, 128, 1000, nullptr,
                             nullptr);
        status = nx_tcp_server_socket_listen(&net_test::g_ips[0], 23, &blocker, 1, nullptr);
    });
    ASSERT_EQ(status, NX_SUCCESS);
    EXPECT_TRUE(InThreadResult(&CTelnetServer::Create));
    EXPECT_FALSE(InThreadResult(&CTelnetServer::Start));
    EXPECT_EQ(CTelnetServer::GetState(), CTelnetServer::kCreated);
    InThread([] { nx_tcp_server_socket_unlisten(&net_test::g_ips[0], 23); });
    EXPECT_TRUE(InThreadResult(&CTelnetServer::Start)) << "the port is free again";
}

TEST_F(TelnetServerTest, HandlerSeesEveryEventInOrderAndStopEndsOpenConnections) {
    BootWithWire();
    CreateAndStart();
    WireClient client;
    Connect(client);
    EXPECT_EQ(Read(client), kOffer + "ok") << "offer, then the reply to the new connection";
    // Negotiation is answered by the server itself; only the data reaches the handler.
    EXPECT_EQ(Exchange(client, std::string("\xFF\xFD\x18", 3) + "hi\r\n"),
              std::string("\xFF\xFC\x18", 3) + "ok");
    EXPECT_EQ(CTelnetServer::Connections(), 1u);
    EXPECT_TRUE(InThreadResult(&CTelnetServer::Stop));
    EXPECT_EQ(CTelnetServer::Connections(), 0u);
    Advance(2);
    EXPECT_TRUE(client.PeerClosed());
    const std::vector<std::pair<UINT, std::string>> expected = {{CTelnetServer::kEventNew, ""},
                                                                {CTelnetServer::kEventData, "hi\r"},
                                                                {CTelnetServer::kEventEnd, ""}};
    EXPECT_EQ(g_events, expected);
    Close(client);
}

TEST_F(TelnetServerTest, DataSentJustBeforeThePeerClosesIsHandedOverFirst) {
    BootWithWire();
    CreateAndStart();
    WireClient client;
    Connect(client);
    Read(client);
    InThread([&] {
        client.Write("bye\r");
        client.Close();
    });
    Advance(2);
    const std::vector<std::pair<UINT, std::string>> expected = {
        {CTelnetServer::kEventNew, ""},
        {CTelnetServer::kEventData, "bye\r"},
        {CTelnetServer::kEventEnd, ""}};
    EXPECT_EQ(g_events, expected);
    EXPECT_EQ(CTelnetServer::Connections(), 0u);
}

TEST_F(TelnetServerTest, AFifthConnectionWaitsUntilOneEnds) {
    BootWithWire();
    CreateAndStart();
    std::array<WireClient, CTelnetServer::kConnections + 1> clients;
    for (WireClient& client : clients) {
        Connect(client);
    }
    for (size_t i = 0; i < CTelnetServer::kConnections; ++i) {
        EXPECT_EQ(Read(clients[i]), kOffer + "ok") << "client " << i;
    }
    WireClient& fifth = clients.back();
    EXPECT_TRUE(fifth.Connected()) << "taken by the stack, waiting for a socket";
    EXPECT_EQ(Read(fifth), "") << "not served yet";
    EXPECT_EQ(CTelnetServer::Connections(), CTelnetServer::kConnections);

    Close(clients[1]);
    EXPECT_EQ(Read(fifth), kOffer + "ok") << "served once a connection ended";
    EXPECT_EQ(Exchange(fifth, "x"), "ok");
    EXPECT_EQ(Exchange(clients[2], "y"), "ok") << "the others go on";
    EXPECT_EQ(CTelnetServer::Connections(), CTelnetServer::kConnections);

    // Every connection ends; the port still takes new ones.
    for (WireClient& client : clients) {
        Close(client);
    }
    EXPECT_EQ(CTelnetServer::Connections(), 0u);
    WireClient again;
    Connect(again);
    EXPECT_EQ(Read(again), kOffer + "ok");
    Close(again);
}

TEST_F(TelnetServerTest, SendReachesOnlyAnOpenConnection) {
    BootWithWire();
    CreateAndStart();
    std::vector<ULONG_PTR> ids;
    CTelnetServer::SetHandler(
        [](UINT event, ULONG_PTR connection, const UCHAR*, ULONG, const char**, ULONG*) -> UINT {
            if (event == CTelnetServer::kEventNew) {
                g_events.emplace_back(event, std::to_string(connection));
            }
            return 4;
        });
    WireClient client;
    Connect(client);
    Read(client);
    ASSERT_EQ(g_events.size(), 1u);
    const ULONG_PTR id = std::stoul(g_events[0].second);
    bool sent[3] = {};
    InThread([&] {
        sent[0] = CTelnetServer::Send(id, "text", 4);
        sent[1] = CTelnetServer::Send(id + 1, "text", 4);
        sent[2] = CTelnetServer::Send(id, nullptr, 0);
    });
    EXPECT_TRUE(sent[0]);
    EXPECT_FALSE(sent[1]) << "a connection never opened";
    EXPECT_TRUE(sent[2]) << "nothing to send";
    EXPECT_EQ(Read(client), "text") << "a status other than 0: no reply";

    // Without packets the text is dropped, which is not a failure.
    std::vector<NX_PACKET*> taken;
    bool dropped = false;
    InThread([&] {
        NX_PACKET* p = nullptr;
        while (nx_packet_allocate(&net_test::g_pools[0], &p, NX_TCP_PACKET, TX_NO_WAIT) ==
               NX_SUCCESS) {
            taken.push_back(p);
        }
        dropped = CTelnetServer::Send(id, "lost", 4);
        for (NX_PACKET* packet : taken) {
            nx_packet_release(packet);
        }
    });
    EXPECT_TRUE(dropped);
    EXPECT_EQ(Read(client), "");

    Close(client);
    bool afterClose = true;
    InThread([&] { afterClose = CTelnetServer::Send(id, "late", 4); });
    EXPECT_FALSE(afterClose) << "the connection has ended";
}

TEST_F(TelnetServerTest, ALongReplyGoesOutWhole) {
    BootWithWire();
    CreateAndStart();
    WireClient client;
    Connect(client);
    Read(client);
    g_reply.assign(5000, 'r');
    EXPECT_EQ(Exchange(client, "x"), g_reply) << "more than one packet holds";
    Close(client);
}

}  // namespace
