// CEventLogging::Update with 60 active configurations watching an object through the MIB,
// one of them logging each call into a full class of 255 entries (drop the oldest and
// compact the class); and the worst case with all 60 logging into the full class.

#include <benchmark/benchmark.h>

#include <cstring>

#include "database/global_database.h"
#include "database/object_ids.h"
#include "database/time_registers.h"
#include "ntcip/event_logging.h"
#include "ntcip/mib_engine.h"
#include "ntcip/mib_oid.h"
#include "runtime/debug_print.h"

namespace {

MemoryTimeRegisters g_clock;
const uint32_t kPort1[] = {1, 3, 6, 1, 4, 1, 1206, 4, 2, 6, 7, 3, 1, 5, 3, 1};

void Quiet(const char*) {}

void Prepare(uint32_t logging) {
    DebugSetSink(Quiet);
    MibInit(nullptr);
    g_DataBase.SetTimeRegisters(&g_clock);
    uint8_t oid[sizeof kPort1 + 1];
    OidToBytes(oid, kPort1, std::size(kPort1));
    g_DataBase.Set(dbo::maxEventClasses, 16, kDbReplayFlags);
    g_DataBase.Set(dbo::eventClassLimit, 255, kDbReplayFlags, 0);
    g_DataBase.Set(dbo::eventClassNumRowsInLog, 255, kDbReplayFlags, 0);
    g_DataBase.Set(dbo::fdotLogFullLatch, 1, kDbReplayFlags);
    for (uint32_t k = 0; k < 255; ++k) {
        g_DataBase.Set(dbo::eventLogID, 1, kDbReplayFlags, k);
        g_DataBase.Set(dbo::eventLogTime, k + 1, kDbReplayFlags, k);
        g_DataBase.SetText(dbo::eventLogValue, "\x02\x01\x05", 3, kDbReplayFlags, k);
    }
    for (uint32_t i = 0; i < CEventLogging::kConfigs; ++i) {
        g_DataBase.Set(dbo::eventConfigClass, 1, kDbReplayFlags, i);
        g_DataBase.Set(dbo::eventConfigMode, i < logging ? 6 : 3, kDbReplayFlags, i);
        g_DataBase.Set(dbo::eventConfigCompareValue, i < logging ? 0 : 1000, kDbReplayFlags, i);
        g_DataBase.SetText(dbo::eventConfigCompareOID, oid, sizeof kPort1, kDbReplayFlags, i);
        g_DataBase.SetText(dbo::eventConfigLogOID, oid, sizeof kPort1, kDbReplayFlags, i);
        g_DataBase.Set(dbo::eventConfigAction, 3, kDbReplayFlags, i);
    }
}

void Run(benchmark::State& state, uint32_t logging) {
    Prepare(logging);
    static CEventLogging engine;
    uint32_t now = 1000;
    for (auto _ : state) {
        const DbObject& t = dbo::globalTime;
        g_DataBase.SetRegisterTime(t.id, t.width, ++now, t.image, 0);
        engine.Update();
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_UpdateOneFullClassCompaction(benchmark::State& state) {
    Run(state, 1);
}
void BM_UpdateSixtyFullClassCompactions(benchmark::State& state) {
    Run(state, CEventLogging::kConfigs);
}

}  // namespace

BENCHMARK(BM_UpdateOneFullClassCompaction)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_UpdateSixtyFullClassCompactions)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
