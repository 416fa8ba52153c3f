// Get-next through the character table (20 fonts x 255 characters, three columns) in-process,
// varbinds per second: the MIB engine alone (getStatPtr, as request processing walks), and
// the whole agent (decode, process, encode; the next request is built from the response, as
// a manager's walk does) on a kernel thread as in the controller.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "ntcip/bench/agent_bench_main.h"
#include "ntcip/mib_engine.h"
#include "ntcip/tests/snmp_request_builder.h"

namespace {

using snmp_test::Bytes;

const std::vector<uint32_t> kCharacterTable = {1, 3, 6, 1, 4, 1, 1206, 4, 2, 3, 3, 4};
constexpr uint32_t kCharacterVarbinds = 3 * 20 * 255;

bool InTable(const uint32_t* name, uint32_t length) {
    return length > kCharacterTable.size() &&
           std::equal(kCharacterTable.begin(), kCharacterTable.end(), name);
}

// Adds a pass's varbinds; false (and the benchmark skipped) when it missed characters.
bool Count(benchmark::State& state, uint32_t walked, uint64_t* varbinds) {
    if (walked != kCharacterVarbinds) {
        state.SkipWithError("the walk did not step through every character");
        return false;
    }
    *varbinds += walked;
    return true;
}

void Report(benchmark::State& state, uint64_t varbinds) {
    state.SetItemsProcessed(static_cast<int64_t>(varbinds));
    state.counters["varbinds/s"] =
        benchmark::Counter(static_cast<double>(varbinds), benchmark::Counter::kIsRate);
}

void BM_CharacterTableEngine(benchmark::State& state) {
    auto pdu = std::make_unique<snmp_pdu>();
    pdu->type = kSnmpGetNextRequest;
    pdu->count = 1;
    snmp_object& v = pdu->varbinds[0];
    uint64_t varbinds = 0;
    for (auto _ : state) {
        std::copy(kCharacterTable.begin(), kCharacterTable.end(), v.name);
        uint32_t length = static_cast<uint32_t>(kCharacterTable.size());
        uint32_t walked = 0;
        for (;;) {
            uint8_t type = kSnmpNull;
            uint32_t value_length = 0;
            uint8_t access = 0;
            int status = kMibNoObject;
            uintptr_t* answer = getStatPtr(&v, &length, &type, &value_length, &access, kMibGetNext,
                                           pdu.get(), 0, &status);
            if (answer == nullptr || !InTable(v.name, length)) {
                break;
            }
            ++walked;
        }
        if (!Count(state, walked, &varbinds)) {
            break;
        }
    }
    Report(state, varbinds);
}

// The agent's responses: the driver keeps the last one.
snmp_agent g_agent;
Bytes g_response;

int KeepDriver(snmp_agent*, uint32_t, uint32_t operation, uint8_t* buffer, uint32_t* length) {
    if (operation == kSnmpNetSend) {
        g_response.assign(buffer, buffer + *length);
    }
    return 0;
}

void BM_CharacterTableAgent(benchmark::State& state) {
    uint64_t varbinds = 0;
    for (auto _ : state) {
        snmp_test::Varbind next;
        next.name = kCharacterTable;
        uint32_t walked = 0;
        for (uint32_t id = 1;; ++id) {
            const Bytes request = snmp_test::Request(0, "public", kSnmpGetNextRequest, {next}, id);
            g_response.clear();
            SnmpMessageReceive(&g_agent, request.data(), static_cast<uint32_t>(request.size()));
            const auto decoded = snmp_test::Decode(g_response);
            if (!decoded || decoded->pdu->request.error_status != kSnmpNoError) {
                break;
            }
            const snmp_object& answer = decoded->pdu->varbinds[0];
            if (!InTable(answer.name, answer.name_length)) {
                break;
            }
            next.name = snmp_test::Name(answer);
            ++walked;
        }
        if (!Count(state, walked, &varbinds)) {
            break;
        }
    }
    Report(state, varbinds);
}

BENCHMARK(BM_CharacterTableEngine)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CharacterTableAgent)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    return agent_bench::Main(argc, argv, &g_agent, &KeepDriver);
}
