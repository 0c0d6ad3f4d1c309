// Playing a WMF of 2000 x 1500 pixels full of filled shapes: rectangles,
// rounded rectangles, ellipses, pies, chords and polygons under several
// brushes. The peer script bench/peers/libwmf_metafile.py times libwmf's
// wmf2gd drawing the same file, which this program writes beside its
// results as metafile_bench.wmf.
#include <pixkit/gfxfile.h>

#include <benchmark/benchmark.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <string>
#include <vector>

using namespace pixkit;

namespace {

constexpr int kW = 2000, kH = 1500;

using Bytes = std::vector<std::uint8_t>;

void Put16(Bytes& b, std::uint32_t v) {
    b.push_back(std::uint8_t(v));
    b.push_back(std::uint8_t(v >> 8));
}

void Rec(Bytes& b, std::uint16_t fn, std::initializer_list<int> words) {
    Put16(b, std::uint32_t(3 + words.size()));
    Put16(b, 0);
    Put16(b, fn);
    for (int w : words) Put16(b, std::uint32_t(w));
}

// A placeable metafile at 96 units per inch, so one unit is one pixel.
Bytes Picture() {
    Bytes rec;
    std::uint32_t r = 7;
    const auto next = [&r](int n) {
        r = r * 1664525u + 1013904223u;
        return int((r >> 8) % std::uint32_t(n));
    };
    for (int i = 0; i < 400; ++i) {
        const int colour = next(0xFFFFFF);
        Rec(rec, 0x02FC, {0, colour & 0xFFFF, colour >> 16, 0}); // brush in slot 0
        Rec(rec, 0x012D, {0});
        const int x = next(kW - 200), y = next(kH - 200), w = 40 + next(160), h = 40 + next(160);
        switch (i % 5) {
        case 0:
            Rec(rec, 0x041B, {y + h, x + w, y, x});
            break;
        case 1:
            Rec(rec, 0x061C, {h / 3, w / 3, y + h, x + w, y, x});
            break;
        case 2:
            Rec(rec, 0x0418, {y + h, x + w, y, x});
            break;
        case 3:
            Rec(rec, 0x081A, {y + h, x, y, x + w, y + h, x + w, y, x});
            break;
        default:
            Rec(rec, 0x0324, {3, x, y, x + w, y + h / 2, x + w / 3, y + h});
            break;
        }
        Rec(rec, 0x01F0, {0});
    }
    Bytes b;
    const std::uint32_t head[] = {0xCDD7, 0x9AC6, 0, 0, 0, kW, kH, 96, 0, 0};
    std::uint32_t sum = 0;
    for (std::uint32_t v : head) {
        Put16(b, v);
        sum ^= v;
    }
    Put16(b, sum);
    for (std::uint32_t v : {1u, 9u, 0x300u}) Put16(b, v);
    const std::uint32_t words = std::uint32_t(9 + rec.size() / 2 + 3);
    Put16(b, words & 0xFFFF);
    Put16(b, words >> 16);
    Put16(b, 1);
    Put16(b, 10);
    Put16(b, 0);
    Put16(b, 0);
    b.insert(b.end(), rec.begin(), rec.end());
    for (std::uint32_t v : {3u, 0u, 0u}) Put16(b, v);
    return b;
}

void WmfPlay(benchmark::State& state) {
    const Bytes file = Picture();
    // Beside the program, where the peer script finds it.
    const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
    std::ofstream(self.substr(0, self.rfind('/') + 1) + "metafile_bench.wmf", std::ios::binary)
        .write(reinterpret_cast<const char*>(file.data()), std::streamsize(file.size()));
    GFXFile& wmf = *GFXFile::GetDefaultFormat("x.wmf");
    for (auto _ : state) {
        TFixedMemoryStream s(file.data(), file.size());
        Buffer b;
        wmf.Load(b, &s, nullptr);
        benchmark::DoNotOptimize(b.Data);
    }
    state.SetItemsProcessed(state.iterations() * kW * kH);
}
BENCHMARK(WmfPlay)->Name("WmfPlayShapes_2000x1500/pixkit")->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
