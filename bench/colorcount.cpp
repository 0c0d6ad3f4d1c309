// Counting an image's colours for "&Info...": a 4000 x 3000 photo-like
// image (one pass over the 2 MB map) and a 700 x 700 one (32 passes over the
// 64 KB map), both with random 24-bit colours. Items are pixels, as
// bench/peers/numpy_colorcount.py counts them.
#include "files/colorcount.h"

#include <pixkit/buffer.h>

#include <benchmark/benchmark.h>

#include <random>

using namespace pixkit;

namespace {

void Count(benchmark::State& state, int w, int h) {
    Buffer b;
    b.Alloc(Pair<int>{w, h});
    std::mt19937 random(3);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) *b.At(x, y) = Pixel(random() & 0xFFFFFF);
    for (auto _ : state) benchmark::DoNotOptimize(kv::CountColors(b));
    state.SetItemsProcessed(state.iterations() * std::int64_t(w) * h);
}

} // namespace

BENCHMARK_CAPTURE(Count, large, 4000, 3000)
    ->Name("ColorCount4000x3000/pixkit")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Count, small, 700, 700)
    ->Name("ColorCount700x700/pixkit")
    ->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
