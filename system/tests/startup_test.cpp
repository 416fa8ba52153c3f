// Start-up runs its steps in order, starts the supervised tasks and records the kind of start.
#include "system/startup.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/monitor/mon.h"
#include "platform/sim/rtc.h"
#include "runtime/post_office.h"
#include "runtime/task_table.h"
#include "system/boot_loader_check.h"
#include "system/tests/board_fixture.h"

namespace {

using testing_support::BoardTest;
using testing_support::Captured;
using testing_support::FakeStore;

constexpr int64_t kFixedNow = 1709618828;  // 2024-03-05 06:07:08 UTC
int64_t FixedClock() {
    return kFixedNow;
}

const std::string kHead =
    "Booting PX40317 ver 1.9.4588.53 built Dec  4 2018 at 15:57:36....\n"
    " - Detecting Hardware\t\t\t\t\t[ OK ]\n"
    "\tSFC Product Board II\n";

class StartupTest : public BoardTest {
protected:
    StartupTest() { sim::Rtc::SetHostClock(&FixedClock); }
    ~StartupTest() override {
        Shutdown();
        sim::Rtc::SetHostClock(nullptr);
    }

    StartupHooks Wired() {
        StartupHooks hooks;
        store_.Wire(hooks);
        return hooks;
    }

    FakeStore store_;
};

TEST_F(StartupTest, FirstBootPrintsTheTranscriptAndRecordsTheStart) {
    Boot(Wired());
    EXPECT_EQ(Captured(), kHead +
                              " - Is Bootloader Current?\t\t\t\t[ OK ]\n"
                              " - Initialize Q3 Platform Specific Items\t\t[ OK ]\n"
                              " - Initialize RD Product Specific Items\t\t[ OK ]\n"
                              "Launching Thread(s) at 5 3 2024 6:7:8 GMT, Please Wait...\n");
    EXPECT_TRUE(system_->Launched());
    EXPECT_EQ(store_.Get(kControllerStatusFlags, false) & 1, 1u);
    EXPECT_EQ(store_.Get(kWatchdogFailureCount, true), 1u) << "nobody asked for this start";
    EXPECT_EQ(g_PowerUpKind, 1);
    EXPECT_EQ(g_ProductBoardId, 1);
    EXPECT_FALSE(monitor_->GetWatchdog().On()) << "switched off until the watchdog task runs";
}

TEST_F(StartupTest, UnmountedSystemDriveFailsTheStepAndStartUpGoesOn) {
    StartupHooks hooks = Wired();
    hooks.mountSystemDrive = [] { return false; };
    Boot(std::move(hooks));
    EXPECT_NE(Captured().find(" - Initialize Q3 Platform Specific Items\t\t[FAIL]\n"
                              " - Initialize RD Product Specific Items\t\t[ OK ]\n"),
              std::string::npos)
        << Captured();
    EXPECT_TRUE(system_->Launched());
}

TEST_F(StartupTest, TasksStartAndComeUnderSupervision) {
    Boot(Wired());
    Advance(1300);
    for (CStandardTask* task : {&system_->Display(), &system_->Schedule(), &system_->Peripheral(),
                                &system_->Monitor(), &system_->Database(), &system_->Comm()}) {
        EXPECT_GT(task->runs, 0u) << task->name;
    }
    CWatchdogTask& watchdog = system_->Watchdog();
    for (int slot : {0, 1, 2, 3, 5}) {
        EXPECT_EQ(watchdog.reload[slot], CWatchdogTask::kReload) << CWatchdogTask::SlotName(slot);
    }
    EXPECT_EQ(watchdog.reload[4], 0u) << "the database is never supervised";
    EXPECT_TRUE(monitor_->GetWatchdog().On());
    EXPECT_EQ(Captured().find("wdt failure"), std::string::npos);
}

TEST_F(StartupTest, StepsRunInTheirOrder) {
    std::vector<std::string> steps;
    StartupHooks hooks = Wired();
    auto record = [&steps](const char* name) { return [&steps, name] { steps.push_back(name); }; };
    hooks.installModuleTable = record("module table");
    static uint8_t* area = nullptr;
    hooks.ethernetSetBufferArea = [&steps](uint8_t* start) {
        area = start;
        EXPECT_EQ(start[0], 0);
        EXPECT_EQ(start[kNetworkAreaSize - 1], 0) << "cleared";
        steps.push_back("network area");
    };
    hooks.setWatchdogStateHook = [&steps](int (*hook)()) {
        EXPECT_EQ(hook, &IsWatchdogEnabled);
        steps.push_back("watchdog state hook");
    };
    hooks.mountSystemDrive = [&steps] {
        steps.push_back("mount");
        return true;
    };
    hooks.openDisplayRegistry = [&steps, this] {
        EXPECT_EQ(system_->Watchdog().state, CTaskBase::kCreated);
        EXPECT_EQ(system_->Database().state, CTaskBase::kCreated);
        EXPECT_EQ(system_->Display().state, CTaskBase::kConstructed);
        steps.push_back("display registry");
    };
    hooks.databaseInit = [&steps, this] {
        EXPECT_EQ(system_->Comm().state, CTaskBase::kCreated) << "every task exists";
        steps.push_back("database init");
        return 1;
    };
    hooks.powerSupplyInit = record("power supplies");
    hooks.displayInit = record("display init");
    hooks.buildDisplayConfiguration = record("display configuration");
    hooks.initNtcipTransports = [&steps](uint8_t** next) {
        ASSERT_NE(next, nullptr);
        EXPECT_GE(*next, area + kNetworkAreaSize) << "laid down behind the network area";
        steps.push_back("transports");
    };
    hooks.eventLoggingUpdate = record("event logging");
    hooks.processScriptFile = [&steps, this] {
        EXPECT_NE(Captured().find("RD Product Specific Items"), std::string::npos);
        steps.push_back("script file");
    };
    hooks.markStartupComplete = [&steps, this] {
        EXPECT_EQ(store_.Get(kControllerStatusFlags, false) & 1, 1u);
        steps.push_back("startup complete");
    };
    Boot(std::move(hooks));
    const std::vector<std::string> expected = {
        "module table",          "network area",  "watchdog state hook", "mount",
        "display registry",      "database init", "power supplies",      "display init",
        "display configuration", "transports",    "event logging",       "script file",
        "startup complete"};
    EXPECT_EQ(steps, expected);
}

TEST_F(StartupTest, StaticConstructionAndSubscriptionsFollowTheBootModule) {
    std::vector<std::string> built;
    StartupHooks hooks;
    auto factory = [&built](const TaskDefinition& definition) {
        return [&built, &definition](PostOffice& office) {
            built.push_back(definition.name);
            return std::make_unique<CStandardTask>(office, definition);
        };
    };
    hooks.display = factory(kDisplayTaskDefinition);
    hooks.schedule = factory(kScheduleTaskDefinition);
    hooks.peripheral = factory(kPeripheralTaskDefinition);
    hooks.monitor = factory(kMonitorTaskDefinition);
    hooks.database = factory(kDatabaseTaskDefinition);
    hooks.comm = factory(kCommunicationTaskDefinition);
    hooks.constructModules = [&built] { built.push_back("modules"); };
    System system(std::move(hooks));
    EXPECT_EQ(built, (std::vector<std::string>{"Display", "Schedule", "Peripheral", "Monitor",
                                               "Database", "Communication", "modules"}));
    system.Main(0, nullptr);
    const std::vector<CStandardTask*> order = {
        &system.Comm(),    &system.Display(),  &system.Schedule(), &system.Peripheral(),
        &system.Monitor(), &system.Watchdog(), &system.Database()};
    for (int slot = 0; slot < 7; ++slot) {
        EXPECT_EQ(g_PostOffice.Slot(slot), &order[size_t(slot)]->Subscriber()) << slot;
    }
}

TEST(ResetType, StoredValueGivesThePowerUpKindAndCountsUnrequestedStarts) {
    struct Case {
        uint32_t stored;
        uint8_t kind;
        uint32_t counted;
    };
    for (const Case& c : {Case{0, 1, 1}, Case{1, 1, 0}, Case{2, 2, 0}, Case{3, 0, 0}, Case{4, 1, 0},
                          Case{200, 1, 0}}) {
        FakeStore store;
        StartupHooks hooks;
        store.Wire(hooks);
        System system(std::move(hooks));
        store.values[{kDmsSWReset, true}] = c.stored;
        store.values[{kWatchdogFailureCount, true}] = 7;
        RecordResetType();
        EXPECT_EQ(g_PowerUpKind, c.kind) << "dmsSWReset " << c.stored;
        EXPECT_EQ(store.Get(kWatchdogFailureCount, true), 7 + c.counted) << c.stored;
        EXPECT_EQ(store.Get(kDmsSWReset, true), 0u) << c.stored;
    }
}

TEST(ProductBoard, NamesOfTheSixteenIds) {
    const char* const names[7] = {"SFC Product Board I",
                                  "SFC Product Board II",
                                  "SFC CAN Product Board",
                                  "RB Product Board",
                                  "SFC Product Board II with Datakey",
                                  "RE Product Board with MM Fiber",
                                  "RE Product Board with SM Fiber"};
    for (uint8_t id = 0; id < 16; ++id) {
        EXPECT_STREQ(ProductBoardName(id), id < 7 ? names[id] : "Unknown Product Board") << int(id);
    }
}

TEST_F(StartupTest, BoardIdIsReadFromTheBoardRegister) {
    monitor::Monitor board(Config());
    ASSERT_TRUE(board.Boot());
    for (uint8_t id = 0; id < 16; ++id) {
        board.Nvram().SetBoardId(id);
        EXPECT_EQ(ReadProductBoardId(), id);
    }
}

TEST_F(StartupTest, UnknownBoardIsNamedInTheDetectionLine) {
    monitor::MonitorConfig config = Config();
    config.boardId = 12;
    Boot(Wired(), config);
    EXPECT_EQ(Captured().rfind("Booting PX40317 ver 1.9.4588.53 built Dec  4 2018 at 15:57:36....\n"
                               " - Detecting Hardware\t\t\t\t\t[ OK ]\n"
                               "\tUnknown Product Board\n",
                               0),
              0u)
        << Captured();
}

TEST(BootLoader, AgeOfTheMonitorBuildDate) {
    struct Case {
        const char* text;
        bool valid;
        int32_t age;
    };
    for (const Case& c : {
             Case{"Jun 30 2006", true, 2375},
             Case{"Dec  4 2018", true, 6915},
             Case{"Nov 28 2006", true, 2528},
             Case{"Nov 29 2006", true, 2529},
             Case{"Xyz 29 2006", true, 2190 - 31 + 29},  // unknown month counts as 0
             Case{"jun 30 2006", true, 2190 - 31 + 30},  // names are case-sensitive
             Case{"Nov 29 2006 trailing", true, 2529},
             Case{"Nov 29 200", false, 0},  // short: no year
             Case{"", false, 0},
             Case{nullptr, false, 0},
             Case{"Nov ?9 2006", false, 0},
             Case{"Nov 29 20x6", false, 0},
         }) {
        int32_t age = -1;
        EXPECT_EQ(BootLoaderAge(c.text, &age), c.valid) << (c.text ? c.text : "null");
        if (c.valid) {
            EXPECT_EQ(age, c.age) << c.text;
        }
    }
}

TEST(BootLoader, ImageInflatesWholeOrNotAtAll) {
    static uint8_t buffer[kBootLoaderBufferSize];
    uint32_t size = 0;
    ASSERT_TRUE(
        InflateBootLoader(kBootLoaderImage, kBootLoaderImageSize, buffer, sizeof buffer, &size));
    EXPECT_EQ(size, kBootLoaderSize);
    EXPECT_EQ(std::memcmp(buffer, "PX40744 boot loader", 19), 0);
    size = 0;
    EXPECT_FALSE(
        InflateBootLoader(kBootLoaderImage, kBootLoaderImageSize - 8, buffer, sizeof buffer, &size))
        << "truncated stream";
    EXPECT_FALSE(InflateBootLoader(kBootLoaderImage, kBootLoaderImageSize, buffer,
                                   kBootLoaderSize - 1, &size))
        << "buffer too small";
    std::vector<uint8_t> corrupt(kBootLoaderImage, kBootLoaderImage + kBootLoaderImageSize);
    corrupt[corrupt.size() / 2] ^= 0x55;
    EXPECT_FALSE(InflateBootLoader(corrupt.data(), corrupt.size(), buffer, sizeof buffer, &size));
    EXPECT_EQ(size, 0u);
}

TEST_F(StartupTest, StaleBootLoaderIsReplacedAndTheBoardRestarts) {
    monitor::MonitorConfig config = Config();
    config.buildDate = "Nov 28 2006";
    Boot(Wired(), config);
    EXPECT_EQ(Captured(), kHead +
                              " - Is Bootloader Current?\t\t\t\t[FAIL]\n"
                              "Please standby for system restart...\n");
    EXPECT_TRUE(system_->Restarting());
    EXPECT_FALSE(system_->Launched());
    EXPECT_EQ(monitor_->Cause(), monitor::RestartCause::Requested);
    EXPECT_EQ(monitor_->RestartValue(), 1);
    const TFILE* file = mon_tfsstat(kBootLoaderFile);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->filsize, kBootLoaderSize);
}

TEST_F(StartupTest, StaleBootLoaderThatCannotBeAddedLetsStartUpGoOn) {
    monitor::MonitorConfig config = Config();
    config.buildDate = "Jun 30 2006";
    config.flashSize = 128 * 1024;  // no room for the 256 KB image
    Boot(Wired(), config);
    EXPECT_EQ(Captured().rfind(kHead + " - Is Bootloader Current?\t\t\t\t[FAIL]\n"
                                       "Please standby for system restart...\n"
                                       " - Initialize Q3 Platform Specific Items\t\t",
                               0),
              0u)
        << Captured();
    EXPECT_EQ(mon_tfsstat(kBootLoaderFile), nullptr);
    EXPECT_FALSE(system_->Restarting());
    EXPECT_TRUE(system_->Launched());
    EXPECT_EQ(monitor_->Cause(), monitor::RestartCause::None);
}

TEST_F(StartupTest, CurrentOrUnreadableBootLoaderDateIsLeftAlone) {
    for (const char* date : {"Nov 29 2006", "Nov 2"}) {
        monitor::MonitorConfig config = Config();
        config.buildDate = date;
        Captured().clear();
        Boot(Wired(), config);
        EXPECT_NE(Captured().find(" - Is Bootloader Current?\t\t\t\t[ OK ]\n"), std::string::npos)
            << date;
        EXPECT_EQ(mon_tfsstat(kBootLoaderFile), nullptr) << date;
        EXPECT_TRUE(system_->Launched()) << date;
    }
}

TEST(FlashCheck, SpaceFigures) {
    struct Case {
        long available, dead, records;
        bool defragment;
    };
    for (const Case& c :
         {Case{1999999, 500001, 0, true}, Case{1999999, 500000, 0, false},
          Case{2000000, 500001, 0, false}, Case{2000000, 99999999, 0, false},
          Case{2000000, 0, 1001, true}, Case{2000000, 0, 1000, false}, Case{0, 0, 0, false}}) {
        EXPECT_EQ(FlashNeedsDefragment(c.available, c.dead, c.records), c.defragment)
            << c.available << " " << c.dead << " " << c.records;
    }
}

TEST_F(StartupTest, TooManyRemovedFilesRestartForDefragmentation) {
    Boot(Wired(), Config(), [](monitor::Monitor& board) {
        const char data[] = "x";
        for (int i = 0; i < 1001; ++i) {
            const std::string name = "F" + std::to_string(i);
            ASSERT_EQ(board.GetTfs().Add(name.c_str(), nullptr, nullptr, data, 1), TFS_OKAY);
            ASSERT_EQ(board.GetTfs().Unlink(name.c_str()), TFS_OKAY);
        }
    });
    EXPECT_EQ(Captured(), kHead +
                              " - Is Bootloader Current?\t\t\t\t[ OK ]\n"
                              " - Initialize Q3 Platform Specific Items\t\t[FAIL]\n"
                              "\t need to restart to defragment the flash drive\n");
    EXPECT_TRUE(system_->Restarting());
    EXPECT_EQ(monitor_->Nvram().BootFlag() & 1, 1) << "asks the monitor to defragment";
    EXPECT_EQ(monitor_->Cause(), monitor::RestartCause::Requested);
}

TEST(TraceLevel, ConsoleCharacter) {
    struct Case {
        int character;
        int level;
    };
    for (const Case& c : {Case{'0', 0}, Case{'1', 1}, Case{'5', 5}, Case{'6', 0}, Case{'A', 0},
                          Case{'a', 0}, Case{'x', 0}, Case{-1, 0}}) {
        EXPECT_EQ(TraceLevelFromChar(c.character), c.level) << c.character;
    }
}

TEST_F(StartupTest, TypedCharacterSetsTheTraceLevel) {
    struct Case {
        const char* typed;
        unsigned level;
    };
    for (const Case& c : {Case{"", 0}, Case{"1", 1}, Case{"3", 0}, Case{"A", 0}}) {
        DebugSetTraceLevel(0);
        Boot(Wired(), Config(),
             [&c](monitor::Monitor& board) { board.GetConsole().Push(c.typed); });
        EXPECT_EQ(DebugGetTraceLevel(), c.level) << "typed '" << c.typed << "'";
    }
}

TEST_F(StartupTest, TimeFormatterWritesOnlyWhereThereIsRoom) {
    static bool clockPresent = false;
    StartupHooks hooks = Wired();
    hooks.dateTime = [](uint32_t seconds, std::tm* out) {
        if (!clockPresent) {
            return false;
        }
        const time_t t = time_t(seconds);
        gmtime_r(&t, out);
        return true;
    };
    System system(std::move(hooks));
    char buffer[32];
    std::memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(TfsTimeText(1709618828, buffer, 0), buffer);
    EXPECT_EQ(buffer[0], '#') << "a 0-sized buffer is not written";
    EXPECT_EQ(TfsTimeText(1709618828, nullptr, 20), nullptr);
    struct Case {
        bool clock;
        unsigned long seconds;
        int size;
        const char* text;
    };
    for (const Case& c :
         {Case{true, 1709618828, 18, "03/05/2024 06:07\n"}, Case{true, 1709618828, 17, ""},
          Case{true, 0xFFFFFFFFul, 32, ""}, Case{false, 1709618828, 32, ""}}) {
        clockPresent = c.clock;
        std::memset(buffer, '#', sizeof buffer);
        EXPECT_STREQ(TfsTimeText(c.seconds, buffer, c.size), c.text)
            << c.seconds << " size " << c.size << " clock " << c.clock;
    }
}

TEST_F(StartupTest, MonitorLockIsTakenOnlyInThreadContext) {
    Boot(Wired());
    ULONG isrCount = 99;
    TX_THREAD* isrOwner = nullptr;
    kernel::Post([&] {
        MonitorLock();
        tx_mutex_info_get(&g_MonitorMutex, nullptr, &isrCount, &isrOwner, nullptr, nullptr,
                          nullptr);
        MonitorUnlock();
    });
    Advance(0);
    EXPECT_EQ(isrCount, 0u);
    EXPECT_EQ(isrOwner, nullptr);

    // A thread that holds the monitor lock does not keep the dispatcher from reading the
    // interrupt controller through the monitor.
    struct Probe : Interrupt {
        int calls = 0;
        void Handler() override { ++calls; }
    } probe;
    Interrupt::Register(0x100, &probe);
    uic_->DcrWrite(sim::Uic::kEnable, 0x100);
    static TX_THREAD holder;
    static uint8_t stack[4096];
    ASSERT_EQ(tx_thread_create(
                  &holder, "holder",
                  [](ULONG_PTR) {
                      MonitorLock();
                      tx_thread_sleep(100);
                      MonitorUnlock();
                  },
                  0, stack, sizeof stack, 5, 5, 0, TX_AUTO_START),
              TX_SUCCESS);
    Advance(1);
    ULONG count = 0;
    tx_mutex_info_get(&g_MonitorMutex, nullptr, &count, nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(count, 1u) << "held by the thread";
    uic_->Pulse(0x100);
    Advance(1);
    EXPECT_EQ(probe.calls, 1);
    EXPECT_EQ(uic_->Status() & 0x100, 0u) << "acknowledged";
    Advance(200);
    Shutdown();
}

}  // namespace
