// PNG decode and encode of a 4000 x 3000 photo-like picture, in memory. The
// encoded file is left in bench/png_source.png, where the peer
// (bench/peers/pillow_png.py) decodes the same file and encodes its pixels.
#include <pixkit/gfxfile.h>

#include <benchmark/benchmark.h>

#include <cmath>
#include <filesystem>
#include <fstream>

using namespace pixkit;
namespace fs = std::filesystem;

namespace {

constexpr int kW = 4000, kH = 3000;

GFXFile& Png() {
    return *GFXFile::GetDefaultFormat("x.png");
}

// Smooth shading with a little noise: more than 256 colours, so the file
// is 8-bit RGB as a photo's would be.
struct Inputs {
    Buffer Photo;
    TMemoryStream File;
    Inputs() {
        Photo.Alloc({kW, kH});
        std::uint32_t r = 12345;
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x) {
                r = r * 1664525u + 1013904223u;
                const int n = int(r >> 30);
                const int red = int(120 + 100 * std::sin(x * 0.0015 + y * 0.001)) + n;
                const int green = int(110 + 90 * std::cos(y * 0.0017 - x * 0.001)) + n;
                const int blue = (x / 40 + y / 30) % 7 == 0 ? 200 : 90 + n;
                *Photo.At(x, y) = Pixel(red) << 16 | Pixel(green) << 8 | Pixel(blue);
            }
        Png().Save(Photo, &File, nullptr, nullptr);
        const fs::path dir = fs::read_symlink("/proc/self/exe").parent_path();
        std::ofstream(dir / "png_source.png", std::ios::binary)
            .write(reinterpret_cast<const char*>(File.Memory()),
                   std::streamsize(File.Bytes().size()));
    }
};

Inputs& Data() {
    static Inputs inputs;
    return inputs;
}

void PngDecode(benchmark::State& state) {
    TMemoryStream& file = Data().File;
    for (auto _ : state) {
        TFixedMemoryStream s(file.Memory(), file.Bytes().size());
        Buffer b;
        Png().Load(b, &s, nullptr);
        benchmark::DoNotOptimize(b.Data);
    }
    state.SetItemsProcessed(state.iterations() * kW * kH);
}
BENCHMARK(PngDecode)->Name("png_decode_4000x3000/pixkit")->Unit(benchmark::kMillisecond);

void PngEncode(benchmark::State& state) {
    Buffer& photo = Data().Photo;
    for (auto _ : state) {
        TMemoryStream s;
        Png().Save(photo, &s, nullptr, nullptr);
        benchmark::DoNotOptimize(s.Memory());
    }
    state.SetItemsProcessed(state.iterations() * kW * kH);
}
BENCHMARK(PngEncode)->Name("png_encode_4000x3000/pixkit")->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
