// The peripheral task builds its file peripherals and clock and acts on its letters.
#include "peripherals/peripheral_task.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/monitor/monitor.h"
#include "runtime/letter_id.h"
#include "runtime/post_office.h"
#include "runtime/tests/kernel_fixture.h"

namespace {

using testing_support::Captured;

// Keeps the letters of its list that were posted.
class Recorder {
public:
    explicit Recorder(const uint32_t* ids) : subscriber_(&g_PostOffice, nullptr, 0, nullptr) {
        subscriber_.Start(ids);
    }
    std::vector<uint32_t> Drain() {
        std::vector<uint32_t> ids;
        letter_s* letter = nullptr;
        while (subscriber_.Receive(&letter)) {
            ids.push_back(letter->id);
            subscriber_.Release(letter);
        }
        return ids;
    }

private:
    subscriber subscriber_;
};

class PeripheralTaskTest : public testing_support::KernelTest {
protected:
    PeripheralTaskTest() {
        dir_ = std::filesystem::path(::testing::TempDir()) /
               ("dms_peripheral_" + std::to_string(::getpid()));
        std::filesystem::remove_all(dir_);
        monitor::MonitorConfig config;
        config.boardDir = dir_.string();
        config.runMonrc = false;
        board_ = std::make_unique<monitor::Monitor>(config);
        EXPECT_TRUE(board_->Boot());

        CPeripheralTask::Objects objects;
        objects.get = [this](uint32_t id, uint32_t, bool nv) { return values_[{id, nv}]; };
        objects.set = [this](uint32_t id, uint32_t, uint32_t value, bool nv, bool notify) {
            values_[{id, nv}] = value;
            writes_.push_back({id, notify});
        };
        objects.getOctets = [this](uint32_t, uint8_t* out, uint32_t capacity) {
            const uint32_t n = std::min<uint32_t>(capacity, uint32_t(mac_.size()));
            std::copy(mac_.begin(), mac_.begin() + n, out);
            return uint32_t(mac_.size());
        };
        objects.writeMonrc = [this] { ++monrcWrites_; };
        objects.markConfigDirty = [this] { ++configDirty_; };
        task_ = std::make_unique<CPeripheralTask>(g_PostOffice, std::move(objects));
        task_->Start();
        Boot([this](uint8_t*) { ASSERT_TRUE(task_->Create(&stacks_)); });
        Advance(60);  // first tick at 10, one cycle at 60
        Captured().clear();
    }
    ~PeripheralTaskTest() override {
        Shutdown();
        task_.reset();
        board_.reset();
        std::filesystem::remove_all(dir_);
    }
    void Post(uint32_t id) { g_PostOffice.PostLetter(id); }
    void Cycle() { Advance(50); }
    // Whether the last write of the object notified (the clock writes its own objects between).
    std::optional<bool> Notified(uint32_t id) const {
        for (auto it = writes_.rbegin(); it != writes_.rend(); ++it) {
            if (it->first == id) {
                return it->second;
            }
        }
        return std::nullopt;
    }

    std::filesystem::path dir_;
    std::unique_ptr<monitor::Monitor> board_;
    std::unique_ptr<CPeripheralTask> task_;
    std::map<std::pair<uint32_t, bool>, uint32_t> values_;
    std::vector<std::pair<uint32_t, bool>> writes_;
    std::vector<uint8_t> mac_;
    int monrcWrites_ = 0;
    int configDirty_ = 0;
};

TEST_F(PeripheralTaskTest, BuildsTheFilePeripheralsAndTheClockAtItsStart) {
    const std::pair<uint16_t, const char*> files[] = {{300, "DIRECTORY FILE"},
                                                      {301, "CONFIG FILE"},
                                                      {302, "MONRC FILE"},
                                                      {303, "SCRIPT FILE"},
                                                      {304, "FILE MANAGER"}};
    for (const auto& [id, name] : files) {
        CPeripheral* p = CPeripheralTask::FindPeripheral(task_.get(), id);
        ASSERT_NE(p, nullptr) << id;
        EXPECT_STREQ(p->name, name);
        EXPECT_STREQ(PeripheralTypeName(id), name);
        EXPECT_EQ(p->listSlot, 0xFFFF);
        EXPECT_GT(static_cast<CFilePeripheral*>(p)->polls, 0u) << "polled every cycle";
    }
    EXPECT_EQ(CPeripheralTask::FindPeripheral(task_.get(), 301)->classCode, 14);
    EXPECT_NE(CPeripheralTask::FindPeripheral(task_.get(), 90), nullptr);
    EXPECT_EQ(CPeripheralTask::FindPeripheral(task_.get(), 70), nullptr) << "no front panel";
    EXPECT_EQ(CPeripheralTask::FindPeripheral(nullptr, 300), nullptr);
    EXPECT_TRUE(task_->PrintPeripheralStatus(301));
    EXPECT_FALSE(task_->PrintPeripheralStatus(70));
    EXPECT_EQ(Captured(), "CONFIG FILE is currently VALID\n");
}

TEST_F(PeripheralTaskTest, SoftwareResetValuesPostTheirRestartRequestOnce) {
    struct Case {
        uint32_t value;
        std::vector<uint32_t> posted;
    };
    static const uint32_t kRequests[] = {79, 83, 0};
    for (const Case& c : {Case{0, {}}, Case{2, {}}, Case{3, {}}, Case{1, {79}}, Case{4, {83}}}) {
        Recorder requests(kRequests);
        values_[{CPeripheralTask::kDmsSWReset, true}] = c.value;
        Cycle();
        Cycle();
        EXPECT_EQ(requests.Drain(), c.posted) << "dmsSWReset " << c.value;
    }
}

TEST_F(PeripheralTaskTest, NetworkSettingsChangedRequestsARestart) {
    static const uint32_t kRestart[] = {79, 0};
    Recorder restart(kRestart);
    Post(kLetterNetworkSettingsChanged);
    Cycle();
    EXPECT_EQ(monrcWrites_, 1);
    EXPECT_EQ(Captured(), "ethernet config changed... rebooting\n");
    EXPECT_EQ((values_[{CPeripheralTask::kDmsSWReset, true}]), 1u);
    EXPECT_EQ(Notified(CPeripheralTask::kDmsSWReset), std::optional<bool>(true));
    Cycle();
    EXPECT_EQ(restart.Drain(), std::vector<uint32_t>{79});
}

TEST_F(PeripheralTaskTest, MacAddressChangedSetsTheMonitorsEthernetAddress) {
    mac_ = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
    Post(kLetterMacAddressChanged);
    Cycle();
    EXPECT_EQ(monrcWrites_, 1);
    EXPECT_EQ(Captured(), "ethernet mac changed... rebooting\n");
    EXPECT_STREQ(board_->Env().Get("ETHERADD"), "00:1A:2B:3C:4D:5E");

    mac_ = {0x01, 0x02};  // too short: no command
    Post(kLetterMacAddressChanged);
    Cycle();
    EXPECT_STREQ(board_->Env().Get("ETHERADD"), "00:1A:2B:3C:4D:5E");
}

TEST_F(PeripheralTaskTest, ConfigurationFileLetters) {
    CPeripheral* config = CPeripheralTask::FindPeripheral(task_.get(), 301);
    task_->Mediator().SetPollPeriod(301, 100, nullptr);
    Cycle();
    Cycle();
    ASSERT_GT(config->pollCounter, 0);
    Post(kLetterConfigObjectChanged);
    Cycle();
    EXPECT_LE(config->pollCounter, 1) << "restarted";
    EXPECT_EQ(configDirty_, 1);
    Post(kLetterConfigFileDisable);
    Cycle();
    EXPECT_EQ(config->enabled, 0);
    Post(kLetterConfigFileEnable);
    Cycle();
    EXPECT_EQ(config->enabled, 1);
}

TEST_F(PeripheralTaskTest, OtherLetters) {
    static const uint32_t kShutdown[] = {82, 0};
    Recorder shutdown(kShutdown);
    Post(kLetterLampTestActivation);
    Post(kLetterShutdown);
    Post(kLetterOutputDisable);
    Post(kLetterPeripheralOption1Set);
    Cycle();
    EXPECT_EQ((values_[{CPeripheralTask::kLampTestActivation, false}]), 2u);
    EXPECT_EQ(Notified(CPeripheralTask::kLampTestActivation), std::optional<bool>(false))
        << "without notification";
    EXPECT_EQ(shutdown.Drain(), std::vector<uint32_t>{82});
    EXPECT_EQ(task_->optionByte, 0x03);
    Post(kLetterOutputEnable);
    Post(kLetterPeripheralOption1Clear);
    Cycle();
    EXPECT_EQ(task_->optionByte, 0x00);
    EXPECT_EQ(task_->overheatPercent, 100);

    static letter_s reply;
    static bool answered = false;
    InThread([] {
        letter_s request(kLetterEthernetReset);
        answered = g_PostOffice.SendAndWait(request, reply, 500);
    });
    Advance(100);
    EXPECT_TRUE(answered);
    EXPECT_EQ(reply.id, uint32_t(kLetterEthernetResetReply));
}

TEST(PeripheralOutputs, NumbersOneToThirtyTwo) {
    CPeripheralTask task(g_PostOffice);
    for (unsigned n : {0u, 33u, 100u}) {
        task.SetGpo(n);
    }
    EXPECT_EQ(task.Gpo(), 0u);
    task.SetGpo(1);
    task.SetGpo(32);
    EXPECT_EQ(task.Gpo(), 0x80000001u);
    task.ClearGpo(1);
    task.ClearGpo(0);
    EXPECT_EQ(task.Gpo(), 0x80000000u);
}

}  // namespace
