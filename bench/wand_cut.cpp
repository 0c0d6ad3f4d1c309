// Magic-wand cut speed: the left half of a 4000 x 3000 image is a noisy
// area (channels 100 + 0..7), the right half white; a cut from the middle of
// the left half runs end to end as the tool does it: flood marking (4
// neighbours, tolerance 21), the box of the marks, the brush with its free
// background colour, and the image put back from the copy taken before the
// marks. The peer script bench/peers/opencv_wand.py marks the same area with
// cv2.floodFill (4-connected, mask only). Items are cut pixels; the "cut"
// counter must equal the peer's "filled".
#include "paint/cut.h"
#include "paint/marking.h"

#include "noise.h"

#include <pixkit/buffer.h>

#include <benchmark/benchmark.h>

#include <cstdint>

using namespace pixkit;

namespace {

constexpr int kW = 4000, kH = 3000;

Pixel HalfNoisy(int x, int y) {
    if (x >= kW / 2) return 0x00FFFFFF;
    const std::uint32_t v = NoiseHash(std::uint32_t(y) * kW + std::uint32_t(x));
    return ((100 + (v & 7)) << 16) | ((100 + ((v >> 3) & 7)) << 8) | (100 + ((v >> 6) & 7));
}

void WandCut(benchmark::State& state) {
    Buffer before, image;
    before.Alloc(Pair<int>{kW, kH});
    image.Alloc(Pair<int>{kW, kH});
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) *before.At(x, y) = HalfNoisy(x, y);
    image.Copy(before, {0, 0}, NoKey);
    const Pair<int> seed{kW / 4, kH / 2};
    std::int64_t cut = 0;
    for (auto _ : state) {
        const kv::FloodResult r = kv::FloodMark(image, seed, 21, kv::Neighbours::Four);
        kv::MarkedCut brush;
        if (kv::MakeBrushFromMarks(image, r.Bounds, &before, 0x0000FF00, brush,
                                   kv::AfterCut::Restore) != kv::CutOutcome::Taken)
            state.SkipWithError("nothing cut");
        cut = r.Marked;
        benchmark::DoNotOptimize(brush.Background);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * cut);
    state.counters["cut"] = double(cut);
}

BENCHMARK(WandCut)->Name("WandCutHalf4000x3000/pixkit")->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
