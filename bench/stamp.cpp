// Stamping speed: a 21 x 21 round brush stamped at every pixel of a
// 4000-pixel line, against moving the same pixels with one keyed Copy (the
// disc tiled 4000 times) in the same run. Items are brush pixels; the
// "stamps" counter gives stamps per second.
#include "paint/brush.h"
#include "paint/stamper.h"

#include <pixkit/buffer.h>

#include <benchmark/benchmark.h>

using namespace pixkit;

namespace {

constexpr int kLength = 4000, kRadius = 10, kSide = 2 * kRadius + 1;

class Surface : public kv::PaintSurface {
  public:
    Surface() {
        image.Alloc({kLength + 2 * kSide, 3 * kSide});
        image.Box(image.Area, 0x00202020);
    }
    Buffer& Image() override { return image; }
    Buffer& ClipView() override { return image; }
    void Invalidate(Rect) override {}
    Buffer image;
};

void StrokeRound(benchmark::State& state) {
    kv::BrushState brush;
    brush.Settings.Radius = kRadius;
    brush.MakeRoundBrush(0x00FF8000);
    Surface s;
    kv::Stamper stamper(brush, s);
    for (auto _ : state) {
        stamper.StrokeLine({kSide, kSide + 5}, {kSide + kLength - 1, kSide + 20}, 1, 1);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kLength * kSide * kSide);
    state.counters["stamps"] =
        benchmark::Counter(double(state.iterations()) * kLength, benchmark::Counter::kIsRate);
}
BENCHMARK(StrokeRound)->Name("Stamp21Round4000/pixkit")->Unit(benchmark::kMillisecond);

void KeyedCopy(benchmark::State& state) {
    Buffer disc;
    disc.Alloc({kSide, kSide});
    disc.Box(disc.Area, kv::kBrushTransparent);
    kv::DrawDisc(disc, kRadius, 0x00FF8000);
    Buffer tiles;
    tiles.Alloc({kSide, kSide * kLength});
    for (int i = 0; i < kLength; ++i) tiles.Copy(disc, {0, i * kSide}, kv::kCopyAll);
    Buffer target;
    target.Alloc({kSide + 8, kSide * kLength + 8});
    target.Box(target.Area, 0x00202020);
    for (auto _ : state) {
        target.Copy(tiles, {3, 3}, kv::kBrushTransparent);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kLength * kSide * kSide);
    state.counters["stamps"] =
        benchmark::Counter(double(state.iterations()) * kLength, benchmark::Counter::kIsRate);
}
BENCHMARK(KeyedCopy)->Name("Stamp21Round4000/keyedcopy")->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
