// The vms command parses its words, reaches the peripheral task and prints its figures.
#include "system/vms_command.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "platform/kernel/kernel.h"
#include "runtime/debug_print.h"
#include "runtime/interrupts.h"
#include "runtime/post_office.h"
#include "runtime/task_base.h"
#include "system/monitor_task.h"
#include "system/startup.h"

namespace {

std::string g_out;

// Peripherals 0x10 (class 5) and 0x20 (the modem class), and 0x5A, with a call log.
class FakePeripherals : public VmsPeripherals {
public:
    bool Exists(uint32_t id) override { return classes.count(id) != 0; }
    const char* TypeName(uint32_t id) override { return id == 0x20 ? "MODEM" : "SENSOR"; }
    const char* StateText(uint32_t) override { return "ON"; }
    uint32_t ClassOf(uint32_t id) override { return classes[id]; }
    bool Enable(uint32_t id) override { return Log("enable", id), id != 0x10; }
    bool Disable(uint32_t id) override { return Log("disable", id), true; }
    bool SetPollPeriod(uint32_t id, uint32_t period, uint32_t* old) override {
        Log("freq", id, period);
        *old = 10;
        return true;
    }
    void PrintStatus(uint32_t id) override { Log("stat", id); }
    void ModemSend(uint32_t id, const char* text, int flag) override {
        Log(std::string("send ") + text, id, uint32_t(flag));
    }
    void ModemCommandMode(uint32_t id) override { Log("cmdmode", id); }
    void PanelBusy(bool busy) override { Log("busy", busy); }
    void ResetSensorBus() override { Log("resetbus", 0); }
    bool CanCounts(bool sign, VmsCanCounts* c) override {
        *c = sign ? VmsCanCounts{1, 2, 3} : VmsCanCounts{4, 5, 6};
        return true;
    }
    void Log(const std::string& what, uint32_t id, uint32_t extra = 0) {
        std::ostringstream s;
        s << what << ' ' << std::hex << id;
        if (extra != 0) {
            s << ' ' << extra;
        }
        calls.push_back(s.str());
    }

    std::map<uint32_t, uint32_t> classes{{0x10, 5}, {0x20, kModemClass}, {0x5A, 7}};
    std::vector<std::string> calls;
};

constexpr uint32_t kObserved[] = {47, 73, 107, 124, 126, 0};

class VmsCommandTest : public ::testing::Test {
protected:
    VmsCommandTest() {
        g_out.clear();
        DebugSetSink([](const char* text) { g_out += text; });
        DebugSetTraceLevel(0);
        observer_.Start(kObserved);
        display_.runs = 12;
        display_.rescheduleCount = 3;
        peripheral_.runs = 34;
        schedule_.runs = 56;
        comm_.runs = 78;
        monitor_.ticks = 10 * (2 * 86400 + 3 * 3600 + 4 * 60 + 5);  // ten runs a second
        system_.office = &office_;
        system_.monitor = &monitor_;
        system_.display = &display_;
        system_.peripheral = &peripheral_;
        system_.schedule = &schedule_;
        system_.comm = &comm_;
        system_.peripherals = &peripherals_;
        system_.interruptCount = [] { return uint32_t(77); };
        system_.etherInterruptCount = [] { return uint32_t(8); };
        system_.watchdogTimer = [](bool on) { g_out += on ? "[wdt on]" : "[wdt off]"; };
        VmsSetSystem(system_);
    }
    ~VmsCommandTest() override {
        VmsUseDefaultSystem();
        DebugSetSink(nullptr);
        DebugSetTraceLevel(0);
    }

    int Run(const std::string& line) {
        std::istringstream in(line);
        words_.clear();
        for (std::string w; in >> w;) {
            words_.push_back(w);
        }
        std::vector<char*> argv;
        for (std::string& w : words_) {
            argv.push_back(w.data());
        }
        argv.push_back(nullptr);
        g_out.clear();
        return vms_command(int(words_.size()), argv.data());
    }
    std::vector<uint32_t> Posted() {
        std::vector<uint32_t> ids;
        letter_s* letter = nullptr;
        while (observer_.Receive(&letter)) {
            ids.push_back(letter->id);
            lastLetter_.CopyContent(*letter);
            observer_.Release(letter);
        }
        return ids;
    }

    kernel::Kernel kernel_;
    PostOffice office_;
    subscriber observer_{&office_, nullptr, 0x1, nullptr};
    letter_s lastLetter_;
    CTaskBase monitor_{"Monitor", 4096, 2, 0, 200, 10};
    CTaskBase display_{"Display", 4096, 2, 0, 200, 10};
    CTaskBase peripheral_{"Peripheral", 4096, 2, 0, 200, 10};
    CTaskBase schedule_{"Schedule", 4096, 2, 0, 200, 10};
    CTaskBase comm_{"Comm", 4096, 2, 0, 200, 10};
    FakePeripherals peripherals_;
    VmsSystem system_;
    std::vector<std::string> words_;
};

struct Case {
    const char* line;
    int result;
    std::string output;
    std::vector<uint32_t> letters;
};

const std::string kDebugUsage =
    "commands\nvms -d spi\nvms -d module X\t\t(X=face number)\nvms -d modem X\t\t(X=id)\n"
    "vms -d thread\nvms -d peripheral\nvms -d defrag\nvms -d ethernet\n";
const std::string kThreadUsage =
    "vms -d thread stack X    (X=name)\nvms -d thread suspend X  (X=name)\n";
const std::string kModemUsage = "vms -d modem X AT    (X=id)\nvms -d modem X +++   (X=id)\n";
const std::string kPeripheralUsage =
    "commands\nvms -d peripheral enable X   (X=id)\nvms -d peripheral disable X  (X=id)\n"
    "vms -d peripheral freq X Y   (X=id,Y=new freq)\nvms -d peripheral stat X     (X=id)\n";

TEST_F(VmsCommandTest, CommandTable) {
    const Case cases[] = {
        {"vms", 0, "\n", {}},
        {"vms -t 1", 0, "new level:1\n", {}},
        {"vms -t 2", -2, "", {}},
        {"vms trace 0", 0, "new level:0\n", {}},
        {"vms -t 257", 0, "new level:1\n", {}},
        {"vms -t", -2, "", {}},
        {"vms set dmsSignType", -2, "", {}},
        {"vms get", -2, "", {}},
        {"vms save", -2, "", {}},
        {"vms restore", -2, "", {}},
        {"vms -S", -2, "", {}},
        {"vms -d", 0, kDebugUsage, {}},
        {"vms -d nonsense", 0, kDebugUsage, {}},
        {"vms -d module", 0, kDebugUsage, {}},
        {"vms -d prog", 0, "", {126}},
        {"vms -d thread STACK Display", 0, "", {47}},
        {"vms -d thread suspend WATCHDOG", 0, "", {73}},
        {"vms -d thread stack nosuch", 0, "", {}},
        {"vms -d thread stack", 0, "", {}},
        {"vms -d thread resume display", 0, kThreadUsage, {}},
        {"vms -d thread", 0, kThreadUsage, {}},
        {"vms -d modem 10 ATI", 0, "", {}},
        {"vms -d modem 10", 0, "", {}},
        {"vms -d modem 20 ATI", 0, "send ATI to MODEM\n", {}},
        {"vms -d modem 20 +++", 0, "try enter cmd mode\n", {}},
        {"vms -d modem 20 hello", -2, "", {}},
        {"vms -d modem 20", -2, "", {}},
        {"vms -d modem 99 AT", 0, kModemUsage, {}},
        {"vms -d modem", 0, kModemUsage, {}},
        {"vms -d peripheral enable 5a", 0, "Enabled:SENSOR\n", {}},
        {"vms -d peripheral enable 10", -2, "", {}},
        {"vms -d peripheral enable 77", -2, "", {}},
        {"vms -d peripheral enable", -2, "", {}},
        {"vms -d peripheral disable 20", 0, "Disabled:MODEM\n", {}},
        {"vms -d peripheral freq 5a 14", 0, "SENSOR old:10, new:20\n", {}},
        {"vms -d peripheral freq 5a", -2, "", {}},
        {"vms -d peripheral stat 20", 0, "", {}},
        {"vms -d peripheral stat", 0, "", {}},
        {"vms -d ethernet tcp",
         0,
         " connections:0\n disconnections:0\n bytes sent:0\n bytes received:0\n",
         {}},
        {"vms -d ethernet udp",
         0,
         " datagrams sent:0\n datagrams received:0\n datagrams dropped:0\n",
         {}},
        {"vms -d ethernet icmp", 0, " echo answered:no\n echo requests dropped:0\n", {}},
        {"vms -d ethernet pool", 0, "", {}},
        {"vms -d ethernet reset", 0, "", {}},
        {"vms -d ethernet dhcp renew", 0, "", {107}},
        {"vms -d ethernet dhcp", 0, "vms -d dhcp renew\n", {}},
        {"vms -d ethernet arp", 0, "vms -d ethernet arp list\nvms -d ethernet arp stat\n", {}},
        {"vms -d ethernet arp list", 0, "Dynamic ARP Table:\n", {}},
        {"vms -d ethernet arp stat",
         0,
         " requests sent:0\n requests received:0\n responses sent:0\n responses received:0\n"
         " dynamic entries:0\n static entries:0\n aged entries:0\n dropped msg:0\n",
         {}},
        {"vms -d ethernet",
         0,
         "vms -d ethernet tcp\nvms -d ethernet udp\nvms -d ethernet icmp\nvms -d ethernet "
         "pool\nvms -d ethernet reset\nvms -d ethernet dhcp\nvms -d ethernet arp\n",
         {}},
        {"vms -d spi", 0, "reset spi\n", {}},
        {"vms -d defrag", 0, "", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        EXPECT_EQ(Run(c.line), c.result);
        EXPECT_EQ(g_out, c.output);
        EXPECT_EQ(Posted(), c.letters);
    }
    EXPECT_EQ(CMonitorTask::TraceLevel(), 1u) << "\"vms -t 2\" left the level";
}

TEST_F(VmsCommandTest, OperationsReachThePeripheralTask) {
    for (const char* line : {"vms -d peripheral enable 5a", "vms -d peripheral freq 5a 14",
                             "vms -d peripheral stat 20", "vms -d modem 20 ATI",
                             "vms -d modem 20 +++", "vms -d modem 10 ATI", "vms -d spi"}) {
        Run(line);
    }
    const std::vector<std::string> expected = {"enable 5a",     "freq 5a 14", "stat 20",
                                               "send ATI 20 1", "cmdmode 20", "resetbus 0"};
    EXPECT_EQ(peripherals_.calls, expected);
}

// A vector with fewer words than its count says (a null word) reads as a missing word.
TEST_F(VmsCommandTest, NullWordsAreMissingWords) {
    char vms[] = "vms";
    char debug[] = "-d";
    char module[] = "module";
    char modem[] = "modem";
    char trace[] = "-t";
    struct Line {
        std::vector<char*> argv;
        int result;
        std::string output;
    };
    const Line lines[] = {
        {{vms, debug, module, nullptr}, 0, kDebugUsage},
        {{vms, debug, modem, nullptr, nullptr}, 0, kModemUsage},
        {{vms, trace, nullptr}, -2, ""},
        {{vms, nullptr}, -2, ""},
    };
    for (const Line& line : lines) {
        std::vector<char*> argv = line.argv;
        g_out.clear();
        EXPECT_EQ(vms_command(int(argv.size()), argv.data()), line.result);
        EXPECT_EQ(g_out, line.output);
    }
    EXPECT_TRUE(Posted().empty());
}

TEST_F(VmsCommandTest, ModuleBroadcastCarriesTheFace) {
    EXPECT_EQ(Run("vms -d module 2"), 0);
    EXPECT_EQ(Posted(), std::vector<uint32_t>{124});
    EXPECT_EQ(lastLetter_.word, 1);
    EXPECT_EQ(lastLetter_.param1 >> 24, 2u) << "the face in the first byte";
}

TEST_F(VmsCommandTest, StatusSummary) {
    EXPECT_EQ(Run("vms -s"), 0);
    EXPECT_EQ(g_out,
              "-Uptime(y/d/h/m/s) = 0/2/03/04/05\n"
              "-Display:12, Peripheral:34, Schedule:56, Comm:78\n"
              "\t Display Timer Reschedule Events:3\n"
              "-Interrupts RX:77, Ether:8\n"
              "-Q2 CAN\tRX:1\tTX:2\tErr:3\n"
              "-LTP CAN\tRX:4\tTX:5\tErr:6\n");
}

// The pool lines, the ARP readings and the network and flash hooks, with parts that answer.
TEST_F(VmsCommandTest, PoolsArpAndHooksPrintTheirFigures) {
    static TX_BYTE_POOL stacks;
    static TX_BYTE_POOL database;
    alignas(8) static unsigned char stackArea[0x400];
    alignas(8) static unsigned char databaseArea[0x800];
    ASSERT_EQ(tx_byte_pool_create(&stacks, const_cast<char*>("thread stacks"), stackArea,
                                  sizeof stackArea),
              TX_SUCCESS);
    ASSERT_EQ(tx_byte_pool_create(&database, const_cast<char*>("dynamic database"), databaseArea,
                                  sizeof databaseArea),
              TX_SUCCESS);
    void* block = nullptr;
    ASSERT_EQ(tx_byte_allocate(&stacks, &block, 0x100, TX_NO_WAIT), TX_SUCCESS);
    ULONG stacksFree = 0;
    ULONG databaseFree = 0;
    tx_byte_pool_info_get(&stacks, nullptr, &stacksFree, nullptr, nullptr, nullptr, nullptr);
    tx_byte_pool_info_get(&database, nullptr, &databaseFree, nullptr, nullptr, nullptr, nullptr);
    static std::string hooks;
    hooks.clear();
    system_.threadStacks = &stacks;
    system_.dynamicDatabase = &database;
    system_.emacConfigure = [] { hooks += "emac "; };
    system_.defragReset = [] { hooks += "defrag "; };
    system_.arpStats = [](VmsArpStats* s) {
        *s = VmsArpStats{1, 2, 3, 4, 5, 6, 7, 8};
        return true;
    };
    system_.arpEntries = [](VmsArpEntry* e, size_t capacity) -> size_t {
        if (capacity < 2) {
            return 0;
        }
        e[0] = VmsArpEntry{0x7F000001, {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0xFF}};
        e[1] = VmsArpEntry{0xC0A80A02, {0xAB, 0, 1, 2, 3, 4}};
        return 2;
    };
    system_.ipFigures = [](VmsIpFigures* f) {
        *f = VmsIpFigures{1, 2, 3, 4, 5, 6, 7, true, 9};
        return true;
    };
    system_.poolFigures = [](VmsPoolFigures* p, size_t capacity) -> size_t {
        const VmsPoolFigures all[] = {
            {"NetX", 10, 9, 8, 7}, {"enet packet pool", 6, 5, 4, 3}, {"third", 1, 1, 1, 1}};
        size_t n = 0;
        for (; n < capacity && n < 3; ++n) {
            p[n] = all[n];
        }
        return 3;  // more than it was given room for
    };
    VmsSetSystem(system_);

    char pools[128];
    std::snprintf(
        pools, sizeof pools, "-byte_pool_0 usage:0x%X of 0x400\n-dyn db usage:0x%X of 0x800\n",
        static_cast<unsigned>(0x400 - stacksFree), static_cast<unsigned>(0x800 - databaseFree));
    EXPECT_EQ(Run("vms -s"), 0);
    EXPECT_NE(g_out.find(std::string("-Interrupts RX:77, Ether:8\n") + pools + "-Q2 CAN\t"),
              std::string::npos)
        << g_out;
    const Case cases[] = {
        {"vms -d ethernet arp stat",
         0,
         " requests sent:1\n requests received:2\n responses sent:3\n responses received:4\n"
         " dynamic entries:5\n static entries:6\n aged entries:7\n dropped msg:8\n",
         {}},
        {"vms -d ethernet arp list",
         0,
         "Dynamic ARP Table:\n 127.0.0.1 = 0-1A-2B-3C-4D-FF\n 192.168.10.2 = AB-0-1-2-3-4\n",
         {}},
        {"vms -d ethernet reset", 0, "", {}},
        {"vms -d ethernet tcp",
         0,
         " connections:1\n disconnections:2\n bytes sent:3\n bytes received:4\n",
         {}},
        {"vms -d ethernet udp",
         0,
         " datagrams sent:5\n datagrams received:6\n datagrams dropped:7\n",
         {}},
        {"vms -d ethernet icmp", 0, " echo answered:yes\n echo requests dropped:9\n", {}},
        {"vms -d ethernet pool",
         0,
         " NetX total:10 free:9 empty requests:8 invalid releases:7\n"
         " enet packet pool total:6 free:5 empty requests:4 invalid releases:3\n",
         {}},
        {"vms -d defrag", 0, "", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        EXPECT_EQ(Run(c.line), c.result);
        EXPECT_EQ(g_out, c.output);
    }
    EXPECT_EQ(hooks, "emac defrag ");
    tx_byte_release(block);
    tx_byte_pool_delete(&stacks);
    tx_byte_pool_delete(&database);
}

TEST_F(VmsCommandTest, PeripheralListBetweenWatchdogOffAndOn) {
    EXPECT_EQ(Run("vms -d peripheral list"), 0);
    EXPECT_EQ(g_out,
              "[wdt off]peripherals:\n-SENSOR(0x0010) state=ON \n-MODEM(0x0020) state=ON \n"
              "-SENSOR(0x005A) state=ON \n[wdt on]" +
                  kPeripheralUsage);
    EXPECT_EQ(peripherals_.calls, (std::vector<std::string>{"busy 1", "busy 0"}));
}

TEST_F(VmsCommandTest, WithoutThePeripheralSubsystemEveryIdIsUnknown) {
    VmsSetSystem({});
    const Case cases[] = {
        {"vms -d peripheral enable 5a", -2, "", {}},
        {"vms -d peripheral freq 5a 14", -2, "", {}},
        {"vms -d peripheral stat 5a", 0, "", {}},
        {"vms -d peripheral", 0, "peripherals:\n" + kPeripheralUsage, {}},
        {"vms -d modem 10 ATI", 0, kModemUsage, {}},
        {"vms -d spi", 0, "reset spi\n", {}},
        {"vms -s",
         0,
         "-Uptime(y/d/h/m/s) = 0/0/00/00/00\n-Display:0, Peripheral:0, Schedule:0, Comm:0\n"
         "\t Display Timer Reschedule Events:0\n-Interrupts RX:0, Ether:0\n"
         "-Q2 CAN\tRX:0\tTX:0\tErr:0\n-LTP CAN\tRX:0\tTX:0\tErr:0\n",
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        EXPECT_EQ(Run(c.line), c.result);
        EXPECT_EQ(g_out, c.output);
    }
}

TEST_F(VmsCommandTest, DefaultsAreTheRuntimesOwnParts) {
    VmsUseDefaultSystem();
    const VmsSystem s = VmsGetSystem();
    EXPECT_EQ(s.threadStacks, &g_ThreadStackPool);
    EXPECT_EQ(s.dynamicDatabase, &g_DynamicDatabasePool);
    EXPECT_EQ(s.display, nullptr) << "no System runs";
    EXPECT_EQ(s.peripherals, nullptr);
    ASSERT_NE(s.interruptCount, nullptr);
    const uint32_t saved = g_InterruptCount;
    g_InterruptCount = 4242;
    EXPECT_EQ(s.interruptCount(), 4242u);
    EXPECT_EQ(Run("vms -s"), 0);
    EXPECT_NE(g_out.find("-Interrupts RX:4242, Ether:"), std::string::npos) << g_out;
    EXPECT_EQ(g_out.find("byte_pool_0"), std::string::npos) << "a pool not created is skipped";
    g_InterruptCount = saved;
}

TEST(VmsCommandTableTest, RegisteredUnderBothNamesWithTheHelp) {
    EXPECT_STREQ(g_MonitorCommandTable[0].name, "vms");
    EXPECT_STREQ(g_MonitorCommandTable[1].name, "VMS");
    EXPECT_EQ(g_MonitorCommandTable[0].func, g_MonitorCommandTable[1].func);
    EXPECT_EQ(g_MonitorCommandTable[2].name, nullptr);
    std::vector<std::string> help;
    for (const char* const* line = g_MonitorCommandTable[1].helptxt; *line != nullptr; ++line) {
        help.emplace_back(*line);
    }
    EXPECT_EQ(
        help,
        (std::vector<std::string>{
            "VMS Functions.", "-[s:d:t] operation [args]...", "-s status", "-d debug", "-t trace",
            "Operations:", " set {friendly MIB Name}, get {friendly MIB Name }, save, restore"}));
}

}  // namespace
