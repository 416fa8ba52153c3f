// Packing the sign image into the largest RGB frame the 256 KB DMA buffer holds (96 x 900 =
// 86,400 pixels, 259,200 bytes) from a 15-bit render surface, once per display cycle (budget
// 100 ms, target 1 ms per frame); with the generic per-pixel conversion and the lit count of
// the surface adapter for comparison.

#include <benchmark/benchmark.h>

#include "display/frame.h"
#include "display/pixel_format.h"
#include "display/surface_adapter.h"
#include "render/surface.h"

namespace {

constexpr int32_t kHeight = 96;
constexpr int32_t kWidth = 900;

// A page-like picture: bands of colours with unlit gaps.
void Draw(CSurface& surface) {
    surface.Allocate(kHeight, kWidth, 15);
    for (int32_t y = 0; y < kHeight; ++y) {
        for (int32_t x = 0; x < kWidth; ++x) {
            surface.SetPixel(x, y, (x / 6 + y / 8) % 3 == 0 ? 0 : uint32_t(x * 37 + y) & 0x7FFF);
        }
    }
}

void BM_PackSurfaceRgb24(benchmark::State& state) {
    CSurface surface;
    Draw(surface);
    disp::frame frame;
    frame.Create(kHeight, kWidth, 0, 24);
    for (auto _ : state) {
        disp::PackSurfaceRgb24(surface, frame);
        benchmark::DoNotOptimize(frame.LitCount());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * kHeight * kWidth * 3);
}
BENCHMARK(BM_PackSurfaceRgb24)->Unit(benchmark::kMillisecond);

void BM_ConvertAdapterToRgb24(benchmark::State& state) {
    CSurface surface;
    Draw(surface);
    disp::surface_adapter adapter(&surface);
    adapter.Create(kHeight, kWidth, 0, 15);
    disp::frame frame;
    frame.Create(kHeight, kWidth, 0, 24);
    for (auto _ : state) {
        disp::ConvertFrame(adapter, frame);
        benchmark::DoNotOptimize(frame.LitCount());
    }
}
BENCHMARK(BM_ConvertAdapterToRgb24)->Unit(benchmark::kMillisecond);

void BM_AdapterLitCount(benchmark::State& state) {
    CSurface surface;
    Draw(surface);
    disp::surface_adapter adapter(&surface);
    adapter.Create(kHeight, kWidth, 0, 15);
    for (auto _ : state) {
        adapter.Bind();  // a new picture: counted once
        benchmark::DoNotOptimize(adapter.LitCount());
    }
}
BENCHMARK(BM_AdapterLitCount)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
