// Progressive files decoded scan by scan on two threads. A typical file
// has ten scans: the DC terms in two, and the AC terms of each component
// in bands and bit planes, the last (the lowest bit of the luminance's AC
// terms) holding most of the data. A scan waits only for the earlier scans
// of the same coefficients of a component, so one thread decodes the DC
// scans while the other goes through the luminance's AC scans, the chroma
// scans go to whichever is free, and the thread that runs out of scans
// makes the pixels behind the last one. Whatever stops a scan early (an
// error, data that ends before its blocks do) sends the file back to the
// scans one after another, which give the picture and the error as the
// file has them.
#include "jpeg_multiscan.h"

#include <pixkit/threads.h>

#include <algorithm>
#include <climits>
#include <condition_variable>
#include <mutex>

namespace pixkit::jpeg {

namespace {

std::atomic<int> decodedTogether{0};
std::atomic<bool> latestFirst{false};

bool SharesCoefficients(const Scan& a, const Scan& b) {
    if (a.Se < b.Ss || b.Se < a.Ss) return false;
    for (int i = 0; i < a.Count; ++i)
        if (std::find(b.Comp, b.Comp + b.Count, a.Comp[i]) != b.Comp + b.Count) return true;
    return false;
}

} // namespace

std::int64_t ScansWork(const Frame& f) {
    return std::int64_t(f.Width) * f.Height * 4;
}

bool MultiScanInMemory(const Frame& f, std::int64_t bytes) {
    // A scan takes at most a few bytes a pixel; more is not worth copying.
    const std::int64_t most = std::int64_t(f.Width) * f.Height * f.Count + (1 << 20);
    return f.Progressive && !f.Arithmetic && bytes <= std::min<std::int64_t>(most, INT_MAX - 1) &&
           ThreadsFor(ScansWork(f)) > 1;
}

int ScansDecodedTogether() {
    return decodedTogether;
}

void CountScansDecodedTogether() {
    ++decodedTogether;
}

void StartLatestFreeScan(bool latest) {
    latestFirst = latest;
}

bool FindDataEnd(const std::uint8_t* data, int size, int start, bool restarts, std::uint8_t& marker,
                 int& end) {
    for (int i = start; i < size; ++i) {
        if (data[i] != 0xFF) continue;
        // Fill bytes, then a stuffed zero (data) or a marker's code.
        int j = i + 1;
        while (j < size && data[j] == 0xFF) ++j;
        if (j == size) return false;
        const bool restart = data[j] >= RST0 && data[j] <= RST0 + 7;
        if (data[j] == 0 || (restart && restarts)) {
            i = j;
            continue;
        }
        if (restart) return false;
        marker = data[j];
        end = j + 1;
        return true;
    }
    return false;
}

void OrderScans(std::vector<PlannedScan>& plan) {
    for (std::size_t j = 0; j < plan.size(); ++j)
        for (std::size_t i = 0; i < j; ++i)
            if (SharesCoefficients(plan[i].S, plan[j].S)) plan[j].After.push_back(int(i));
}

bool DecodeScansInOrder(const std::vector<PlannedScan>& plan, std::int64_t work,
                        const std::function<bool(int)>& decode, const std::function<void()>& idle) {
    enum : char { kWaiting, kRunning, kDone };
    std::vector<char> state(plan.size(), kWaiting);
    bool failed = false;
    std::mutex m;
    std::condition_variable changed;
    const auto done = [&](std::size_t i) { return state[i] == kDone; };
    const bool latest = latestFirst;
    // The first waiting scan whose scans before it are done; kIdle when
    // only the last is left, running; kNone when none is left or one
    // failed. Waits while the only ones left wait for a scan still running.
    constexpr int kNone = -1, kIdle = -2;
    const auto take = [&] {
        std::unique_lock lock(m);
        for (;;) {
            bool left = false;
            for (std::size_t k = 0; k < plan.size() && !failed; ++k) {
                const std::size_t j = latest ? plan.size() - 1 - k : k;
                if (state[j] != kWaiting) continue;
                left = true;
                if (std::all_of(plan[j].After.begin(), plan[j].After.end(),
                                [&](int i) { return done(std::size_t(i)); })) {
                    state[j] = kRunning;
                    return int(j);
                }
            }
            if (failed) return kNone;
            if (!left) {
                const std::size_t last = plan.size() - 1;
                bool othersDone = true;
                for (std::size_t i = 0; i < last; ++i) othersDone = othersDone && done(i);
                return othersDone && state[last] == kRunning ? kIdle : kNone;
            }
            changed.wait(lock);
        }
    };
    const auto run = [&] {
        for (int j; (j = take()) != kNone;) {
            if (j == kIdle) {
                idle();
                return;
            }
            const bool ok = decode(j);
            {
                const std::lock_guard lock(m);
                state[std::size_t(j)] = kDone;
                failed = failed || !ok;
            }
            changed.notify_all();
        }
    };
    SideTask helper(work, run);
    run();
    helper.Join();
    return !failed;
}

} // namespace pixkit::jpeg
