// Clone dabs: a 101 x 101 round brush dabbed across a 4000 x 3000 image at
// a fixed offset, reading a separate snapshot or (Cumulative) the image
// itself, where every dab reads its source before it writes. The peer is
// OpenCV's masked copyTo of the same rectangles (bench/peers/opencv_clone.py).
// Items are the pixels of the dabs' rectangles.
#include "paint/brush.h"
#include "paint/clonedab.h"

#include <pixkit/buffer.h>

#include <benchmark/benchmark.h>

#include <vector>

using namespace pixkit;

namespace {

constexpr int kW = 4000, kH = 3000, kRadius = 50, kSide = 2 * kRadius + 1;
constexpr Pair<int> kOffset{-37, -23};

// The dab corners: rows 200 apart, dabs 20 apart along each row.
std::vector<Pair<int>> Corners() {
    std::vector<Pair<int>> v;
    for (int y = 100; y + kSide <= kH - 100; y += 200)
        for (int x = 100; x + kSide <= kW - 100; x += 20) v.push_back({x, y});
    return v;
}

void Fill(Buffer& b) {
    b.Alloc(Pair<int>{kW, kH});
    std::uint32_t v = 12345;
    for (int y = 0; y < kH; ++y) {
        Pixel* p = b.At(0, y);
        for (int x = 0; x < kW; ++x) p[x] = (v = v * 1664525u + 1013904223u) >> 8;
    }
}

void Clone(benchmark::State& state, bool cumulative) {
    Buffer image, snapshot, brush;
    Fill(image);
    Fill(snapshot);
    brush.Alloc(Pair<int>{kSide, kSide});
    brush.Box(brush.Area, kv::kBrushTransparent);
    kv::DrawDisc(brush, kRadius, 0x00FFFFFF);
    const std::vector<Pair<int>> corners = Corners();
    std::vector<Pixel> scratch;
    const Buffer& source = cumulative ? image : snapshot;
    for (auto _ : state) {
        for (Pair<int> c : corners)
            kv::CloneDab(image, image.Area, source, brush, c, kOffset, scratch);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * std::int64_t(corners.size()) * kSide * kSide);
}

void CloneSnapshot(benchmark::State& state) {
    Clone(state, false);
}
void CloneCumulative(benchmark::State& state) {
    Clone(state, true);
}

} // namespace

BENCHMARK(CloneSnapshot)->Name("CloneDab101/pixkit")->Unit(benchmark::kMillisecond);
BENCHMARK(CloneCumulative)->Name("CloneDab101Cumulative/pixkit")->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
