// The pixel test of a 48 x 192 sign of 8 x 8 modules over the simulated module bus, on a
// kernel thread with the stepped clock: the simulated ticks it holds the display thread and its
// wall time. And one display cycle of that sign showing a message with 100 failed pixels (the
// failures switched off, the registry frames and legibility stored) against the same cycle
// without failures: p99 of each, budget 1 ms for the diagnostics.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "database/factory_defaults.h"
#include "database/global_database.h"
#include "database/object_ids.h"
#include "display/diag_5520.h"
#include "display/display.h"
#include "display/q2_display_driver.h"
#include "display/tests/sign_fixture.h"
#include "platform/kernel/kernel.h"
#include "platform/sim/epld_bitstream.h"
#include "platform/sim/hw.h"
#include "render/msg_activation_code.h"
#include "render/render_sign_store.h"
#include "runtime/post_office.h"

namespace {

constexpr uint32_t kHeight = 48;
constexpr uint32_t kWidth = 192;

sim::SignConfig Sign48x192() {
    sim::SignConfig c;
    c.lineLengths.assign(kHeight / 8, kWidth / 8);
    return c;
}

void FactoryDatabase() {
    g_DataBase.SetNotificationEnabled(false);
    g_DataBase.SetValidationEnabled(false);
    dms_factory_defaults(g_DataBase, kDefaultsFirstStart);
    private_factory_defaults(g_DataBase, kDefaultsFirstStart);
    dms_volatile_defaults(g_DataBase);
    private_volatile_defaults(g_DataBase);
}

void BM_PixelTest48x192(benchmark::State& state) {
    sign_test::SignFixture board(Sign48x192());
    FactoryDatabase();
    DebugSetSink([](const char*) {});
    const std::vector<uint8_t> bits = sim::MakeEpldBitstream(12, 64);
    board.Sign().GetEpld().Load(bits.data(), bits.size());
    hw::Write16(0xF0400002, kWidth);
    hw::Write16(0xF0400004, kHeight);
    board.Sign().Modules().Disconnect(5, 20);
    board.Sign().Modules().SetDeadLed(3, 3, 1);
    ULONG ticks = 0;
    uint32_t failed = 0;
    for (auto _ : state) {
        kernel::Kernel k;
        CDisplay* display = nullptr;
        static TX_THREAD thread;
        static uint8_t stack[64 * 1024];
        static bool done;
        static ULONG elapsed;
        done = false;
        k.Start([&](void*) {
            display = new CDisplay(g_PostOffice, nullptr);
            display->SetSignDriver(nullptr);
            g_DataBase.Set(dbo::brenModuleID, 116, 0);
            display->BuildDisplayConfiguration(kHeight, kWidth, 15);
            g_Diag5520.SetPostOffice(nullptr);
            tx_thread_create(
                &thread, "test",
                [](ULONG_PTR) {
                    const ULONG start = tx_time_get();
                    g_Diag5520.BeginTest();
                    g_Diag5520.Run();
                    elapsed = tx_time_get() - start;
                    done = true;
                },
                0, stack, sizeof stack, 2, 2, 0, TX_AUTO_START);
        });
        while (!done) {
            k.Advance(10);
        }
        ticks = elapsed;
        failed = g_Diag5520.TestErrorFrame()->LitCount();
        delete display;
    }
    g_Diag5520.SetPostOffice(&g_PostOffice);
    state.counters["ticks"] = double(ticks);
    state.counters["failed_pixels"] = double(failed);
    DebugSetSink(nullptr);
}
BENCHMARK(BM_PixelTest48x192)->Unit(benchmark::kMillisecond)->Iterations(5);

bool Activate(CDisplay& display, const std::string& text) {
    g_DataBase.SetText(dbo::dmsMessageMultiString, text.data(), uint32_t(text.size()),
                       kDbSkipValidation);
    g_DataBase.Set(dbo::dmsMessageCRC, 0x1111, kDbSkipValidation);
    g_DataBase.Set(dbo::dmsMessageStatus, 4, kDbSkipValidation);
    CMsgActivationCode code;
    code.duration = 65535;
    code.priority = 255;
    code.memoryType = 3;
    code.messageNumber = 1;
    code.crc = 0x1111;
    std::fill(std::begin(code.sourceAddress), std::end(code.sourceAddress), 0);
    code.Pack();
    g_DataBase.SetText(dbo::requestCode, code.raw, 12, 0, CDisplay::kEndDurationSlot);
    display.ProcessActivationRequests();
    return g_DataBase.Get(dbo::dmsActivateMsgError) == CDisplay::kErrorNone;
}

// failures: pixels marked in the pixel-test error frame, spread over the sign.
void BM_DisplayCycleWithFailures(benchmark::State& state) {
    const uint32_t failures = uint32_t(state.range(0));
    sign_test::SignFixture board(Sign48x192());
    CRenderSignStore fonts(RenderSignGeometry{int32_t(kWidth), int32_t(kHeight)});
    FactoryDatabase();
    DebugSetSink([](const char*) {});
    board.Run([&] {
        CQ2DisplayDriver driver;
        CDisplay display(g_PostOffice, nullptr);
        display.SetSignDriver(&driver);
        g_DataBase.Set(dbo::brenModuleID, 116, 0);
        display.BuildDisplayConfiguration(kHeight, kWidth, 15);
        if (display.CurrentDriver() == nullptr || display.FaceCount() != 1 ||
            !Activate(display,
                      "[pt20o3][flt4o2]FLASH[/fl] ONE[nl]SECOND LINE[np][pt20o3]PAGE "
                      "[flt2o2]TWO[/fl][np][pt20o3][jl3][flt3o3]THREE[/fl]")) {
            state.SkipWithError("no sign or message");
            return;
        }
        for (uint32_t i = 0; i < failures; ++i) {
            g_Diag5520.TestErrorFrame()->SetPixel(
                disp::pixel(uint16_t(i * 37 % kWidth), uint16_t(i * 11 % kHeight), 7));
        }
        std::vector<double> ms;
        for (auto _ : state) {
            const auto start = std::chrono::steady_clock::now();
            display.Run();
            ms.push_back(
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                    .count());
        }
        std::sort(ms.begin(), ms.end());
        state.counters["p99_ms"] =
            ms.empty() ? 0 : ms[std::min(ms.size() - 1, ms.size() * 99 / 100)];
        state.counters["scans"] = double(display.FailureScans());
        state.counters["legibility"] = double(g_DataBase.Get(dbo::brenLegibilityRatio));
    });
    DebugSetSink(nullptr);
}
BENCHMARK(BM_DisplayCycleWithFailures)
    ->Arg(0)
    ->Arg(100)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2000);

}  // namespace

BENCHMARK_MAIN();
