// Filter Factory speed: the filter step over a 4000 x 3000 image on one
// thread, in bands of 32 rows as the dialog runs them. Items are pixels.
// The formulas are "255-c" and "src(x+ctl(0)-128,y,z)*3/4+(i>>2)" with
// ctl(0) = 138; bench/peers/magick_fx.py runs ImageMagick's -fx with the
// same formulas written in its own language.
#include "effects/ffilter.h"

#include <benchmark/benchmark.h>

#include <random>
#include <string>
#include <vector>

namespace {

constexpr int kWidth = 4000, kHeight = 3000, kBand = 32;

void Run(benchmark::State& state, const std::string& formula) {
    std::vector<std::uint32_t> src(std::size_t(kWidth) * kHeight), dst(src.size());
    std::mt19937 rng(1);
    for (std::uint32_t& p : src) p = rng() & 0xFFFFFF;
    kv::ff::Channels programs;
    for (int c = 0; c < 3; ++c) {
        const kv::ff::Compiled compiled = kv::ff::Compile(formula, c);
        if (!compiled.Ok) state.SkipWithError("the formula does not compile");
        programs[std::size_t(c)] = compiled.Code;
    }
    const kv::ff::Sliders sliders{138};
    for (auto _ : state) {
        kv::ff::FilterStep step(programs, sliders, src.data(), kWidth, kWidth, kHeight,
                                {dst.data(), kWidth});
        for (int top = 0; top < kHeight; top += kBand) step.Rows(top, top + kBand - 1);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
}

void Invert(benchmark::State& state) {
    Run(state, "255-c");
}
BENCHMARK(Invert)->Name("FFInvert/pixkit")->Unit(benchmark::kMillisecond);

void ShiftMix(benchmark::State& state) {
    Run(state, "src(x+ctl(0)-128,y,z)*3/4+(i>>2)");
}
BENCHMARK(ShiftMix)->Name("FFShiftMix/pixkit")->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
