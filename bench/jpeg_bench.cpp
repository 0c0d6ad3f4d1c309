// JPEG decode and encode of a 4000 x 3000 photo-like picture, in memory.
// The decoded files are written by cjpeg (quality 75, 4:4:4, 4:2:0 and
// 4:2:0 progressive; and a detailed version of the picture, as a camera's
// file is, at quality 90, 4:2:0), so the peer (bench/peers/tjbench.py)
// decodes exactly the same data; the picture itself is left in
// bench/jpeg_source.ppm for the peer's encoder.
// Rates are per wall-clock second, as tjbench measures them.
#include <pixkit/gfxfile.h>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

using namespace pixkit;
namespace fs = std::filesystem;

namespace {

constexpr int kW = 4000, kH = 3000;

fs::path BenchDir() {
    return fs::read_symlink("/proc/self/exe").parent_path();
}

// Smooth shading, a few hard edges and sensor-like noise of noiseBits: the
// mix of flat and busy blocks of an ordinary photograph (3 bits), or the
// texture everywhere of a detailed one (6 bits).
void MakePhoto(Buffer& b, int noiseBits) {
    b.Alloc({kW, kH});
    std::uint32_t state = 12345;
    for (int y = 0; y < kH; ++y) {
        Pixel* row = b.At(0, y);
        for (int x = 0; x < kW; ++x) {
            state = state * 1664525u + 1013904223u;
            const int noise = int(state >> (32 - noiseBits)) - (1 << (noiseBits - 1));
            const double u = x / double(kW), v = y / double(kH);
            int r = int(120 + 100 * std::sin(6 * u + 2 * v));
            int g = int(110 + 90 * std::cos(5 * v - 3 * u));
            int bl = int(100 + 80 * std::sin(9 * u * v + 1));
            if (((x / 200) + (y / 150)) % 7 == 0) r = 240, g = 220, bl = 40;
            if ((x - 2600) * (x - 2600) + (y - 1200) * (y - 1200) < 400 * 400)
                r = 30, g = 60, bl = 160;
            auto c = [&](int s) { return Pixel(std::clamp(s + noise, 0, 255)); };
            row[x] = c(r) << 16 | c(g) << 8 | c(bl);
        }
    }
}

void WritePpm(const fs::path& p, const Buffer& b) {
    std::ofstream out(p, std::ios::binary);
    out << "P6\n" << kW << " " << kH << "\n255\n";
    std::vector<char> row(std::size_t(kW) * 3);
    for (int y = 0; y < kH; ++y) {
        const Pixel* s = b.At(0, y);
        for (int x = 0; x < kW; ++x) {
            row[3 * x] = char(s[x] >> 16);
            row[3 * x + 1] = char(s[x] >> 8);
            row[3 * x + 2] = char(s[x]);
        }
        out.write(row.data(), std::streamsize(row.size()));
    }
}

struct Inputs {
    Buffer Photo;
    std::vector<std::uint8_t> Jpeg444, Jpeg420, Jpeg420p, Jpeg420d;
    Inputs() {
        const fs::path dir = BenchDir();
        Buffer detailed;
        MakePhoto(detailed, 6);
        WritePpm(dir / "jpeg_detailed.ppm", detailed);
        MakePhoto(Photo, 3);
        const fs::path ppm = dir / "jpeg_source.ppm";
        WritePpm(ppm, Photo);
        Jpeg444 = Cjpeg(ppm, dir / "jpeg_444.jpg", "-sample 1x1");
        Jpeg420 = Cjpeg(ppm, dir / "jpeg_420.jpg", "-sample 2x2");
        Jpeg420p = Cjpeg(ppm, dir / "jpeg_420p.jpg", "-sample 2x2 -progressive");
        // Written last: the peers look for it to know all are there.
        Jpeg420d = Cjpeg(dir / "jpeg_detailed.ppm", dir / "jpeg_420d.jpg", "-sample 2x2", 90);
        fs::remove(dir / "jpeg_detailed.ppm");
    }
    static std::vector<std::uint8_t> Cjpeg(const fs::path& ppm, const fs::path& jpg,
                                           const std::string& sampling, int quality = 75) {
        const std::string cmd = "cjpeg -quality " + std::to_string(quality) + " " + sampling +
                                " -outfile " + jpg.string() + " " + ppm.string();
        if (std::system(cmd.c_str()) != 0) return {};
        std::ifstream in(jpg, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
};

Inputs& Data() {
    static Inputs inputs;
    return inputs;
}

// Pixels per wall-clock second over the timed loop, the measure tjbench
// reports (the machine's other load slows both alike).
class WallRate {
  public:
    WallRate() : start_(std::chrono::steady_clock::now()) {}
    void Report(benchmark::State& state) const {
        const std::chrono::duration<double> s = std::chrono::steady_clock::now() - start_;
        state.counters["items_per_second"] =
            double(state.iterations()) * kW * kH / std::max(s.count(), 1e-9);
    }

  private:
    std::chrono::steady_clock::time_point start_;
};

GFXFile* Jpeg() {
    return GFXFile::GetDefaultFormat("x.jpg");
}

void Decode(benchmark::State& state, const std::vector<std::uint8_t>& file) {
    if (file.empty()) {
        state.SkipWithError("cjpeg is not installed");
        return;
    }
    Buffer b;
    b.Alloc({kW, kH});
    const WallRate rate;
    for (auto _ : state) {
        TFixedMemoryStream s(file.data(), file.size());
        Jpeg()->Load(b, &s, nullptr);
        benchmark::ClobberMemory();
    }
    rate.Report(state);
}

void Decode444(benchmark::State& state) {
    Decode(state, Data().Jpeg444);
}
BENCHMARK(Decode444)->Name("jpeg_decode_444/pixkit")->Unit(benchmark::kMillisecond);

void Decode420(benchmark::State& state) {
    Decode(state, Data().Jpeg420);
}
BENCHMARK(Decode420)->Name("jpeg_decode_420/pixkit")->Unit(benchmark::kMillisecond);

void Decode420p(benchmark::State& state) {
    Decode(state, Data().Jpeg420p);
}
BENCHMARK(Decode420p)->Name("jpeg_decode_420p/pixkit")->Unit(benchmark::kMillisecond);

void Decode420d(benchmark::State& state) {
    Decode(state, Data().Jpeg420d);
}
BENCHMARK(Decode420d)->Name("jpeg_decode_420d/pixkit")->Unit(benchmark::kMillisecond);

// The thumbnail decode: 4:2:0 at 1/8 of the size (the rate counts the
// full picture's pixels, as tjbench -scale 1/8 does).
void Decode420Eighth(benchmark::State& state) {
    const std::vector<std::uint8_t>& file = Data().Jpeg420;
    if (file.empty()) {
        state.SkipWithError("cjpeg is not installed");
        return;
    }
    const WallRate rate;
    for (auto _ : state) {
        TFixedMemoryStream s(file.data(), file.size());
        Buffer b;
        Pair<int> full;
        Jpeg()->LoadReduced(b, &s, nullptr, {kW / 8, kH / 8}, &full);
        benchmark::ClobberMemory();
    }
    rate.Report(state);
}
BENCHMARK(Decode420Eighth)->Name("jpeg_decode_420_eighth/pixkit")->Unit(benchmark::kMillisecond);

void Encode444(benchmark::State& state) {
    Buffer& photo = Data().Photo;
    TMemoryStream m;
    const WallRate rate;
    for (auto _ : state) {
        m.SetPosition(0);
        Jpeg()->Save(photo, &m, nullptr, nullptr);
        benchmark::ClobberMemory();
    }
    rate.Report(state);
}
BENCHMARK(Encode444)->Name("jpeg_encode_444/pixkit")->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
