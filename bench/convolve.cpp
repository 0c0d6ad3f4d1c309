// Custom filter speed: a 5 x 5 kernel and the 3 x 3 box blur over a
// 4000 x 3000 image on one thread (run_all.sh sets PIXKIT_THREADS=1), in
// bands of 32 rows as the dialog runs them. Items are pixels.
// bench/peers/opencv_filter.py runs cv2.filter2D on the same image size and
// kernels.
#include "effects/convolve.h"
#include "kernel5x5.h"

#include <pixkit/buffer.h>

#include <benchmark/benchmark.h>

#include <random>

using namespace pixkit;

namespace {

constexpr int kWidth = 4000, kHeight = 3000, kBand = 32;

// The kernels the peer script uses too: Kernel5x5 and the initial box.
using benchpeer::Kernel5x5;

void Run(benchmark::State& state, const kv::FilterKernel& kernel) {
    Buffer src, dst;
    src.Alloc({kWidth, kHeight});
    dst.Alloc({kWidth, kHeight});
    std::mt19937 rng(1);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) *src.At(x, y) = rng() & 0xFFFFFF;
    const kv::Convolution conv(kernel);
    for (auto _ : state) {
        for (int top = 0; top < kHeight; top += kBand)
            conv.FilterBand(src, dst, src.Area, top, top + kBand - 1);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
}

void Convolve5x5(benchmark::State& state) {
    Run(state, Kernel5x5());
}
BENCHMARK(Convolve5x5)->Name("Convolve5x5/pixkit")->Unit(benchmark::kMillisecond);

void Convolve3x3(benchmark::State& state) {
    Run(state, kv::FilterKernel::Box());
}
BENCHMARK(Convolve3x3)->Name("Convolve3x3/pixkit")->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
