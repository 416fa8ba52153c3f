// The communication task answers comm commands and requests and addresses its transports.
#include "comm/comm_task.h"

#include <gtest/gtest.h>

#include <map>

#include "comm/network_standin.h"
#include "platform/net/stack_core.h"
#include "runtime/interrupts.h"
#include "runtime/letter_id.h"
#include "runtime/post_office.h"
#include "runtime/tests/kernel_fixture.h"

namespace {

using testing_support::Captured;

class CommTaskTest : public testing_support::KernelTest {
protected:
    CommTaskTest() {
        comm_task::Objects objects;
        objects.get = [this](uint32_t id, uint32_t, bool) { return values_[id]; };
        objects.set = [this](uint32_t id, uint32_t, uint32_t value, bool) { values_[id] = value; };
        task_ = std::make_unique<comm_task>(g_PostOffice, &events_, std::move(objects));
        task_->Start();
        Boot([this](uint8_t*) {
            ASSERT_EQ(tx_event_flags_create(&events_, "database"), TX_SUCCESS);
            ASSERT_TRUE(task_->Create(&stacks_));
        });
        Advance(1200);  // first tick at 1000, first cycle at 1200
    }
    ~CommTaskTest() override {
        Shutdown();
        task_.reset();
        // The task's first pass brings the network stand-in up: forget it with the boot.
        EmacResetDriver();
        net::EndOfBoot();
        NetworkStandInEndOfBoot();
    }

    TX_EVENT_FLAGS_GROUP events_{};
    std::map<uint32_t, uint32_t> values_;
    std::unique_ptr<comm_task> task_;
};

TEST_F(CommTaskTest, CommCommandValues) {
    struct Case {
        uint32_t command, stored, runs;
    };
    for (const Case& c : {Case{3, 1, 1}, Case{4, 3, 0}, Case{1, 1, 0}, Case{0, 0, 0}}) {
        values_[comm_task::kBrenCommCommand] = c.command;
        const uint32_t before = task_->CommandsRun();
        g_PostOffice.PostLetter(kLetterCommSetting95833);
        Advance(200);
        EXPECT_EQ(values_[comm_task::kBrenCommCommand], c.stored) << c.command;
        EXPECT_EQ(task_->CommandsRun() - before, c.runs) << c.command;
    }
}

TEST_F(CommTaskTest, RequestIsAnsweredAndDatabaseBitsAreTaken) {
    static letter_s reply;
    static bool answered = false;
    StartInThread([] {
        letter_s request(kLetterCommRequest);
        answered = g_PostOffice.SendAndWait(request, reply, 1000);
    });
    tx_event_flags_set(&events_, comm_task::kCommLossTimeChanged | 0x10, TX_OR);
    Advance(400);
    EXPECT_TRUE(answered);
    EXPECT_EQ(reply.id, uint32_t(kLetterCommReply));
    EXPECT_EQ(events_.tx_event_flags_group_current, 0x10u) << "only its own bits are taken";
}

TEST_F(CommTaskTest, EthernetResetReplyRunsTheInstalledRestart) {
    static int resets = 0;
    resets = 0;
    g_PostOffice.PostLetter(kLetterEthernetResetReply);
    Advance(200);
    EXPECT_EQ(resets, 0) << "none installed: ignored";
    task_->SetEthernetReset([] { ++resets; });
    g_PostOffice.PostLetter(kLetterEthernetResetReply);
    Advance(200);
    EXPECT_EQ(resets, 1);
}

TEST(CommServices, TransportsNeedTheNextFreeAddress) {
    Captured().clear();
    DebugSetSink(&testing_support::Capture);
    uint8_t area[16];
    uint8_t* next = area;
    EXPECT_EQ(InitNtcipTransports(&next), 0);
    EXPECT_EQ(next, area) << "nothing laid down in this build";
    EXPECT_EQ(Captured(), "");
    EXPECT_EQ(InitNtcipTransports(nullptr), 1);
    EXPECT_EQ(Captured(), "Error: Initializing NTCIP Objects\n");
    EXPECT_EQ(EthernetSetBufferArea(area), 0);
    EXPECT_EQ(EthernetBufferArea(), area);
    DebugSetSink(nullptr);
}

}  // namespace
