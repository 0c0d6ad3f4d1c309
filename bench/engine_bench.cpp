// Compositing and geometry throughput against peers measured in the same
// program: memcpy for copies, pixman for scaling and affine transforms (the
// OpenCV peer is bench/peers/opencv_xform.py). Items are target pixels for
// copies and scaling, source pixels for the rotation. Run it with
// PIXKIT_THREADS=1 (run_all.sh does), as Google Benchmark's CPU time counts
// the main thread only; bench/allcores.cpp measures all cores.
#include <pixkit/buffer.h>

#include "pixman_scale.h"

#include <benchmark/benchmark.h>
#include <pixman.h>

#include <cmath>
#include <cstring>
#include <random>

using namespace pixkit;

namespace {

constexpr int kW = 4000, kH = 3000;
constexpr int kRot = 2000;       // rotated square source
constexpr int kRotTarget = 2733; // holds it turned by 30 degrees
constexpr double kAngle = M_PI / 6;

void FillRandom(Buffer& b, std::uint32_t seed) {
    std::mt19937 rng(seed);
    for (int y = 0; y < b.Height(); ++y)
        for (int x = 0; x < b.Width(); ++x) *b.At(x, y) = rng() & 0x00FFFFFF;
}

Buffer MakeSource(int w, int h) {
    Buffer b;
    b.Alloc({w, h});
    FillRandom(b, 1);
    return b;
}

Buffer MakeTarget(int w, int h) {
    Buffer b;
    b.Alloc({w, h});
    b.Box(b.Area, 0);
    return b;
}

using benchpeer::Wrap;

// ---- Copy -----------------------------------------------------------------

void CopyPlain(benchmark::State& state) {
    Buffer src = MakeSource(kW, kH), dst = MakeTarget(kW, kH);
    for (auto _ : state) {
        dst.Copy(src, {0, 0}, NoKey);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kW * kH);
}
BENCHMARK(CopyPlain)->Name("Copy4000x3000/pixkit")->Unit(benchmark::kMillisecond);

void CopyMemcpy(benchmark::State& state) {
    Buffer src = MakeSource(kW, kH), dst = MakeTarget(kW, kH);
    for (auto _ : state) {
        for (int y = 0; y < kH; ++y)
            std::memcpy(dst.At(0, y), src.At(0, y), std::size_t(kW) * sizeof(Pixel));
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kW * kH);
}
BENCHMARK(CopyMemcpy)->Name("Copy4000x3000/memcpy")->Unit(benchmark::kMillisecond);
BENCHMARK(CopyMemcpy)->Name("CopyKeyed4000x3000/memcpy")->Unit(benchmark::kMillisecond);

// Half the source pixels, at random, are the key.
void CopyKeyed(benchmark::State& state) {
    Buffer src = MakeSource(kW, kH), dst = MakeTarget(kW, kH);
    std::mt19937 rng(5);
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x)
            if (rng() & 1) *src.At(x, y) = TransparentMarker;
    for (auto _ : state) {
        dst.Copy(src, {0, 0}, TransparentMarker);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kW * kH);
}
BENCHMARK(CopyKeyed)->Name("CopyKeyed4000x3000/pixkit")->Unit(benchmark::kMillisecond);

// ---- Scale ----------------------------------------------------------------

void ScalePixkit(benchmark::State& state, int w, int h, int mode) {
    Buffer src = MakeSource(kW, kH), dst = MakeTarget(w, h);
    for (auto _ : state) {
        dst.Scale(src, {w, h}, {0, 0}, NoKey, mode);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * std::int64_t(w) * h);
}

void ScalePixman(benchmark::State& state, int w, int h, pixman_filter_t filter) {
    Buffer src = MakeSource(kW, kH), dst = MakeTarget(w, h);
    benchpeer::PixmanScale(state, src, dst, filter, std::int64_t(w) * h);
}

BENCHMARK_CAPTURE(ScalePixkit, down, 2000, 1500, 0)
    ->Name("ScaleDown/pixkit")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ScalePixman, down, 2000, 1500, PIXMAN_FILTER_NEAREST)
    ->Name("ScaleDown/pixman_nearest")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ScalePixkit, downSS, 2000, 1500, 1)
    ->Name("ScaleDownSS/pixkit")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ScalePixman, downSS, 2000, 1500, PIXMAN_FILTER_BILINEAR)
    ->Name("ScaleDownSS/pixman_bilinear")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ScalePixkit, up, 8000, 6000, 0)
    ->Name("ScaleUp/pixkit")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ScalePixman, up, 8000, 6000, PIXMAN_FILTER_NEAREST)
    ->Name("ScaleUp/pixman_nearest")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ScalePixkit, upSS, 8000, 6000, 1)
    ->Name("ScaleUpSS/pixkit")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ScalePixman, upSS, 8000, 6000, PIXMAN_FILTER_BILINEAR)
    ->Name("ScaleUpSS/pixman_bilinear")
    ->Unit(benchmark::kMillisecond);

// ---- Rotation -------------------------------------------------------------

const Matrix2D kRotation{{std::cos(kAngle), std::sin(kAngle)},
                         {-std::sin(kAngle), std::cos(kAngle)}};
// Moves the turned square into the target: its leftmost corner is the
// source's bottom-left, 2000 * sin(30) = 1000 left of the origin.
constexpr Pair<int> kRotOffset{1000, 0};

void RotatePixkit(benchmark::State& state, int mode) {
    Buffer src = MakeSource(kRot, kRot), dst = MakeTarget(kRotTarget, kRotTarget);
    for (auto _ : state) {
        dst.XFormLin(src, kRotation, kRotOffset, NoKey, mode);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kRot * kRot);
}

void RotatePixman(benchmark::State& state, pixman_filter_t filter) {
    Buffer src = MakeSource(kRot, kRot), dst = MakeTarget(kRotTarget, kRotTarget);
    pixman_image_t* s = Wrap(src);
    pixman_image_t* d = Wrap(dst);
    // pixman maps target positions back to the source: the inverse rotation
    // after undoing the offset.
    const double c = std::cos(kAngle), sn = std::sin(kAngle);
    pixman_transform_t t;
    pixman_transform_init_identity(&t);
    const double m[2][3] = {{c, sn, -(c * kRotOffset.x + sn * kRotOffset.y)},
                            {-sn, c, -(-sn * kRotOffset.x + c * kRotOffset.y)}};
    for (int r = 0; r < 2; ++r)
        for (int k = 0; k < 3; ++k) t.matrix[r][k] = pixman_double_to_fixed(m[r][k]);
    pixman_image_set_transform(s, &t);
    pixman_image_set_filter(s, filter, nullptr, 0);
    for (auto _ : state) {
        pixman_image_composite32(PIXMAN_OP_SRC, s, nullptr, d, 0, 0, 0, 0, 0, 0, kRotTarget,
                                 kRotTarget);
        benchmark::ClobberMemory();
    }
    pixman_image_unref(s);
    pixman_image_unref(d);
    state.SetItemsProcessed(state.iterations() * kRot * kRot);
}

BENCHMARK_CAPTURE(RotatePixkit, plain, 0)->Name("Rotate30/pixkit")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(RotatePixman, nearest, PIXMAN_FILTER_NEAREST)
    ->Name("Rotate30/pixman_nearest")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(RotatePixkit, super, 1)->Name("Rotate30SS/pixkit")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(RotatePixman, bilinear, PIXMAN_FILTER_BILINEAR)
    ->Name("Rotate30SS/pixman_bilinear")
    ->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
