// How well the image browser's window keeps up while 2,000 photos of 4000 x
// 3000 get thumbnails (hard links to the 50 distinct photos thumb_bench
// leaves in bench/thumbs/), under Qt's offscreen platform: the window
// scrolls down one row every 40 ms from the top to the end, a 1 ms timer
// measures the gaps between the GUI thread's turns, and the decode
// hook the time between the worker's files. Counters: the longest gap
// (stall_ms), the median time of a thumbnail (thumb_ms) and their ratio
// (stall_over_thumb; at most 0.25 is the aim).
#include "files/browseform.h"
#include "files/thumbnailer.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QScrollBar>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int kFiles = 2000, kDistinct = 50;

std::string Name(const char* stem, int i) {
    char name[32];
    std::snprintf(name, sizeof name, "%s%04d.jpg", stem, i);
    return name;
}

// bench/thumbs2000/ of hard links; thumb_bench makes the photos first.
fs::path MakeFolder() {
    const fs::path bench = fs::read_symlink("/proc/self/exe").parent_path();
    const fs::path photos = bench / "thumbs", folder = bench / "thumbs2000";
    if (!fs::exists(photos / "photo499.jpg")) {
        const std::string cmd =
            (bench / "thumb_bench").string() + " --benchmark_filter=Thumbs500/ > /dev/null";
        if (std::system(cmd.c_str()) != 0) return {};
    }
    if (fs::exists(folder / Name("p", kFiles - 1))) return folder;
    fs::create_directories(folder);
    for (int i = 0; i < kFiles; ++i) {
        char source[32];
        std::snprintf(source, sizeof source, "photo%03d.jpg", i % kDistinct);
        fs::remove(folder / Name("p", i));
        fs::create_hard_link(photos / source, folder / Name("p", i));
    }
    return folder;
}

void Stall(benchmark::State& state) {
    const fs::path folder = MakeFolder();
    if (folder.empty()) {
        state.SkipWithError("no photos (thumb_bench failed)");
        return;
    }
    std::mutex m;
    std::vector<qint64> starts;
    QElapsedTimer clock;
    clock.start();
    kv::Thumbnailer::DecodeHook() = [&](const std::string&) {
        const std::lock_guard lock(m);
        starts.push_back(clock.nsecsElapsed());
    };
    std::vector<qint64> turns; // gaps between the GUI thread's turns
    for (auto _ : state) {
        kv::TBrowseForm box(nullptr, folder.string(), false);
        box.show();
        // The window's first showing (fonts, backing store) is not browsing.
        QElapsedTimer warm;
        warm.start();
        while (warm.elapsed() < 300) QApplication::processEvents();
        QScrollBar* bar = box.findChild<QScrollBar*>("ScrollBar1");
        qint64 last = clock.nsecsElapsed();
        QTimer tick, scroll;
        QObject::connect(&tick, &QTimer::timeout, [&] {
            const qint64 now = clock.nsecsElapsed();
            turns.push_back(now - last);
            last = now;
        });
        QObject::connect(&scroll, &QTimer::timeout, [&] {
            if (bar->value() >= bar->maximum()) QApplication::exit();
            bar->setValue(bar->value() + kv::kBrowseRowPitch / 4);
        });
        tick.setTimerType(Qt::PreciseTimer);
        tick.start(1);
        scroll.start(40);
        QApplication::exec();
        box.close();
    }
    kv::Thumbnailer::DecodeHook() = nullptr;
    std::vector<qint64> gaps;
    for (std::size_t i = 1; i < starts.size(); ++i) gaps.push_back(starts[i] - starts[i - 1]);
    if (gaps.empty()) {
        state.SkipWithError("no thumbnails made");
        return;
    }
    std::nth_element(gaps.begin(), gaps.begin() + std::ptrdiff_t(gaps.size() / 2), gaps.end());
    const double median = double(gaps[gaps.size() / 2]);
    std::sort(turns.begin(), turns.end());
    const qint64 longest = turns.empty() ? 0 : turns.back();
    // A loaded machine deschedules the GUI thread now and then; the 99.9th
    // percentile shows what the window's own work costs.
    state.counters["stall_p999_ms"] =
        turns.empty() ? 0.0 : double(turns[turns.size() * 999 / 1000]) / 1e6;
    state.counters["stall_ms"] = double(longest) / 1e6;
    state.counters["thumb_ms"] = median / 1e6;
    state.counters["stall_over_thumb"] = double(longest) / median;
    state.counters["thumbs"] = double(starts.size());
}

} // namespace

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    benchmark::RegisterBenchmark("browse_stall_2000", Stall)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(1);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
