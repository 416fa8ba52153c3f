// Requests per second through the agent in-process (decode, process, encode, send to a
// driver that drops the datagram), on a kernel thread holding the engine lock as it does
// in the controller: get of one scalar, get-next of 1 and of 50 varbinds, set of one
// integer.

#include <benchmark/benchmark.h>

#include <cstring>

#include "ntcip/bench/agent_bench_main.h"
#include "ntcip/tests/snmp_request_builder.h"

namespace {

using snmp_test::Bytes;
using snmp_test::Request;
using snmp_test::Varbind;

snmp_agent g_agent;

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

}  // namespace

int main(int argc, char** argv) {
    return agent_bench::Main(argc, argv, &g_agent, &DropDriver);
}
