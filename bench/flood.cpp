// Flood fill speed: marking a 4000 x 3000 image from a seed (4 neighbours)
// and painting the marked pixels, as Solid Fill does; the peer script
// bench/peers/opencv_flood.py fills the same images with cv2.floodFill.
// The image is put back outside the timing. Items are filled pixels; the
// "filled" counter must equal the peer's.
//
// Cases: uniform (one colour, tolerance 0); noisy (channels 100 + 0..7,
// one pixel in ten white, tolerance 21 = the peer's fixed range 7 per
// channel); fence (every other column, joined by the bottom row, seed at
// the bottom right).
#include "paint/marking.h"

#include "noise.h"

#include <pixkit/buffer.h>

#include <benchmark/benchmark.h>

#include <cstdint>

using namespace pixkit;

namespace {

constexpr int kW = 4000, kH = 3000;
constexpr Pixel kFill = 0x00FF2000;

Pixel Uniform(int, int) {
    return 0x00404040;
}

Pixel Noisy(int x, int y) {
    const std::uint32_t v = NoiseHash(std::uint32_t(y) * kW + std::uint32_t(x));
    if ((v >> 16) % 10 == 0) return 0x00FFFFFF;
    return ((100 + (v & 7)) << 16) | ((100 + ((v >> 3) & 7)) << 8) | (100 + ((v >> 6) & 7));
}

Pixel Fence(int x, int y) {
    return (x % 2 == 0 || y == kH - 1) ? 0x00404040 : 0x00FFFFFF;
}

template <Pixel (*Make)(int, int)> void FloodCase(benchmark::State& state, int tolerance) {
    Buffer original, image;
    original.Alloc(Pair<int>{kW, kH});
    image.Alloc(Pair<int>{kW, kH});
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) *original.At(x, y) = Make(x, y);
    // Uniform and noisy start in the middle (a noisy seed that is no hole).
    Pair<int> seed = Make == Fence ? Pair<int>{kW - 1, kH - 1} : Pair<int>{kW / 2, kH / 2};
    while (*original.At(seed.x, seed.y) == 0x00FFFFFF) ++seed.x;
    std::int64_t filled = 0;
    for (auto _ : state) {
        state.PauseTiming();
        image.Copy(original, {0, 0}, NoKey);
        state.ResumeTiming();
        const kv::FloodResult r = kv::FloodMark(image, seed, tolerance, kv::Neighbours::Four);
        kv::FillMarkedSolid(image, kFill, false, r.Bounds);
        filled = r.Marked;
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * filled);
    state.counters["filled"] = double(filled);
}

void Uniform0(benchmark::State& state) {
    FloodCase<Uniform>(state, 0);
}
void Noisy21(benchmark::State& state) {
    FloodCase<Noisy>(state, 21);
}
void Fence0(benchmark::State& state) {
    FloodCase<Fence>(state, 0);
}

BENCHMARK(Uniform0)->Name("FloodUniform4000x3000/pixkit")->Unit(benchmark::kMillisecond);
BENCHMARK(Noisy21)->Name("FloodNoisy4000x3000/pixkit")->Unit(benchmark::kMillisecond);
BENCHMARK(Fence0)->Name("FloodFence4000x3000/pixkit")->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
