#pragma once
// A board for the serial tests: the boot monitor on a scratch directory, the interrupt
// controller wired to the kernel's external line, the UART 0 model with a memory pipe as its far
// end, and a stepped kernel with the external-interrupt dispatcher installed.

#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>

#include "platform/kernel/kernel.h"
#include "platform/monitor/kernel_binding.h"
#include "platform/monitor/monitor.h"
#include "platform/sim/uart16550.h"
#include "platform/sim/uart_pipe.h"
#include "platform/sim/uic.h"
#include "runtime/interrupts.h"
#include "runtime/tests/kernel_fixture.h"

namespace testing_support {

class ScratchDir {
public:
    ScratchDir() {
        char pattern[] = "/tmp/dms-serial-XXXXXX";
        path_ = ::mkdtemp(pattern);
    }
    ~ScratchDir() { std::filesystem::remove_all(path_); }
    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

inline monitor::MonitorConfig SmallBoard(const std::string& dir) {
    monitor::MonitorConfig config;
    config.boardDir = dir;
    config.runMonrc = false;
    return config;
}

class SerialBoardTest : public KernelTest {
protected:
    SerialBoardTest()
        : monitor_(SmallBoard(dir_.Path())),
          uart_(sim::Uart16550::kPort0Base, sim::Uart16550::kPort0Source, &uic_) {
        booted_ = monitor_.Boot();
        uic_.Attach();
        uic_.SetAssertHook([] { kernel::RaiseInterrupt(kExternalInterruptLine); });
        uart_.Attach();
        pipe_ = std::make_unique<sim::UartPipe>(uart_);
        ResetInterruptState();
    }
    ~SerialBoardTest() override {
        Shutdown();
        monitor::UnbindKernel(&monitor_);
        uic_.SetAssertHook(nullptr);
        pipe_.reset();
        uart_.Detach();
        uic_.Detach();
        ResetInterruptState();
    }

    void BootBoard(const std::function<void(uint8_t*)>& define = {}) {
        Boot([&](uint8_t* next) {
            monitor::BindKernel(&monitor_);
            InstallExternalInterruptVector();
            if (define) {
                define(next);
            }
        });
    }

    ScratchDir dir_;
    monitor::Monitor monitor_;
    bool booted_ = false;
    sim::Uic uic_;
    sim::Uart16550 uart_;
    std::unique_ptr<sim::UartPipe> pipe_;
};

}  // namespace testing_support
