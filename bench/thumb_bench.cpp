// Thumbnails for the image browser: 500 photos of 4000 x 3000 (JPEG quality
// 85, 4:2:0 by cjpeg; 50 distinct pictures, the rest hard links to them)
// turned into 120 x 90 thumbnails by the worker's function on one thread,
// first with an empty cache (every file decoded and stored), then a second
// visit that finds every thumbnail in the cache. Items are images. The
// files stay in bench/thumbs/ for bench/peers/thumbs.py, which times
// vipsthumbnail and ImageMagick on them.
#include "files/thumbcache.h"
#include "files/thumbnailer.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int kW = 4000, kH = 3000, kDistinct = 50, kFiles = 500;

fs::path Folder() {
    return fs::read_symlink("/proc/self/exe").parent_path() / "thumbs";
}

std::string FileName(int i) {
    char name[32];
    std::snprintf(name, sizeof name, "photo%03d.jpg", i);
    return name;
}

// A photo-like picture: smooth shading, hard-edged shapes and sensor-like
// noise; variant k moves the shading and the shapes.
void WritePpm(const fs::path& p, int k) {
    std::ofstream out(p, std::ios::binary);
    out << "P6\n" << kW << " " << kH << "\n255\n";
    std::vector<unsigned char> row(std::size_t(kW) * 3);
    std::vector<double> su(kW), cu(kW);
    for (int x = 0; x < kW; ++x) {
        su[std::size_t(x)] = std::sin(6.0 * x / kW + 0.3 * k);
        cu[std::size_t(x)] = std::cos(3.0 * x / kW - 0.2 * k);
    }
    std::uint32_t state = 12345u + std::uint32_t(k);
    const int cx = 600 + 61 * k, cy = 500 + 37 * k;
    for (int y = 0; y < kH; ++y) {
        const double sv = std::sin(2.0 * y / kH), cv = std::cos(5.0 * y / kH);
        for (int x = 0; x < kW; ++x) {
            state = state * 1664525u + 1013904223u;
            const int noise = int(state >> 29) - 4;
            int r = int(120 + 60 * su[std::size_t(x)] + 40 * sv);
            int g = int(110 + 50 * cu[std::size_t(x)] + 40 * cv);
            int b = int(100 + 80 * su[std::size_t(x)] * cv);
            if (((x + 13 * k) / 200 + y / 150) % 7 == 0) r = 240, g = 220, b = 40;
            if ((x - cx) * (x - cx) + (y - cy) * (y - cy) < 400 * 400) r = 30, g = 60, b = 160;
            unsigned char* o = &row[std::size_t(x) * 3];
            o[0] = static_cast<unsigned char>(std::clamp(r + noise, 0, 255));
            o[1] = static_cast<unsigned char>(std::clamp(g + noise, 0, 255));
            o[2] = static_cast<unsigned char>(std::clamp(b + noise, 0, 255));
        }
        out.write(reinterpret_cast<const char*>(row.data()), std::streamsize(row.size()));
    }
}

// Makes the folder once; later runs reuse it.
void MakeFolder() {
    const fs::path folder = Folder();
    if (fs::exists(folder / FileName(kFiles - 1))) return;
    fs::create_directories(folder);
    const fs::path ppm = folder / "source.ppm";
    for (int k = 0; k < kDistinct; ++k) {
        WritePpm(ppm, k);
        const std::string cmd = "cjpeg -quality 85 -sample 2x2 -outfile '" +
                                (folder / FileName(k)).string() + "' '" + ppm.string() + "'";
        if (std::system(cmd.c_str()) != 0) std::abort();
    }
    fs::remove(ppm);
    for (int i = kDistinct; i < kFiles; ++i) {
        fs::remove(folder / FileName(i));
        fs::create_hard_link(folder / FileName(i % kDistinct), folder / FileName(i));
    }
}

void Visit(kv::ThumbCache& cache, std::int64_t& made) {
    const std::string folder = Folder().string();
    for (int i = 0; i < kFiles; ++i) {
        kv::Thumb thumb;
        kv::MakeThumbnail(folder, FileName(i), &cache, thumb);
        made += thumb.Result != kv::ThumbResult::Failed;
    }
}

// Every file decoded and stored in a fresh cache.
void FirstVisit(benchmark::State& state) {
    MakeFolder();
    std::int64_t made = 0;
    for (auto _ : state) {
        state.PauseTiming();
        fs::remove(Folder() / kv::thumbcache::kFileName);
        kv::ThumbCache cache;
        if (!cache.Open(Folder().string())) state.SkipWithError("no cache");
        state.ResumeTiming();
        Visit(cache, made);
    }
    if (made != state.iterations() * kFiles) state.SkipWithError("a thumbnail failed");
    state.SetItemsProcessed(state.iterations() * kFiles);
}

// Every thumbnail found in the cache.
void SecondVisit(benchmark::State& state) {
    MakeFolder();
    kv::ThumbCache cache;
    std::int64_t made = 0;
    if (!cache.Open(Folder().string())) state.SkipWithError("no cache");
    Visit(cache, made);
    for (auto _ : state) Visit(cache, made);
    state.SetItemsProcessed(state.iterations() * kFiles);
}

} // namespace

BENCHMARK(FirstVisit)->Name("Thumbs500/pixkit")->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(SecondVisit)->Name("Thumbs500Cached/pixkit")->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
