// The default SCRIPT.XML (580 settings) parsed and applied through the MIB engine.

#include <benchmark/benchmark.h>

#include <vector>

#include "database/builtin_files.h"
#include "database/oid_access.h"
#include "database/script_parser.h"
#include "ntcip/mib_engine.h"
#include "ntcip/mib_oid_engine.h"
#include "runtime/debug_print.h"

namespace {

std::vector<char> DefaultScript() {
    std::vector<char> text(0x40000);
    const long n =
        InflateBuiltinFile(kBuiltinScriptFiles[0], reinterpret_cast<uint8_t*>(text.data()),
                           static_cast<uint32_t>(text.size()));
    text.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return text;
}

// Counts the settings and accepts them.
class CountingEngine : public OidEngine {
public:
    bool GetInt(const uint32_t*, size_t, int32_t*) override { return false; }
    bool GetOctets(const uint32_t*, size_t, uint8_t*, uint32_t, uint32_t*) override {
        return false;
    }
    bool SetInt(const uint32_t*, size_t, int32_t, uint32_t) override { return ++sets > 0; }
    bool SetOctets(const uint32_t*, size_t, const uint8_t*, uint32_t, uint32_t) override {
        return ++sets > 0;
    }
    long sets = 0;
};

void BM_ParseDefaultScript(benchmark::State& state) {
    const std::vector<char> text = DefaultScript();
    CountingEngine engine;
    OidSetEngine(&engine);
    for (auto _ : state) {
        benchmark::DoNotOptimize(ScriptParser(text.data(), static_cast<uint32_t>(text.size())));
    }
    state.counters["sets"] =
        static_cast<double>(engine.sets) / static_cast<double>(state.iterations());
    OidSetEngine(nullptr);
}
BENCHMARK(BM_ParseDefaultScript)->Unit(benchmark::kMillisecond);

void BM_ApplyDefaultScriptThroughMib(benchmark::State& state) {
    const std::vector<char> text = DefaultScript();
    DebugSetSink([](const char*) {});
    MibInit(nullptr);
    OidSetEngine(&MibOidEngine());
    for (auto _ : state) {
        benchmark::DoNotOptimize(ScriptParser(text.data(), static_cast<uint32_t>(text.size())));
    }
    OidSetEngine(nullptr);
    DebugSetSink(nullptr);
}
BENCHMARK(BM_ApplyDefaultScriptThroughMib)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
