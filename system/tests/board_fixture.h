#pragma once
// Boots the controller's start-up on a stepped kernel over a simulated board (boot monitor on a
// temporary board directory, interrupt controller), with a small object store for the hooks.

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>

#include "platform/kernel/kernel.h"
#include "platform/monitor/kernel_binding.h"
#include "platform/monitor/monitor.h"
#include "platform/sim/uic.h"
#include "runtime/debug_print.h"
#include "runtime/interrupts.h"
#include "runtime/tests/kernel_fixture.h"
#include "runtime/timer_scheduler.h"
#include "system/startup.h"

namespace testing_support {

// Integer objects by (id, NV image).
struct FakeStore {
    std::map<std::pair<uint32_t, bool>, uint32_t> values;
    uint32_t Get(uint32_t id, bool nv) const {
        auto it = values.find({id, nv});
        return it == values.end() ? 0 : it->second;
    }
    void Wire(StartupHooks& hooks) {
        hooks.getInt = [this](uint32_t id, uint32_t, bool nv) { return Get(id, nv); };
        hooks.setInt = [this](uint32_t id, uint32_t, uint32_t value, bool nv) {
            values[{id, nv}] = value;
        };
        hooks.mountSystemDrive = [] { return true; };
    }
};

class BoardTest : public ::testing::Test {
protected:
    BoardTest() {
        static int serial = 0;
        dir_ = std::filesystem::path(::testing::TempDir()) /
               ("dms_board_" + std::to_string(::getpid()) + "_" + std::to_string(++serial));
        std::filesystem::remove_all(dir_);
        Captured().clear();
        DebugSetSink(&Capture);
    }
    ~BoardTest() override {
        Shutdown();
        DebugSetSink(nullptr);
        DebugSetTraceLevel(0);
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }

    // Ends the boot: kernel first (it ends the threads), then the boot's objects.
    void Shutdown() {
        if (kernel_) {
            monitor::UnbindKernel(monitor_.get());
            kernel_.reset();
        }
        system_.reset();
        timer_scheduler_tx_rtos::Reset();
        ResetInterruptState();
        uic_.reset();
        monitor_.reset();
    }

    monitor::MonitorConfig Config() const {
        monitor::MonitorConfig config;
        config.boardDir = dir_.string();
        config.runMonrc = false;
        return config;
    }

    // Boots the monitor (before: to prepare the board), builds the System, starts the kernel.
    void Boot(StartupHooks hooks, monitor::MonitorConfig config,
              const std::function<void(monitor::Monitor&)>& before = {}) {
        Shutdown();
        monitor_ = std::make_unique<monitor::Monitor>(std::move(config));
        ASSERT_TRUE(monitor_->Boot());
        if (before) {
            before(*monitor_);
        }
        uic_ = std::make_unique<sim::Uic>();
        uic_->Attach();
        uic_->SetAssertHook([] { kernel::RaiseInterrupt(kExternalInterruptLine); });
        system_ = std::make_unique<System>(std::move(hooks));
        system_->Main(0, nullptr);
        kernel_ = std::make_unique<kernel::Kernel>();
        kernel_->Start([this](void* memory) {
            monitor::BindKernel(monitor_.get());
            InstallExternalInterruptVector();
            tx_application_define(memory);
        });
    }
    void Boot(StartupHooks hooks = {}) { Boot(std::move(hooks), Config()); }

    void Advance(ULONG ticks) { kernel_->Advance(ticks); }

    std::filesystem::path dir_;
    std::unique_ptr<monitor::Monitor> monitor_;
    std::unique_ptr<sim::Uic> uic_;
    std::unique_ptr<System> system_;
    std::unique_ptr<kernel::Kernel> kernel_;
};

}  // namespace testing_support
