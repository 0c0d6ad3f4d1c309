#include <pixkit/threads.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <exception>
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
std::atomic<std::int64_t> workPerThread{kWorkPerThread};

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
        Post(job);
        Finish(job);
    }

    // Offers the job to the helpers; the caller may do other work before
    // it finishes the job.
    void Post(const std::shared_ptr<Job>& job) {
        {
            const std::lock_guard lock(m_);
            Start(job->helpers);
            pending_.push_back(job);
        }
        posted_.notify_all();
    }

    // Takes the job's chunks that no helper took and waits for the others.
    void Finish(const std::shared_ptr<Job>& job) {
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

// The state of one Pipeline call. Each stage has a lock: whoever holds it
// runs the stage's next item, so each stage's items run in order whichever
// thread runs them. Every change of state bumps events_, which a thread
// with nothing to run sleeps on.
class PipelineRun {
  public:
    enum class Role { Caller, Helper, Alone };

    PipelineRun(int n, const std::vector<PipelineStage>& stages)
        : n_(n), stages_(stages), k_(int(stages.size())), state_(new StageState[stages.size()]) {}

    // Runs items until every stage is finished (or one failed). The first
    // stage runs only on the calling thread, the others on either. With a
    // helper the caller runs the first stage whenever it can (it is the
    // one no other thread can take; a stage that lets it take over later
    // work, as JPEG decoding does, balances the two itself) and the helper
    // prefers the later stages; alone, the caller runs the latest stage
    // that can run, so that each item passes through while its data is
    // still in the cache.
    void Work(Role role) {
        for (;;) {
            const unsigned seen = events_.load();
            if (failed_.load() || Finished(k_ - 1)) return;
            bool ran = false;
            if (role == Role::Caller) {
                ran = RunFirst();
                for (int s = 1; s < k_ && !ran; ++s) ran = RunNext(s);
            } else {
                for (int s = k_ - 1; s >= 1 && !ran; --s) ran = RunNext(s);
                if (!ran && role == Role::Alone) ran = RunFirst();
            }
            if (!ran) AwaitChange(events_, seen);
        }
    }

    // Raises the exception of the earliest stage that raised one after the
    // first, else the first's.
    void Rethrow() const {
        for (int s = 1; s < k_; ++s)
            if (state_[s].error) std::rethrow_exception(state_[s].error);
        if (state_[0].error) std::rethrow_exception(state_[0].error);
    }

  private:
    struct StageState {
        std::atomic<int> done{0};       // items finished
        std::atomic<bool> ended{false}; // the first stage: no item follows
        std::mutex running;
        std::exception_ptr error; // written by the thread holding running
    };

    // Whether stage s has run every item it will: the first when it ended,
    // the others when the stage before them finished and they caught up.
    bool Finished(int s) const {
        if (s == 0) return state_[0].ended.load();
        return Finished(s - 1) && state_[s].done.load() == state_[s - 1].done.load();
    }

    // Whether the item i of stage s may start as far as the stage after it
    // goes: its slot in the ring between them is free.
    bool SlotFree(int s, int i) const {
        return s + 1 == k_ || state_[s + 1].done.load() > i - std::max(2, stages_[s].Ahead);
    }

    bool RunFirst() {
        StageState& st = state_[0];
        const int i = st.done.load();
        if (st.ended.load() || !SlotFree(0, i)) return false;
        try {
            stages_[0].Run(i, i + 1 == n_);
        } catch (...) {
            st.error = std::current_exception();
            st.ended.store(true);
            Bump();
            return true;
        }
        st.done.store(i + 1);
        if (i + 1 == n_) st.ended.store(true);
        Bump();
        return true;
    }

    // Runs the next item of stage s when it is ready and no other thread
    // runs the stage. An item waits for the stage before to finish the
    // item after it, or to finish altogether (then it is its last: end).
    bool RunNext(int s) {
        StageState& st = state_[s];
        if (!st.running.try_lock()) return false;
        const std::lock_guard lock(st.running, std::adopt_lock);
        const int i = st.done.load();
        const bool before = Finished(s - 1); // first: the count below is final then
        const int in = state_[s - 1].done.load();
        const bool next = stages_[s].AfterNext;
        if (failed_.load() || in <= i || (next && in == i + 1 && !before) || !SlotFree(s, i))
            return false;
        try {
            stages_[s].Run(i, before && in == i + 1);
        } catch (...) {
            st.error = std::current_exception();
            failed_.store(true);
        }
        st.done.store(i + 1);
        Bump();
        return true;
    }

    void Bump() {
        events_.fetch_add(1);
        events_.notify_all();
    }

    const int n_;
    const std::vector<PipelineStage>& stages_;
    const int k_;
    const std::unique_ptr<StageState[]> state_;
    std::atomic<bool> failed_{false}; // a stage after the first raised an exception
    std::atomic<unsigned> events_{0};
};

} // namespace

void AwaitChange(const std::atomic<unsigned>& value, unsigned seen) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point until = Clock::now() + std::chrono::microseconds(200);
    for (int k = 0; value.load() == seen; ++k) {
#if defined(__x86_64__) || defined(__i386__)
        __builtin_ia32_pause();
#endif
        if ((k & 63) != 63) continue;
        if (Clock::now() > until) {
            value.wait(seen);
            return;
        }
        std::this_thread::yield();
    }
}

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

void SetWorkPerThread(std::int64_t work) {
    workPerThread = work > 0 ? work : kWorkPerThread;
}

int ThreadsFor(std::int64_t work) {
    return int(
        std::max<std::int64_t>(1, std::min<std::int64_t>(ThreadCount(), work / workPerThread)));
}

void ForRows(int rows, std::int64_t work, const std::function<void(int, int)>& fn, int bands) {
    const int n = std::min(ThreadsFor(work), rows);
    if (n <= 1) {
        if (rows > 0) fn(0, rows);
        return;
    }
    const int chunks = std::min(rows, bands > 0 ? std::max(bands, n) : 4 * n);
    Pool::Get().Run(std::make_shared<Job>(fn, rows, chunks, n - 1));
}

void Pipeline(int n, std::int64_t work, const std::vector<PipelineStage>& stages) {
    if (n <= 0 || stages.empty()) return;
    PipelineRun run(n, stages);
    if (ThreadsFor(work) < 2 || n < 2 || stages.size() < 2) {
        run.Work(PipelineRun::Role::Alone);
        run.Rethrow();
        return;
    }
    // The helper's part is taken by the caller when no helper began it (it
    // finds nothing left by then).
    SideTask helper(work, [&] { run.Work(PipelineRun::Role::Helper); });
    run.Work(PipelineRun::Role::Caller);
    helper.Join();
    run.Rethrow();
}

SideTask::SideTask(std::int64_t work, std::function<void()> fn)
    : fn_([f = std::move(fn)](int, int) { f(); }) {
    if (ThreadsFor(work) < 2) return;
    auto job = std::make_shared<Job>(fn_, 1, 1, 1);
    Pool::Get().Post(job);
    job_ = job;
}

SideTask::~SideTask() {
    Join();
}

void SideTask::Join() {
    if (!fn_) return;
    if (job_)
        Pool::Get().Finish(std::static_pointer_cast<Job>(job_));
    else
        fn_(0, 1);
    job_.reset();
    fn_ = nullptr;
}

} // namespace pixkit
