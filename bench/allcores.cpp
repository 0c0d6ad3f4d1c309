// Whole-image work on all cores against the same work on one thread, timed
// in wall-clock (CPU time says nothing about threads finishing sooner).
// The peers, OpenCV and vips on as many threads, are bench/peers/allcores.py;
// the cases match it: a 4000 x 3000 picture scaled to 2000 x 1500 (plain
// and supersampled) and to 8000 x 6000, and turned by 30 degrees, the
// 4000 x 3000 copy, the 5 x 5 convolution filter and a Filter Factory
// formula, both in bands as their dialogs run them (the kernel and
// formula of bench/convolve.cpp and bench/ffilter.cpp), and decoding the
// 4000 x 3000 JPEG files of bench/jpeg_bench.cpp (4:4:4, 4:2:0 and
// progressive 4:2:0). Items are target pixels, source pixels for the
// turn. pixkit_1thread is the same call limited to one thread, so pixkit's
// ratio over it is the gain from threads. The CPU column is that of all
// threads: on a busy machine, where wall-clock says little, twice the
// one-thread CPU time over it estimates the gain on two idle cores (memory
// stalls count as CPU time too).
#include "effects/bandrows.h"
#include "effects/convolve.h"
#include "effects/ffcompile.h"
#include "effects/ffthreads.h"
#include "kernel5x5.h"

#include <pixkit/buffer.h>
#include <pixkit/gfxfile.h>
#include <pixkit/threads.h>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

using namespace pixkit;

namespace {

constexpr int kW = 4000, kH = 3000;
constexpr double kAngle = M_PI / 6;
// The turned picture's bounding box and where its corners land in it.
const int kTurnW = int(std::ceil(kW * std::cos(kAngle) + kH * std::sin(kAngle)));
const int kTurnH = int(std::ceil(kW * std::sin(kAngle) + kH * std::cos(kAngle)));
const Pair<int> kTurnOffset{int(std::ceil(kH * std::sin(kAngle))), 0};
const Matrix2D kTurn{{std::cos(kAngle), std::sin(kAngle)}, {-std::sin(kAngle), std::cos(kAngle)}};

Buffer Picture(int w, int h, bool random) {
    Buffer b;
    b.Alloc({w, h});
    b.Box(b.Area, 0);
    if (!random) return b;
    std::mt19937 rng(1);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) *b.At(x, y) = rng() & 0x00FFFFFF;
    return b;
}

template <class Op> void Run(benchmark::State& state, int threads, Op op, std::int64_t items) {
    SetThreadCount(threads);
    for (auto _ : state) {
        op();
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * items);
    SetThreadCount(0);
}

void Scale(benchmark::State& state, int threads, int w, int h, int mode) {
    Buffer src = Picture(kW, kH, true), dst = Picture(w, h, false);
    Run(
        state, threads,
        [&] {
            dst.Scale(src, {w, h}, {0, 0}, NoKey, mode);
        },
        std::int64_t(w) * h);
}

void Turn(benchmark::State& state, int threads, int mode) {
    Buffer src = Picture(kW, kH, true), dst = Picture(kTurnW, kTurnH, false);
    Run(
        state, threads, [&] { dst.XFormLin(src, kTurn, kTurnOffset, NoKey, mode); },
        std::int64_t(kW) * kH);
}

void Copy(benchmark::State& state, int threads) {
    Buffer src = Picture(kW, kH, true), dst = Picture(kW, kH, false);
    Run(
        state, threads,
        [&] {
            dst.Copy(src, {0, 0}, NoKey);
        },
        std::int64_t(kW) * kH);
}

// Rows 0..kH-1 in bands as the effect dialogs run them: 32 rows first,
// then taller while bands take under a tenth of the dialogs' 50 ms input
// interval (kv::NextBandRows).
void InDialogBands(const std::function<void(int top, int bottom)>& band) {
    using Clock = std::chrono::steady_clock;
    Clock::time_point started = Clock::now();
    for (int top = 0, rows = 32; top < kH;) {
        const int bottom = std::min(top + rows, kH) - 1;
        band(top, bottom);
        top = bottom + 1;
        const Clock::time_point now = Clock::now();
        rows = kv::NextBandRows(
            rows, std::chrono::duration_cast<std::chrono::milliseconds>(now - started).count(), 50);
        started = now;
    }
}

void Convolve(benchmark::State& state, int threads) {
    Buffer src = Picture(kW, kH, true), dst = Picture(kW, kH, false);
    const kv::Convolution conv(benchpeer::Kernel5x5());
    Run(
        state, threads,
        [&] {
            InDialogBands(
                [&](int top, int bottom) { conv.FilterBand(src, dst, src.Area, top, bottom); });
        },
        std::int64_t(kW) * kH);
}

void Formula(benchmark::State& state, int threads) {
    Buffer src = Picture(kW, kH, true), dst = Picture(kW, kH, false);
    kv::ff::Channels programs;
    for (int c = 0; c < 3; ++c)
        programs[std::size_t(c)] = kv::ff::Compile("src(x+ctl(0)-128,y,z)*3/4+(i>>2)", c).Code;
    const kv::ff::Sliders sliders{138};
    Run(
        state, threads,
        [&] {
            kv::ff::FilterStep step(programs, sliders, src.Data, src.Pitch, kW, kH,
                                    {dst.Data, dst.Pitch});
            InDialogBands([&](int top, int bottom) { kv::ff::RowsOnThreads(step, top, bottom); });
        },
        std::int64_t(kW) * kH);
}

// What this machine gives a second thread at all, for reading the ratios
// above: MachineFill writes 192 MB (the size of ScaleUp's target) with
// memset in one band per thread, MachineCompute runs a multiply chain that
// touches no memory, both split by ForRows like the real work. A fill that
// gains little from two threads means memory, not pixkit, sets the limit
// for ScaleUp and Copy; a compute chain that gains little means the two
// processors are not two free cores at that moment.
void MachineFill(benchmark::State& state, int threads) {
    constexpr int kRows = 6000;
    constexpr std::size_t kRow = 8000 * 4;
    std::vector<unsigned char> target(kRows * kRow, 1);
    Run(
        state, threads,
        [&] {
            ForRows(kRows, std::int64_t(kRows) * 8000, [&](int first, int last) {
                std::memset(&target[std::size_t(first) * kRow], first & 255,
                            std::size_t(last - first) * kRow);
            });
        },
        std::int64_t(kRows) * 8000);
}

void MachineCompute(benchmark::State& state, int threads) {
    constexpr int kRows = 3000;
    std::vector<std::uint64_t> sums(kRows);
    Run(
        state, threads,
        [&] {
            ForRows(kRows, std::int64_t(kRows) * 4000, [&](int first, int last) {
                for (int r = first; r < last; ++r) {
                    std::uint64_t x = std::uint64_t(r);
                    for (int i = 0; i < 4000; ++i)
                        x = x * 6364136223846793005u + 1442695040888963407u;
                    sums[std::size_t(r)] = x;
                }
            });
            benchmark::DoNotOptimize(sums.data());
        },
        std::int64_t(kRows) * 4000);
}

// Fourteen independent chains of vector multiply-adds, touching no memory:
// bound by the processor's vector units, where MachineCompute's single
// chain waits on each result and leaves them idle. Two processors that are
// two hardware threads of one core share those units: this then gains
// little from a second thread while MachineCompute still gains twice, and
// vector-heavy work (the JPEG transforms and colour conversion, the
// convolution) can gain no more than this does.
void MachineVector(benchmark::State& state, int threads) {
    using V = float __attribute__((vector_size(16)));
    constexpr int kRows = 3000, kChains = 14;
    std::vector<float> sums(kRows);
    Run(
        state, threads,
        [&] {
            ForRows(kRows, std::int64_t(kRows) * 4000, [&](int first, int last) {
                const V m = V{} + 0.999f, c = V{} + 0.5f;
                for (int r = first; r < last; ++r) {
                    V a[kChains];
                    for (int k = 0; k < kChains; ++k) a[k] = V{} + float(r + k);
                    for (int i = 0; i < 500; ++i)
                        for (V& v : a) v = v * m + c;
                    V sum = V{};
                    for (const V& v : a) sum += v;
                    sums[std::size_t(r)] = sum[0] + sum[1] + sum[2] + sum[3];
                }
            });
            benchmark::DoNotOptimize(sums.data());
        },
        std::int64_t(kRows) * 4000);
}

// A file jpeg_bench writes beside this program when it runs a case (one
// short case is run first when the files are missing); empty without
// cjpeg.
std::vector<std::uint8_t> JpegFile(const std::string& name) {
    namespace fs = std::filesystem;
    const fs::path dir = fs::read_symlink("/proc/self/exe").parent_path();
    if (!fs::exists(dir / "jpeg_420d.jpg")) [[maybe_unused]]
        const int rc = std::system(
            ((dir / "jpeg_bench").string() +
             " --benchmark_filter=jpeg_decode_444/pixkit --benchmark_min_time=0.01 >/dev/null")
                .c_str());
    std::ifstream in(dir / name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void JpegDecode(benchmark::State& state, int threads, const char* name) {
    const std::vector<std::uint8_t> file = JpegFile(name);
    if (file.empty()) {
        state.SkipWithError("no JPEG files (cjpeg is not installed)");
        return;
    }
    GFXFile* jpeg = GFXFile::GetDefaultFormat("x.jpg");
    Buffer dst = Picture(kW, kH, false);
    Run(
        state, threads,
        [&] {
            TFixedMemoryStream s(file.data(), file.size());
            jpeg->Load(dst, &s, nullptr);
        },
        std::int64_t(kW) * kH);
}

// Both thread counts of one case, under the names the peers use.
#define ALL_CORES(fn, name, ...)                                                                   \
    BENCHMARK_CAPTURE(fn, all, 0, ##__VA_ARGS__)                                                   \
        ->Name("AllCores/" name "/pixkit")                                                         \
        ->UseRealTime()                                                                            \
        ->MeasureProcessCPUTime()                                                                  \
        ->Unit(benchmark::kMillisecond);                                                           \
    BENCHMARK_CAPTURE(fn, one, 1, ##__VA_ARGS__)                                                   \
        ->Name("AllCores/" name "/pixkit_1thread")                                                 \
        ->UseRealTime()                                                                            \
        ->Unit(benchmark::kMillisecond)

ALL_CORES(Scale, "ScaleDown", 2000, 1500, 0);
ALL_CORES(Scale, "ScaleDownSS", 2000, 1500, 1);
ALL_CORES(Scale, "ScaleUp", 8000, 6000, 0);
ALL_CORES(Turn, "Rotate30", 0);
ALL_CORES(Turn, "Rotate30SS", 1);
ALL_CORES(Copy, "Copy");
ALL_CORES(Convolve, "Convolve5x5");
ALL_CORES(Formula, "FFShiftMix");
ALL_CORES(MachineFill, "MachineFill");
ALL_CORES(MachineCompute, "MachineCompute");
ALL_CORES(MachineVector, "MachineVector");
ALL_CORES(JpegDecode, "JpegDecode444", "jpeg_444.jpg");
ALL_CORES(JpegDecode, "JpegDecode420", "jpeg_420.jpg");
ALL_CORES(JpegDecode, "JpegDecode420p", "jpeg_420p.jpg");
ALL_CORES(JpegDecode, "JpegDecode420d", "jpeg_420d.jpg");

} // namespace

BENCHMARK_MAIN();
