// The monitor task serves the telnet console: login, debug text, commands and the system letters.
#include "system/monitor_task.h"

#include <gtest/gtest.h>

#include <string>

#include "runtime/debug_print.h"
#include "system/tests/console_test_support.h"

namespace {

using console_test::Client;
using testing_support::Captured;

class MonitorTaskTest : public console_test::ConsoleTest {
protected:
    // Calls the console handler directly, as the server thread would; returns the reply.
    std::string Session(UINT event, ULONG_PTR connection, const std::string& data = {},
                        UINT* status = nullptr) {
        const char* reply = nullptr;
        ULONG length = 0;
        const UINT s =
            task_->ConsoleSession(event, connection, reinterpret_cast<const UCHAR*>(data.data()),
                                  ULONG(data.size()), &reply, &length);
        if (status != nullptr) {
            *status = s;
        }
        return reply != nullptr ? std::string(reply, length) : std::string();
    }
};

TEST_F(MonitorTaskTest, LoginThroughTelnetThenDebugTextAndCommands) {
    BootTask();
    NetworkUp();
    ASSERT_EQ(CTelnetServer::GetState(), CTelnetServer::kStarted);
    auto client = Connect();
    EXPECT_EQ(client->Drain(5000), "\xFF\xFB\x01\xFF\xFB\x03\r\nPassword: ")
        << "echo and character mode offered, then the password asked";

    EXPECT_EQ(Exchange(*client, "wrong\r\n"), "*****\r\nFAILURE\r\nPassword: ");
    EXPECT_EQ(task_->ConsoleStateNow(), CMonitorTask::kConsoleIdle);
    EXPECT_EQ(Exchange(*client, "quartermaster\r\n"), "*************\r\nSUCCESS\r\nVMS>")
        << "the whole segment counts, CR LF is one line end";
    EXPECT_EQ(task_->ConsoleStateNow(), CMonitorTask::kConsoleLoggedIn);

    InThread([] { DebugPrint("line one\nline two\n"); });
    EXPECT_EQ(client->Drain(5000), "line one\r\nline two\r\n");
    EXPECT_NE(Captured().find("line one\nline two\n"), std::string::npos)
        << "the board console gets it too";

    EXPECT_EQ(Exchange(*client, "vms -t 1\r\n"), "vms -t 1\r\r\nnew level:1\r\nVMS>")
        << "the editor's CR LF passes the console's LF doubling";
    EXPECT_EQ(CMonitorTask::TraceLevel(), 1u);
    EXPECT_EQ(Exchange(*client, "nosuch\r"), "nosuch\r\r\nCommand not found: nosuch\r\nVMS>")
        << "the boot monitor's own output comes through the console";
    EXPECT_EQ(Exchange(*client, "\r"), "\r\r\nVMS>")
        << "an empty line: empty command, prompt again";

    client->Close();
    Pump();
    EXPECT_EQ(task_->ConsoleStateNow(), CMonitorTask::kConsoleIdle);
}

TEST_F(MonitorTaskTest, EachConnectionLogsInOnItsOwn) {
    BootTask();
    NetworkUp();
    auto admin = LoggedIn();
    auto stranger = Connect();
    stranger->Drain(5000);

    InThread([] { DebugPrint("secret\n"); });
    EXPECT_EQ(admin->Drain(5000), "secret\r\n");
    EXPECT_EQ(stranger->Drain(50), "") << "debug text only reaches logged-in connections";

    EXPECT_EQ(Exchange(*stranger, "vms -t 1\r"), "********\r\nFAILURE\r\nPassword: ")
        << "a line from a connection not logged in is a password";
    EXPECT_EQ(CMonitorTask::TraceLevel(), 0u);
    admin->Drain(50);

    admin->Close();
    Pump();
    EXPECT_EQ(task_->ConsoleStateNow(), CMonitorTask::kConsoleIdle);
    InThread([] { DebugPrint("after\n"); });
    EXPECT_EQ(stranger->Drain(50), "");
}

TEST_F(MonitorTaskTest, TelnetNegotiationIsStrippedAndRefused) {
    BootTask();
    NetworkUp();
    auto client = Connect();
    client->Drain(5000);
    // DO terminal-type, WILL window-size, DO echo (ours), a subnegotiation, IAC IAC.
    const std::string bytes = std::string("\xFF\xFD\x18\xFF\xFB\x1F\xFF\xFD\x01\xFF\xFA\x18", 12) +
                              std::string(1, '\0') + "xyz\xFF\xF0" + "ab";
    EXPECT_EQ(Exchange(*client, bytes), "\xFF\xFC\x18\xFF\xFE\x1F**");
    EXPECT_EQ(Exchange(*client, "\xFF\xFF\r"), "*\r\nFAILURE\r\nPassword: ");
}

TEST_F(MonitorTaskTest, WithTheTelnetBitClearNothingIsServedOrSent) {
    SetFeatures(0);
    BootTask();
    NetworkUp();
    EXPECT_EQ(CTelnetServer::GetState(), CTelnetServer::kNew) << "the server is never started";

    // Logged in while the bit was on, then switched off: debug text is dropped.
    SetFeatures(CMonitorTask::kTelnetFeature);
    NetworkUp();
    ASSERT_EQ(CTelnetServer::GetState(), CTelnetServer::kStarted);
    auto client = LoggedIn();
    SetFeatures(0);
    InThread([] { DebugPrint("dropped\n"); });
    EXPECT_EQ(client->Drain(50), "");
    SetFeatures(CMonitorTask::kTelnetFeature);
    InThread([] { DebugPrint("shown\n"); });
    EXPECT_EQ(client->Drain(5000), "shown\r\n");
}

TEST_F(MonitorTaskTest, PasswordEdgeCases) {
    BootTask();
    UINT status = 99;
    EXPECT_EQ(Session(CTelnetServer::kEventNew, 7, {}, &status), "\r\nPassword: ");
    EXPECT_EQ(status, 0u);

    // One character per segment, as a character-mode client sends it.
    std::string stars;
    for (const char c : std::string(kCommunity)) {
        stars += Session(CTelnetServer::kEventData, 7, std::string(1, c));
    }
    EXPECT_EQ(stars, "*************");
    EXPECT_EQ(Session(CTelnetServer::kEventData, 7, "\r"), "\r\nSUCCESS\r\nVMS>");
    EXPECT_EQ(task_->LoginStateOf(7), CMonitorTask::kLoginDone);

    // 25 characters are kept, the 26th and later are ignored without echo.
    SetCommunity(std::string(25, 'k'));
    Session(CTelnetServer::kEventNew, 8);
    EXPECT_EQ(Session(CTelnetServer::kEventData, 8, std::string(40, 'k')), std::string(25, '*'));
    EXPECT_EQ(Session(CTelnetServer::kEventData, 8, "\n"), "\r\nSUCCESS\r\nVMS>");

    // A community longer than a password can hold never matches its first 25 characters.
    SetCommunity(std::string(26, 'k'));
    Session(CTelnetServer::kEventNew, 9);
    EXPECT_EQ(Session(CTelnetServer::kEventData, 9, std::string(26, 'k') + "\r"),
              std::string(25, '*') + "\r\nFAILURE\r\nPassword: ");

    // An empty community name opens nothing, an empty password included.
    SetCommunity("");
    EXPECT_EQ(Session(CTelnetServer::kEventData, 9, "\r"), "\r\nFAILURE\r\nPassword: ");

    // Several failures in one segment ask again each time.
    EXPECT_EQ(Session(CTelnetServer::kEventData, 9, "a\rb\r"),
              "*\r\nFAILURE\r\nPassword: *\r\nFAILURE\r\nPassword: ");

    Session(CTelnetServer::kEventEnd, 9, {}, &status);
    EXPECT_EQ(status, 0u);
    EXPECT_EQ(task_->LoginStateOf(9), CMonitorTask::kLoginNone);
    Session(0, 9, {}, &status);
    EXPECT_EQ(status, 4u) << "event 0";
    Session(CTelnetServer::kEventData, 1234, "x", &status);
    EXPECT_EQ(status, 4u) << "data on a connection never opened";
}

TEST_F(MonitorTaskTest, TraceLevelGatesLevelOneText) {
    BootTask();
    NetworkUp();
    auto client = LoggedIn();
    struct Case {
        unsigned level;
        std::string expected;
    };
    for (const Case& c : {Case{0, "always\r\n"}, Case{1, "always\r\ndetail\r\n"}}) {
        ASSERT_TRUE(CMonitorTask::SetTraceLevel(c.level));
        InThread([] {
            DebugPrint("always\n");
            DebugPrintLevel1("detail\n");
        });
        EXPECT_EQ(client->Drain(5000), c.expected) << "level " << c.level;
    }
    EXPECT_FALSE(CMonitorTask::SetTraceLevel(2));
    EXPECT_EQ(CMonitorTask::TraceLevel(), 1u);
}

TEST_F(MonitorTaskTest, LongDebugTextIsCutAndEveryLineEndDoubled) {
    BootTask();
    NetworkUp();
    auto client = LoggedIn();
    const std::string newlines(250, '\n');
    InThread([&] { DebugPrint("%s", newlines.c_str()); });
    std::string expected;
    for (int i = 0; i < 199; ++i) {
        expected += "\r\n";
    }
    std::string got;
    for (int i = 0; i < 10 && got.size() < expected.size(); ++i) {
        got += client->Drain(5000);
    }
    EXPECT_EQ(got, expected);
}

TEST_F(MonitorTaskTest, SystemLettersPrintTheirLines) {
    BootTask();
    Captured().clear();
    for (const uint32_t id :
         {kLetterSystemRestart, kLetterPowerLoss, kLetterShutdown, kLetterDefragRestart}) {
        office_.PostLetter(id);
    }
    Advance(kMonitorTaskDefinition.period);
    EXPECT_EQ(Captured(),
              "System Restart Requested\nSystem Power Loss Detected\nSystem Shutdown "
              "Requested\nSystem Defragmentation Restart Requested\n");
    Captured().clear();
    office_.PostLetter(kLetterMonitorStackReport);
    Advance(kMonitorTaskDefinition.period);
    EXPECT_EQ(Captured().rfind("Monitor Stack Used: ", 0), 0u) << Captured();
}

}  // namespace
