// The boot monitor keeps its environment, runs commands, bites when not serviced, records causes.
#include "platform/monitor/monitor.h"

#include <gtest/gtest.h>

#include <fstream>

#include "platform/monitor/epld_image.h"
#include "platform/monitor/mon.h"
#include "platform/monitor/tests/temp_board.h"
#include "platform/sim/hw.h"

using monitor_test::Contents;
using monitor_test::TempBoard;

namespace {

std::string g_out;
int Capture(int c) {
    g_out += char(c);
    return c;
}

class MonitorTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_out.clear();
        m_ = board_.Boot();
        ASSERT_NE(m_, nullptr);
        mon_com(MON_COM_PUTCHAR_HOOK, reinterpret_cast<void*>(&Capture), nullptr, nullptr);
    }
    void Reboot(monitor::MonitorConfig c) {
        m_.reset();
        m_ = TempBoard::Boot(c);
        ASSERT_NE(m_, nullptr);
        mon_com(MON_COM_PUTCHAR_HOOK, reinterpret_cast<void*>(&Capture), nullptr, nullptr);
    }
    TempBoard board_;
    std::unique_ptr<monitor::Monitor> m_;
};

TEST_F(MonitorTest, EnvironmentDefaultsPersistAndMonrcAppliesAtBoot) {
    EXPECT_STREQ(mon_getenv("IPADD"), "127.0.0.1");
    EXPECT_STREQ(mon_getenv("NETMASK"), "255.0.0.0");
    EXPECT_EQ(mon_getenv("GIPADD"), nullptr);
    EXPECT_STREQ(mon_getenv("ETHERADD"), "02:00:00:00:00:01");
    EXPECT_EQ(mon_setenv("GIPADD", "127.0.0.254"), 0);
    EXPECT_EQ(mon_setenv("BAD NAME", "x"), -1);
    EXPECT_EQ(mon_setenv("X", "line\nbreak"), -1);
    const std::string monrc = "set IPADD 10.0.0.5\r\nset NETMASK 255.255.255.0\r\ntfs rm keep\r\n";
    ASSERT_EQ(mon_tfsadd("monrc", "", "e", monrc.data(), long(monrc.size())), TFS_OKAY);
    ASSERT_EQ(mon_tfsadd("keep", "", "", "k", 1), TFS_OKAY);
    Reboot(board_.Config());
    EXPECT_STREQ(mon_getenv("GIPADD"), "127.0.0.254");
    EXPECT_STREQ(mon_getenv("IPADD"), "10.0.0.5");
    EXPECT_STREQ(mon_getenv("NETMASK"), "255.255.255.0");
    EXPECT_NE(mon_tfsstat("keep"), nullptr) << "monrc runs only set lines";
    EXPECT_EQ(mon_setenv("GIPADD", nullptr), 0);
    auto c = board_.Config();
    c.runMonrc = false;
    mon_setenv("IPADD", "127.0.0.1");
    Reboot(c);
    EXPECT_EQ(mon_getenv("GIPADD"), nullptr);
    EXPECT_STREQ(mon_getenv("IPADD"), "127.0.0.1");
}

TEST(EnvironmentFile, BadLinesAreSkipped) {
    TempBoard board;
    const std::string text =
        std::string("IPADD=10.1.2.3\r\nNETMASK=255.0\0.0.0\nbad name=x\nno equals\n") +
        "GIPADD=" + std::string(300, '1') + "\nETHERADD=02:00:00:00:00:09\n";
    board.WriteFile("environment", std::vector<char>(text.begin(), text.end()));
    monitor::Environment env;
    ASSERT_TRUE(env.Load(board.Dir()));
    EXPECT_STREQ(env.Get("IPADD"), "10.1.2.3");
    EXPECT_EQ(env.Get("NETMASK"), nullptr);
    EXPECT_EQ(env.Get("GIPADD"), nullptr);
    EXPECT_STREQ(env.Get("ETHERADD"), "02:00:00:00:00:09");
    EXPECT_EQ(env.All().size(), 2u);
}

int g_vmsCalls = 0;
std::vector<std::string> g_vmsArgs;
int VmsCommand(int argc, char* argv[]) {
    g_vmsCalls++;
    g_vmsArgs.assign(argv, argv + argc);
    return argc > 1 && std::string(argv[1]) == "bad" ? CMD_PARAM_ERROR : CMD_SUCCESS;
}
const char* const kVmsHelp[] = {"VMS Functions.", nullptr};
const monCommand kTable[] = {{"vms", VmsCommand, kVmsHelp, 0},
                             {"VMS", VmsCommand, kVmsHelp, 0},
                             {nullptr, nullptr, nullptr, 0}};

TEST_F(MonitorTest, CommandsAndConsole) {
    ASSERT_EQ(mon_addcommand(kTable, nullptr), 0);
    EXPECT_EQ(mon_docommand("vms -t 1", 0), CMD_SUCCESS);
    EXPECT_EQ(g_vmsArgs, (std::vector<std::string>{"vms", "-t", "1"}));
    EXPECT_EQ(mon_docommand("VMS  bad\r\n", 0), CMD_PARAM_ERROR);
    EXPECT_EQ(mon_docommand("  ", 0), CMD_SUCCESS);
    EXPECT_EQ(mon_docommand("nosuch arg", 0), CMD_NOT_FOUND);
    EXPECT_NE(g_out.find("nosuch"), std::string::npos) << "the console says so";
    EXPECT_EQ(mon_docommand(nullptr, 0), CMD_FAILURE);

    for (const char* n : {"CONFIG.XML", "Bitmaps/a.bmp", "Bitmaps/b.bmp", "logo.bmp", "x.bmpx"}) {
        ASSERT_EQ(mon_tfsadd(n, "", "", "x", 1), TFS_OKAY);
    }
    EXPECT_EQ(mon_docommand("tfs rm *.bmp", 0), CMD_SUCCESS);
    EXPECT_EQ(mon_tfsstat("Bitmaps/a.bmp"), nullptr);
    EXPECT_EQ(mon_tfsstat("logo.bmp"), nullptr);
    EXPECT_NE(mon_tfsstat("x.bmpx"), nullptr);
    EXPECT_EQ(mon_docommand("tfs rm CONFIG.XML", 0), CMD_SUCCESS);
    EXPECT_EQ(mon_docommand("tfs rm CONFIG.XML", 0), CMD_FAILURE);
    g_out.clear();
    EXPECT_EQ(mon_docommand("tfs ls", 0), CMD_SUCCESS);
    EXPECT_NE(g_out.find("x.bmpx"), std::string::npos);
    EXPECT_NE(g_out.find("Total: 1 file(s), 1 bytes"), std::string::npos);
    EXPECT_EQ(mon_docommand("tfs", 0), CMD_PARAM_ERROR);

    EXPECT_EQ(mon_docommand("etheraddr set 02:00:00:01:02:0a", 0), CMD_SUCCESS);
    EXPECT_STREQ(mon_getenv("ETHERADD"), "02:00:00:01:02:0A");
    EXPECT_EQ(mon_docommand("etheraddr set 02:00:00:01:02", 0), CMD_PARAM_ERROR);
    EXPECT_EQ(mon_docommand("etheraddr set 02:00:00:01:02:0A:07", 0), CMD_PARAM_ERROR);
    EXPECT_STREQ(mon_getenv("ETHERADD"), "02:00:00:01:02:0A");

    EXPECT_EQ(mon_gotachar(), 0);
    EXPECT_EQ(mon_getchar(), -1);
    m_->GetConsole().Push("1\xff");
    EXPECT_NE(mon_gotachar(), 0);
    EXPECT_EQ(mon_getchar(), '1');
    EXPECT_EQ(mon_getchar(), 0xFF);
    EXPECT_EQ(mon_gotachar(), 0);
    g_out.clear();
    EXPECT_EQ(mon_printf("%s=%d\n", "x", 5), 4);
    EXPECT_EQ(g_out, "x=5\n");
}

TEST(Wildcards, Match) {
    struct Case {
        const char* pattern;
        const char* text;
        bool match;
    } cases[] = {
        {"*.bmp", "Bitmaps/a.bmp", true},
        {"*.bmp", "a.bmpx", false},
        {"a?c", "abc", true},
        {"a?c", "ac", false},
        {"*", "", true},
        {"", "", true},
        {"**x*", "abxcd", true},
        {"CONFIG.XML", "config.xml", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(monitor::WildcardMatch(c.pattern, c.text), c.match) << c.pattern << " " << c.text;
    }
}

uint32_t g_ticks = 0;
uint32_t Ticks() {
    return g_ticks;
}

TEST_F(MonitorTest, WatchdogBitesWhenNotServiced) {
    std::vector<std::pair<monitor::RestartCause, int>> resets;
    m_->SetRestartHook([&](monitor::RestartCause c, int v) { resets.emplace_back(c, v); });
    m_->SetTickSource(Ticks);
    const uint32_t period = m_->GetWatchdog().Period();
    EXPECT_EQ(mon_wdt_control(1), 0);
    for (int i = 0; i < 10; ++i) {
        g_ticks += period - 1;
        m_->PollWatchdog();
        EXPECT_EQ(mon_wdt_kick(), 0);
    }
    EXPECT_TRUE(resets.empty());
    EXPECT_EQ(mon_wdt_control(0), 0);
    g_ticks += 10 * period;
    m_->PollWatchdog();
    EXPECT_TRUE(resets.empty()) << "off: never bites";
    EXPECT_EQ(mon_wdt_control(1), 0);
    g_ticks += period;
    m_->PollWatchdog();
    ASSERT_EQ(resets.size(), 1u);
    EXPECT_EQ(resets[0].first, monitor::RestartCause::Watchdog);
    EXPECT_EQ(m_->Cause(), monitor::RestartCause::Watchdog);
}

int64_t g_armedFor = -1;

TEST_F(MonitorTest, WatchdogAsksForATimerAtEachChange) {
    m_->SetTickSource(Ticks);
    m_->SetWatchdogTimer([](uint32_t t) { g_armedFor = t; }, [] { g_armedFor = -1; });
    const uint32_t period = m_->GetWatchdog().Period();
    mon_wdt_control(1);
    EXPECT_EQ(g_armedFor, period);
    g_armedFor = 0;
    mon_wdt_kick();
    EXPECT_EQ(g_armedFor, period);
    g_ticks += period / 2;
    m_->PollWatchdog();  // a timer that fired early looks again later
    EXPECT_EQ(m_->Cause(), monitor::RestartCause::None);
    EXPECT_EQ(g_armedFor, period);
    mon_wdt_control(0);
    EXPECT_EQ(g_armedFor, -1);
    mon_wdt_control(1);
    g_ticks += period;
    m_->PollWatchdog();
    EXPECT_EQ(m_->Cause(), monitor::RestartCause::Watchdog);
    EXPECT_EQ(g_armedFor, -1);
}

uint64_t g_hostMs = 0;

// Faster than real time, the watchdog bites only once its period has also gone by on the host:
// a host too loaded to keep up with the scaled clock does not reset the board.
TEST_F(MonitorTest, ScaledWatchdogWaitsForItsPeriodInHostTime) {
    m_->SetTickSource(Ticks);
    m_->SetWatchdogTimer([](uint32_t t) { g_armedFor = t; }, [] { g_armedFor = -1; });
    m_->SetHostClock([] { return g_hostMs; });
    const uint32_t period = m_->GetWatchdog().Period();
    mon_wdt_control(1);
    g_ticks += 5 * period;  // the scaled clock ran far ahead of a starved board
    g_hostMs += period * 10 - 1;
    m_->PollWatchdog();
    EXPECT_EQ(m_->Cause(), monitor::RestartCause::None);
    EXPECT_EQ(g_armedFor, period / 10) << "looks again soon";
    mon_wdt_kick();  // the kick that came late enough still counts
    g_ticks += period;
    g_hostMs += period * 10 - 1;
    m_->PollWatchdog();
    EXPECT_EQ(m_->Cause(), monitor::RestartCause::None);
    g_hostMs += 1;  // a hang: the period has passed in both times
    m_->PollWatchdog();
    EXPECT_EQ(m_->Cause(), monitor::RestartCause::Watchdog);
    m_->SetHostClock(nullptr);
}

TEST_F(MonitorTest, RestartRecordsTheFirstCause) {
    int calls = 0;
    m_->SetRestartHook([&](monitor::RestartCause, int) { calls++; });
    mon_restart(1);
    mon_restart(0);  // callers repeat it until the board goes
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(m_->Cause(), monitor::RestartCause::Requested);
    EXPECT_EQ(m_->RestartValue(), 1);
}

TEST_F(MonitorTest, TimeOfDay) {
    struct tm t = {};
    t.tm_year = 2018 - 1900;
    t.tm_mon = 11;
    t.tm_mday = 4;
    t.tm_hour = 15;
    t.tm_min = 57;
    t.tm_sec = 36;
    ASSERT_EQ(mon_set_time(&t), 0);
    m_->SetTickSource(Ticks);
    g_ticks += 100 * 90;
    struct tm now = {};
    ASSERT_EQ(mon_get_time(&now), 0);
    EXPECT_EQ(now.tm_year, 118);
    EXPECT_EQ(now.tm_mon, 11);
    EXPECT_EQ(now.tm_mday, 4);
    EXPECT_EQ(now.tm_hour * 3600 + now.tm_min * 60 + now.tm_sec, 15 * 3600 + 59 * 60 + 6);
    struct tm bad = t;
    bad.tm_mon = 12;
    EXPECT_EQ(mon_set_time(&bad), -1);
    EXPECT_EQ(mon_set_time(nullptr), -1);
    EXPECT_EQ(mon_get_time(nullptr), -1);
    EXPECT_EQ(mon_get_board_temperature(), 25);
}

TEST_F(MonitorTest, BatteryLossClearsRegistersAndClockButNotFlash) {
    hw::Write8(0xF010000B, 0x05);  // boot counter
    hw::Write8(0xF0100007, 0x2A);  // globalTime, least significant byte
    ASSERT_EQ(mon_tfsadd("CONFIG.XML", "", "", "<x/>", 4), TFS_OKAY);
    m_.reset();
    ASSERT_TRUE(sim::Nvram::LoseBattery(board_.Dir()));
    Reboot(board_.Config());
    EXPECT_EQ(hw::Read8(0xF010000B), 0);
    EXPECT_EQ(hw::Read8(0xF0100007), 0);
    EXPECT_EQ(Contents(mon_tfsstat("CONFIG.XML")), "<x/>");
    struct tm now = {};
    ASSERT_EQ(mon_get_time(&now), 0);
    EXPECT_EQ(now.tm_year, 100);
    EXPECT_EQ(now.tm_mon, 0);
    EXPECT_EQ(now.tm_mday, 1);
    EXPECT_EQ(hw::Read16(0xF0200004) >> 9 & 0xF, sim::kDefaultBoardId);
}

TEST_F(MonitorTest, ServicesAndBootVector) {
    EXPECT_STREQ(mon_build_date(), "Dec  4 2018");
    EXPECT_EQ(mon_service(MON_SERVICE_SYNC, 0, 18), 0);
    EXPECT_EQ(mon_service(MON_SERVICE_DMA_SYNC, 0, 18), 0);
    EXPECT_EQ(mon_service(7, 0, 0), -1);
    EXPECT_EQ(m_->ServiceCalls(MON_SERVICE_SYNC), 1u);
    EXPECT_EQ(m_->ServiceCalls(MON_SERVICE_DMA_SYNC), 1u);
    auto c = board_.Config();
    c.buildDate = "Jun 30 2006";
    Reboot(c);
    EXPECT_STREQ(mon_build_date(), "Jun 30 2006");

    EXPECT_EQ(hw::Read32(0xFFFFFFF4), MON_ENTRY_WORD);
    EXPECT_EQ(monConnect(0x12345678, nullptr, nullptr), -1);
    EXPECT_EQ(monConnect(hw::Read32(0xFFFFFFF4), nullptr, nullptr), 0);
}

// A 16550 register file that keeps what is written.
class UartRegs : public hw::Device {
public:
    uint32_t Read(uint32_t offset, unsigned) override { return regs[offset]; }
    void Write(uint32_t offset, unsigned, uint32_t value) override {
        if (offset < 2 && (regs[3] & 0x80)) {
            dl[offset] = uint8_t(value);
        } else {
            regs[offset] = uint8_t(value);
        }
    }
    uint8_t regs[8] = {};
    uint8_t dl[2] = {};
};

TEST_F(MonitorTest, PortSetupProgramsTheUart) {
    UartRegs uart;
    ASSERT_TRUE(hw::Register(0xEF600400, 8, &uart));
    uart.regs[1] = 0x08;
    EXPECT_EQ(mon_port_setup(1, 9600, 7, 0), 0);
    EXPECT_EQ(uart.dl[0], 12);
    EXPECT_EQ(uart.dl[1], 0);
    EXPECT_EQ(uart.regs[3], 0x02) << "7 data bits, no parity, one stop bit, latch off";
    EXPECT_EQ(uart.regs[1], 0x09) << "receive interrupt added to what was enabled";
    EXPECT_EQ(mon_port_setup(1, 300, 9, 0), 0);
    EXPECT_EQ(uart.dl[0] | uart.dl[1] << 8, 384);
    EXPECT_EQ(uart.regs[3], 0x03);
    EXPECT_EQ(mon_port_setup(2, 9600, 8, 0), -1);
    EXPECT_EQ(mon_port_setup(0, 0, 8, 0), -1);
    hw::Unregister(&uart);
}

int g_locks = 0, g_unlocks = 0;
bool g_inThread = true;

TEST_F(MonitorTest, LockHooksOnlyInThreadContext) {
    ASSERT_EQ(monConnect(
                  MON_ENTRY_WORD, [] { g_locks++; }, [] { g_unlocks++; }),
              0);
    m_->SetThreadProbe([] { return g_inThread; });
    mon_tfsstat("x");
    EXPECT_EQ(g_locks, 1);
    EXPECT_EQ(g_unlocks, 1);
    g_inThread = false;  // start-up, timer or interrupt context
    mon_tfsstat("x");
    mon_dcr_read(0xC6);
    EXPECT_EQ(g_locks, 1);
    g_inThread = true;
}

TEST_F(MonitorTest, EpldLoadChecksTheBitstream) {
    std::vector<uint8_t> bits(3000);
    for (size_t i = 0; i < bits.size(); ++i)
        bits[i] = uint8_t(i * 7);
    std::vector<uint8_t> image = monitor::MakeEpldImage(bits.data(), bits.size());
    ASSERT_EQ(mon_tfsadd("PX40000.RBF", "", "", image.data(), long(image.size())), TFS_OKAY);
    size_t loaded = 0;
    m_->SetEpldLoadHook([&](const uint8_t*, size_t n) {
        loaded = n;
        return true;
    });
    EXPECT_NE(mon_epld_load("PX40000.RBF"), 0);
    EXPECT_EQ(loaded, bits.size());
    image[100] ^= 1;
    ASSERT_EQ(mon_tfsadd("BAD.RBF", "", "", image.data(), long(image.size())), TFS_OKAY);
    EXPECT_EQ(mon_epld_load("BAD.RBF"), 0);
    EXPECT_EQ(mon_tfsadd("SHORT.RBF", "", "", "RBF1", 4), TFS_OKAY);
    EXPECT_EQ(mon_epld_load("SHORT.RBF"), 0);
    EXPECT_EQ(mon_epld_load("MISSING.RBF"), 0);
    EXPECT_EQ(mon_epld_load(nullptr), 0);
}

TEST(FaultPlanText, Parse) {
    monitor::FaultPlan p;
    ASSERT_TRUE(monitor::FaultPlan::Parse("cut=120,tear,seed=7", &p));
    EXPECT_EQ(p.cutAfter, 120u);
    EXPECT_TRUE(p.tear);
    EXPECT_EQ(p.seed, 7u);
    ASSERT_TRUE(monitor::FaultPlan::Parse("cut=0x10,tear=0", &p));
    EXPECT_EQ(p.cutAfter, 16u);
    EXPECT_FALSE(p.tear);
    ASSERT_TRUE(monitor::FaultPlan::Parse("erase=3,seed=2", &p));
    EXPECT_EQ(p.cutInErase, 3u);
    EXPECT_EQ(p.cutAfter, 0u);
    for (const char* bad : {"", "tear", "cut=", "cut=0", "cut=-1", "cut=5,bogus=1", "cut=5x",
                            "cut=5,seed=99999999999", "erase=0", "erase"}) {
        EXPECT_FALSE(monitor::FaultPlan::Parse(bad, &p)) << bad;
    }
}

TEST(FlashModel, ProgramOnlyClearsBitsAndEraseSetsThem) {
    TempBoard board;
    monitor::Flash f;
    ASSERT_TRUE(f.Open(board.Path("flash.bin"), 64 * 1024));
    EXPECT_EQ(f.BlockSize(), 4096u);
    monitor::Flash second;
    EXPECT_FALSE(second.Open(board.Path("flash.bin"))) << "one user at a time";
    uint8_t v = 0xF0;
    ASSERT_TRUE(f.Program(10, &v, 1));
    v = 0x3C;
    ASSERT_TRUE(f.Program(10, &v, 1));
    EXPECT_EQ(f.Data()[10], 0x30);
    EXPECT_FALSE(f.Program(64 * 1024, &v, 1));
    EXPECT_FALSE(f.Program(64 * 1024 - 1, "ab", 2));
    ASSERT_TRUE(f.Erase(0));
    EXPECT_EQ(f.Data()[10], 0xFF);
    EXPECT_FALSE(f.Erase(16));
    EXPECT_EQ(f.ProgrammedBytes(), 2u);
    monitor::Flash tooSmall;
    EXPECT_FALSE(tooSmall.Open(board.Path("small.bin"), 16 * 1024));
}

// A cut in an erase leaves the block partly erased in the file; the process still sees it whole.
TEST(FlashModel, EraseCutLeavesTheBlockPartlyErased) {
    TempBoard board;
    {
        monitor::Flash f;
        ASSERT_TRUE(f.Open(board.Path("flash.bin"), 64 * 1024));
        const std::vector<uint8_t> zeros(3 * 4096, 0);
        ASSERT_TRUE(f.Program(0, zeros.data(), zeros.size()));
        f.SetFaultPlan({0, false, 5, 2});
        ASSERT_TRUE(f.Erase(0));
        EXPECT_FALSE(f.PowerCut());
        ASSERT_TRUE(f.Erase(1));
        EXPECT_TRUE(f.PowerCut());
        EXPECT_EQ(f.Erases(), 2u);
        for (size_t i = 4096; i < 2 * 4096; ++i) {
            ASSERT_EQ(f.Data()[i], 0xFF) << i;
        }
        ASSERT_TRUE(f.Erase(2));  // after the cut: the file no longer changes
    }
    const std::vector<char> image = board.ReadFile("flash.bin");
    EXPECT_EQ(uint8_t(image[100]), 0xFF) << "erased before the cut";
    EXPECT_EQ(uint8_t(image[4096]), 0xFF) << "the interrupted erase began at the start";
    EXPECT_EQ(image[2 * 4096 - 1], 0) << "and did not reach the end";
    EXPECT_EQ(image[2 * 4096], 0) << "erased after the cut";
}

}  // namespace
