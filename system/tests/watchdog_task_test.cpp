// The watchdog restarts the board when a task stops kicking, and on request after a save.
#include "system/watchdog_task.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/monitor/mon.h"
#include "runtime/letter_id.h"
#include "runtime/post_office.h"
#include "runtime/task_table.h"
#include "system/tests/board_fixture.h"

namespace {

using testing_support::BoardTest;
using testing_support::Captured;

// A subscriber that keeps what it receives, in order.
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

// The whole start-up with plain tasks; the test drives the watchdog through letters and by
// stepping the clock one watchdog cycle (50 ticks) at a time.
class WatchdogTest : public BoardTest {
protected:
    void SetUp() override {
        StartupHooks hooks;
        store_.Wire(hooks);
        Boot(std::move(hooks));
        // Every task under supervision (the communication task's first tick is at 1000).
        Advance(1300);
        Captured().clear();
    }
    CWatchdogTask& Watchdog() { return system_->Watchdog(); }
    void Post(uint32_t id) { g_PostOffice.PostLetter(id); }
    void Cycles(int n) { Advance(ULONG(50 * n)); }

    testing_support::FakeStore store_;
};

TEST_F(WatchdogTest, SuspendedTaskFailsAtTheSixHundredAndFirstCountDownAndTheBoardRestarts) {
    CWatchdogTask& w = Watchdog();
    ASSERT_EQ(w.reload[1], CWatchdogTask::kReload);
    // The schedule task hangs: its thread and timer stop without a word to the watchdog.
    system_->Schedule().Suspend();
    Cycles(1);
    // Count-downs since its last kick (the kick reloads to 600, its cycle counts down once).
    int countDowns = int(CWatchdogTask::kReload - w.counter[1]);
    while (Captured().find("wdt failure") == std::string::npos && countDowns < 700) {
        Cycles(1);
        ++countDowns;
    }
    EXPECT_EQ(countDowns, 601);
    EXPECT_EQ(Captured(), "wdt failure Schedule\n");
    EXPECT_EQ(monitor_->Cause(), monitor::RestartCause::None);
    Cycles(1);
    EXPECT_EQ(Captured(), "wdt failure Schedule\nwdt failure Schedule\n") << "repeats each cycle";
    // No more service: the hardware watchdog bites within its period.
    Advance(monitor_->GetWatchdog().Period());
    EXPECT_EQ(monitor_->Cause(), monitor::RestartCause::Watchdog);
}

TEST_F(WatchdogTest, KickLettersOfUnstartedSlotsAndKicksInTimeKeepTheBoardUp) {
    CWatchdogTask& w = Watchdog();
    Post(kLetterDisplaySupervisionStop);
    Cycles(1);
    ASSERT_EQ(w.reload[0], 0u);
    w.counter[0] = 5;
    Post(kLetterDisplayKick);  // a kick of an unsupervised slot: counter := reload (0)
    Cycles(1);
    EXPECT_EQ(w.counter[0], 0u);
    Cycles(5);
    EXPECT_EQ(Captured(), "") << "an unsupervised slot never fails";
}

TEST_F(WatchdogTest, KickOnTheSixHundredthCycleHoldsOff) {
    CWatchdogTask& w = Watchdog();
    system_->Schedule().Suspend();
    Cycles(1);
    while (w.counter[1] > 0) {
        Cycles(1);
    }
    Post(kLetterScheduleKick);
    Cycles(1);
    EXPECT_EQ(w.counter[1], CWatchdogTask::kReload - 1);
    EXPECT_EQ(Captured(), "");
}

TEST_F(WatchdogTest, NestedSwitchOff) {
    CWatchdogTask& w = Watchdog();
    const monitor::Watchdog& hardware = monitor_->GetWatchdog();
    ASSERT_TRUE(hardware.On());
    // Calls made by other tasks run on their threads.
    auto call = [this](void (CWatchdogTask::*fn)()) {
        static void (CWatchdogTask::*pending)() = nullptr;
        static CWatchdogTask* target = nullptr;
        pending = fn;
        target = &Watchdog();
        static TX_THREAD thread;
        static uint8_t stack[8192];
        tx_thread_create(
            &thread, "caller", [](ULONG_PTR) { (target->*pending)(); }, 0, stack, sizeof stack, 3,
            3, 0, TX_AUTO_START);
        Advance(0);
        tx_thread_delete(&thread);
    };
    call(&CWatchdogTask::DisableWatchdogTimer);
    call(&CWatchdogTask::DisableWatchdogTimer);
    EXPECT_FALSE(hardware.On());
    EXPECT_EQ(w.enabled, 0);
    call(&CWatchdogTask::EnableWatchdogTimer);
    EXPECT_FALSE(hardware.On()) << "one switch-off still open";
    EXPECT_EQ(IsWatchdogEnabled(), 0);
    call(&CWatchdogTask::EnableWatchdogTimer);
    EXPECT_TRUE(hardware.On());
    EXPECT_EQ(IsWatchdogEnabled(), 1);

    // An enable without its disable is ignored; the next pair still works.
    call(&CWatchdogTask::EnableWatchdogTimer);
    call(&CWatchdogTask::DisableWatchdogTimer);
    EXPECT_FALSE(hardware.On());
    call(&CWatchdogTask::EnableWatchdogTimer);
    EXPECT_TRUE(hardware.On());
    EXPECT_EQ(w.enabled, 1);

    // Letters 108 and 109 do the same on the watchdog thread; while off nothing is counted.
    system_->Schedule().Suspend();
    Post(kLetterWatchdogOff);
    Cycles(1);
    const uint32_t before = w.counter[1];
    Cycles(3);
    EXPECT_FALSE(hardware.On());
    EXPECT_EQ(w.counter[1], before) << "no count-down while switched off";
    Post(kLetterWatchdogOn);
    Cycles(1);
    EXPECT_TRUE(hardware.On());
    EXPECT_EQ(w.counter[1], before - 1);
}

TEST_F(WatchdogTest, RestartRequestsByReason) {
    struct Case {
        uint32_t letter;
        uint8_t reason;
        bool standBy;
    };
    for (const Case& c : {Case{kLetterSystemRestart, 0, true}, Case{kLetterShutdownReset, 1, false},
                          Case{kLetterPowerLoss, 2, false}, Case{kLetterDefragRestart, 3, true}}) {
        if (c.letter != kLetterSystemRestart) {
            SetUp();
        }
        static const uint32_t kTerminates[] = {44, 37, 53, 68, 60, 72, 97, 0};
        Recorder terminates(kTerminates);
        Post(c.letter);
        Cycles(1);
        EXPECT_EQ(Watchdog().resetState, CWatchdogTask::kWaiting) << c.letter;
        EXPECT_EQ(Watchdog().resetReason, c.reason);
        EXPECT_EQ(terminates.Drain(), (std::vector<uint32_t>{44, 37, 53, 68, 60, 72, 97}));
        // The tasks stop their supervision at their next cycles; then the restart.
        Advance(400);
        EXPECT_EQ(Captured().find("Please Stand by for System Reset...\n") != std::string::npos,
                  c.standBy)
            << c.letter;
        EXPECT_EQ(monitor_->Cause(), monitor::RestartCause::Requested) << c.letter;
        EXPECT_EQ(monitor_->ServiceCalls(MON_SERVICE_SYNC), 1u) << c.letter;
        Shutdown();
    }
}

TEST_F(WatchdogTest, RestartSavesTheConfigurationAndCountsTheBootAttempt) {
    struct Case {
        uint8_t options;
        const char* steps;
    };
    static std::string steps;
    for (const Case& c :
         {Case{0x04, "config;stand by;boot counter 1;"}, Case{0x00, "stand by;boot counter 1;"}}) {
        StartupHooks hooks;
        store_.Wire(hooks);
        hooks.resetHooks.writeConfigFile = [] { steps += "config;"; };
        hooks.resetHooks.bootCounter = [](int stage) {
            steps += "boot counter " + std::to_string(stage) + ";";
        };
        Boot(std::move(hooks));
        Advance(1300);
        g_ResetOptions = c.options;
        steps.clear();
        DebugSetSink([](const char* text) {
            if (std::string(text) == "Please Stand by for System Reset...\n") {
                steps += "stand by;";
            }
        });
        Post(kLetterSystemRestart);
        Advance(400);
        DebugSetSink(&testing_support::Capture);
        EXPECT_EQ(steps, c.steps) << int(c.options);
        EXPECT_EQ(monitor_->Cause(), monitor::RestartCause::Requested);
    }
}

TEST_F(WatchdogTest, RestartWaitsAtMostTwentyOneCyclesForTasksThatDoNotStop) {
    CWatchdogTask& w = Watchdog();
    // A task that never answers its terminate letter stays supervised.
    Post(kLetterSystemRestart);
    Cycles(1);
    ASSERT_EQ(w.resetState, CWatchdogTask::kWaiting);
    w.reload[4] = CWatchdogTask::kReload;  // the database slot, kept by nobody's kicks
    w.counter[4] = CWatchdogTask::kReload;
    int cycles = 0;
    while (w.resetState == CWatchdogTask::kWaiting && cycles < 40) {
        Cycles(1);
        ++cycles;
    }
    EXPECT_EQ(cycles, 21);
    Cycles(2);
    EXPECT_EQ(monitor_->Cause(), monitor::RestartCause::Requested);
}

TEST_F(WatchdogTest, RestartWithEveryTaskAlreadyStoppedGoesOnAtOnce) {
    CWatchdogTask& w = Watchdog();
    for (uint32_t stop : {kLetterDisplaySupervisionStop, kLetterScheduleSupervisionStop,
                          kLetterMonitorSupervisionStop, kLetterPeripheralSupervisionStop,
                          kLetterCommSupervisionStop}) {
        Post(stop);
    }
    Cycles(1);
    Post(kLetterSystemRestart);
    Cycles(1);
    ASSERT_EQ(w.resetState, CWatchdogTask::kWaiting);
    Cycles(1);
    EXPECT_EQ(w.resetState, CWatchdogTask::kResetting) << "from 2 to 3 in one cycle";
    EXPECT_EQ(w.waitBudget, CWatchdogTask::kWaitBudget) << "no wait spent";
    Advance(60);
    EXPECT_EQ(monitor_->Cause(), monitor::RestartCause::Requested);
}

TEST_F(WatchdogTest, StatusRequestAnswersWhetherTheCommunicationTaskIsSupervised) {
    struct Case {
        bool supervised;
        uint32_t param1;
    };
    for (const Case& c : {Case{true, 1}, Case{false, 0}}) {
        Watchdog().reload[5] = c.supervised ? CWatchdogTask::kReload : 0;
        static letter_s reply;
        static bool answered;
        reply.id = 0;
        reply.param1 = 99;
        answered = false;
        static TX_THREAD thread;
        static uint8_t stack[8192];
        tx_thread_create(
            &thread, "asker",
            [](ULONG_PTR) {
                letter_s request(kLetterWatchdogStatusRequest);
                answered = g_PostOffice.SendAndWait(request, reply, 500);
            },
            0, stack, sizeof stack, 3, 3, 0, TX_AUTO_START);
        if (!c.supervised) {
            Post(kLetterCommSupervisionStop);  // the communication thread would restart it
        }
        Cycles(3);
        tx_thread_terminate(&thread);
        tx_thread_delete(&thread);
        EXPECT_TRUE(answered);
        EXPECT_EQ(reply.id, uint32_t(kLetterWatchdogStatusReply));
        EXPECT_EQ(reply.param1, c.param1);
    }
}

TEST_F(WatchdogTest, DefragResetAsksTheMonitorToDefragmentAndRestarts) {
    monitor_->Nvram().SetBootFlag(0x80);
    static TX_THREAD thread;
    static uint8_t stack[8192];
    tx_thread_create(
        &thread, "defrag", [](ULONG_PTR) { DefragReset(); }, 0, stack, sizeof stack, 3, 3, 0,
        TX_AUTO_START);
    Advance(20);
    EXPECT_EQ(monitor_->Nvram().BootFlag(), 0x81);
    EXPECT_EQ(monitor_->Cause(), monitor::RestartCause::Requested);
}

}  // namespace
