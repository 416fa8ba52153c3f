#pragma once
// A stepped kernel per test, threads made from lambdas and a shared event log. Only one firmware
// thread runs at a time, so the log needs no lock.

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/kernel/kernel.h"
#include "platform/kernel/tx_api.h"

class KernelTest : public ::testing::Test {
public:
    struct Task {
        TX_THREAD thread{};
        std::function<void()> body;
        alignas(16) unsigned char stack[1024];
    };

    // Creates a thread (from start-up, from another thread or from outside).
    TX_THREAD* Spawn(const char* name, UINT priority, std::function<void()> body,
                     UINT threshold = kSameAsPriority, ULONG time_slice = TX_NO_TIME_SLICE,
                     UINT auto_start = TX_AUTO_START) {
        tasks_.push_back(std::make_unique<Task>());
        Task* task = tasks_.back().get();
        task->body = std::move(body);
        const UINT status = tx_thread_create(
            &task->thread, name, &KernelTest::Entry, reinterpret_cast<ULONG_PTR>(task), task->stack,
            sizeof task->stack, priority, threshold == kSameAsPriority ? priority : threshold,
            time_slice, auto_start);
        EXPECT_EQ(status, TX_SUCCESS) << name;
        return &task->thread;
    }

    // Runs define in start-up context, then every thread until all are blocked.
    void Boot(const std::function<void()>& define) {
        kernel_->Start([&](void*) { define(); });
    }

    void Log(const std::string& entry) { log_.push_back(entry); }
    std::string Joined() const {
        std::string out;
        for (const auto& entry : log_) {
            out += out.empty() ? entry : " " + entry;
        }
        return out;
    }

    static constexpr UINT kSameAsPriority = 0xFFFF;

    std::vector<std::string> log_;
    std::deque<std::unique_ptr<Task>> tasks_;
    // Declared last: destroyed first, while the tasks its threads use still exist.
    std::unique_ptr<kernel::Kernel> kernel_ = std::make_unique<kernel::Kernel>();

private:
    static void Entry(ULONG_PTR input) { reinterpret_cast<Task*>(input)->body(); }
};

// Stops a real-time kernel after some wall time unless the test stopped it first (a driver that
// is never woken would otherwise wait for ever).
class StopGuard {
public:
    explicit StopGuard(kernel::Kernel& k, std::chrono::seconds limit)
        : thread_([this, &k, limit] {
              std::unique_lock<std::mutex> lock(m_);
              if (!cv_.wait_for(lock, limit, [this] { return done_; })) {
                  fired_ = true;
                  k.Stop();
              }
          }) {}
    ~StopGuard() { Finish(); }
    // True when the guard had to stop the kernel.
    bool Finish() {
        {
            std::lock_guard<std::mutex> guard(m_);
            done_ = true;
        }
        cv_.notify_all();
        if (thread_.joinable()) {
            thread_.join();
        }
        return fired_;
    }

private:
    std::mutex m_;
    std::condition_variable cv_;
    bool done_ = false;
    bool fired_ = false;
    std::thread thread_;
};
