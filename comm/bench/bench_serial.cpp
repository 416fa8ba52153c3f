// Bytes per second through the serial driver and the 16550 model over an unpaced memory pipe,
// each way, on the stepped kernel (goal: 20 times 115200 baud, 230,400 bytes/s).
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <vector>

#include "comm/q2_serial_driver.h"
#include "platform/kernel/kernel.h"
#include "platform/monitor/kernel_binding.h"
#include "platform/monitor/monitor.h"
#include "platform/sim/uart16550.h"
#include "platform/sim/uart_pipe.h"
#include "platform/sim/uic.h"
#include "runtime/interrupts.h"

namespace {

constexpr uint32_t kChunk = 1000;

// One board: monitor, interrupt controller, UART 0 with a pipe, the driver at 115200 baud and a
// firmware thread that writes or reads a chunk per request.
class Board {
public:
    enum Work : ULONG { kWrite = 1, kRead = 2 };

    Board() : uart_(sim::Uart16550::kPort0Base, sim::Uart16550::kPort0Source, &uic_) {
        char pattern[] = "/tmp/dms-serial-bench-XXXXXX";
        dir_ = ::mkdtemp(pattern);
        monitor::MonitorConfig config;
        config.boardDir = dir_;
        config.runMonrc = false;
        monitor_ = std::make_unique<monitor::Monitor>(config);
        monitor_->Boot();
        uic_.Attach();
        uic_.SetAssertHook([] { kernel::RaiseInterrupt(kExternalInterruptLine); });
        uart_.Attach();
        pipe_ = std::make_unique<sim::UartPipe>(uart_);
        ResetInterruptState();
        out_.assign(kChunk, 0x5A);
        kernel_ = std::make_unique<kernel::Kernel>();
        kernel_->Start([this](void*) {
            monitor::BindKernel(monitor_.get());
            InstallExternalInterruptVector();
            driver_.Open(0, 115200, 8, 0x3121, 0, 2000);
            tx_event_flags_create(&work_, "work");
            tx_thread_create(&thread_, "bench", &Entry, reinterpret_cast<ULONG_PTR>(this), stack_,
                             sizeof stack_, 5, 5, TX_NO_TIME_SLICE, TX_AUTO_START);
        });
    }
    ~Board() {
        kernel_.reset();
        monitor::UnbindKernel(monitor_.get());
        uic_.SetAssertHook(nullptr);
        pipe_.reset();
        uart_.Detach();
        uic_.Detach();
        ResetInterruptState();
        monitor_.reset();
        std::filesystem::remove_all(dir_);
    }

    size_t Write() {
        Run(kWrite);
        return pipe_->Collect().size();
    }
    size_t Read() {
        pipe_->Inject(out_.data(), out_.size());
        Run(kRead);
        return read_;
    }

private:
    void Run(Work work) {
        tx_event_flags_set(&work_, work, TX_OR);
        kernel_->Advance(0);
    }
    static void Entry(ULONG_PTR self) { reinterpret_cast<Board*>(self)->Loop(); }
    void Loop() {
        for (;;) {
            ULONG actual = 0;
            tx_event_flags_get(&work_, kWrite | kRead, TX_OR_CLEAR, &actual, TX_WAIT_FOREVER);
            if (actual & kWrite) {
                driver_.Write(out_.data(), kChunk);
            }
            if (actual & kRead) {
                read_ = 0;
                uint32_t value = 0;
                while (driver_.GetChar(&value) == 1) {
                    ++read_;
                }
            }
        }
    }

    std::string dir_;
    std::unique_ptr<monitor::Monitor> monitor_;
    sim::Uic uic_;
    sim::Uart16550 uart_;
    std::unique_ptr<sim::UartPipe> pipe_;
    std::unique_ptr<kernel::Kernel> kernel_;
    CQ2SerialDriver driver_;
    TX_EVENT_FLAGS_GROUP work_{};
    TX_THREAD thread_{};
    alignas(16) uint8_t stack_[8192];
    std::vector<uint8_t> out_;
    size_t read_ = 0;
};

void BM_SerialTransmit(benchmark::State& state) {
    Board board;
    size_t bytes = 0;
    for (auto _ : state) {
        bytes += board.Write();
    }
    state.SetBytesProcessed(int64_t(bytes));
}
BENCHMARK(BM_SerialTransmit)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_SerialReceive(benchmark::State& state) {
    Board board;
    size_t bytes = 0;
    for (auto _ : state) {
        bytes += board.Read();
    }
    if (bytes == 0) {
        state.SkipWithError("nothing received");
    }
    state.SetBytesProcessed(int64_t(bytes));
}
BENCHMARK(BM_SerialReceive)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
