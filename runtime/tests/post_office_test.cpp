// The post office delivers letters to every subscriber in order, urgent first, bounded.
#include "runtime/post_office.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "platform/kernel/kernel.h"

namespace {

constexpr uint32_t kIds79[] = {79, 0};
constexpr uint32_t kIdsMany[] = {5, 79, 120, 6, 0};

std::vector<uint32_t> Drain(subscriber& s) {
    std::vector<uint32_t> ids;
    letter_s* letter = nullptr;
    while (s.Receive(&letter)) {
        ids.push_back(letter->id);
        EXPECT_TRUE(s.Release(letter));
    }
    return ids;
}

class PostOfficeTest : public ::testing::Test {
protected:
    kernel::Kernel kernel_;
    PostOffice office_;
};

TEST_F(PostOfficeTest, SubscriberStartAndStop) {
    subscriber s(&office_, nullptr, 0x1, nullptr);
    EXPECT_FALSE(s.IsSubscribed(79)) << "not started";
    EXPECT_FALSE(s.Stop());
    EXPECT_FALSE(s.Start(nullptr));
    ASSERT_TRUE(s.Start(kIdsMany));
    EXPECT_FALSE(s.Start(kIds79)) << "already started";
    EXPECT_EQ(office_.Slot(0), &s);
    EXPECT_TRUE(s.IsSubscribed(6));
    EXPECT_FALSE(s.IsSubscribed(7));
    EXPECT_FALSE(s.IsSubscribed(0)) << "the terminator is not an id";
    EXPECT_TRUE(s.Stop());
    EXPECT_EQ(s.GetState(), subscriber::kStopped);
    EXPECT_EQ(office_.Slot(0), nullptr);
    office_.PostLetter(79);
    EXPECT_EQ(s.Mailbox().Queued(), 0u) << "a stopped subscriber receives nothing";
    EXPECT_TRUE(s.Start(kIds79)) << "a stopped subscriber can start again";
}

TEST_F(PostOfficeTest, EleventhSubscriberIsRefused) {
    std::vector<std::unique_ptr<subscriber>> subs;
    for (int i = 0; i < 11; ++i) {
        subs.push_back(std::make_unique<subscriber>(&office_, nullptr, 0x1, nullptr));
    }
    for (int i = 0; i < 10; ++i) {
        EXPECT_TRUE(subs[i]->Start(kIds79));
    }
    EXPECT_FALSE(subs[10]->Start(kIds79));
    EXPECT_NE(subs[10]->GetState(), subscriber::kStarted);
    office_.PostLetter(79);
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(Drain(*subs[i]), std::vector<uint32_t>{79});
    }
    EXPECT_EQ(subs[10]->Mailbox().Queued(), 0u);
    EXPECT_FALSE(office_.Register(nullptr));
    // A freed slot is taken by the next registration.
    subs[3]->Stop();
    EXPECT_TRUE(subs[10]->Start(kIds79));
    EXPECT_EQ(office_.Slot(3), subs[10].get());
}

TEST_F(PostOfficeTest, BroadcastCopiesToEverySubscriberInSlotOrder) {
    // Subscription order of start-up: communication, display, schedule, peripheral, monitor,
    // watchdog, database. Letter 79 reaches peripheral, monitor and watchdog, in that order.
    const uint32_t* lists[] = {kCommunicationLetters, kDisplayLetters, kScheduleLetters,
                               kPeripheralLetters,    kMonitorLetters, kWatchdogLetters,
                               kDatabaseLetters};
    std::vector<std::unique_ptr<subscriber>> subs;
    for (const uint32_t* list : lists) {
        subs.push_back(std::make_unique<subscriber>(&office_, nullptr, 0x1, nullptr));
        ASSERT_TRUE(subs.back()->Start(list));
    }
    letter_s letter(kLetterSystemRestart);
    letter.value = 7;
    letter.word = 2;
    letter.param1 = 0x00460001;
    letter.param4 = 9;
    office_.Broadcast(letter);
    std::vector<int> reached;
    for (int slot = 0; slot < 7; ++slot) {
        letter_s* got = nullptr;
        if (subs[slot]->Receive(&got)) {
            reached.push_back(slot);
            EXPECT_NE(got, &letter) << "each subscriber gets its own copy";
            EXPECT_EQ(got->id, 79u);
            EXPECT_EQ(got->value, 7u);
            EXPECT_EQ(got->word, 2);
            EXPECT_EQ(got->param1, 0x00460001u);
            EXPECT_EQ(got->param4, 9u);
            got->param1 = 0;  // changing one copy leaves the others
            subs[slot]->Release(got);
        }
    }
    EXPECT_EQ(reached, (std::vector<int>{3, 4, 5}));

    office_.PostLetter(27);  // nobody lists it: dropped silently
    office_.PostLetter(kLetterEthernetReset);
    for (int slot = 0; slot < 7; ++slot) {
        EXPECT_EQ(Drain(*subs[slot]),
                  slot == 3 ? std::vector<uint32_t>{120} : std::vector<uint32_t>{});
    }
}

TEST_F(PostOfficeTest, UrgentLetterOvertakesTheQueue) {
    subscriber s(&office_, nullptr, 0x1, nullptr);
    ASSERT_TRUE(s.Start(kIdsMany));
    office_.PostLetter(5);
    office_.PostLetter(6);
    letter_s urgent(120);
    EXPECT_TRUE(s.Deliver(urgent, true));
    office_.PostLetter(79);
    EXPECT_EQ(Drain(s), (std::vector<uint32_t>{120, 5, 6, 79}));
}

TEST_F(PostOfficeTest, MailboxGrowsReusesAndIsBounded) {
    subscriber s(&office_, nullptr, 0x1, nullptr);
    ASSERT_TRUE(s.Start(kIds79));
    mailbox& box = s.Mailbox();
    EXPECT_EQ(box.FreeCount(), 10u);
    for (int i = 0; i < 12; ++i) {
        office_.PostLetter(79);
    }
    EXPECT_EQ(box.Allocated(), 12u) << "two more letters allocated beyond the first ten";
    EXPECT_EQ(box.FreeCount(), 0u);
    EXPECT_EQ(Drain(s).size(), 12u);
    EXPECT_EQ(box.FreeCount(), 12u);
    for (int i = 0; i < 12; ++i) {
        office_.PostLetter(79);
    }
    EXPECT_EQ(box.Allocated(), 12u) << "returned letters are reused first";
    Drain(s);

    // A task that never drains its mailbox cannot eat the heap.
    for (uint32_t i = 0; i < mailbox::kMaxLetters + 5; ++i) {
        office_.PostLetter(79);
    }
    EXPECT_EQ(box.Allocated(), mailbox::kMaxLetters);
    EXPECT_EQ(box.Queued(), mailbox::kMaxLetters);
    EXPECT_EQ(box.Dropped(), 5u);
    letter_s extra(79);
    EXPECT_FALSE(s.Deliver(extra, false));
    EXPECT_EQ(Drain(s).size(), mailbox::kMaxLetters);
}

TEST_F(PostOfficeTest, ReleaseRefusesLettersTwiceOrForeign) {
    subscriber s(&office_, nullptr, 0x1, nullptr);
    ASSERT_TRUE(s.Start(kIds79));
    office_.PostLetter(79);
    letter_s* got = nullptr;
    ASSERT_TRUE(s.Receive(&got));
    EXPECT_TRUE(s.Release(got));
    EXPECT_FALSE(s.Release(got)) << "already back on the free list";
    EXPECT_FALSE(s.Release(nullptr));
    EXPECT_FALSE(s.Receive(&got));
}

TEST(Letter, ComparesByIdAndBuildsEmpty) {
    letter_s a(5), b(9);
    EXPECT_TRUE(a.less(b));
    EXPECT_TRUE(b.greater(a));
    EXPECT_FALSE(a.equal(b));
    b.value = 3;
    b.param1 = 4;
    a.assign(b);
    EXPECT_EQ(a.id, 9u);
    EXPECT_EQ(a.value, 3u);
    EXPECT_EQ(a.param1, 0u) << "assign copies id and value only";
    letter_s fresh(kLetterShutdown);
    EXPECT_EQ(fresh.value + fresh.word + fresh.param1 + fresh.param2 + fresh.param3 + fresh.param4,
              0u);
}

}  // namespace
