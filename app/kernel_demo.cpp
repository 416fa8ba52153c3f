#include "app/kernel_demo.h"

#include <cstdio>

#include "platform/kernel/kernel.h"
#include "platform/kernel/tx_api.h"

namespace {

struct DemoTask {
    const char* name;
    UINT priority;
    ULONG first_tick;
    ULONG period;
    ULONG stack_size;
    TX_THREAD thread;
    TX_TIMER timer;
    TX_EVENT_FLAGS_GROUP events;
    ULONG runs;
};

DemoTask g_tasks[] = {
    {"Watchdog", 1, 1, 50, 1000, {}, {}, {}, 0},
    {"Database", 4, 200, 100, 8192, {}, {}, {}, 0},
    {"Display", 2, 150, 10, 20480, {}, {}, {}, 0},
    {"Schedule", 2, 100, 50, 4096, {}, {}, {}, 0},
    {"Peripheral", 2, 10, 50, 6144, {}, {}, {}, 0},
    {"Monitor", 2, 200, 10, 4096, {}, {}, {}, 0},
    {"Communication", 2, 1000, 200, 8192, {}, {}, {}, 0},
};
TX_BYTE_POOL g_stacks;

void Print(const char* text) {
    std::size_t length = 0;
    while (text[length] != '\0') {
        ++length;
    }
    host_console_write(text, length);
}

void TaskEntry(ULONG_PTR input) {
    auto* task = reinterpret_cast<DemoTask*>(input);
    for (;;) {
        ULONG actual = 0;
        tx_event_flags_get(&task->events, 0x4, TX_OR_CLEAR, &actual, TX_WAIT_FOREVER);
        ++task->runs;
        // The watchdog reports every 10 s.
        if (task == &g_tasks[0] && task->runs % 20 == 0) {
            char line[160];
            std::snprintf(line, sizeof line, "dmsc: %lu s, display runs %lu, monitor runs %lu\n",
                          static_cast<unsigned long>(tx_time_get() / kernel::kTicksPerSecond),
                          static_cast<unsigned long>(g_tasks[2].runs),
                          static_cast<unsigned long>(g_tasks[5].runs));
            Print(line);
        }
    }
}

void TaskTick(ULONG_PTR input) {
    tx_event_flags_set(&reinterpret_cast<DemoTask*>(input)->events, 0x4, TX_OR);
}

}  // namespace

void KernelDemoDefine(void* first_unused_memory) {
    auto* next = static_cast<unsigned char*>(first_unused_memory);
    if (tx_byte_pool_create(&g_stacks, "thread stacks", next, 0x30000) != TX_SUCCESS) {
        Print(" - tx_byte_pool_create: thread_stacks\t\t\t[FAIL]\n");
        return;
    }
    for (DemoTask& task : g_tasks) {
        void* stack = nullptr;
        if (tx_byte_allocate(&g_stacks, &stack, task.stack_size, TX_NO_WAIT) != TX_SUCCESS) {
            continue;
        }
        const auto input = reinterpret_cast<ULONG_PTR>(&task);
        tx_event_flags_create(&task.events, task.name);
        tx_thread_create(&task.thread, task.name, TaskEntry, input, stack, task.stack_size,
                         task.priority, task.priority, 0, TX_AUTO_START);
        tx_timer_create(&task.timer, task.name, TaskTick, input, task.first_tick, task.period,
                        TX_AUTO_ACTIVATE);
    }
    Print("dmsc: kernel demo running, seven periodic tasks\n");
}
