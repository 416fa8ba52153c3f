// The job queue runs its jobs in order and stops.
#include "runtime/job_queue.h"

#include <gtest/gtest.h>

#include <vector>

#include "runtime/tests/kernel_fixture.h"

namespace {

class RecordingJob : public job {
public:
    RecordingJob(std::vector<int>* log, int tag) : log_(log), tag_(tag) {}
    void run() override { log_->push_back(tag_); }

private:
    std::vector<int>* log_;
    int tag_;
};

class JobQueueTest : public testing_support::KernelTest {};

TEST_F(JobQueueTest, RunsQueuedJobsInOrderAndStops) {
    job_queue queue;
    EXPECT_FALSE(queue.Queue(nullptr));
    std::vector<int> log;
    RecordingJob a(&log, 1), b(&log, 2);
    bool started = false, again = true;
    Boot([&](uint8_t*) {
        started = queue.Start();
        again = queue.Start();
        // Queued before any thread runs: both wait for the queue thread.
        EXPECT_TRUE(queue.Queue(&a));
        EXPECT_TRUE(queue.Queue(&b));
        EXPECT_FALSE(queue.Queue(&a)) << "already queued";
        EXPECT_TRUE(log.empty());
    });
    EXPECT_TRUE(started);
    EXPECT_FALSE(again) << "started once";
    EXPECT_EQ(log, (std::vector<int>{1, 2}));
    EXPECT_EQ(a.queued, 0);
    InThread([&] {
        EXPECT_TRUE(queue.Queue(&a));
        EXPECT_EQ(log.size(), 3u) << "the queue thread outranks every task";
    });
    InThread([&] { EXPECT_TRUE(queue.Stop()); });
    EXPECT_EQ(queue.State(), 0);
    EXPECT_FALSE(queue.Queue(&b));
    Shutdown();
}

}  // namespace
