#pragma once
// The main of the agent benchmarks: the administrator community "public", an "ethernet" agent
// over the benchmark's net driver, and the benchmarks run on a kernel thread (the engine lock is
// a kernel mutex).

#include <benchmark/benchmark.h>

#include <cstdint>

#include "database/global_database.h"
#include "database/object_ids.h"
#include "ntcip/snmp_agent.h"
#include "ntcip/snmp_process.h"
#include "platform/kernel/kernel.h"

namespace agent_bench {

inline uint8_t g_memory[2 * kSnmpMessageBufferSize];
inline TX_THREAD g_thread;
alignas(16) inline uint8_t g_stack[16384];

inline int Main(int argc, char** argv, snmp_agent* agent, snmp_net_drv driver) {
    benchmark::Initialize(&argc, argv);
    const char admin[] = "public";
    g_DataBase.SetText(dbo::communityNameAdmin, admin, sizeof admin - 1, kDbReplayFlags);
    kernel::Kernel k;
    k.Start([agent, driver](void*) {
        snmp_entry();
        uint32_t used = 0;
        const uint8_t address[4] = {127, 0, 0, 1};
        snmp_agent_create(agent, "ethernet", 161, 162, address, g_memory, &used, 0, snmp_process,
                          snmp_agent_null_callback, driver, nullptr, nullptr);
        tx_thread_create(
            &g_thread, "bench", [](ULONG_PTR) { benchmark::RunSpecifiedBenchmarks(); }, 0, g_stack,
            sizeof g_stack, 3, 3, TX_NO_TIME_SLICE, TX_AUTO_START);
    });
    benchmark::Shutdown();
    return 0;
}

}  // namespace agent_bench
