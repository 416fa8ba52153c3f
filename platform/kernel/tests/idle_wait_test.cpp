// The idle input source: on the real-time clock the last thread to block waits on it itself, so
// input that readies that thread runs it without a second host thread.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

#include "platform/kernel/tests/kernel_fixture.h"

namespace {

// A source fed by the test: Wait blocks until an input or an interrupt, and serves an input as
// a helper does.
class FakeSource : public kernel::IdleWait {
public:
    explicit FakeSource(bool refuse = false) : refuse_(refuse) { kernel::SetIdleWait(this); }
    ~FakeSource() override { kernel::SetIdleWait(nullptr); }

    bool Wait() override {
        std::function<void()> input;
        {
            std::unique_lock<std::mutex> lock(m_);
            ++waits_;
            waitedOn_ = std::this_thread::get_id();
            if (refuse_) {
                return false;
            }
            cv_.wait(lock, [this] { return interrupted_ || !inputs_.empty(); });
            interrupted_ = false;
            if (inputs_.empty()) {
                return true;
            }
            input = std::move(inputs_.front());
            inputs_.pop_front();
        }
        kernel::PostAndServe(std::move(input));
        return true;
    }
    void Interrupt() override {
        std::lock_guard<std::mutex> lock(m_);
        interrupted_ = true;
        ++interrupts_;
        cv_.notify_all();
    }
    void Unattended() override { ++unattended_; }

    void Feed(std::function<void()> input) {
        std::lock_guard<std::mutex> lock(m_);
        inputs_.push_back(std::move(input));
        cv_.notify_all();
    }
    int Waits() {
        std::lock_guard<std::mutex> lock(m_);
        return waits_;
    }
    std::thread::id WaitedOn() {
        std::lock_guard<std::mutex> lock(m_);
        return waitedOn_;
    }
    int Interrupts() {
        std::lock_guard<std::mutex> lock(m_);
        return interrupts_;
    }
    int UnattendedCalls() const { return unattended_; }

private:
    const bool refuse_;
    std::mutex m_;
    std::condition_variable cv_;
    std::deque<std::function<void()>> inputs_;
    bool interrupted_ = false;
    int waits_ = 0;
    int interrupts_ = 0;
    std::thread::id waitedOn_;
    std::atomic<int> unattended_{0};
};

kernel::Options RealTime() {
    kernel::Options options;
    options.clock = kernel::ClockMode::kRealTime;
    return options;
}

// Polls a condition of other host threads, with a generous limit.
bool Eventually(const std::function<bool()>& condition) {
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > limit) {
            return false;
        }
        std::this_thread::yield();
    }
    return true;
}

TX_THREAD g_answerer;
TX_SEMAPHORE g_request;
unsigned char g_stack[1024];
std::atomic<int> g_answered;
std::atomic<bool> g_sameHost;
std::thread::id g_answererHost;

UINT StateOfAnswerer() {
    UINT state = 0;
    tx_thread_info_get(&g_answerer, nullptr, &state, nullptr, nullptr, nullptr, nullptr, nullptr,
                       nullptr);
    return state;
}

void StartAnswerer(kernel::Kernel& k, TX_THREAD_ENTRY entry) {
    g_answered = 0;
    g_sameHost = true;
    k.Start([entry](void*) {
        tx_semaphore_create(&g_request, "request", 0);
        tx_thread_create(&g_answerer, "answerer", entry, 0, g_stack, sizeof g_stack, 5, 5, 0,
                         TX_AUTO_START);
    });
}

// Requests fed to the source reach the thread blocked for them: it waits on the source on its
// own host thread, the request's handler runs there, and so does the thread afterwards.
TEST(IdleWait, InputReachesTheBlockedThreadOnItsOwnHostThread) {
    FakeSource source;
    kernel::Kernel k(RealTime());
    StartAnswerer(k, [](ULONG_PTR) {
        g_answererHost = std::this_thread::get_id();
        for (;;) {
            tx_semaphore_get(&g_request, TX_WAIT_FOREVER);
            g_sameHost = g_sameHost && std::this_thread::get_id() == g_answererHost;
            ++g_answered;
        }
    });
    for (int i = 1; i <= 3; ++i) {
        ASSERT_TRUE(Eventually([&] { return source.Waits() >= i; }));
        std::atomic<bool> handledOnAnswerer{false};
        source.Feed([&] {
            handledOnAnswerer = std::this_thread::get_id() == g_answererHost &&
                                kernel::CurrentContext() == kernel::Context::kIsr;
            tx_semaphore_put(&g_request);
        });
        ASSERT_TRUE(Eventually([&] { return g_answered == i; }));
        EXPECT_TRUE(handledOnAnswerer) << "request " << i;
    }
    EXPECT_EQ(source.WaitedOn(), g_answererHost);
    EXPECT_TRUE(g_sameHost);
    EXPECT_EQ(source.Interrupts(), 0);
}

// A thread waiting on the source that something else readies (its time-out, from the clock's
// thread) is called back from the source and runs.
TEST(IdleWait, WaiterReadiedElsewhereIsCalledBack) {
    FakeSource source;
    kernel::Kernel k(RealTime());
    StopGuard guard(k, std::chrono::seconds(10));
    StartAnswerer(k, [](ULONG_PTR) {
        if (tx_semaphore_get(&g_request, 2) == TX_NO_INSTANCE) {
            ++g_answered;
        }
        kernel::Kernel::Current()->Stop();
    });
    k.WaitForStop();
    EXPECT_FALSE(guard.Finish()) << "the waiter never came back from the source";
    EXPECT_EQ(g_answered, 1);
    EXPECT_GE(source.Interrupts(), 1);
}

// While the thread that waited runs on, nobody waits on the source: after a while its kernel
// calls hand the source back to the source's own helper.
TEST(IdleWait, SourceHandedBackWhileTheWaiterRunsOn) {
    FakeSource source;
    static FakeSource* s_source;
    s_source = &source;
    kernel::Kernel k(RealTime());
    StartAnswerer(k, [](ULONG_PTR) {
        tx_semaphore_get(&g_request, TX_WAIT_FOREVER);
        const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (s_source->UnattendedCalls() == 0 && std::chrono::steady_clock::now() < limit) {
            tx_time_get();
        }
        ++g_answered;
        tx_semaphore_get(&g_request, TX_WAIT_FOREVER);
    });
    ASSERT_TRUE(Eventually([&] { return source.Waits() >= 1; }));
    source.Feed([] { tx_semaphore_put(&g_request); });
    ASSERT_TRUE(Eventually([&] { return g_answered == 1; }));
    EXPECT_EQ(source.UnattendedCalls(), 1);
    // Blocked again, the thread takes the source over once more.
    EXPECT_TRUE(Eventually([&] { return source.Waits() >= 2; }));
}

// Ending a thread, or the whole kernel, while it waits on the source calls it back.
TEST(IdleWait, EndingAWaiterCallsItBack) {
    for (bool terminate : {true, false}) {
        SCOPED_TRACE(terminate ? "terminated" : "kernel ended");
        FakeSource source;
        {
            kernel::Kernel k(RealTime());
            StartAnswerer(k, [](ULONG_PTR) { tx_semaphore_get(&g_request, TX_WAIT_FOREVER); });
            ASSERT_TRUE(Eventually([&] { return source.Waits() >= 1; }));
            if (terminate) {
                std::thread helper([] { EXPECT_EQ(tx_thread_terminate(&g_answerer), TX_SUCCESS); });
                helper.join();
                EXPECT_EQ(StateOfAnswerer(), UINT(TX_TERMINATED));
            }
        }
        EXPECT_GE(source.Interrupts(), 1);
    }
}

// A source that cannot be waited on is handed to its own helper, and the thread is left to the
// ordinary wake-up from a helper.
TEST(IdleWait, RefusingSourceLeavesTheHelperPath) {
    FakeSource source(/*refuse=*/true);
    kernel::Kernel k(RealTime());
    StartAnswerer(k, [](ULONG_PTR) {
        tx_semaphore_get(&g_request, TX_WAIT_FOREVER);
        ++g_answered;
    });
    ASSERT_TRUE(
        Eventually([&] { return source.Waits() >= 1 && StateOfAnswerer() == TX_SEMAPHORE_SUSP; }));
    EXPECT_TRUE(Eventually([&] { return source.UnattendedCalls() >= 1; }))
        << "nobody would poll the source";
    std::thread helper([] { kernel::PostAndServe([] { tx_semaphore_put(&g_request); }); });
    helper.join();
    EXPECT_TRUE(Eventually([&] { return g_answered == 1; }));
}

}  // namespace
