// The message table pass validating all 500 changeable messages of typical size (three pages,
// two lines, justification, flashing and page times) on a 48 x 192 RGB sign. Budget: 500 ms for
// the whole pass. Also reports the longest run between two dispatch points of the pass, which
// bounds how long the display task can wait for its cycle while a pass runs on another thread.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <string>

#include "database/factory_defaults.h"
#include "database/global_database.h"
#include "database/object_ids.h"
#include "display/display.h"
#include "display/module_type.h"
#include "render/render_sign_store.h"
#include "runtime/debug_print.h"
#include "runtime/post_office.h"

namespace {

constexpr uint32_t kHeight = 48;
constexpr uint32_t kWidth = 192;
constexpr uint32_t kMessages = 500;

std::string TypicalText(uint32_t n) {
    return "[pt25o3][jp3]ACCIDENT AHEAD[nl][jl3]EXIT " + std::to_string(n % 90 + 10) +
           "[np][pt25o3][jp3][flt5o3]LEFT LANE[/fl][nl]CLOSED[np][pt20o0][jp3]EXPECT[nl]" +
           "DELAYS " + std::to_string(n % 50 + 5) + " MIN";
}

void BM_ValidateChangeableMessages(benchmark::State& state) {
    CRenderSignStore fonts(RenderSignGeometry{int32_t(kWidth), int32_t(kHeight)});
    g_DataBase.SetNotificationEnabled(false);
    g_DataBase.SetValidationEnabled(false);
    dms_factory_defaults(g_DataBase, kDefaultsFirstStart);
    private_factory_defaults(g_DataBase, kDefaultsFirstStart);
    dms_volatile_defaults(g_DataBase);
    private_volatile_defaults(g_DataBase);
    InstallModuleTypeTable();
    DebugSetSink([](const char*) {});
    CDisplay display(g_PostOffice, nullptr);
    g_DataBase.Set(dbo::brenModuleID, 116, 0);
    display.SetSignDriver(nullptr);
    display.BuildDisplayConfiguration(kHeight, kWidth, 15);
    if (display.FaceCount() != 1) {
        state.SkipWithError("no sign");
        return;
    }
    for (uint32_t k = 0; k < kMessages; ++k) {
        const std::string text = TypicalText(k);
        g_DataBase.SetText(dbo::dmsMessageMultiString, text.data(), uint32_t(text.size()),
                           kDbSkipValidation, k);
    }
    double longest = 0;
    uint32_t valid = 0;
    for (auto _ : state) {
        state.PauseTiming();
        for (uint32_t k = 0; k < kMessages; ++k) {
            g_DataBase.Set(dbo::dmsMessageStatus, 7, kDbSkipValidation, k);
        }
        state.ResumeTiming();
        display.ProcessMessageTable();
        state.PauseTiming();
        valid = g_DataBase.Get(dbo::dmsNumChangeableMsg);
        // One message alone: the stretch between two of the pass's dispatch points.
        g_DataBase.Set(dbo::dmsMessageStatus, 7, kDbSkipValidation, 0);
        const auto start = std::chrono::steady_clock::now();
        display.ProcessMessageTable();
        longest = std::max(longest, std::chrono::duration<double, std::milli>(
                                        std::chrono::steady_clock::now() - start)
                                        .count());
        state.ResumeTiming();
    }
    state.counters["valid"] = valid;
    state.counters["one_message_pass_ms"] = longest;
    DebugSetSink(nullptr);
}
BENCHMARK(BM_ValidateChangeableMessages)->Unit(benchmark::kMillisecond)->Iterations(10);

}  // namespace

BENCHMARK_MAIN();
