// GIF speed: quantise and write a 1000 x 1000 photo-like image in memory,
// and decode a 2000 x 2000 GIF written by Pillow. peers/pillow_gif.py times
// Pillow, giflib and ImageMagick on the same images; items are pixels.
#include <pixkit/gfxfile.h>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

using namespace pixkit;

namespace {

// The photo-like test image; peers/pillow_gif.py computes the same pixels.
Pixel PhotoLike(int x, int y, int w, int h) {
    const int r = (x * 200 / w + ((x ^ y) & 15)) & 255;
    const int g = (y * 200 / h + ((x * 3 + y) & 15)) & 255;
    const int b = ((x + y) * 100 / (w + h) + (((x * y) >> 4) & 31)) & 255;
    return (Pixel(r) << 16) | (Pixel(g) << 8) | Pixel(b);
}

void Fill(Buffer& b, int w, int h) {
    b.Alloc({w, h});
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) *b.At(x, y) = PhotoLike(x, y, w, h);
}

GFXFile* Gif() {
    return GFXFile::GetDefaultFormat("bench.gif");
}

void Encode(benchmark::State& state) {
    Buffer image, work;
    Fill(image, 1000, 1000);
    TMemoryStream m;
    for (auto _ : state) {
        m.Clear();
        Gif()->Save(image, &m, nullptr, &work);
        benchmark::DoNotOptimize(m.Memory());
    }
    state.SetItemsProcessed(state.iterations() * 1000 * 1000);
}
BENCHMARK(Encode)->Name("GifEncode1000x1000/pixkit")->Unit(benchmark::kMillisecond);

// The decode input, written by Pillow beside this program (the peer
// script writes the same file the same way when it is missing).
std::string DecodeInput() {
    const auto dir = std::filesystem::canonical("/proc/self/exe").parent_path();
    const std::string path = (dir / "gif_decode_2000.gif").string();
    if (!std::filesystem::exists(path)) {
        const std::string peer =
            std::string(VM_BENCH_SOURCES) + "/peers/pillow_gif.py";
        const std::string cmd = "/usr/bin/python3 '" + peer + "' --make-input '" + path + "'";
        if (std::system(cmd.c_str()) != 0) return {};
    }
    return path;
}

void Decode(benchmark::State& state) {
    const std::string path = DecodeInput();
    TMemoryStream m;
    try {
        m.LoadFromFile(path);
    } catch (const EStreamError&) {
        state.SkipWithError("no decode input (Pillow missing?)");
        return;
    }
    Buffer b;
    b.Alloc({2000, 2000});
    for (auto _ : state) {
        Gif()->Load(b, &m, nullptr);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * 2000 * 2000);
}
BENCHMARK(Decode)->Name("GifDecode2000x2000/pixkit")->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
