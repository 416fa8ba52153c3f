// The controller as dmsc wires it, on a stepped clock: config file, strings, discards, console,
// the sign's configuration and brightness.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/system_wiring.h"
#include "comm/emac_driver.h"
#include "comm/network_standin.h"
#include "database/data_base.h"
#include "database/file_config.h"
#include "database/global_database.h"
#include "database/object_ids.h"
#include "ntcip/sign_control_objects.h"
#include "ntcip/tests/mib_test_client.h"
#include "peripherals/modem_peripheral.h"
#include "peripherals/peripheral_task.h"
#include "platform/monitor/mon.h"
#include "platform/net/stack_core.h"
#include "platform/sim/emac.h"
#include "platform/sim/photocell.h"
#include "platform/sim/png_file.h"
#include "platform/sim/sign.h"
#include "system/tests/board_fixture.h"
#include "system/vms_command.h"

namespace {

using testing_support::Captured;

constexpr uint32_t kBrenRemoteIPPort = 95664;  // NV, 2 bytes, a catalogue row
constexpr ULONG kPeripheralPeriod = 50;

class WiredBoot : public testing_support::BoardTest {
protected:
    ~WiredBoot() override {
        Shutdown();
        wiring_.reset();
        EmacResetDriver();
        net::EndOfBoot();
        NetworkStandInEndOfBoot();
        EndOfBoot();
    }

    // Boots the wired controller with a runner thread for test code, and lets the database
    // reach its non-volatile mode.
    void BootWired(const std::function<void(monitor::Monitor&)>& before = {}) {
        wiring_ = MakeWiring();
        StartupHooks hooks = wiring_->hooks;
        hooks.eventLoggingUpdate = [this] {
            ASSERT_EQ(tx_event_flags_create(&runnerEvents_, "test runner"), TX_SUCCESS);
            ASSERT_EQ(tx_thread_create(&runner_, "test runner", &WiredBoot::RunnerEntry,
                                       reinterpret_cast<ULONG_PTR>(this), runnerStack_.data(),
                                       runnerStack_.size(), 20, 20, 0, TX_AUTO_START),
                      TX_SUCCESS);
        };
        Boot(std::move(hooks), Config(), before);
        // The Ethernet controller and its PHY: without them the communication task reports the
        // failed PHY and the board resets.
        emac_ = std::make_unique<sim::Emac>(uic_.get());
        emac_->Attach();
        emac_->SetSchedule([](std::function<void()> fn) { kernel::Post(std::move(fn)); });
        ASSERT_TRUE(system_->Launched());
        Advance(400);
    }

    // Runs fn on the runner thread and returns once every thread is blocked again.
    void InThread(std::function<void()> fn) {
        work_ = std::move(fn);
        tx_event_flags_set(&runnerEvents_, 1, TX_OR);
        Advance(0);
    }

    std::string Vms(std::vector<std::string> words) {
        std::string out;
        InThread([&] {
            std::vector<char*> argv;
            for (std::string& word : words) {
                argv.push_back(word.data());
            }
            Captured().clear();
            const int result = vms_command(int(argv.size()), argv.data());
            out = Captured() + "=" + std::to_string(result);
        });
        return out;
    }

    // The data of a file of the board's flash; absent: "<none>".
    std::string File(const char* name) {
        const TFILE* file = monitor_->GetTfs().Stat(name);
        if (file == nullptr) {
            return "<none>";
        }
        const auto* data = reinterpret_cast<const char*>(file) + file->hdrsize;
        return std::string(data, file->filsize);
    }

    // Boots with the simulated sign attached (its pictures in the board directory).
    void BootWithSign() {
        sim::SignConfig config;
        config.boardDir = dir_.string();
        std::filesystem::create_directories(dir_);
        sign_ = std::make_unique<sim::Sign>(config);
        ASSERT_TRUE(sign_->Attach());
        BootWired([this](monitor::Monitor& m) {
            m.SetEpldLoadHook([this](const uint8_t* bits, size_t size) {
                return sign_->GetEpld().Load(bits, size);
            });
        });
    }
    uint16_t EpldBrightness() { return sign_->GetEpld().Register(sim::Epld::kBrightness); }

    std::unique_ptr<Wiring> wiring_;
    std::unique_ptr<sim::Sign> sign_;

private:
    static void RunnerEntry(ULONG_PTR input) {
        auto* self = reinterpret_cast<WiredBoot*>(input);
        for (;;) {
            ULONG actual = 0;
            if (tx_event_flags_get(&self->runnerEvents_, 1, TX_OR_CLEAR, &actual,
                                   TX_WAIT_FOREVER) == TX_SUCCESS &&
                self->work_) {
                auto fn = std::move(self->work_);
                self->work_ = nullptr;
                fn();
            }
        }
    }

    std::unique_ptr<sim::Emac> emac_;
    TX_THREAD runner_{};
    TX_EVENT_FLAGS_GROUP runnerEvents_{};
    std::vector<uint8_t> runnerStack_ = std::vector<uint8_t>(16384);
    std::function<void()> work_;
};

TEST_F(WiredBoot, ConfigurationChangeIsWrittenToConfigXmlAfterTheDelay) {
    BootWired();
    ASSERT_NE(File(CFile_Config::kFileName), "<none>") << "written at the first start";
    EXPECT_EQ(File(CFile_Config::kFileName).find("brenRemoteIPPort"), std::string::npos);

    InThread([] {
        const char stale[] = "<!-- CONFIG.XML Q2 V2.0 -->\n";
        ASSERT_EQ(mon_tfsadd(CFile_Config::kBackupName, "", "", stale, sizeof stale - 1), TFS_OKAY);
        g_DataBase.SetInt(kBrenRemoteIPPort, 2, 2000, DbImage::kNv, kDbNotify);
    });
    // A second change restarts the delay.
    Advance(100 * kPeripheralPeriod);
    InThread([] { g_DataBase.SetInt(kBrenRemoteIPPort, 2, 2001, DbImage::kNv, kDbNotify); });
    EXPECT_EQ(g_ConfigDirty, 1);

    Advance((CFile_Config::kPollDivider - 2) * kPeripheralPeriod);
    EXPECT_EQ(File(CFile_Config::kFileName).find("brenRemoteIPPort"), std::string::npos)
        << "not before 600 polling cycles";
    EXPECT_NE(File(CFile_Config::kBackupName), "<none>");

    Advance(4 * kPeripheralPeriod);
    EXPECT_NE(File(CFile_Config::kFileName).find("brenRemoteIPPort[0000]:XXXX,7D1\n"),
              std::string::npos)
        << File(CFile_Config::kFileName);
    EXPECT_EQ(File(CFile_Config::kBackupName), "<none>");
    EXPECT_EQ(g_ConfigDirty, 0);
}

TEST_F(WiredBoot, StringsLiveInTheDynamicDatabasePool) {
    BootWired();
    EXPECT_GT(g_DataBase.Pool().BlockCount(), 0u);
    EXPECT_EQ(g_DataBase.Pool().Size(), kDynamicDatabasePoolSize);

    const std::string status = Vms({"vms", "-s"});
    unsigned used = 0;
    unsigned size = 0;
    const size_t at = status.find("-dyn db usage:");
    ASSERT_NE(at, std::string::npos) << status;
    ASSERT_EQ(std::sscanf(status.c_str() + at, "-dyn db usage:0x%X of 0x%X", &used, &size), 2);
    EXPECT_EQ(size, kDynamicDatabasePoolSize);
    EXPECT_GT(used, 0x1000u) << "the factory strings and their blocks";

    // A longer string takes more of the pool, and the figure shows it.
    InThread([] {
        const std::string text(1500, 'x');
        g_DataBase.SetString(96348, 4, text.data(), uint32_t(text.size()), DbImage::kNv, 0);
    });
    const std::string after = Vms({"vms", "-s"});
    unsigned usedAfter = 0;
    ASSERT_EQ(
        std::sscanf(after.c_str() + after.find("-dyn db usage:"), "-dyn db usage:0x%X", &usedAfter),
        1);
    EXPECT_GE(usedAfter, used + 1500);
}

// Starts that never reach 30 s discard the journal at every further start. On a flash of the
// board's size the dead journals fill it by the third discard: the flash is reclaimed (a
// defragmentation restart) before a new journal is made, and no start runs without one.
TEST_F(WiredBoot, RepeatedJournalDiscardsNeverRunWithoutAJournal) {
    int restarts = 0;
    for (int start = 1; start <= 10; ++start) {
        SCOPED_TRACE("start " + std::to_string(start));
        wiring_ = MakeWiring();
        Captured().clear();
        Boot(wiring_->hooks, Config(), [](monitor::Monitor& board) {
            board.Nvram().SetReg(0xB, uint8_t((board.Nvram().BootCounterByte() & 0xF0) | 0x08));
        });
        if (system_->Launched()) {
            Advance(400);
            EXPECT_NE(monitor_->GetTfs().Stat("nv1.dat"), nullptr) << Captured();
            EXPECT_EQ(Captured().find("journal closed"), std::string::npos) << Captured();
            EXPECT_EQ(Captured().find("failed saving header"), std::string::npos) << Captured();
        } else {
            ++restarts;
            EXPECT_EQ(monitor_->Cause(), monitor::RestartCause::Requested);
            EXPECT_EQ(monitor_->Nvram().BootFlag() & 1, 1) << "the next mount packs the flash";
        }
        Shutdown();
        wiring_.reset();
        EndOfBoot();
    }
    EXPECT_GE(restarts, 2);
    EXPECT_LE(restarts, 4) << "one restart frees room for more than one journal";
}

// Answers the modem dialogue of the console.
class RecordingModem : public CModemDevice {
public:
    void Send(const char* text, int flag) override {
        sent += std::string(text) + "/" + char('0' + flag);
    }
    void EnterCommandMode() override { ++commandMode; }
    std::string sent;
    int commandMode = 0;
};

class ModemPeripheral : public CModemPeripheral {
public:
    using CModemPeripheral::CModemPeripheral;
    void Poll() override {}
};

TEST_F(WiredBoot, ConsoleReachesThePeripheralTask) {
    BootWired();
    CPeripheralTask* task = PeripheralTask();
    ASSERT_NE(task, nullptr);
    CPeripheral* config = CPeripheralTask::FindPeripheral(task, CFile_Config::kPeripheralId);
    ASSERT_NE(config, nullptr);
    EXPECT_NE(dynamic_cast<CFile_Config*>(config), nullptr) << "the real CONFIG FILE";

    struct Case {
        std::vector<std::string> words;
        std::string output;
    };
    const Case cases[] = {
        {{"vms", "-d", "peripheral", "freq", "12D", "14"}, "CONFIG FILE old:600, new:20\n=0"},
        {{"vms", "-d", "peripheral", "disable", "12d"}, "Disabled:CONFIG FILE\n=0"},
        {{"vms", "-d", "peripheral", "stat", "12D"}, "CONFIG FILE is currently VALID\n=0"},
        {{"vms", "-d", "peripheral", "enable", "12D"}, "Enabled:CONFIG FILE\n=0"},
        {{"vms", "-d", "peripheral", "enable", "777"}, "=-2"},
        {{"vms", "-d", "peripheral", "freq", "12D", "10000"}, "=-2"},
        {{"vms", "-d", "spi"}, "reset spi\n=0"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Vms(c.words), c.output) << c.words[3];
    }
    EXPECT_EQ(config->pollDivider, 0x14);
    EXPECT_EQ(config->enabled, 1);
    EXPECT_EQ(task->sensorBusResets, 1u);

    const std::string list = Vms({"vms", "-d", "peripheral"});
    for (const char* line : {"-CONFIG FILE(0x012D) state=VALID \n",
                             "-CLOCK(0x005A) state=", "-DIRECTORY FILE(0x012C) state=VALID \n"}) {
        EXPECT_NE(list.find(line), std::string::npos) << line << list;
    }

    task->signCan = {7, 8, 9};
    task->panelCan = {1, 2, 3};
    const std::string status = Vms({"vms", "-s"});
    EXPECT_NE(status.find("-Q2 CAN\tRX:7\tTX:8\tErr:9\n-LTP CAN\tRX:1\tTX:2\tErr:3\n"),
              std::string::npos)
        << status;

    RecordingModem modem;
    auto modemPeripheral = std::make_unique<ModemPeripheral>(0x10, &modem);
    task->Mediator().Add(modemPeripheral.get());
    EXPECT_EQ(Vms({"vms", "-d", "modem", "10", "ATZ"}), "send ATZ to UNKNOWN\n=0");
    EXPECT_EQ(Vms({"vms", "-d", "modem", "10", "+++"}), "try enter cmd mode\n=0");
    EXPECT_EQ(Vms({"vms", "-d", "modem", "10", "hello"}), "=-2");
    // A peripheral's end is a kernel event: it goes in a thread.
    InThread([&] {
        task->Mediator().Remove(modemPeripheral.get());
        modemPeripheral.reset();
    });
    EXPECT_EQ(modem.sent, "ATZ/1");
    EXPECT_EQ(modem.commandMode, 1);
}

// A reset request over SNMP restarts the board on the peripheral task's next cycles; after a
// change of the network settings the peripheral task first writes monrc and says why.
TEST_F(WiredBoot, ResetRequestRestartsAndWritesMonrcAfterANetworkChange) {
    for (const bool networkChanged : {false, true}) {
        SCOPED_TRACE(networkChanged ? "network changed" : "no network change");
        BootWired();
        g_NetworkSettingsChanged = networkChanged ? 1 : 0;
        Captured().clear();
        InThread([] {
            mon_tfsunlink("monrc");
            mib_test::MibClient mib;
            EXPECT_EQ(mib.SetInt("1.3.6.1.4.1.1206.4.2.3.6.2.0", 1).word, 1u);
        });
        Advance(10 * kPeripheralPeriod);
        EXPECT_EQ(monitor_->Cause(), monitor::RestartCause::Requested);
        EXPECT_EQ(Captured().find("ethernet config changed... rebooting") != std::string::npos,
                  networkChanged)
            << Captured();
        EXPECT_EQ(File("monrc") != "<none>", networkChanged);
        g_NetworkSettingsChanged = 0;
        Shutdown();
        wiring_.reset();
        EndOfBoot();
    }
}

// The NV image as values: integers byte by byte, string objects by their text. The count of
// unrequested restarts is left out: every start that was not asked for counts itself. So is the
// record of the last activation (its code, source and result), which the display task writes
// when it serves the blank request that a factory reset leaves in the activation slot.
std::vector<std::pair<uint32_t, std::string>> NvImage() {
    std::vector<std::pair<uint32_t, std::string>> image;
    for (uint32_t id = 0; id < kNvImageSize;) {
        if (id == dbo::watchdogFailureCount.id) {
            id += dbo::watchdogFailureCount.width;
        } else if (id == dbo::dmsMsgSourceMode.id || id == dbo::dmsActivateMsgError.id) {
            ++id;
        } else if (id == dbo::storedActivateMessage.id) {
            id += dbo::storedActivateMessage.width;
        } else if (CDataBase::IsStringObject(id)) {
            uint32_t length = 0;
            const char* text = g_DataBase.GetString(id, 4, DbImage::kNv, &length);
            image.emplace_back(id, "s:" + std::string(text, length));
            id += 4;
        } else {
            image.emplace_back(id, std::to_string(g_DataBase.GetInt(id, 1, DbImage::kNv)));
            ++id;
        }
    }
    return image;
}

std::string Differences(const std::vector<std::pair<uint32_t, std::string>>& a,
                        const std::vector<std::pair<uint32_t, std::string>>& b) {
    std::string out;
    for (size_t i = 0; i < a.size() && i < b.size(); ++i) {
        if (a[i] != b[i]) {
            out += std::to_string(a[i].first) + ":" + a[i].second + "/" + b[i].second + " ";
        }
    }
    return out;
}

// A factory reset after many changes brings back a first start's objects, in RAM and in the
// journal: the next start replays nv1.dat to the same image.
TEST_F(WiredBoot, FactoryResetRestoresTheFirstStartImageAndTheJournalReplaysIt) {
    BootWired();
    const auto firstStart = NvImage();
    InThread([] {
        for (uint32_t row = 0; row < 500; row += 7) {
            g_DataBase.SetText(dbo::dmsMessageMultiString, "CHANGED", 7, kDbNotify, row);
            g_DataBase.Set(dbo::dmsMessageRunTimePriority, 9, kDbNotify, row);
            g_DataBase.Set(dbo::dmsMessageStatus, 4, kDbNotify, row);
        }
        g_DataBase.Set(dbo::defaultFlashOn, 3, kDbNotify);
        g_DataBase.Set(dbo::defaultFont, 2, kDbNotify);
        g_DataBase.SetText(dbo::dmsIllumBrightnessValues, "\x31", 1, kDbNotify);
    });
    Advance(200);
    ASSERT_NE(Differences(firstStart, NvImage()), "");

    InThread([] { g_DataBase.Set(dbo::dmsMemoryMgmt, 1, kDbNotify); });
    Advance(200);
    EXPECT_EQ(g_DataBase.Get(dbo::dmsMemoryMgmt), 2u);
    const auto afterReset = NvImage();
    // The first start also applied SCRIPT.XML (its messages in the changeable rows); the factory
    // values have none, and only a first start runs the script.
    ASSERT_EQ(firstStart.size(), afterReset.size());
    for (size_t i = 0; i < firstStart.size(); ++i) {
        const uint32_t id = firstStart[i].first;
        if (firstStart[i] != afterReset[i]) {
            EXPECT_TRUE(id >= dbo::dmsMessageMultiString.id && id < dbo::dmsMessageStatus.End())
                << id << ":" << firstStart[i].second << "/" << afterReset[i].second;
        }
    }

    Shutdown();
    wiring_.reset();
    EndOfBoot();
    BootWired();
    EXPECT_EQ(Differences(afterReset, NvImage()), "");
}

TEST_F(WiredBoot, GeometryChangeRebuildsTheFaceAndTheNextPictureHasTheNewSize) {
    BootWithSign();
    const uint32_t loads = sign_->GetEpld().Loads();
    ASSERT_GE(loads, 1u);
    ASSERT_TRUE(sign_->Sink().WaitWritten(5000));
    sim::RgbImage image;
    ASSERT_TRUE(sim::ReadPng(sign_->Sink().LatestPath(), &image));
    EXPECT_EQ(image.width, 24 * sim::kLedCell);
    EXPECT_EQ(image.height, 16 * sim::kLedCell);

    // 20 rows of 8-pixel modules become 24, written back.
    InThread([] {
        g_DataBase.Set(dbo::vmsSignHeightPixels, 20, kDbNotify);
        g_DataBase.Set(dbo::vmsSignWidthPixels, 40, kDbNotify);
    });
    Advance(400);
    EXPECT_EQ(g_DataBase.Get(dbo::vmsSignHeightPixels), 24u);
    EXPECT_EQ(sign_->GetEpld().Register(sim::Epld::kHeight), 24);
    EXPECT_EQ(sign_->GetEpld().Register(sim::Epld::kWidth), 40);
    EXPECT_EQ(sign_->Sink().Latest().height, 24);
    EXPECT_EQ(sign_->Sink().Latest().width, 40);
    ASSERT_TRUE(sign_->Sink().WaitWritten(5000));
    ASSERT_TRUE(sim::ReadPng(sign_->Sink().LatestPath(), &image));
    EXPECT_EQ(image.width, 40 * sim::kLedCell);
    EXPECT_EQ(image.height, 24 * sim::kLedCell);
    EXPECT_NE(Captured().find("load new display configuration"), std::string::npos);

    // A layout the sign cannot hold is refused; the sign goes on with the face it has.
    InThread([] { g_DataBase.Set(dbo::vmsSignHeightPixels, 800, kDbNotify); });
    Advance(400);
    EXPECT_EQ(g_DataBase.Get(dbo::controllerErrorStatus) & 0x10, 0x10u);
    EXPECT_EQ(sign_->GetEpld().Register(sim::Epld::kHeight), 24);
    const uint64_t frames = sign_->Sink().Frames();
    Advance(100);
    EXPECT_GT(sign_->Sink().Frames(), frames);
}

TEST_F(WiredBoot, SignBrightnessFollowsThePhotocellWithHysteresis) {
    BootWithSign();
    // Daylight on the default table: full brightness.
    EXPECT_EQ(EpldBrightness(), 100);
    EXPECT_EQ(g_DataBase.Get(dbo::dmsIllumPhotocellLevelStatus), sim::Photocell::kDaylight);

    // Three levels (6500, 32767, 65535) over overlapping ranges 1-100, 90-200, 190-65535.
    static const uint8_t kTable[] = {3,  0x19, 0x64, 0x00, 1,    0x00, 100, 0x7F, 0xFF, 0x00,
                                     90, 0x00, 200,  0xFF, 0xFF, 0x00, 190, 0xFF, 0xFF};
    InThread([] {
        g_DataBase.SetText(dbo::dmsIllumBrightnessValues, kTable, sizeof kTable, kDbNotify);
    });
    struct Step {
        uint16_t light;
        uint16_t percent;
    };
    // The same reading of 95 keeps whichever level is in force.
    const Step steps[] = {{50, 10}, {95, 10}, {150, 50}, {95, 50}, {80, 10}, {5000, 100}};
    for (const Step& s : steps) {
        sim::BoardPhotocell().SetLevel(s.light);
        Advance(2 * kPeripheralPeriod);
        EXPECT_EQ(EpldBrightness(), s.percent) << s.light;
    }

    // Overheat halves the output; the display task applies it on its own thread.
    InThread([] { PeripheralTask()->SetOverheatPercent(50); });
    Advance(20);
    EXPECT_EQ(EpldBrightness(), 50);
    EXPECT_EQ(g_DataBase.Get(dbo::illumLimitStatus), 2u);
    sim::BoardPhotocell().SetLevel(sim::Photocell::kDaylight);
}

}  // namespace
