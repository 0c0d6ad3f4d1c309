#include <pixkit/threads.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <system_error>
#include <thread>
#include <vector>

namespace pixkit {

namespace {

std::atomic<int> chosen{0};

int Automatic() {
    static const int n = [] {
        if (const char* v = std::getenv("PIXKIT_THREADS")) {
            const long asked = std::strtol(v, nullptr, 10);
            if (asked > 0) return int(std::min(asked, 256L));
        }
        return int(std::max(1u, std::thread::hardware_concurrency()));
    }();
    return n;
}

constexpr std::int64_t kWorkPerThread = 1 << 18;

} // namespace

void SetThreadCount(int n) {
    chosen = std::max(0, n);
}

int ThreadCount() {
    const int n = chosen;
    return n > 0 ? n : Automatic();
}

void ForRows(int rows, std::int64_t work, const std::function<void(int, int)>& fn) {
    const std::int64_t byWork = work / kWorkPerThread;
    const int n = int(std::min<std::int64_t>({ThreadCount(), byWork, rows}));
    if (n <= 1) {
        if (rows > 0) fn(0, rows);
        return;
    }
    const auto edge = [&](int k) { return int(std::int64_t(rows) * k / n); };
    std::vector<std::jthread> helpers;
    helpers.reserve(std::size_t(n - 1));
    for (int k = 1; k < n; ++k) {
        try {
            helpers.emplace_back([&fn, first = edge(k), last = edge(k + 1)] { fn(first, last); });
        } catch (const std::system_error&) {
            // No thread to be had: this thread does the band itself.
            fn(edge(k), edge(k + 1));
        }
    }
    fn(0, edge(1));
}

} // namespace pixkit
