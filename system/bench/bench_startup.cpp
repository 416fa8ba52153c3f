// Start-up on a fresh board directory, in process: boot monitor, static construction, kernel
// start and every step up to "Launching Thread(s)". The script tests/e2e/bench_startup.py
// measures the same from a process start.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>

#include "platform/kernel/kernel.h"
#include "platform/monitor/kernel_binding.h"
#include "platform/monitor/monitor.h"
#include "runtime/debug_print.h"
#include "runtime/interrupts.h"
#include "runtime/timer_scheduler.h"
#include "system/startup.h"

namespace {

void Quiet(const char*) {}

void BM_StartupOnFreshBoard(benchmark::State& state) {
    DebugSetSink(&Quiet);
    const std::filesystem::path dir = std::filesystem::temp_directory_path() /
                                      ("dms_bench_startup_" + std::to_string(::getpid()));
    for (auto _ : state) {
        state.PauseTiming();
        std::filesystem::remove_all(dir);
        state.ResumeTiming();
        monitor::MonitorConfig config;
        config.boardDir = dir.string();
        auto board = std::make_unique<monitor::Monitor>(config);
        board->Boot();
        StartupHooks hooks;
        hooks.mountSystemDrive = [] { return true; };
        auto system = std::make_unique<System>(std::move(hooks));
        system->Main(0, nullptr);
        auto k = std::make_unique<kernel::Kernel>();
        k->Start([&](void* memory) {
            monitor::BindKernel(board.get());
            tx_application_define(memory);
        });
        if (!system->Launched()) {
            state.SkipWithError("start-up did not launch");
        }
        state.PauseTiming();
        monitor::UnbindKernel(board.get());
        k.reset();
        system.reset();
        timer_scheduler_tx_rtos::Reset();
        ResetInterruptState();
        board.reset();
        state.ResumeTiming();
    }
    std::filesystem::remove_all(dir);
    DebugSetSink(nullptr);
}
BENCHMARK(BM_StartupOnFreshBoard)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
