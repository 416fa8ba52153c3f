// Seven idle periodic tasks shaped like the controller's (thread, event group, periodic timer
// setting flag 0x4, thread waiting for it): one simulated hour on the stepped clock, and the
// CPU the same set takes in real time.

#include <benchmark/benchmark.h>
#include <time.h>

#include <chrono>
#include <thread>

#include "platform/kernel/kernel.h"
#include "platform/kernel/tx_api.h"

namespace {

struct IdleTask {
    const char* name;
    UINT priority;
    ULONG first_tick;
    ULONG period;
    TX_THREAD thread;
    TX_TIMER timer;
    TX_EVENT_FLAGS_GROUP events;
    ULONG runs;
    unsigned char stack[2048];
};

IdleTask g_tasks[] = {
    {"Watchdog", 1, 1, 50, {}, {}, {}, 0, {}},
    {"Database", 4, 200, 100, {}, {}, {}, 0, {}},
    {"Display", 2, 150, 10, {}, {}, {}, 0, {}},
    {"Schedule", 2, 100, 50, {}, {}, {}, 0, {}},
    {"Peripheral", 2, 10, 50, {}, {}, {}, 0, {}},
    {"Monitor", 2, 200, 10, {}, {}, {}, 0, {}},
    {"Communication", 2, 1000, 200, {}, {}, {}, 0, {}},
};

void TaskEntry(ULONG_PTR input) {
    auto* task = reinterpret_cast<IdleTask*>(input);
    for (;;) {
        ULONG actual = 0;
        tx_event_flags_get(&task->events, 0x4, TX_OR_CLEAR, &actual, TX_WAIT_FOREVER);
        ++task->runs;
    }
}

void TaskTick(ULONG_PTR input) {
    auto* task = reinterpret_cast<IdleTask*>(input);
    tx_event_flags_set(&task->events, 0x4, TX_OR);
}

void CreateTasks(void*) {
    for (IdleTask& task : g_tasks) {
        task.runs = 0;
        const auto input = reinterpret_cast<ULONG_PTR>(&task);
        tx_thread_create(&task.thread, task.name, TaskEntry, input, task.stack, sizeof task.stack,
                         task.priority, task.priority, 0, TX_AUTO_START);
        tx_event_flags_create(&task.events, task.name);
        tx_timer_create(&task.timer, task.name, TaskTick, input, task.first_tick, task.period,
                        TX_AUTO_ACTIVATE);
    }
}

ULONG TotalRuns() {
    ULONG runs = 0;
    for (const IdleTask& task : g_tasks) {
        runs += task.runs;
    }
    return runs;
}

void BM_SteppedHour(benchmark::State& state) {
    for (auto _ : state) {
        kernel::Kernel k;
        k.Start(CreateTasks);
        k.Advance(360000);
        state.counters["task_runs"] = TotalRuns();
    }
}
BENCHMARK(BM_SteppedHour)->Unit(benchmark::kMillisecond)->Iterations(3);

double ProcessCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

void BM_RealTimeIdleCpu(benchmark::State& state) {
    const auto seconds = static_cast<double>(state.range(0));
    for (auto _ : state) {
        kernel::Options options;
        options.clock = kernel::ClockMode::kRealTime;
        kernel::Kernel k(options);
        k.Start(CreateTasks);
        const double cpu_start = ProcessCpuSeconds();
        const auto wall_start = std::chrono::steady_clock::now();
        std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
        const double cpu = ProcessCpuSeconds() - cpu_start;
        const double wall =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - wall_start).count();
        state.counters["cpu_percent_of_one_core"] = 100.0 * cpu / wall;
        state.counters["ticks"] = tx_time_get();
    }
}
BENCHMARK(BM_RealTimeIdleCpu)->Arg(5)->Unit(benchmark::kSecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
