// The communication task on the stepped clock with the object store (notices on) and fakes for
// the parts it calls: comm loss and its message, the poll-time flag, the heartbeat reset, SNTP
// scheduling, the link check and activity watch, the letters and the file-operation lock.
#include "comm/comm_task.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "comm/comm_database.h"
#include "comm/ntcip_interface.h"
#include "comm/ntcip_transports.h"
#include "comm/tests/comm_task_fake_services.h"
#include "database/rtos_notify_sink.h"
#include "database/time_registers.h"
#include "ntcip/event_logging.h"
#include "ntcip/snmp_set_staging.h"
#include "ntcip/trap_buffer.h"
#include "render/msg_activation_code.h"
#include "runtime/letter_id.h"
#include "runtime/post_office.h"
#include "runtime/tests/kernel_fixture.h"

namespace {

using testing_support::Captured;

constexpr uint32_t kLocalSlot = 6;
constexpr uint32_t kStart = 1000000;  // global time of the first pass

class CommTaskTest : public testing_support::KernelTest {
protected:
    CommTaskTest() {
        db_.SetTimeRegisters(&clock_);
        db_.SetNotifySink(&sink_);
        db_.SetNotificationEnabled(true);
        db_.Set(dbo::brenCommCommand, 1, 0);
        SetTime(kStart);
        BuildTransports();
        CommSetDatabase(&db_);
    }
    ~CommTaskTest() override {
        Shutdown();
        task_.reset();
        CommSetDatabase(nullptr);
        EndTransports();
    }

    // Creates the task; its first pass runs at tick 1200, at global time kStart.
    void StartTask(const std::function<void()>& define = {}) {
        task_ = std::make_unique<comm_task>(g_PostOffice, &events_, &services_);
        task_->Start();
        Boot([this, define](uint8_t*) {
            ASSERT_EQ(tx_event_flags_create(&events_, "database"), TX_SUCCESS);
            ASSERT_TRUE(task_->Create(&stacks_));
            if (define) {
                define();
            }
        });
        Advance(1200);
    }

    void SetTime(uint32_t seconds) {
        now_ = seconds;
        db_.SetRegisterTime(dbo::globalTime.id, dbo::globalTime.width, seconds,
                            dbo::globalTime.image, 0);
    }
    // Passes of 2 s of global time each; `requests` marks an SNMP request before each.
    void Passes(uint32_t count, bool requests = false) {
        for (uint32_t i = 0; i < count; ++i) {
            if (requests) {
                g_SnmpActivity = 1;
            }
            SetTime(now_ + 2);
            Advance(200);
        }
    }
    void Request() { g_SnmpActivity = 1; }

    uint32_t Get(const DbObject& object, uint32_t row = 0) { return db_.Get(object, row); }
    void Set(const DbObject& object, uint32_t value, uint32_t row = 0) {
        db_.Set(object, value, kDbNotify, row);
    }
    bool CommError() { return (Get(dbo::shortErrorStatus) & 0x2) != 0; }
    void LossMessage(const std::vector<uint8_t>& octets) {
        db_.SetText(dbo::dmsCommunicationsLossMessage, octets.data(), uint32_t(octets.size()), 0);
    }
    // The local request slot's code; empty when none is written.
    std::vector<uint8_t> LocalCode() {
        uint8_t raw[16] = {};
        const uint32_t n = db_.ReadString(dbo::requestCode.Row(kLocalSlot), dbo::requestCode.image,
                                          raw, sizeof raw);
        return std::vector<uint8_t>(raw, raw + (n < sizeof raw ? n : sizeof raw));
    }
    void ClearLocalCode() { db_.SetText(dbo::requestCode, "", 0, 0, kLocalSlot); }

    MemoryTimeRegisters clock_;
    TX_EVENT_FLAGS_GROUP events_{};
    RtosNotifySink sink_{&g_PostOffice, &events_};
    CDataBase db_{0x10000};
    FakeCommServices services_;
    std::unique_ptr<comm_task> task_;
    uint32_t now_ = 0;
};

TEST_F(CommTaskTest, ThreadStartsTheNetworkAndAnnouncesItself) {
    DebugSetTraceLevel(1);
    StartTask();
    EXPECT_EQ(services_.networkStarts, 1);
    EXPECT_NE(Captured().find("Communication Start...\n"), std::string::npos);
    EXPECT_NE(Captured().find("Initializing Ethernet\n"), std::string::npos);
    EXPECT_EQ(services_.trapPasses, 1) << "one pass so far";
    EXPECT_EQ(task_->LastCommTimestamp(), kStart) << "the first pass stamps the start";
    Passes(3);
    EXPECT_EQ(services_.trapPasses, 4);
    EXPECT_EQ(services_.linkChecks, 4);
}

TEST_F(CommTaskTest, CommLossActivatesTheMessageOncePerLoss) {
    Set(dbo::dmsTimeCommLoss, 1);
    LossMessage({3, 0x00, 0x07, 0xAB, 0xCD});
    StartTask();
    Passes(29);  // 58 s
    EXPECT_FALSE(CommError());
    EXPECT_TRUE(LocalCode().empty());
    Passes(1);  // 60 s
    EXPECT_TRUE(CommError());
    CMsgActivationCode code;
    ASSERT_EQ(LocalCode().size(), 12u);
    code.Unpack(LocalCode().data());
    EXPECT_EQ(code.priority, 255);
    EXPECT_EQ(code.memoryType, 3);
    EXPECT_EQ(code.messageNumber, 7);
    EXPECT_EQ(code.crc, 0xABCD);
    EXPECT_EQ(code.duration, 0xFFFF);
    EXPECT_EQ(std::vector<uint8_t>(code.sourceAddress, code.sourceAddress + 4),
              (std::vector<uint8_t>{127, 0, 0, 1}));
    EXPECT_EQ(Get(dbo::requestSourceMode, kLocalSlot), 12u);
    EXPECT_EQ(Get(dbo::requestOrigin, kLocalSlot), 2u);

    ClearLocalCode();
    Passes(50);
    EXPECT_TRUE(LocalCode().empty()) << "once per loss";
    EXPECT_TRUE(CommError());

    Request();
    Passes(1);
    EXPECT_FALSE(CommError()) << "a request clears the bit";
    Passes(30);
    EXPECT_TRUE(CommError()) << "a second loss";
    EXPECT_EQ(LocalCode().size(), 12u);
}

TEST_F(CommTaskTest, CommLossMessageEdgeCases) {
    struct Case {
        const char* what;
        uint32_t minutes;
        std::vector<uint8_t> message;
        uint32_t timeRemaining;
        bool bitSet;
        size_t codeSize;
        uint16_t duration;
    };
    const Case cases[] = {
        {"off", 0, {3, 0, 1, 0, 0}, 0, false, 0, 0},
        {"four octets", 1, {3, 0, 1, 0}, 0, true, 0, 0},
        {"six octets", 1, {3, 0, 1, 0, 0, 0}, 0, true, 0, 0},
        {"empty", 1, {}, 0, true, 0, 0},
        {"current buffer keeps its time", 1, {5, 0, 1, 0, 0}, 25, true, 12, 25},
        {"changeable runs without end", 1, {3, 0, 1, 0, 0}, 25, true, 12, 0xFFFF},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Set(dbo::dmsTimeCommLoss, c.minutes);
        Set(dbo::dmsMessageTimeRemaining, c.timeRemaining);
        LossMessage(c.message);
        Set(dbo::shortErrorStatus, 0);
        ClearLocalCode();
        Request();
        if (task_ == nullptr) {
            StartTask();
        }
        Passes(61);
        EXPECT_EQ(CommError(), c.bitSet);
        ASSERT_EQ(LocalCode().size(), c.codeSize);
        if (c.codeSize == 12) {
            CMsgActivationCode code;
            code.Unpack(LocalCode().data());
            EXPECT_EQ(code.duration, c.duration);
        }
    }
    // Off: a bit set elsewhere is left alone.
    Set(dbo::dmsTimeCommLoss, 0);
    Set(dbo::shortErrorStatus, 0x2);
    Request();
    Passes(2);
    EXPECT_TRUE(CommError());
}

TEST_F(CommTaskTest, LocalModeAndAClockSetBackDelayTheLoss) {
    Set(dbo::dmsTimeCommLoss, 1);
    LossMessage({3, 0, 1, 0, 0});
    db_.Set(dbo::dmsControlMode, 2, kDbSkipValidation);
    StartTask();
    Passes(100);
    EXPECT_FALSE(CommError()) << "local mode";
    db_.Set(dbo::dmsControlMode, 4, kDbSkipValidation);
    Passes(29);
    EXPECT_FALSE(CommError()) << "leaving local mode starts a full period";
    Passes(1);
    EXPECT_TRUE(CommError());

    // A request, then the clock goes back an hour: still communicating.
    Request();
    Passes(1);
    ASSERT_FALSE(CommError());
    SetTime(now_ - 3600);
    Passes(20);
    EXPECT_FALSE(CommError());
    EXPECT_EQ(task_->LastCommTimestamp(), now_ - 38) << "the first pass after it";
}

TEST_F(CommTaskTest, PollTimeFlagSilencesTrapsAndLogging) {
    Set(dbo::fdotDmsMaxPollTime, 1);
    Set(dbo::fdotDmsMaxPollTimeEnable, 1);
    StartTask();
    Passes(29);
    EXPECT_EQ(task_->PollTimeFlag(), 0);
    Passes(1);
    EXPECT_EQ(task_->PollTimeFlag(), 1);
    EXPECT_TRUE(CommPollTimeExceeded());

    trap_record record;
    while (g_TrapBuffer.Pop(&record)) {
    }
    EXPECT_EQ(CNTCIP::SendTrap(6, 5, 0, nullptr), 0);
    EXPECT_TRUE(g_TrapBuffer.IsEmpty());

    // A clock set back does not raise it.
    Request();
    Passes(1);
    EXPECT_EQ(task_->PollTimeFlag(), 0);
    SetTime(now_ - 3600);
    Passes(5);
    EXPECT_EQ(task_->PollTimeFlag(), 0);
    EXPECT_EQ(CNTCIP::SendTrap(6, 5, 0, nullptr), 1);

    Passes(30);
    ASSERT_EQ(task_->PollTimeFlag(), 1);
    Set(dbo::fdotDmsMaxPollTimeEnable, 0);
    Passes(1);
    EXPECT_EQ(task_->PollTimeFlag(), 0) << "switched off";
}

TEST_F(CommTaskTest, HeartbeatResetsOnlyAfterTheClockWasSetAndWhileCommunicating) {
    struct Case {
        uint32_t threshold;
        bool clockSet;
        bool lost;
        uint32_t seconds;
        bool reset;
    };
    const Case cases[] = {
        {0, true, false, 600, false}, {60, false, false, 600, false}, {60, true, true, 600, false},
        {60, true, false, 56, false}, {60, true, false, 60, true},    {60, true, false, 600, true},
        {1, true, true, 10, false},
    };
    StartTask();
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.threshold << " " << c.clockSet << " " << c.lost << " " << c.seconds);
        task_->SetSavedGlobalTime(0);
        Set(dbo::dmsSWReset, 0);
        Set(dbo::dmsMsgSourceMode, 7);
        Set(dbo::activationOrigin, 9);
        Set(dbo::brenHeartBeatThreshold, c.threshold);
        Set(dbo::shortErrorStatus, c.lost ? 0x2 : 0);
        Request();
        Passes(1);
        task_->SetSavedGlobalTime(c.clockSet ? now_ : 0);
        Passes(c.seconds / 2, true);
        EXPECT_EQ(Get(dbo::dmsSWReset), c.reset ? 1u : 0u);
        EXPECT_EQ(Get(dbo::dmsMsgSourceMode), c.reset ? 1u : 7u);
        EXPECT_EQ(Get(dbo::activationOrigin), c.reset ? 0u : 9u);
        if (c.reset) {
            EXPECT_EQ(task_->SavedGlobalTime(), 0u);
            EXPECT_NE(Captured().find("Reset controller ->time_now = "), std::string::npos);
        }
        if (c.lost && c.threshold != 0) {
            EXPECT_NE(Captured().find("Comm Loss, don't reset\n"), std::string::npos);
        }
        Captured().clear();
    }
}

TEST_F(CommTaskTest, ALossAndItsEndDoNotArmTheHeartbeatOfAClockNeverSet) {
    StartTask();
    task_->SetSavedGlobalTime(0);
    Set(dbo::brenHeartBeatThreshold, 60);
    Set(dbo::shortErrorStatus, 0x2);
    Passes(10);
    Set(dbo::shortErrorStatus, 0);
    Passes(300, true);  // the central system keeps polling, never sets the clock
    EXPECT_EQ(Get(dbo::dmsSWReset), 0u);
    EXPECT_EQ(task_->SavedGlobalTime(), 0u);
}

TEST_F(CommTaskTest, SntpFirstAfterAMinuteEveryMinuteUntilAnsweredThenEveryPollTime) {
    services_.sntpConfigured = true;
    Set(dbo::brenNTPPollTime, 2);
    StartTask();
    const ULONG first = 1200;  // tick of the first pass
    Passes(200);
    ASSERT_GE(services_.requests.size(), 3u);
    EXPECT_EQ(services_.requests[0] - first, 30u * 200) << "about a minute after start";
    EXPECT_EQ(services_.requests[1] - services_.requests[0], 31u * 200);
    EXPECT_EQ(services_.requests[2] - services_.requests[1], 31u * 200);
    EXPECT_EQ(services_.intervals, std::vector<uint32_t>{30});

    services_.serverAnswers = true;
    services_.requests.clear();
    Passes(31);
    ASSERT_EQ(services_.requests.size(), 1u);
    EXPECT_EQ(services_.intervals, (std::vector<uint32_t>{30, 60}));
    Passes(200);
    ASSERT_GE(services_.requests.size(), 3u);
    EXPECT_EQ(services_.requests[2] - services_.requests[1], 61u * 200) << "every 2 minutes";
}

TEST_F(CommTaskTest, SntpStaysIdleWhenNotStarted) {
    StartTask();
    Passes(100);
    EXPECT_TRUE(services_.intervals.empty());
    EXPECT_TRUE(services_.requests.empty());
}

TEST_F(CommTaskTest, UdpClientIsDrainedEachPass) {
    StartTask();
    services_.udpQueued = 5;
    services_.udpReads = 0;
    Passes(1);
    EXPECT_EQ(services_.udpQueued, 0u);
    EXPECT_EQ(services_.udpReads, 6u);
    services_.udpQueued = 1000;
    Passes(1);
    EXPECT_EQ(services_.udpQueued, 1000u - 64u) << "a flood is drained in bounded bites";
}

TEST_F(CommTaskTest, DhcpRenewalOnlyOnLaterLinkUpsUnderDhcp) {
    Set(dbo::brenEthernetMode, 2);
    services_.panel = true;
    StartTask();
    const uint8_t script[] = {1, 1, 0, 1, 0, 0, 1};
    const int renewals[] = {0, 0, 0, 1, 1, 1, 2};
    for (size_t i = 0; i < sizeof script; ++i) {
        services_.link = script[i];
        Passes(2);  // the letter is taken on the next pass
        EXPECT_EQ(services_.dhcpRenewals, renewals[i]) << i;
    }
    EXPECT_EQ(services_.indicators.back(), 51u) << "panel indicator 5 on";
    services_.link = 0;
    Passes(1);
    EXPECT_EQ(services_.indicators.back(), 52u);

    // Static addresses: no renewal.
    Set(dbo::brenEthernetMode, 1);
    services_.link = 1;
    Passes(2);
    EXPECT_EQ(services_.dhcpRenewals, 2);
}

TEST_F(CommTaskTest, FailedRenewalRestartsTheDhcpClient) {
    StartTask();
    g_PostOffice.PostLetter(kLetterDhcpRenew);
    Passes(1);
    EXPECT_EQ(services_.dhcpRenewals, 1);
    EXPECT_EQ(services_.dhcpStops, 0);
    EXPECT_NE(Captured().find("calling nx_dhcp_force_renew\n"), std::string::npos);
    services_.dhcpStatus = 0x9B;
    g_PostOffice.PostLetter(kLetterDhcpRenew);
    Passes(1);
    EXPECT_NE(Captured().find("nx_dhcp_force_renew failed:9B, try to restart DHCP\n"),
              std::string::npos);
    EXPECT_EQ(services_.dhcpStops, 1);
    EXPECT_EQ(services_.dhcpStarts, 1);
}

TEST_F(CommTaskTest, SilentControllerGetsFourSoftResetsUntilAnInterrupt) {
    StartTask();
    Passes(3000);
    EXPECT_EQ(services_.softResets, 0) << "no interrupt seen yet";
    services_.interruptSeen = true;
    services_.interrupts = 7;
    Passes(1);  // the count changes: stored
    Passes(1199);
    EXPECT_EQ(services_.softResets, 0);
    Passes(1);
    EXPECT_EQ(services_.softResets, 1);
    Passes(1200 * 5);
    EXPECT_EQ(services_.softResets, 4) << "silence after the fourth";
    Captured().clear();
    Passes(1200);
    EXPECT_EQ(services_.softResets, 4);
    EXPECT_EQ(Captured().find("Ethernet soft reset"), std::string::npos);

    services_.interrupts = 8;
    Passes(1 + 1200);
    EXPECT_EQ(services_.softResets, 5) << "one interrupt re-arms them";
    EXPECT_NE(Captured().find("Ethernet soft reset\n"), std::string::npos);
}

TEST_F(CommTaskTest, FailedPhyAsksThePeripheralTaskAndResetsOnItsReply) {
    static TX_EVENT_FLAGS_GROUP responderEvents;
    static subscriber* responder = nullptr;
    subscriber peripheral(&g_PostOffice, &responderEvents, 1, &runner_);
    responder = &peripheral;
    static const uint32_t kTakes[] = {kLetterEthernetReset, kLetterNone};
    services_.phyFailed = true;
    StartTask([] { tx_event_flags_create(&responderEvents, "peripheral"); });
    EXPECT_EQ(services_.boardResets, 0) << "nobody to ask: no reset";

    ASSERT_TRUE(peripheral.Start(kTakes));
    StartInThread([] {
        for (;;) {
            letter_s* request = nullptr;
            if (responder->Receive(&request)) {
                letter_s reply(kLetterEthernetResetReply);
                g_PostOffice.Reply(*request, reply);
                responder->Release(request);
                return;
            }
            ULONG actual = 0;
            tx_event_flags_get(&responderEvents, 1, TX_OR_CLEAR, &actual, TX_WAIT_FOREVER);
        }
    });
    Passes(2);
    EXPECT_EQ(services_.boardResets, 1);
    Shutdown();
}

TEST_F(CommTaskTest, SpecialFeatureTransitions) {
    struct Step {
        uint32_t features;
        uint32_t mask;  // 5: left alone
        bool timeBase;
    };
    const Step steps[] = {
        {0x20, 0xFFFFFFFF, true},  // the first letter counts a set bit as newly set
        {0x60, 0xFFFFFFFF, false}, {0x20, 0, false},          {0x20, 5, false},
        {0x00, 0, false},          {0x40, 0xFFFFFFFF, false}, {0x00, 0, false},
    };
    StartTask();
    for (const Step& s : steps) {
        SCOPED_TRACE(s.features);
        db_.SetText(dbo::communityNameUser, "x", 1, 0);
        db_.Set(dbo::communityNameAccessMask, 5, 0);
        Set(dbo::controllerStandardTimeZone, 3600);
        const uint32_t local = now_ + 7200;
        db_.Set(dbo::controllerLocalTime, local, 0);
        Set(dbo::brenSpecialFeatureSet, s.features);
        Passes(1);
        EXPECT_EQ(Get(dbo::communityNameAccessMask), s.mask);
        uint32_t length = 0;
        EXPECT_STREQ(db_.GetText(dbo::communityNameUser, &length), s.mask == 5 ? "x" : "tamsol");
        EXPECT_EQ(Get(dbo::controllerStandardTimeZone), s.timeBase ? 0u : 3600u);
        if (s.timeBase) {
            const DbObject& t = dbo::globalTime;
            EXPECT_EQ(db_.GetRegisterTime(t.id, t.width, t.image), local);
            SetTime(db_.GetRegisterTime(t.id, t.width, t.image));
        }
    }
}

TEST_F(CommTaskTest, LettersWithinAPass) {
    StartTask();
    // 110: the web server's stop request is taken and cleared without a notice.
    Set(dbo::brenFeatureSet, 0x16);
    Passes(1);
    EXPECT_EQ(services_.httpStops, 1);
    EXPECT_EQ(Get(dbo::brenFeatureSet), 0x14u);
    Set(dbo::brenFeatureSet, 0x14);
    Passes(1);
    EXPECT_EQ(services_.httpStops, 1);

    // 105: the reconfiguration state is applied within the pass that takes the letter.
    struct Case {
        uint32_t state, stored, runs;
    };
    for (const Case& c : {Case{4, 1, 1}, Case{3, 1, 1}, Case{1, 1, 0}, Case{0, 0, 0}}) {
        const uint32_t before = task_->Reconfigurations();
        Set(dbo::brenCommCommand, c.state);
        Passes(1);
        EXPECT_EQ(Get(dbo::brenCommCommand), c.stored) << c.state;
        EXPECT_EQ(task_->Reconfigurations() - before, c.runs) << c.state;
    }

    // 100: the stack report.
    g_PostOffice.PostLetter(kLetterCommStackReport);
    Passes(1);
    EXPECT_NE(Captured().find("Communication Stack Used: "), std::string::npos);
}

TEST_F(CommTaskTest, StatusRequestIsAnswered) {
    StartTask();
    static letter_s reply;
    static bool answered = false;
    StartInThread([] {
        letter_s request(kLetterCommRequest);
        answered = g_PostOffice.SendAndWait(request, reply, 1000);
    });
    Passes(2);
    EXPECT_TRUE(answered);
    EXPECT_EQ(reply.id, uint32_t(kLetterCommReply));
}

TEST_F(CommTaskTest, DatabaseSignalsRunTheTransferStepAndTakeTheCommLossTime) {
    StartTask();
    Set(dbo::brenFileTransferStatus, 3);
    Passes(1);
    EXPECT_TRUE(services_.fileSteps.empty()) << "only while the status holds 6";
    Set(dbo::brenFileTransferStatus, 6);
    Passes(1);
    EXPECT_EQ(services_.fileSteps, std::vector<bool>{true});
    Passes(1);
    EXPECT_EQ(services_.fileSteps.size(), 1u) << "once per signal";
    EXPECT_EQ(events_.tx_event_flags_group_current & 0x8008000u, 0u);

    // The comm-loss time is taken from its notice.
    LossMessage({3, 0, 1, 0, 0});
    Set(dbo::dmsTimeCommLoss, 1);
    Passes(31);
    EXPECT_TRUE(CommError());
}

TEST_F(CommTaskTest, TransferWithoutStepsIsResetAfter6000Passes) {
    StartTask();
    InThread([this] { task_->SetTransferInProgress(true); });
    Set(dbo::brenFileTransferStatus, 4);
    Passes(3000);
    task_->FileTransferStepped();
    Passes(5999);
    EXPECT_EQ(Get(dbo::brenFileTransferStatus), 4u);
    Passes(1);
    EXPECT_EQ(task_->FileOperationPasses(), 6000u);
    Passes(1);
    EXPECT_EQ(Get(dbo::brenFileTransferStatus), 0u);
    Set(dbo::brenFileTransferStatus, 4);
    Passes(10);
    EXPECT_EQ(Get(dbo::brenFileTransferStatus), 4u) << "reset once";
}

TEST_F(CommTaskTest, FileOperationLockLetsOneThreadThrough) {
    static comm_task* task = nullptr;
    static bool second = false;
    static TX_THREAD other;
    static uint8_t stack[4096];
    second = false;
    StartTask([] {
        tx_thread_create(
            &other, "other",
            [](ULONG_PTR) {
                task->LockFileOperation();
                second = true;
                task->UnlockFileOperation();
            },
            0, stack, sizeof stack, 3, 3, 0, TX_DONT_START);
    });
    task = task_.get();
    InThread([] { task->LockFileOperation(); });
    EXPECT_TRUE(task_->FileOperationRunning());
    tx_thread_resume(&other);
    Advance(10);
    EXPECT_FALSE(second);
    InThread([] { task->UnlockFileOperation(); });
    Advance(10);
    EXPECT_TRUE(second);
    EXPECT_FALSE(task_->FileOperationRunning());
}

TEST_F(CommTaskTest, TerminateSuspendsTheInterfaceThreadsAndEndsTheTask) {
    static TX_THREAD* dispatch = nullptr;
    static uint8_t stack[4096];
    dispatch = &NtcipInterface(kIfCcpPmpp).agent.udp_dispatch;
    StartTask([] {
        tx_thread_create(
            dispatch, "SNMP UDP Dispatch",
            [](ULONG_PTR) {
                for (;;) {
                    tx_thread_sleep(10);
                }
            },
            0, stack, sizeof stack, 3, 3, 0, TX_AUTO_START);
    });
    g_PostOffice.PostLetter(kLetterCommTerminate);
    Passes(1);
    EXPECT_EQ(dispatch->tx_thread_state, TX_SUSPENDED);
    EXPECT_EQ(task_->thread.tx_thread_state, TX_TERMINATED);
    const int passes = services_.trapPasses;
    Passes(3);
    EXPECT_EQ(services_.trapPasses, passes);
}

}  // namespace
