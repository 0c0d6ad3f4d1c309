// How well the image browser's window keeps up while 2,000 photos of 4000 x
// 3000 get thumbnails (hard links to the 50 distinct photos thumb_bench
// leaves in bench/thumbs/), under Qt's offscreen platform: the window
// scrolls down one row every 40 ms from the top to the end, a 1 ms timer
// measures the gaps between the GUI thread's turns, and the decode
// hook the time between the worker's files. Counters: the longest gap
// (stall_ms), the median time of a thumbnail (thumb_ms) and their ratio
// (stall_over_thumb; at most 0.25 is the aim). A gap is the window's own
// work, the GUI thread blocking, or the GUI thread waiting for a core: the
// longest gap's CPU time (stall_cpu_ms) and wait for a core
// (stall_wait_ms, the scheduler's own count), the most CPU time in any gap
// (busy_ms) and the longest gap less its wait for a core (own_ms,
// own_over_thumb) tell them apart. stderr lists the GUI thread's events by
// type and the longest ones with their CPU time and context switches.
// browse_stall_probe_2000 has no window: the 1 ms timer alone on the GUI
// thread while another thread makes the same thumbnails, so its gaps are
// what the machine's scheduler gives any GUI thread. browse_stall_idle runs
// first: the timer alone with nothing else to do, the gaps an idle program
// gets on this machine (a virtual machine's can reach 10 ms); the window's
// longest gap over that is stall_over_idle.
#include "files/browseform.h"
#include "files/thumbnailer.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QScrollBar>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <mutex>
#include <string>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>
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

qint64 ThreadCpuNs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return qint64(t.tv_sec) * 1000000000 + t.tv_nsec;
}

// The time the calling thread has waited for a core so far (the run-queue
// delay the scheduler keeps per thread); the file stays open.
qint64 RunQueueWaitNs() {
    thread_local const int fd = ::open("/proc/thread-self/schedstat", O_RDONLY | O_CLOEXEC);
    char text[96] = {};
    if (fd < 0 || ::pread(fd, text, sizeof text - 1, 0) <= 0) return 0;
    long long onCpu = 0, waited = 0;
    return std::sscanf(text, "%lld %lld", &onCpu, &waited) == 2 ? waited : 0;
}

// Context switches of the calling thread: preempted, and given up (a lock,
// a page, a file).
std::pair<long, long> Switches() {
    rusage u{};
    getrusage(RUSAGE_THREAD, &u);
    return {u.ru_nivcsw, u.ru_nvcsw};
}

// One event the GUI thread handled at the top of its loop.
struct EventTime {
    qint64 wall, cpu;
    long preempted, blocked;
    int type;
    std::string receiver;
};

// The events of one type.
struct EventSum {
    long count = 0, blocked = 0;
    qint64 cpu = 0, maxCpu = 0, maxWall = 0;
};

QElapsedTimer Started() {
    QElapsedTimer t;
    t.start();
    return t;
}

// Times every event dispatched from the GUI thread's loop (nested ones
// count in the event that sent them) while Recording is set: per type, and
// one by one for those of a millisecond or more.
class TimedApp : public QApplication {
  public:
    using QApplication::QApplication;
    bool Recording = false;
    std::vector<EventTime> Events;
    std::map<int, EventSum> Sums;

    bool notify(QObject* receiver, QEvent* event) override {
        if (!Recording || depth_ > 0) return Dispatch(receiver, event);
        const qint64 wall = clock_.nsecsElapsed(), cpu = ThreadCpuNs();
        const auto switches = Switches();
        // The receiver may be gone afterwards (a deferred delete).
        const int type = event->type();
        const char* kind = receiver->metaObject()->className();
        const QString name = receiver->objectName();
        const bool done = Dispatch(receiver, event);
        const qint64 took = clock_.nsecsElapsed() - wall, used = ThreadCpuNs() - cpu;
        EventSum& sum = Sums[type];
        ++sum.count;
        sum.cpu += used;
        sum.maxCpu = std::max(sum.maxCpu, used);
        sum.maxWall = std::max(sum.maxWall, took);
        const auto after = Switches();
        sum.blocked += after.second - switches.second;
        if (took >= 1000000)
            Events.push_back({took, used, after.first - switches.first,
                              after.second - switches.second, type,
                              std::string(kind) + " " + name.toStdString()});
        return done;
    }

  private:
    bool Dispatch(QObject* receiver, QEvent* event) {
        ++depth_;
        const bool done = QApplication::notify(receiver, event);
        --depth_;
        return done;
    }
    int depth_ = 0;
    QElapsedTimer clock_ = Started();
};

TimedApp* App() {
    return static_cast<TimedApp*>(QCoreApplication::instance());
}

// The gaps between the turns of a 1 ms timer on the GUI thread, with the
// GUI thread's CPU time and its wait for a core in each.
struct Gaps {
    std::vector<qint64> wall, cpu, wait;
    qint64 lastWall = 0, lastCpu = 0, lastWait = 0;

    void Start(const QElapsedTimer& clock) {
        lastWall = clock.nsecsElapsed();
        lastCpu = ThreadCpuNs();
        lastWait = RunQueueWaitNs();
    }
    void Turn(const QElapsedTimer& clock) {
        const qint64 now = clock.nsecsElapsed(), cpu = ThreadCpuNs(), waited = RunQueueWaitNs();
        wall.push_back(now - lastWall);
        this->cpu.push_back(cpu - lastCpu);
        wait.push_back(waited - lastWait);
        lastWall = now;
        lastCpu = cpu;
        lastWait = waited;
    }
    // Counters: the longest gap with its CPU time and wait for a core, the
    // 99.9th percentile, the most CPU time of any gap, and the longest gap
    // less its wait for a core (the window's own work and any blocking),
    // each also over the median thumbnail.
    void Report(benchmark::State& state, double thumb) const {
        if (wall.empty()) return;
        if (thumb <= 0) {
            const qint64 longest = *std::max_element(wall.begin(), wall.end());
            state.counters["stall_ms"] = double(longest) / 1e6;
            return;
        }
        const std::size_t longest =
            std::size_t(std::max_element(wall.begin(), wall.end()) - wall.begin());
        std::vector<qint64> sorted = wall;
        std::sort(sorted.begin(), sorted.end());
        qint64 own = 0;
        for (std::size_t i = 0; i < wall.size(); ++i) own = std::max(own, wall[i] - wait[i]);
        const double busy = double(*std::max_element(cpu.begin(), cpu.end()));
        state.counters["stall_ms"] = double(wall[longest]) / 1e6;
        state.counters["stall_cpu_ms"] = double(cpu[longest]) / 1e6;
        state.counters["stall_wait_ms"] = double(wait[longest]) / 1e6;
        state.counters["stall_p999_ms"] = double(sorted[sorted.size() * 999 / 1000]) / 1e6;
        state.counters["busy_ms"] = busy / 1e6;
        state.counters["own_ms"] = double(own) / 1e6;
        state.counters["thumb_ms"] = thumb / 1e6;
        state.counters["stall_over_thumb"] = double(wall[longest]) / thumb;
        state.counters["own_over_thumb"] = double(own) / thumb;
        if (idleStall > 0) state.counters["stall_over_idle"] = double(wall[longest]) / idleStall;
    }
    static inline double idleStall = 0;
};

// The median time between the worker's files.
double MedianGap(std::vector<qint64> starts) {
    std::vector<qint64> gaps;
    for (std::size_t i = 1; i < starts.size(); ++i) gaps.push_back(starts[i] - starts[i - 1]);
    if (gaps.empty()) return 0;
    std::nth_element(gaps.begin(), gaps.begin() + std::ptrdiff_t(gaps.size() / 2), gaps.end());
    return double(gaps[gaps.size() / 2]);
}

// Where the GUI thread's time went, on stderr: per event type, and the
// events that took longest.
void ListEvents(std::vector<EventTime> events, const std::map<int, EventSum>& sums) {
    std::fprintf(stderr, "GUI events by type (type, count, CPU ms, longest CPU ms, longest ms, "
                         "times blocked):\n");
    for (const auto& [type, sum] : sums)
        std::fprintf(stderr, "  %4d %6ld %8.1f %7.2f %7.2f %6ld\n", type, sum.count,
                     double(sum.cpu) / 1e6, double(sum.maxCpu) / 1e6, double(sum.maxWall) / 1e6,
                     sum.blocked);
    const std::size_t n = std::min<std::size_t>(events.size(), 10);
    std::partial_sort(events.begin(), events.begin() + std::ptrdiff_t(n), events.end(),
                      [](const EventTime& a, const EventTime& b) { return a.wall > b.wall; });
    std::fprintf(stderr, "longest GUI events (ms, CPU ms, preempted, blocked, type, receiver):\n");
    for (std::size_t i = 0; i < n; ++i)
        std::fprintf(stderr, "  %7.2f %7.2f %3ld %3ld %4d %s\n", double(events[i].wall) / 1e6,
                     double(events[i].cpu) / 1e6, events[i].preempted, events[i].blocked,
                     events[i].type, events[i].receiver.c_str());
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
    Gaps gaps;
    for (auto _ : state) {
        kv::TBrowseForm box(nullptr, folder.string(), false);
        box.show();
        // The window's first showing (fonts, backing store) is not browsing.
        QElapsedTimer warm;
        warm.start();
        while (warm.elapsed() < 300) QApplication::processEvents();
        QScrollBar* bar = box.findChild<QScrollBar*>("ScrollBar1");
        QTimer tick, scroll;
        QObject::connect(&tick, &QTimer::timeout, [&] { gaps.Turn(clock); });
        QObject::connect(&scroll, &QTimer::timeout, [&] {
            if (bar->value() >= bar->maximum()) QApplication::exit();
            bar->setValue(bar->value() + kv::kBrowseRowPitch / 4);
        });
        tick.setTimerType(Qt::PreciseTimer);
        tick.start(1);
        scroll.start(40);
        gaps.Start(clock);
        App()->Recording = true;
        QApplication::exec();
        App()->Recording = false;
        box.close();
    }
    kv::Thumbnailer::DecodeHook() = nullptr;
    const double median = MedianGap(starts);
    if (median <= 0) {
        state.SkipWithError("no thumbnails made");
        return;
    }
    gaps.Report(state, median);
    state.counters["thumbs"] = double(starts.size());
    // Times the GUI thread gave up its core inside an event (a lock, a
    // thread pool, a file): each costs a wait for a core on a busy machine.
    long blocked = 0;
    for (const auto& sum : App()->Sums) blocked += sum.second.blocked;
    state.counters["gui_blocked"] = double(blocked);
    ListEvents(std::move(App()->Events), App()->Sums);
    App()->Events.clear();
    App()->Sums.clear();
}

// No window: the 1 ms timer alone on the GUI thread for 20 s while another
// thread makes thumbnails of the same files one after the other (argument
// 1) or while nothing else runs (0).
void Probe(benchmark::State& state) {
    const bool work = state.range(0) != 0;
    const fs::path folder = MakeFolder();
    if (folder.empty()) {
        state.SkipWithError("no photos (thumb_bench failed)");
        return;
    }
    QElapsedTimer clock;
    clock.start();
    Gaps gaps;
    std::vector<qint64> starts;
    for (auto _ : state) {
        std::atomic<bool> stop{false};
        std::thread worker([&] {
            kv::MakeBackgroundThread();
            for (int i = 0; i < kFiles && !stop && work; ++i) {
                starts.push_back(clock.nsecsElapsed());
                kv::Thumb thumb;
                kv::MakeThumbnail(folder.string(), Name("p", i), nullptr, thumb);
            }
        });
        QTimer tick;
        QObject::connect(&tick, &QTimer::timeout, [&] { gaps.Turn(clock); });
        tick.setTimerType(Qt::PreciseTimer);
        tick.start(1);
        QTimer::singleShot(20000, [] { QApplication::exit(); });
        gaps.Start(clock);
        QApplication::exec();
        stop = true;
        worker.join();
    }
    if (!work) {
        gaps.Report(state, 0);
        Gaps::idleStall = double(*std::max_element(gaps.wall.begin(), gaps.wall.end()));
        return;
    }
    const double median = MedianGap(starts);
    if (median <= 0) {
        state.SkipWithError("no thumbnails made");
        return;
    }
    gaps.Report(state, median);
}

} // namespace

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    TimedApp app(argc, argv);
    benchmark::RegisterBenchmark("browse_stall_idle", Probe)
        ->Arg(0)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(1);
    benchmark::RegisterBenchmark("browse_stall_2000", Stall)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(1);
    benchmark::RegisterBenchmark("browse_stall_probe_2000", Probe)
        ->Arg(1)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(1);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
