// Frame output of the largest sign the DMA buffer holds (208 x 416 RGB pixels): packing, DMA and
// the sink's copy on the display cycle; the PNG the sink's writer renders off that path.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>

#include "display/q2_display_driver.h"
#include "display/tests/sign_fixture.h"
#include "platform/sim/png_file.h"
#include "render/surface.h"

namespace {

constexpr uint32_t kHeight = 208;
constexpr uint32_t kWidth = 416;

void FillPattern(CSurface& surface) {
    for (int32_t y = 0; y < surface.Height(); ++y) {
        for (int32_t x = 0; x < surface.Width(); ++x) {
            surface.SetPixel(x, y, uint32_t(x * 31 + y * 7) & 0x7FFF);
        }
    }
}

void BM_FrameOutput(benchmark::State& state) {
    sign_test::SignFixture board;
    board.Run([&] {
        CQ2DisplayDriver driver;
        if (!driver.Init(kHeight, kWidth, 116)) {
            state.SkipWithError("EPLD not loaded");
            return;
        }
        CSurface surface;
        surface.Allocate(int32_t(kHeight), int32_t(kWidth), 15);
        FillPattern(surface);
        for (auto _ : state) {
            driver.WriteFrame(&surface, 0, 0);
        }
        benchmark::DoNotOptimize(board.Sign().Sink().Frames());
    });
}
BENCHMARK(BM_FrameOutput)->Unit(benchmark::kMillisecond);

void BM_PackOnly(benchmark::State& state) {
    CSurface surface;
    surface.Allocate(int32_t(kHeight), int32_t(kWidth), 15);
    FillPattern(surface);
    std::vector<uint8_t> out(kHeight * kWidth * 3);
    for (auto _ : state) {
        CQ2DisplayDriver::PackFrame(surface, kHeight, kWidth, out.data());
        benchmark::DoNotOptimize(out.data());
    }
}
BENCHMARK(BM_PackOnly)->Unit(benchmark::kMillisecond);

void BM_PngOfAFrame(benchmark::State& state) {
    std::vector<uint8_t> pixels(kHeight * kWidth * 3);
    for (size_t i = 0; i < pixels.size(); ++i) {
        pixels[i] = uint8_t(i * 13);
    }
    char path[] = "/tmp/dms-bench-png-XXXXXX";
    const int fd = ::mkstemp(path);
    for (auto _ : state) {
        sim::WritePng(path, sim::RenderLeds(kWidth, kHeight, pixels.data(), 80));
    }
    ::close(fd);
    std::remove(path);
}
BENCHMARK(BM_PngOfAFrame)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
