// Requests per second through the agent in-process (decode, process, encode, send to a
// driver that drops the datagram), on a kernel thread holding the engine lock as it does
// in the controller: get of one scalar, get-next of 1 and of 50 varbinds, set of one
// integer.

#include <benchmark/benchmark.h>

#include <cstring>

#include "database/global_database.h"
#include "database/object_ids.h"
#include "ntcip/snmp_agent.h"
#include "ntcip/snmp_process.h"
#include "ntcip/tests/snmp_request_builder.h"
#include "platform/kernel/kernel.h"

namespace {

using snmp_test::Bytes;
using snmp_test::Request;
using snmp_test::Varbind;

snmp_agent g_agent;
uint8_t g_memory[2 * kSnmpMessageBufferSize];

int DropDriver(snmp_agent*, uint32_t, uint32_t, uint8_t*, uint32_t*) {
    return 0;
}

void Serve(benchmark::State& state, const Bytes& request) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            SnmpMessageReceive(&g_agent, request.data(), static_cast<uint32_t>(request.size())));
    }
    state.SetItemsProcessed(state.iterations());
}

Varbind At(std::vector<uint32_t> name, uint16_t syntax = kSnmpNull, uint32_t value = 0) {
    Varbind v;
    v.name = std::move(name);
    v.syntax = syntax;
    v.integer = value;
    return v;
}

void BM_GetOneScalar(benchmark::State& state) {
    Serve(state, Request(0, "public", kSnmpGetRequest, {At({1, 3, 6, 1, 2, 1, 11, 1, 0})}));
}
void BM_GetNextOne(benchmark::State& state) {
    Serve(state, Request(0, "public", kSnmpGetNextRequest, {At({1, 3, 6, 1, 2, 1, 1, 1, 0})}));
}
void BM_GetNextFifty(benchmark::State& state) {
    std::vector<Varbind> varbinds;
    for (uint32_t i = 0; i < 50; ++i) {
        varbinds.push_back(At({1, 3, 6, 1, 2, 1, 11, 1 + i % 29, 0}));
    }
    Serve(state, Request(1, "public", kSnmpGetNextRequest, varbinds));
}
void BM_SetOneInteger(benchmark::State& state) {
    Serve(state, Request(0, "public", kSnmpSetRequest,
                         {At({1, 3, 6, 1, 2, 1, 11, 30, 0}, kSnmpInteger, 1)}));
}
BENCHMARK(BM_GetOneScalar);
BENCHMARK(BM_GetNextOne);
BENCHMARK(BM_GetNextFifty);
BENCHMARK(BM_SetOneInteger);

TX_THREAD g_thread;
uint8_t g_stack[8192];

void RunBenchmarks(ULONG_PTR) {
    benchmark::RunSpecifiedBenchmarks();
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    const char admin[] = "public";
    g_DataBase.SetText(dbo::communityNameAdmin, admin, sizeof admin - 1, kDbReplayFlags);
    kernel::Kernel k;
    k.Start([](void*) {
        snmp_entry();
        uint32_t used = 0;
        const uint8_t address[4] = {127, 0, 0, 1};
        snmp_agent_create(&g_agent, "ethernet", 161, 162, address, g_memory, &used, 0, snmp_process,
                          snmp_agent_null_callback, &DropDriver, nullptr, nullptr);
        tx_thread_create(&g_thread, "bench", &RunBenchmarks, 0, g_stack, sizeof g_stack, 3, 3,
                         TX_NO_TIME_SLICE, TX_AUTO_START);
    });
    benchmark::Shutdown();
    return 0;
}
