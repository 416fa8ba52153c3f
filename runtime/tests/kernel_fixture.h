#pragma once
// Boots a stepped kernel with the "thread stacks" pool and the timer scheduler, and offers a
// firmware thread that runs test code in thread context.

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "platform/kernel/kernel.h"
#include "runtime/debug_print.h"
#include "runtime/timer_scheduler.h"

namespace testing_support {

inline std::string& Captured() {
    static std::string text;
    return text;
}

inline void Capture(const char* text) {
    Captured() += text;
}

class KernelTest : public ::testing::Test {
protected:
    static constexpr ULONG kStackPoolSize = 0x30000;

    KernelTest() : kernel_(std::make_unique<kernel::Kernel>()) {
        Captured().clear();
        DebugSetSink(&Capture);
    }
    ~KernelTest() override {
        DebugSetSink(nullptr);
        DebugSetTraceLevel(0);
    }

    // The kernel ends every thread before the fixture's objects go. A test whose own objects
    // hold control blocks calls it before they go out of scope.
    void TearDown() override { Shutdown(); }
    void Shutdown() {
        kernel_.reset();
        timer_scheduler_tx_rtos::Reset();
    }

    // Runs define in start-up context after the pool, the scheduler and the runner thread exist.
    void Boot(const std::function<void(uint8_t*)>& define = {}) {
        kernel_->Start([&](void* memory) {
            auto* next = static_cast<uint8_t*>(memory);
            ASSERT_EQ(tx_byte_pool_create(&stacks_, "thread stacks", next, kStackPoolSize),
                      TX_SUCCESS);
            next += kStackPoolSize;
            timer_scheduler_tx_rtos::Instance();
            ASSERT_EQ(tx_event_flags_create(&runnerEvents_, "runner"), TX_SUCCESS);
            ASSERT_EQ(tx_thread_create(&runner_, "runner", &KernelTest::RunnerEntry,
                                       reinterpret_cast<ULONG_PTR>(this), runnerStack_,
                                       sizeof runnerStack_, runnerPriority_, runnerPriority_, 0,
                                       TX_AUTO_START),
                      TX_SUCCESS);
            if (define) {
                define(next);
            }
        });
    }

    // Runs fn on the runner thread now (the clock does not move) and returns once every thread
    // is blocked again.
    void InThread(std::function<void()> fn) {
        work_ = std::move(fn);
        tx_event_flags_set(&runnerEvents_, 1, TX_OR);
        kernel_->Advance(0);
    }

    // Hands fn to the runner thread without running the kernel (for calls that block).
    void StartInThread(std::function<void()> fn) {
        work_ = std::move(fn);
        tx_event_flags_set(&runnerEvents_, 1, TX_OR);
    }

    timer_scheduler_tx_rtos& Scheduler() { return *timer_scheduler_tx_rtos::Instance(); }

    void Advance(ULONG ticks) { kernel_->Advance(ticks); }

    std::unique_ptr<kernel::Kernel> kernel_;
    TX_BYTE_POOL stacks_{};
    TX_THREAD runner_{};
    UINT runnerPriority_ = 2;

private:
    static void RunnerEntry(ULONG_PTR input) {
        auto* self = reinterpret_cast<KernelTest*>(input);
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

    TX_EVENT_FLAGS_GROUP runnerEvents_{};
    alignas(16) uint8_t runnerStack_[4096];
    std::function<void()> work_;
};

}  // namespace testing_support
