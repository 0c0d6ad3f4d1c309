// Box fill and line throughput. Benchmarks are named "<case>/<who>";
// bench/ratios.py divides pixkit's rate by each peer's rate of the same case.
#include <pixkit/buffer.h>

#include <benchmark/benchmark.h>

#include <cstring>

using namespace pixkit;

namespace {

constexpr int kW = 4000, kH = 3000;

void BoxFill(benchmark::State& state) {
    Buffer b;
    b.Alloc({kW, kH});
    Pixel c = 0x00102030;
    for (auto _ : state) {
        b.Box(b.Area, c++);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kW * kH);
}
BENCHMARK(BoxFill)->Name("Box4000x3000/pixkit")->Unit(benchmark::kMillisecond);

void MemsetFill(benchmark::State& state) {
    Buffer b;
    b.Alloc({kW, kH});
    int c = 0;
    for (auto _ : state) {
        std::memset(b.Data, c++ & 0xFF, std::size_t(kW) * kH * 4);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kW * kH);
}
BENCHMARK(MemsetFill)->Name("Box4000x3000/memset")->Unit(benchmark::kMillisecond);

// Lines fanning out from the centre of a 2000 x 2000 buffer, some crossing
// its edges; items are pixels drawn.
void Lines(benchmark::State& state) {
    Buffer b;
    b.Alloc({2000, 2000});
    b.Box(b.Area, 0);
    std::int64_t pixels = 0;
    for (auto _ : state) {
        for (int i = -1200; i < 1200; i += 7) {
            b.Line({1000, 1000}, {1000 + i, -200}, 0x00FF00FF);
            b.Line({1000, 1000}, {2200, 1000 + i}, 0x80FFFFFF);
            pixels += 2 * 1200;
        }
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(pixels);
}
BENCHMARK(Lines)->Name("Lines/pixkit")->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
