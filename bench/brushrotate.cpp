// Turning the brush: the whole any-angle turn of a round 2000 x 2000 brush
// (allocation, fill, transform and, anti-aliased, the background change)
// against pixman's affine transform into the same 2732 x 2732 target; the
// quarter turn of a 4000 x 3000 brush; and one step of the live preview
// (put the image back, save it, turn a 1000 x 1000 brush into it). The
// OpenCV peer is bench/peers/opencv_brushrotate.py. Items are source
// pixels.
#include "brushops/rotate.h"
#include "brushops/savedarea.h"

#include <benchmark/benchmark.h>
#include <pixman.h>

#include <cmath>
#include <random>

using namespace pixkit;

namespace {

constexpr int kRound = 2000;
constexpr double kAngle = M_PI / 6;
constexpr int kTarget = 2732; // RotatedSize of the round brush at 30 degrees
constexpr Pixel kBack = 0x00102030;

void FillRandom(Buffer& b, std::uint32_t seed) {
    std::mt19937 rng(seed);
    for (int y = 0; y < b.Height(); ++y)
        for (int x = 0; x < b.Width(); ++x) *b.At(x, y) = rng() & 0x00FFFFFF;
}

// A disc of random colours on transparent corners.
Buffer RoundBrush(int d) {
    Buffer b;
    b.Alloc({d, d});
    FillRandom(b, 1);
    const double r = d / 2.0;
    for (int y = 0; y < d; ++y)
        for (int x = 0; x < d; ++x)
            if (std::hypot(x + 0.5 - r, y + 0.5 - r) > r) *b.At(x, y) = kv::kBrushTransparent;
    return b;
}

void TurnPixkit(benchmark::State& state, int mode) {
    Buffer src = RoundBrush(kRound);
    for (auto _ : state) {
        // A view: the turn replaces it by the result and leaves src alone.
        Buffer brush(src, src.Area, false);
        kv::RotateBrushBy(brush, kAngle, kBack, mode);
        benchmark::DoNotOptimize(brush.Data);
    }
    state.SetItemsProcessed(state.iterations() * kRound * kRound);
}

pixman_image_t* Wrap(Buffer& b) {
    return pixman_image_create_bits(PIXMAN_x8r8g8b8, b.Width(), b.Height(),
                                    reinterpret_cast<std::uint32_t*>(b.Data), b.Pitch * 4);
}

void TurnPixman(benchmark::State& state, pixman_filter_t filter) {
    Buffer src = RoundBrush(kRound), dst;
    dst.Alloc({kTarget, kTarget});
    dst.Box(dst.Area, 0);
    pixman_image_t* s = Wrap(src);
    pixman_image_t* d = Wrap(dst);
    // Target positions back to the source: around the target's centre, the
    // inverse turn, then onto the source's centre.
    const double c = std::cos(kAngle), sn = std::sin(kAngle);
    const double tc = kTarget >> 1, sc = kRound >> 1;
    const double m[2][3] = {{c, -sn, sc - c * tc + sn * tc}, {sn, c, sc - sn * tc - c * tc}};
    pixman_transform_t t;
    pixman_transform_init_identity(&t);
    for (int r = 0; r < 2; ++r)
        for (int k = 0; k < 3; ++k) t.matrix[r][k] = pixman_double_to_fixed(m[r][k]);
    pixman_image_set_transform(s, &t);
    pixman_image_set_filter(s, filter, nullptr, 0);
    for (auto _ : state) {
        pixman_image_composite32(PIXMAN_OP_SRC, s, nullptr, d, 0, 0, 0, 0, 0, 0, kTarget, kTarget);
        benchmark::ClobberMemory();
    }
    pixman_image_unref(s);
    pixman_image_unref(d);
    state.SetItemsProcessed(state.iterations() * kRound * kRound);
}

BENCHMARK_CAPTURE(TurnPixkit, plain, 0)->Name("BrushTurn30/pixkit")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(TurnPixman, nearest, PIXMAN_FILTER_NEAREST)
    ->Name("BrushTurn30/pixman_nearest")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(TurnPixkit, super, 1)
    ->Name("BrushTurn30SS/pixkit")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(TurnPixman, bilinear, PIXMAN_FILTER_BILINEAR)
    ->Name("BrushTurn30SS/pixman_bilinear")
    ->Unit(benchmark::kMillisecond);

void QuarterTurn(benchmark::State& state) {
    Buffer src;
    src.Alloc({4000, 3000});
    FillRandom(src, 2);
    for (auto _ : state) {
        Buffer brush(src, src.Area, false);
        kv::Rotate90(brush);
        benchmark::DoNotOptimize(brush.Data);
    }
    state.SetItemsProcessed(state.iterations() * 4000 * 3000);
}
BENCHMARK(QuarterTurn)->Name("BrushQuarterTurn/pixkit")->Unit(benchmark::kMillisecond);

// The image of the preview: it has no window to repaint.
class Surface : public kv::PaintSurface {
  public:
    Buffer image;
    Buffer& Image() override { return image; }
    Buffer& ClipView() override { return image; }
    void Invalidate(Rect) override {}
};

void PreviewStep(benchmark::State& state) {
    Surface surface;
    surface.image.Alloc({4000, 3000});
    FillRandom(surface.image, 3);
    Buffer painting = RoundBrush(1000);
    const Matrix2D m = kv::RotationMatrix(kAngle);
    const Pair<int> size = kv::RotatedSize({1000, 1000}, kAngle);
    const Pair<int> c{2000, 1500};
    const Rect r{c.x - (size.x >> 1) - 2, c.y - (size.y >> 1) - 2, c.x + (size.x >> 1) + 2,
                 c.y + (size.y >> 1) + 2};
    kv::SavedArea saved;
    for (auto _ : state) {
        saved.PutBack(surface);
        saved.Save(surface, r);
        kv::XFormCentred(surface.image, painting, m, c, kv::kBrushTransparent, 0);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * 1000 * 1000);
}
BENCHMARK(PreviewStep)->Name("BrushTurnPreview/pixkit")->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
