// 24-bit BMP read and write of a 4000 x 3000 image in memory. The peer
// script bench/peers/pillow_bmp.py times Pillow on the same work.
#include <pixkit/gfxfile.h>

#include <benchmark/benchmark.h>

using namespace pixkit;

namespace {

constexpr int kW = 4000, kH = 3000;

GFXFile& Bmp() {
    return *GFXFile::GetDefaultFormat("x.bmp");
}

void Fill(Buffer& b) {
    b.Alloc({kW, kH});
    std::uint32_t r = 12345;
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) {
            r = r * 1664525u + 1013904223u;
            *b.At(x, y) = ((x * 255 / kW) << 16 | (y * 255 / kH) << 8) ^ (r >> 24);
        }
}

void BmpRead(benchmark::State& state) {
    Buffer src;
    Fill(src);
    TMemoryStream file;
    Bmp().Save(src, &file, nullptr, nullptr);
    for (auto _ : state) {
        TFixedMemoryStream s(file.Memory(), file.Bytes().size());
        Buffer b;
        Bmp().Load(b, &s, nullptr);
        benchmark::DoNotOptimize(b.Data);
    }
    state.SetItemsProcessed(state.iterations() * kW * kH);
}
BENCHMARK(BmpRead)->Name("BmpRead24_4000x3000/pixkit")->Unit(benchmark::kMillisecond);

void BmpWrite(benchmark::State& state) {
    Buffer src;
    Fill(src);
    for (auto _ : state) {
        TMemoryStream s;
        Bmp().Save(src, &s, nullptr, nullptr);
        benchmark::DoNotOptimize(s.Memory());
    }
    state.SetItemsProcessed(state.iterations() * kW * kH);
}
BENCHMARK(BmpWrite)->Name("BmpWrite24_4000x3000/pixkit")->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
