// Frame rendering cost on the largest 15-bit sign the 256 KB DMA buffer holds (96 x 900 =
// 86,400 pixels): the worst page the message tables allow redrawn frame after frame, as the
// display task does 10 times a second. Reports time per frame (budget 100 ms, target 2 ms) and
// heap allocations per frame (target 0).

#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <string>

#include "render/render.h"
#include "render/render_objects.h"
#include "render/render_player.h"
#include "render/render_sign_store.h"

namespace {
std::atomic<uint64_t> g_allocations{0};
}  // namespace

// Every heap allocation of the process is counted; the replacement pairs new with malloc.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

void* operator new(std::size_t size) {
    ++g_allocations;
    if (void* p = std::malloc(size == 0 ? 1 : size)) {
        return p;
    }
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}

namespace {

constexpr int32_t kWidth = 900;
constexpr int32_t kHeight = 96;

// Six full lines (each as wide as the sign): 25 flash regions, fields, a fully justified line
// and 20 moving texts, the most the message's tables hold.
std::string WorstPage() {
    std::string page = "[jp3]";
    for (int i = 0; i < 23; ++i) {
        page += "[flt5o5]WWW[/fl]";
    }
    page += "[nl]";
    page += "[jl5][flt3o2]" + std::string(70, 'M') + "[/fl][nl]";
    page += "[jl2][f1] [f2] [f7,4] [f3] [f6] [ms47,r0,40][jl4][flo2t2]" + std::string(20, 'E') +
            "[/fl][nl]";
    page += "[jl2]";
    for (int i = 0; i < 10; ++i) {
        page += "[mvcl90,2,1,MOVING " + std::to_string(i) + "]";
    }
    page += "[nl][jl3]";
    for (int i = 0; i < 10; ++i) {
        page += "[mvcr90,3,1,TEXT " + std::to_string(i) + "]";
    }
    page += "[nl][jl3][fo2]" + std::string(90, 'N');
    return page;
}

struct Sign {
    Sign() : store(Geometry()) {
        store.SetVolatile(render_objects::kControllerLocalTime.id, 4, 1796738700);
        store.SetVolatileString(render_objects::kRemoteTextId,
                                "REMOTE TEXT OF FORTY CHARACTERS .......", 40);
        render.AllocateSurface(kHeight, kWidth, 15);
    }
    static RenderSignGeometry Geometry() {
        RenderSignGeometry g;
        g.width = kWidth;
        g.height = kHeight;
        return g;
    }
    CRenderSignStore store;
    CRender render;
};

void BM_RenderWorstPageFrame(benchmark::State& state) {
    Sign sign;
    CRenderPlayer player(sign.render);
    const std::string page = WorstPage();
    if (player.Load(page.data(), static_cast<uint32_t>(page.size())) != kMultiOk) {
        state.SkipWithError("the worst page does not validate");
        return;
    }
    player.NextFrame();  // vectors of the line cells reach their size
    const uint64_t before = g_allocations.load();
    for (auto _ : state) {
        benchmark::DoNotOptimize(player.NextFrame());
    }
    state.counters["allocs_per_frame"] = static_cast<double>(g_allocations.load() - before) /
                                         static_cast<double>(state.iterations());
    state.counters["pixels"] = kWidth * kHeight;
}
BENCHMARK(BM_RenderWorstPageFrame)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
