// PCX and IFF/ILBM throughput on a 4000 x 3000 picture: decoding and
// encoding true colour (PCX 8 bits x 3 planes, ILBM 24 planes) and
// decoding an 8-plane colour-mapped ILBM. Items are pixels. The input files
// are left in bench/planar-data/ beside this program for
// bench/peers/planar.py, which times Pillow and netpbm on the same files.
#include <pixkit/gfxfile.h>

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

using namespace pixkit;

namespace {

constexpr int kW = 4000, kH = 3000;

std::filesystem::path DataDir() {
    const auto dir = std::filesystem::read_symlink("/proc/self/exe").parent_path() / "planar-data";
    std::filesystem::create_directories(dir);
    return dir;
}

// A photograph-like picture: smooth gradients with a little noise in the
// low bits, and flat areas. colours > 0 folds it onto that many levels of
// grey-blue.
void Picture(Buffer& b, int colours) {
    b.Alloc({kW, kH});
    std::uint32_t r = 12345;
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) {
            r = r * 1664525u + 1013904223u;
            const bool flat = (x / 500 + y / 400) % 3 == 0;
            const std::uint32_t noise = flat ? 0 : (r >> 29);
            Pixel p = (((x * 255 / kW) ^ noise) << 16) | (((y * 255 / kH) + noise) & 255) << 8 |
                      (((x + y) / 16 + noise) & 255);
            if (colours > 0) {
                const Pixel v = (x * 7 + y * 3 + noise) / 16 % colours;
                p = (v << 16) | (v << 8) | (255 - v);
            }
            *b.At(x, y) = flat ? 0x406080 : p;
        }
}

void WritePpm(const Buffer& b, const std::string& path) {
    std::ofstream out(path, std::ios::binary);
    out << "P6\n" << kW << " " << kH << "\n255\n";
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) {
            const Pixel p = *b.At(x, y);
            const char rgb[3] = {char(p >> 16), char(p >> 8), char(p)};
            out.write(rgb, 3);
        }
}

// The files every case reads: written once per run.
struct Inputs {
    std::string pcx24, ilbm24, ilbm8;
    Inputs() {
        const auto dir = DataDir();
        Buffer b;
        Picture(b, 0);
        pcx24 = (dir / "true.pcx").string();
        ilbm24 = (dir / "true.iff").string();
        GFXFile::Save(b, pcx24, nullptr, nullptr);
        GFXFile::Save(b, ilbm24, nullptr, nullptr);
        WritePpm(b, (dir / "true.ppm").string());
        Buffer m;
        Picture(m, 256);
        const std::string ppm = (dir / "mapped.ppm").string();
        WritePpm(m, ppm);
        ilbm8 = (dir / "mapped.iff").string();
        if (std::system(
                ("ppmtoilbm -fixplanes 8 '" + ppm + "' > '" + ilbm8 + "' 2>/dev/null").c_str()) !=
            0)
            ilbm8.clear();
    }
};

const Inputs& Files() {
    static const Inputs inputs;
    return inputs;
}

void Decode(benchmark::State& state, const std::string& path) {
    if (path.empty()) {
        state.SkipWithError("input file missing (netpbm not installed?)");
        return;
    }
    TMemoryStream m;
    m.LoadFromFile(path);
    GFXFile* format = GFXFile::GetDefaultFormat(path);
    for (auto _ : state) {
        Buffer b;
        m.SetPosition(0);
        format->Load(b, &m, nullptr);
        benchmark::DoNotOptimize(b.Data);
    }
    state.SetItemsProcessed(state.iterations() * std::int64_t(kW) * kH);
}

void Encode(benchmark::State& state, const char* name) {
    Buffer b;
    Picture(b, 0);
    GFXFile* format = GFXFile::GetDefaultFormat(name);
    for (auto _ : state) {
        TMemoryStream m;
        format->Save(b, &m, nullptr, nullptr);
        benchmark::DoNotOptimize(m.Memory());
    }
    state.SetItemsProcessed(state.iterations() * std::int64_t(kW) * kH);
}

void PcxDecode(benchmark::State& state) {
    Decode(state, Files().pcx24);
}
void IlbmDecode(benchmark::State& state) {
    Decode(state, Files().ilbm24);
}
void IlbmMappedDecode(benchmark::State& state) {
    Decode(state, Files().ilbm8);
}
void PcxEncode(benchmark::State& state) {
    Encode(state, "x.pcx");
}
void IlbmEncode(benchmark::State& state) {
    Encode(state, "x.iff");
}

} // namespace

BENCHMARK(PcxDecode)->Name("PcxDecode24/pixkit")->Unit(benchmark::kMillisecond);
BENCHMARK(PcxEncode)->Name("PcxEncode24/pixkit")->Unit(benchmark::kMillisecond);
BENCHMARK(IlbmDecode)->Name("IlbmDecode24/pixkit")->Unit(benchmark::kMillisecond);
BENCHMARK(IlbmMappedDecode)->Name("IlbmDecode8/pixkit")->Unit(benchmark::kMillisecond);
BENCHMARK(IlbmEncode)->Name("IlbmEncode24/pixkit")->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
