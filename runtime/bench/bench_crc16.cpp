// CRC-16 over an image the size of the non-volatile database (98,712 bytes).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "runtime/crc16.h"

namespace {

constexpr size_t kNvImageSize = 98712;

void BM_Crc16NvImage(benchmark::State& state) {
    std::vector<uint8_t> image(kNvImageSize);
    for (size_t i = 0; i < image.size(); ++i) {
        image[i] = static_cast<uint8_t>(i * 131 + 7);
    }
    for (auto _ : state) {
        Crc16State crc;
        uint16_t value = 0;
        Crc16Init(&crc, 0xFFFF);
        Crc16Update(&crc, image.data(), image.size());
        Crc16Final(&crc, &value, kCrc16Invert | kCrc16Swap);
        benchmark::DoNotOptimize(value);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kNvImageSize);
}
BENCHMARK(BM_Crc16NvImage);

}  // namespace

BENCHMARK_MAIN();
