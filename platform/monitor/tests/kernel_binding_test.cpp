// The monitor under a running kernel: clock and watchdog on the stepped
// ticks, "MicromonitorMutex" taken only in thread context, resets stop the
// kernel.

#include "platform/monitor/kernel_binding.h"

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <string>

#include "platform/kernel/kernel.h"
#include "platform/kernel/tx_api.h"
#include "platform/monitor/mon.h"
#include "platform/monitor/tests/temp_board.h"

using monitor_test::TempBoard;

namespace {

TX_MUTEX g_monitorMutex;
int g_lockedOutsideThreads = 0;
void Lock() {
    if (kernel::CurrentContext() != kernel::Context::kThread)
        g_lockedOutsideThreads++;
    tx_mutex_get(&g_monitorMutex, TX_WAIT_FOREVER);
}
void Unlock() {
    tx_mutex_put(&g_monitorMutex);
}

class BoundMonitor : public ::testing::Test {
protected:
    struct Task {
        TX_THREAD thread{};
        std::function<void()> body;
        alignas(16) unsigned char stack[1024];
    };

    void SetUp() override {
        m_ = board_.Boot();
        ASSERT_NE(m_, nullptr);
    }
    void TearDown() override {
        kernel_.reset();
        monitor::UnbindKernel(m_.get());
    }
    void Spawn(const char* name, UINT priority, std::function<void()> body) {
        tasks_.push_back(std::make_unique<Task>());
        Task* t = tasks_.back().get();
        t->body = std::move(body);
        ASSERT_EQ(
            tx_thread_create(&t->thread, name, Entry, reinterpret_cast<ULONG_PTR>(t), t->stack,
                             sizeof t->stack, priority, priority, TX_NO_TIME_SLICE, TX_AUTO_START),
            TX_SUCCESS);
    }
    void Start(const std::function<void()>& define) {
        kernel_->Start([&](void*) {
            ASSERT_TRUE(monitor::BindKernel(m_.get()));
            ASSERT_EQ(tx_mutex_create(&g_monitorMutex, "MicromonitorMutex", TX_INHERIT),
                      TX_SUCCESS);
            ASSERT_EQ(monConnect(MON_ENTRY_WORD, Lock, Unlock), 0);
            define();
        });
    }
    static void Entry(ULONG_PTR input) { reinterpret_cast<Task*>(input)->body(); }

    TempBoard board_;
    std::unique_ptr<monitor::Monitor> m_;
    std::vector<std::string> log_;
    std::deque<std::unique_ptr<Task>> tasks_;
    std::unique_ptr<kernel::Kernel> kernel_ = std::make_unique<kernel::Kernel>();
};

TEST_F(BoundMonitor, WatchdogBitesOnTheSteppedClock) {
    const uint32_t period = m_->GetWatchdog().Period();
    Start([&] {
        Spawn("Watchdog", 1, [&] {
            mon_wdt_kick();
            mon_wdt_control(1);
            for (int i = 0; i < 20; ++i) {
                tx_thread_sleep(50);
                mon_wdt_kick();
            }
            log_.push_back("stopped kicking at " + std::to_string(tx_time_get()));
            tx_thread_sleep(TX_WAIT_FOREVER);
        });
    });
    kernel_->Advance(1000);
    EXPECT_EQ(m_->Cause(), monitor::RestartCause::None);
    // Nothing else is pending: the clock jumps straight to the bite.
    kernel_->RunUntilIdle(100000);
    ASSERT_EQ(m_->Cause(), monitor::RestartCause::Watchdog);
    EXPECT_EQ(log_, std::vector<std::string>{"stopped kicking at 1000"});
    EXPECT_EQ(tx_time_get(), 1000 + period);
    EXPECT_TRUE(kernel_->StopRequested());
}

TEST_F(BoundMonitor, LockOnlyInThreadContextAndRestartDoesNotReturn) {
    TX_TIMER timer;
    Start([&] {
        mon_tfsadd("boot", "", "", "x", 1);  // start-up: no lock taken, no wait
        Spawn("holder", 5, [&] {
            Lock();  // another thread inside the monitor
            log_.push_back("holder in");
            tx_thread_sleep(10);
            log_.push_back("holder out");
            Unlock();
        });
        Spawn("caller", 6, [&] {
            mon_tfsstat("boot");  // waits for the holder
            log_.push_back("caller done at " + std::to_string(tx_time_get()));
            mon_restart(1);
            log_.push_back("after restart");
        });
        // A timer calls the monitor while the holder has it: it must not wait.
        tx_timer_create(
            &timer, "t", [](ULONG_PTR) { mon_tfsstat("boot"); }, 0, 5, 0, TX_AUTO_ACTIVATE);
    });
    kernel_->Advance(20);
    EXPECT_EQ(log_, (std::vector<std::string>{"holder in", "holder out", "caller done at 10"}));
    EXPECT_EQ(g_lockedOutsideThreads, 0);
    EXPECT_EQ(m_->Cause(), monitor::RestartCause::Requested);
    EXPECT_EQ(m_->RestartValue(), 1);
    EXPECT_TRUE(kernel_->StopRequested());
}

TEST_F(BoundMonitor, ClockFollowsTicks) {
    struct tm t = {};
    t.tm_year = 120;
    t.tm_mday = 1;
    Start([&] { ASSERT_EQ(mon_set_time(&t), 0); });
    kernel_->Advance(100 * 61 + 50);
    struct tm now = {};
    ASSERT_EQ(mon_get_time(&now), 0);
    EXPECT_EQ(now.tm_min, 1);
    EXPECT_EQ(now.tm_sec, 1);
}

int64_t g_host = 1700000000;

// A reset or a stop ends the kernel before the monitor is unbound; the board then boots a new
// kernel. The clock must go on from where it was, not from the time of the previous boot.
TEST_F(BoundMonitor, ClockGoesOnAcrossTheEndOfTheKernel) {
    sim::Rtc::SetHostClock([] { return g_host; });
    struct tm t = {};
    t.tm_year = 120;
    t.tm_mday = 1;
    const int64_t set = int64_t(timegm(&t));
    struct {
        const char* how;
        std::function<void(kernel::Kernel&)> end;
    } const kEnds[] = {
        {"reset",
         [](kernel::Kernel& k) {
             kernel::Post([] { mon_restart(0); });
             k.Advance(1);
         }},
        {"stop from outside", [](kernel::Kernel& k) { k.Stop(); }},
    };
    int64_t expected = set;
    Start([&] { ASSERT_EQ(mon_set_time(&t), 0); });
    for (const auto& end : kEnds) {
        SCOPED_TRACE(end.how);
        kernel_->Advance(100 * 90);
        g_host += 90;
        expected += 90;
        ASSERT_EQ(m_->Rtc().Now(), expected);
        end.end(*kernel_);
        ASSERT_TRUE(kernel_->StopRequested());
        EXPECT_EQ(m_->Rtc().Now(), expected) << "read while the kernel ends";
        kernel_.reset();
        monitor::UnbindKernel(m_.get());
        EXPECT_EQ(m_->Rtc().Now(), expected) << "between two kernels";
        g_host += 2;
        expected += 2;
        kernel_ = std::make_unique<kernel::Kernel>();
        Start([] {});
        EXPECT_EQ(m_->Rtc().Now(), expected) << "after the next boot";
    }
    sim::Rtc::SetHostClock(nullptr);
}

}  // namespace
