#include <pixkit/threads.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace pixkit {

namespace {

std::atomic<int> chosen{0};
thread_local int thisThread = 0;

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

// One call's rows, cut into more chunks than threads. The calling thread
// and the pool's helpers take chunks in turn, so a helper that starts late
// (on a busy machine) finds less to do or nothing, and the call never waits
// for a thread that has not begun.
struct Job {
    Job(const std::function<void(int, int)>& f, int r, int c, int h)
        : fn(&f), rows(r), chunks(c), helpers(h) {}

    const std::function<void(int, int)>* fn; // only used for a chunk taken
    const int rows, chunks, helpers;         // helpers: pool threads that may join
    std::atomic<int> next{0}, finished{0}, joined{0};
    std::mutex m;
    std::condition_variable allDone;

    int Edge(int k) const { return int(std::int64_t(rows) * k / chunks); }

    // Runs chunks until none is left to take.
    void Work() {
        for (int k; (k = next.fetch_add(1)) < chunks;) {
            (*fn)(Edge(k), Edge(k + 1));
            if (finished.fetch_add(1) + 1 == chunks) {
                const std::lock_guard lock(m);
                allDone.notify_all();
            }
        }
    }
};

// Helper threads, started as calls first need them and kept waiting for
// work until the program ends.
class Pool {
  public:
    static Pool& Get() {
        static Pool* const pool = new Pool; // never destroyed: helpers outlive main
        return *pool;
    }

    void Run(const std::shared_ptr<Job>& job) {
        {
            const std::lock_guard lock(m_);
            Start(job->helpers);
            pending_.push_back(job);
        }
        posted_.notify_all();
        job->Work();
        {
            std::unique_lock lock(job->m);
            job->allDone.wait(lock, [&] { return job->finished == job->chunks; });
        }
        const std::lock_guard lock(m_);
        std::erase(pending_, job);
    }

  private:
    // At least n helpers; fewer when the system has no more threads to give.
    void Start(int n) {
        for (; started_ < n; ++started_) {
            try {
                std::thread([this] { Help(); }).detach();
            } catch (const std::system_error&) {
                return;
            }
        }
    }

    void Help() {
        for (;;) {
            std::shared_ptr<Job> job;
            {
                std::unique_lock lock(m_);
                posted_.wait(lock, [&] { return !pending_.empty(); });
                job = pending_.front();
                if (job->joined.fetch_add(1) + 1 >= job->helpers) pending_.erase(pending_.begin());
            }
            job->Work();
        }
    }

    std::mutex m_;
    std::condition_variable posted_;
    std::vector<std::shared_ptr<Job>> pending_;
    int started_ = 0;
};

} // namespace

void SetThreadCount(int n) {
    chosen = std::max(0, n);
}

void SetThisThreadCount(int n) {
    thisThread = std::max(0, n);
}

int ThreadCount() {
    const int n = chosen;
    const int all = n > 0 ? n : Automatic();
    return thisThread > 0 ? std::min(all, thisThread) : all;
}

void ForRows(int rows, std::int64_t work, const std::function<void(int, int)>& fn) {
    const int n = int(std::min<std::int64_t>({ThreadCount(), work / kWorkPerThread, rows}));
    if (n <= 1) {
        if (rows > 0) fn(0, rows);
        return;
    }
    Pool::Get().Run(std::make_shared<Job>(fn, rows, std::min(rows, 4 * n), n - 1));
}

} // namespace pixkit
