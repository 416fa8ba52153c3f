// Command-line checks; the board boots again after a restart or bite and a stop clears its counter.
#include "app/board.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>

#include "app/command_line.h"
#include "comm/ntcip_interface.h"
#include "ntcip/tests/snmp_request_builder.h"
#include "platform/kernel/kernel.h"
#include "platform/monitor/mon.h"
#include "platform/monitor/monitor.h"
#include "platform/sim/nvram.h"
#include "runtime/debug_print.h"

namespace {

TEST(CommandLine, OptionsAndTheirErrors) {
    struct Case {
        std::vector<const char*> args;
        std::string error;  // empty: accepted
    };
    const CommandLine defaults = ParseCommandLine(1, std::vector<const char*>{"dmsc"}.data());
    EXPECT_EQ(defaults.board_dir, "var/board");
    EXPECT_EQ(defaults.port_offset, 0);
    EXPECT_FALSE(defaults.allow_network);

    std::vector<const char*> args = {
        "dmsc", "--board-dir",    "b", "--port-offset=10000", "--allow-network", "--time-scale",
        "4",    "--frame-ring=12"};
    const CommandLine line = ParseCommandLine(int(args.size()), args.data());
    EXPECT_EQ(line.error, "");
    EXPECT_EQ(line.board_dir, "b");
    EXPECT_EQ(line.port_offset, 10000);
    EXPECT_TRUE(line.allow_network);
    EXPECT_EQ(line.time_scale, 4.0);
    EXPECT_EQ(line.frame_ring, 12u);

    for (const Case& c : {
             Case{{"dmsc", "--port-offset", "x"}, "--port-offset needs a number"},
             Case{{"dmsc", "--port-offset", "-1"}, "--port-offset needs a number"},
             Case{{"dmsc", "--port-offset", "60001"}, "--port-offset needs a number"},
             Case{{"dmsc", "--port-offset"}, "--port-offset needs a value"},
             Case{{"dmsc", "--board-dir="}, "--board-dir needs a directory"},
             Case{{"dmsc", "--time-scale", "0"}, "--time-scale needs a positive number"},
             Case{{"dmsc", "--frame-ring", "1001"}, "--frame-ring needs a number"},
             Case{{"dmsc", "--frame-ring", "-2"}, "--frame-ring needs a number"},
         }) {
        const CommandLine bad = ParseCommandLine(int(c.args.size()), c.args.data());
        EXPECT_EQ(bad.error.rfind(c.error, 0), 0u) << c.args[1] << ": " << bad.error;
    }
}

std::mutex g_textLock;
std::condition_variable g_textGrew;
std::string g_text;

void Capture(const char* text) {
    {
        std::lock_guard<std::mutex> lock(g_textLock);
        g_text += text;
    }
    g_textGrew.notify_all();
}

size_t CountLocked(const std::string& what) {
    size_t n = 0;
    for (size_t at = g_text.find(what); at != std::string::npos; at = g_text.find(what, at + 1)) {
        ++n;
    }
    return n;
}

size_t Count(const std::string& what) {
    std::lock_guard<std::mutex> lock(g_textLock);
    return CountLocked(what);
}

// Waits (at most 10 s) until the console has printed `what` `count` times.
bool WaitFor(const std::string& what, size_t count) {
    std::unique_lock<std::mutex> lock(g_textLock);
    return g_textGrew.wait_for(lock, std::chrono::seconds(60),
                               [&] { return CountLocked(what) >= count; });
}

// The board's stop poll: returns at the next console line (a restart prints), at the latest
// after 200 ms, as the executable's signal wait does.
void AwaitConsole(std::atomic<bool>& stop) {
    std::unique_lock<std::mutex> lock(g_textLock);
    const size_t before = g_text.size();
    g_textGrew.wait_for(lock, std::chrono::milliseconds(200),
                        [&] { return stop.load() || g_text.size() != before; });
}

// A board restart ends the boot and the controller boots again from the same directory.
TEST(Board, RestartAndWatchdogBiteBootAgain) {
    const std::filesystem::path dir =
        std::filesystem::path(::testing::TempDir()) / ("dmsc_board_" + std::to_string(::getpid()));
    std::filesystem::remove_all(dir);
    g_text.clear();
    DebugSetSink(&Capture);
    CommandLine line;
    line.board_dir = (dir / "nested").string();
    line.time_scale = 20;
    std::atomic<bool> stop{false};
    BoardEnd end = BoardEnd::kFailed;
    std::thread runner([&] { end = RunBoard(line, 0, nullptr, stop, &AwaitConsole); });

    ASSERT_TRUE(WaitFor("Launching Thread(s)", 1));
    kernel::Post([] { mon_restart(0); });
    ASSERT_TRUE(WaitFor("Launching Thread(s)", 2));
    kernel::Post([] { monitor::Monitor::Active()->Reset(monitor::RestartCause::Watchdog, 0); });
    ASSERT_TRUE(WaitFor("Launching Thread(s)", 3));
    EXPECT_EQ(Count("Booting PX40317"), 3u);
    stop.store(true);
    g_textGrew.notify_all();
    runner.join();
    EXPECT_EQ(end, BoardEnd::kStopped);
    EXPECT_TRUE(std::filesystem::exists(dir / "nested" / "flash.bin"));
    DebugSetSink(nullptr);
    std::filesystem::remove_all(dir);
}

// The controller creates its interfaces' agents with the system and snmp groups served; the
// link stand-in of ethernet_udp is handed the response.
TEST(Board, StartsTheSnmpAgent) {
    const std::filesystem::path dir =
        std::filesystem::path(::testing::TempDir()) / ("dmsc_snmp_" + std::to_string(::getpid()));
    std::filesystem::remove_all(dir);
    g_text.clear();
    DebugSetSink(&Capture);
    CommandLine line;
    line.board_dir = dir.string();
    line.time_scale = 20;
    std::atomic<bool> stop{false};
    std::thread runner([&] { RunBoard(line, 0, nullptr, stop, &AwaitConsole); });
    ASSERT_TRUE(WaitFor("Launching Thread(s)", 1));

    // sysDescr.0 with the factory administrator community.
    static const snmp_test::Bytes request = [] {
        snmp_test::Varbind sys_descr;
        sys_descr.name = {1, 3, 6, 1, 2, 1, 1, 1, 0};
        return snmp_test::Request(0, "quartermaster", kSnmpGetRequest, {sys_descr});
    }();
    static std::atomic<int> answered{-1};
    kernel::Post([] {
        const uint8_t row = FindPortByName("ethernet_udp");
        if (row == CNTCIP::kNoRow) {
            answered = 0;
            return;
        }
        snmp_agent* agent = &CNTCIP::Row(row).interface->agent;
        const uint32_t before = LinkStandInsDropped();
        SnmpMessageReceive(agent, request.data(), static_cast<uint32_t>(request.size()));
        answered = static_cast<int>(LinkStandInsDropped() - before);
    });
    for (int i = 0; i < 1000 && answered.load() < 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_EQ(answered.load(), 1) << "one response handed to the driver";
    stop.store(true);
    runner.join();
    DebugSetSink(nullptr);
    std::filesystem::remove_all(dir);
}

// A stop from outside (SIGINT, SIGTERM) is a shutdown: it does not count as a start that never
// reached 30 s, so quick stops in a row never discard the journal.
TEST(Board, StopClearsTheBootCounter) {
    const std::filesystem::path dir =
        std::filesystem::path(::testing::TempDir()) / ("dmsc_stop_" + std::to_string(::getpid()));
    std::filesystem::remove_all(dir);
    DebugSetSink(&Capture);
    CommandLine line;
    line.board_dir = dir.string();
    for (int run = 1; run <= 3; ++run) {
        g_text.clear();
        std::atomic<bool> stop{false};
        BoardEnd end = BoardEnd::kFailed;
        std::thread runner([&] { end = RunBoard(line, 0, nullptr, stop, &AwaitConsole); });
        ASSERT_TRUE(WaitFor("Launching Thread(s)", 1)) << run;
        const uint8_t counted = monitor::Monitor::Active()->Nvram().BootCounterByte() & 0x0F;
        stop.store(true);
        g_textGrew.notify_all();
        runner.join();
        EXPECT_EQ(end, BoardEnd::kStopped);
        // The first run found no journal; the later ones count their start until the stop.
        EXPECT_EQ(counted, run == 1 ? 0 : 1) << run;
        sim::Nvram nvram;
        ASSERT_TRUE(nvram.Open(dir.string()));
        EXPECT_EQ(nvram.BootCounterByte() & 0x0F, 0) << run;
        nvram.Close();
    }
    EXPECT_EQ(Count(" - Loading off nv1.dat"), 1u) << "the journal is still there";
    DebugSetSink(nullptr);
    std::filesystem::remove_all(dir);
}

}  // namespace
