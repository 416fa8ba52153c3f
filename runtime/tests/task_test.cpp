// The seven tasks run on their period, take the letters they act on and obey control letters.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "runtime/post_office.h"
#include "runtime/standard_task.h"
#include "runtime/task_base.h"
#include "runtime/task_table.h"
#include "runtime/tests/kernel_fixture.h"

namespace {

using testing_support::Captured;

// A task that records what it sees; the peripheral one answers the Ethernet reset request.
class ProbeTask : public CStandardTask {
public:
    using CStandardTask::CStandardTask;

    ULONG firstRunTick = 0;
    bool initialised = false;
    std::vector<uint32_t> letters;
    bool answerEthernetReset = false;
    ULONG replyTick = 0;

protected:
    void Init() override { initialised = true; }
    void OnLetter(letter_s& letter) override {
        letters.push_back(letter.id);
        if (answerEthernetReset && letter.id == kLetterEthernetReset) {
            letter_s reply(kLetterEthernetResetReply);
            reply.param2 = 0x0300;
            replyTick = tx_time_get();
            EXPECT_TRUE(Office().Reply(letter, reply));
        }
    }
    void Work() override {
        if (runs == 1) {
            firstRunTick = tx_time_get();
        }
    }
};

TEST(TaskBase, UptimeRecord) {
    std::tm time{};
    time.tm_mon = 7;
    CTaskBase::SecondsToUptime(31536000 + 86400 * 2 + 3661, &time);
    EXPECT_EQ(time.tm_year, 1);
    EXPECT_EQ(time.tm_yday, 2);
    EXPECT_EQ(time.tm_hour, 1);
    EXPECT_EQ(time.tm_min, 1);
    EXPECT_EQ(time.tm_sec, 1);
    EXPECT_EQ(time.tm_mon, 7) << "other fields untouched";
}

TEST(TaskBase, UptimeIsAlwaysWrittenFromTicksAndPeriod) {
    struct Case {
        uint32_t period, ticks, seconds;
    };
    for (const Case& c : {Case{10, 25, 2}, Case{50, 7, 3}, Case{200, 3, 6}, Case{30, 10, 3}}) {
        CTaskBase task("T", 1000, 2, 0, 1, c.period);
        task.ticks = c.ticks;
        uint32_t seconds = 0xDEAD;
        task.GetUptimeSeconds(&seconds);
        EXPECT_EQ(seconds, c.seconds) << "period " << c.period;
    }
}

TEST(TaskBase, StackReportLine) {
    std::string line;
    Captured().clear();
    DebugSetSink(&testing_support::Capture);
    std::vector<uint8_t> stack(1000, CTaskBase::kStackPaint);
    EXPECT_FALSE(CTaskBase::StackReport("Watchdog", stack.data(), 1000)) << "all paint: silent";
    EXPECT_EQ(Captured(), "");
    stack[600] = 0;
    stack[900] = 0;
    EXPECT_EQ(CTaskBase::UntouchedStackBytes(stack.data(), 1000), 600u);
    EXPECT_TRUE(CTaskBase::StackReport("Watchdog", stack.data(), 1000));
    const auto low = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(stack.data()));
    char expected[128];
    std::snprintf(expected, sizeof expected,
                  "Watchdog Stack Used: 400/1000. 0x%08X-0x%08X Current:0x%08X\n", low, low + 1000,
                  low + 600);
    EXPECT_EQ(Captured(), expected);
    DebugSetSink(nullptr);
}

// The task table, written out independently of task_table.cpp: a typo in a stack size, a
// period or a letter id fails here.
class TaskTest : public testing_support::KernelTest {
protected:
    // Builds the seven tasks, subscribes them in start-up order and creates them in start-up.
    void BootSeven() {
        for (const TaskDefinition* definition : kTaskDefinitions) {
            tasks_[definition->name] = std::make_unique<ProbeTask>(office_, *definition);
        }
        for (const char* name : {"Communication", "Display", "Schedule", "Peripheral", "Monitor",
                                 "Watchdog", "Database"}) {
            ASSERT_TRUE(tasks_[name]->Start());
        }
        Boot([this](uint8_t*) {
            for (const TaskDefinition* definition : kTaskDefinitions) {
                EXPECT_TRUE(tasks_[definition->name]->Create(&stacks_)) << definition->name;
            }
        });
    }
    ProbeTask& Task(const char* name) { return *tasks_.at(name); }

    PostOffice office_;
    std::map<std::string, std::unique_ptr<ProbeTask>> tasks_;
};

TEST_F(TaskTest, CreateSetsRunsPerSecondAndCreatedTick) {
    CTaskBase slow("Slow", 1000, 3, 0, 5, 200);
    CTaskBase fast("Fast", 1000, 3, 0, 5, 10);
    CTaskBase untimed("Untimed", 1000, 3, 0, 5, 10);
    auto idle = [](ULONG_PTR) {
        for (;;) {
            tx_thread_sleep(1000);
        }
    };
    auto tick = [](ULONG_PTR) {};
    Boot([&](uint8_t*) {
        tx_time_set(77);
        EXPECT_TRUE(slow.Create(&stacks_, idle, tick, 0));
        EXPECT_TRUE(fast.Create(&stacks_, idle, tick, 0));
        EXPECT_TRUE(untimed.Create(&stacks_, idle, nullptr, 0));
        EXPECT_FALSE(fast.Create(&stacks_, idle, tick, 0)) << "created once";
    });
    EXPECT_EQ(slow.runsPerSecond, 0);
    EXPECT_EQ(fast.runsPerSecond, 10);
    EXPECT_EQ(fast.createdTick, 77u);
    EXPECT_EQ(fast.state, CTaskBase::kCreated);
    EXPECT_EQ(untimed.runsPerSecond, 1) << "no timer: unchanged";
    EXPECT_EQ(untimed.createdTick, 0u);
    EXPECT_EQ(fast.stack[0], CTaskBase::kStackPaint);
    Shutdown();
}

TEST_F(TaskTest, FailedCreateGivesEverythingBack) {
    CTaskBase huge("Huge", 0x40000, 3, 0, 5, 10);
    CTaskBase badPriority("Bad", 1000, 99, 0, 5, 10);
    ULONG before = 0, after = 0;
    auto idle = [](ULONG_PTR) {};
    auto tick = [](ULONG_PTR) {};
    Boot([&](uint8_t*) {
        tx_byte_pool_info_get(&stacks_, nullptr, &before, nullptr, nullptr, nullptr, nullptr);
        EXPECT_FALSE(huge.Create(&stacks_, idle, tick, 0)) << "no stack";
        EXPECT_FALSE(badPriority.Create(&stacks_, idle, tick, 0)) << "thread refused";
        tx_byte_pool_info_get(&stacks_, nullptr, &after, nullptr, nullptr, nullptr, nullptr);
        // The group and timer made for the refused thread are gone again.
        EXPECT_NE(tx_event_flags_info_get(&badPriority.events, nullptr, nullptr, nullptr, nullptr,
                                          nullptr),
                  TX_SUCCESS);
        EXPECT_NE(
            tx_timer_info_get(&badPriority.timer, nullptr, nullptr, nullptr, nullptr, nullptr),
            TX_SUCCESS);
    });
    EXPECT_EQ(after, before) << "the stack went back to the pool";
    EXPECT_EQ(badPriority.state, CTaskBase::kConstructed);
    EXPECT_EQ(badPriority.runsPerSecond, 1);
    Advance(20);  // the deleted timer never fires
    Shutdown();
}

TEST_F(TaskTest, EveryTaskFirstRunsAtFirstTickPlusPeriod) {
    DebugSetTraceLevel(1);
    BootSeven();
    Advance(1200);
    for (const TaskDefinition* definition : kTaskDefinitions) {
        ProbeTask& task = Task(definition->name);
        EXPECT_TRUE(task.initialised) << definition->name;
        EXPECT_EQ(task.firstRunTick, definition->firstTick + definition->period)
            << definition->name;
        EXPECT_EQ(task.runs, (1200 - definition->firstTick) / definition->period)
            << definition->name;
        EXPECT_NE(Captured().find(std::string(definition->startText) + " Start...\n"),
                  std::string::npos)
            << definition->name;
    }
    EXPECT_EQ(Task("Display").runsPerSecond, 10);
    EXPECT_EQ(Task("Communication").runsPerSecond, 0);
    uint32_t seconds = 0;
    Task("Monitor").GetUptimeSeconds(&seconds);
    EXPECT_EQ(seconds, 10u) << "monitor: 100 expiries of 10 ticks";
    // Supervision: every supervised task posted its start letter, then kicks every cycle.
    const std::vector<uint32_t>& seen = Task("Watchdog").letters;
    for (uint32_t start : {kLetterDisplaySupervisionStart, kLetterScheduleSupervisionStart,
                           kLetterPeripheralSupervisionStart, kLetterMonitorSupervisionStart,
                           kLetterCommSupervisionStart}) {
        EXPECT_NE(std::find(seen.begin(), seen.end(), start), seen.end()) << start;
    }
    EXPECT_GT(std::count(seen.begin(), seen.end(), kLetterDisplayKick), 100);
    EXPECT_GE(std::count(seen.begin(), seen.end(), kLetterCommKick), 1);
    // The communication task announces the network start to the monitor first.
    EXPECT_EQ(std::count(Task("Monitor").letters.begin(), Task("Monitor").letters.end(),
                         kLetterCommNetworkStarted),
              1);
}

TEST_F(TaskTest, DeliveryRaisesTheLetterFlagWithoutWakingTheTask) {
    BootSeven();
    Advance(250);
    ProbeTask& database = Task("Database");
    const uint32_t runs = database.runs;
    InThread([&] { office_.PostLetter(kLetterDatabaseStackReport); });
    ULONG flags = 0;
    tx_event_flags_info_get(&database.events, nullptr, &flags, nullptr, nullptr, nullptr);
    EXPECT_EQ(flags & CTaskBase::kLetterFlag, CTaskBase::kLetterFlag);
    EXPECT_EQ(database.runs, runs) << "letters are drained at the next cycle";
    Advance(50);
    EXPECT_EQ(database.runs, runs + 1);
    EXPECT_NE(Captured().find("Database Stack Used: "), std::string::npos);
}

TEST_F(TaskTest, SuspendByLetterStopsTheTaskUntilResumed) {
    BootSeven();
    Advance(100);
    ProbeTask& peripheral = Task("Peripheral");
    const uint32_t before = peripheral.runs;
    ASSERT_GT(before, 0u);
    InThread([&] { office_.PostLetter(kLetterPeripheralSuspend); });
    Advance(50);
    const uint32_t suspendedAt = peripheral.runs;
    EXPECT_NE(Captured().find("Suspending peripheral task\n"), std::string::npos);
    Advance(500);
    EXPECT_EQ(peripheral.runs, suspendedAt) << "no cycle while suspended";
    const std::vector<uint32_t>& seen = Task("Watchdog").letters;
    EXPECT_NE(std::find(seen.begin(), seen.end(), kLetterPeripheralSupervisionStop), seen.end())
        << "supervision stopped";
    InThread([&] { peripheral.Resume(); });
    Advance(100);
    EXPECT_GE(peripheral.runs, suspendedAt + 2) << "runs again after Resume";
}

TEST_F(TaskTest, TerminateAndStackReportLetters) {
    BootSeven();
    Advance(200);
    InThread([&] {
        office_.PostLetter(kLetterDisplayStackReport);
        office_.PostLetter(kLetterScheduleStackReport);
        office_.PostLetter(kLetterWatchdogTerminate);
        office_.PostLetter(kLetterDisplayTerminate);
    });
    Advance(60);
    EXPECT_NE(Captured().find("Display Stack Used: "), std::string::npos);
    EXPECT_NE(Captured().find("/20480. 0x"), std::string::npos);
    EXPECT_EQ(Captured().find("Schedule Stack Used"), std::string::npos) << "schedule is silent";
    const uint32_t displayRuns = Task("Display").runs;
    const uint32_t watchdogRuns = Task("Watchdog").runs;
    Advance(200);
    EXPECT_EQ(Task("Display").runs, displayRuns) << "terminated";
    UINT state = 0;
    tx_thread_info_get(&Task("Display").thread, nullptr, &state, nullptr, nullptr, nullptr, nullptr,
                       nullptr, nullptr);
    EXPECT_EQ(state, TX_TERMINATED);
    EXPECT_GT(Task("Watchdog").runs, watchdogRuns) << "the watchdog ignores its terminate letter";
    const std::vector<uint32_t>& seen = Task("Watchdog").letters;
    EXPECT_NE(std::find(seen.begin(), seen.end(), kLetterDisplaySupervisionStop), seen.end());
}

TEST_F(TaskTest, SendAndWaitIsAnsweredWithinOneTick) {
    BootSeven();
    Task("Peripheral").answerEthernetReset = true;
    Advance(100);
    bool answered = false;
    letter_s reply;
    ULONG returnedAt = 0;
    StartInThread([&] {
        letter_s request(kLetterEthernetReset);
        answered = office_.SendAndWait(request, reply);
        returnedAt = tx_time_get();
    });
    Advance(5);
    EXPECT_TRUE(answered);
    EXPECT_EQ(reply.id, kLetterEthernetResetReply);
    EXPECT_EQ(reply.param2, 0x0300u);
    EXPECT_EQ(reply.replyTimer, 0u);
    EXPECT_NE(Task("Peripheral").replyTick, 0u);
    EXPECT_LE(returnedAt - Task("Peripheral").replyTick, 1u);
    EXPECT_EQ(Scheduler().TimerCount(), 0u) << "the wake timer is removed";
}

TEST_F(TaskTest, SendAndWaitRefusalsAndTimeOut) {
    BootSeven();
    Advance(100);
    bool sameLetter = true, nobody = true, unanswered = true;
    letter_s reply;
    letter_s kept;
    InThread([&] {
        letter_s request(kLetterWatchdogStatusRequest);
        sameLetter = office_.SendAndWait(request, request);
        letter_s orphan(27);
        nobody = office_.SendAndWait(orphan, reply);
    });
    EXPECT_FALSE(sameLetter);
    EXPECT_FALSE(nobody) << "nobody takes id 27";
    // The watchdog skeleton does not answer 77: the sender gives up after its time-out.
    ULONG returnedAt = 0;
    const ULONG sentAt = tx_time_get();
    StartInThread([&] {
        letter_s request(kLetterWatchdogStatusRequest);
        unanswered = office_.SendAndWait(request, reply, 90);
        returnedAt = tx_time_get();
    });
    Advance(200);
    EXPECT_FALSE(unanswered);
    EXPECT_EQ(returnedAt - sentAt, 90u);
    EXPECT_EQ(Scheduler().TimerCount(), 0u);
    // A late reply finds no waiting sender and writes nothing.
    letter_s late(kLetterWatchdogStatusRequest);
    late.replyTimer = 1;
    bool replied = true;
    InThread([&] { replied = office_.Reply(late, letter_s(kLetterWatchdogStatusReply)); });
    EXPECT_FALSE(replied);
    EXPECT_EQ(reply.id, 0u);
}

// What a task's own control letters do to it, and to no other task: a stack report where the
// task prints one, its suspend message, and on terminate an ended thread, a kept thread (panel,
// network) or, for the watchdog, nothing.
TEST_F(TaskTest, ControlLettersActOnTheirOwnTaskOnly) {
    enum Terminate { kEndsThread, kKeepsThread, kIgnored };
    struct Case {
        const char* name;
        bool reportsStack;
        const char* suspendMessage;  // null: silent
        Terminate terminate;
    };
    const Case cases[] = {
        {"Watchdog", true, "Suspending watchdog task\n", kIgnored},
        {"Database", true, nullptr, kEndsThread},
        {"Display", true, nullptr, kEndsThread},
        {"Schedule", false, "Suspending schedule task\n", kEndsThread},
        {"Peripheral", false, "Suspending peripheral task\n", kKeepsThread},
        {"Monitor", true, nullptr, kEndsThread},
        {"Communication", true, "Suspending Communication task\n", kEndsThread},
    };
    BootSeven();
    Advance(1100);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ProbeTask& task = Task(c.name);
        const TaskDefinition& definition = task.Definition();
        std::map<std::string, uint32_t> runs;
        for (const auto& [name, other] : tasks_) {
            runs[name] = other->runs;
        }
        Captured().clear();
        InThread([&] { office_.PostLetter(definition.stackReportId); });
        Advance(2 * definition.period);
        const std::string report = std::string(c.name) + " Stack Used: ";
        EXPECT_EQ(Captured().find(report) != std::string::npos, c.reportsStack);
        for (const auto& [name, other] : tasks_) {
            if (name != c.name) {
                EXPECT_EQ(Captured().find(name + " Stack Used: "), std::string::npos) << name;
            }
        }

        InThread([&] { office_.PostLetter(definition.suspendId); });
        Advance(2 * definition.period);
        const uint32_t suspendedAt = task.runs;
        Advance(450);  // two periods of the slowest task
        EXPECT_EQ(task.runs, suspendedAt) << "suspended";
        if (c.suspendMessage != nullptr) {
            EXPECT_NE(Captured().find(c.suspendMessage), std::string::npos);
        }
        for (const auto& [name, other] : tasks_) {
            if (name != c.name) {
                EXPECT_GT(other->runs, runs[name]) << name << " runs on";
            }
        }
        InThread([&] { task.Resume(); });
        Advance(4 * definition.period);
        EXPECT_GT(task.runs, suspendedAt) << "resumed";
    }
    for (const Case& c : cases) {
        InThread([&] { office_.PostLetter(Task(c.name).Definition().terminateId); });
    }
    Advance(2500);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ProbeTask& task = Task(c.name);
        const uint32_t runs = task.runs;
        Advance(2 * task.Definition().period);
        UINT state = 0;
        tx_thread_info_get(&task.thread, nullptr, &state, nullptr, nullptr, nullptr, nullptr,
                           nullptr, nullptr);
        EXPECT_EQ(state == TX_TERMINATED, c.terminate == kEndsThread);
        EXPECT_EQ(task.runs > runs, c.terminate == kIgnored) << "only the watchdog runs on";
    }
}

// Letters reach the tasks that act on them: supervision letters the watchdog, a restart the
// tasks that prepare for it, a trap client the schedule task; nobody takes an unused id.
TEST_F(TaskTest, LettersReachTheTasksThatActOnThem) {
    BootSeven();
    Advance(250);
    for (auto& [name, task] : tasks_) {
        task->letters.clear();
    }
    const std::pair<uint32_t, std::vector<std::string>> cases[] = {
        {kLetterSystemRestart, {"Monitor", "Peripheral", "Watchdog"}},
        {kLetterTrapClientConnected, {"Schedule"}},
        {kLetterObjectsRestored, {"Display"}},
        {kLetterCommNetworkStarted, {"Monitor"}},
        {kLetterPeripheralClass1Enable, {"Peripheral"}},
        {kLetterDatabaseResume, {"Database"}},
        {27, {}},
    };
    for (const auto& [id, takers] : cases) {
        SCOPED_TRACE(id);
        for (auto& [name, task] : tasks_) {
            task->letters.clear();
        }
        InThread([&] { office_.PostLetter(id); });
        Advance(250);
        for (const auto& [name, task] : tasks_) {
            const bool took =
                std::find(task->letters.begin(), task->letters.end(), id) != task->letters.end();
            const bool control = id == task->Definition().resumeId;
            EXPECT_EQ(took || control,
                      std::find(takers.begin(), takers.end(), name) != takers.end())
                << name;
        }
    }
}

}  // namespace
