// Whole-image work on several threads. Large pictures are split into bands
// of rows, one per thread; the result is the same, pixel for pixel, as on
// one thread as long as each band writes only its own rows.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace pixkit {

// n threads; 0 (the default) means the PIXKIT_THREADS environment variable
// when set, else one per processor.
void SetThreadCount(int n);
// Caps the threads that work started on the calling thread may use (0: no
// cap of its own). Background work such as the browser's thumbnails keeps
// to its own thread, so it never takes the core the window needs.
void SetThisThreadCount(int n);
// The number work started on the calling thread uses, at least 1.
int ThreadCount();

// Calls fn(first, last) for bands [first, last) covering rows 0..rows-1, on
// up to ThreadCount() threads: the calling thread and helpers that wait
// between calls take bands in turn, and the call returns when all are
// done. work is the size of the job in pixels of light work (a copied or
// scaled pixel counts 1, a pixel that costs ten times as much counts 10):
// less than about a quarter of a million a thread stays on the calling
// thread, where handing it out would cost more than it saves. fn must
// write only its own rows and may be called on several threads at once.
// The rows go out in four bands a thread, or in `bands` (at most one a
// row) when the caller knows better: work of very uneven rows ends sooner
// in many small bands, as the threads then finish close together.
void ForRows(int rows, std::int64_t work, const std::function<void(int first, int last)>& fn,
             int bands = 0);

// The work a thread must have before a call is split (a quarter of a
// million, see ForRows); 0 restores that. Tests lower it to run small
// pictures on several threads.
void SetWorkPerThread(std::int64_t work);

// The threads ForRows would use for work of that size, 1 when it stays on
// the calling thread.
int ThreadsFor(std::int64_t work);

// One stage of Pipeline: Run(i, end) does the stage's work on item i.
// Ahead (at least 2) bounds how far the stage runs ahead of the next one:
// its item i starts only after the next stage has finished item i - Ahead,
// so the two can share a ring of Ahead slots. AfterNext: a later stage's
// item i also needs the item after it from the stage before (a filter
// reading the row below); without it, item i waits for item i alone.
struct PipelineStage {
    std::function<void(int i, bool end)> Run;
    int Ahead = 2;
    bool AfterNext = true;
};

// Runs the stages over items 0..n-1. The first stage runs on the calling
// thread, items in order (end: i is n - 1). Each later stage runs item i
// once the stage before has finished item i + 1, or has finished its last
// item (end: no item i + 1 follows; a stage without AfterNext runs item i
// once item i is finished, and may see its last item without end), on
// whichever thread is free: the caller, or a helper thread while the
// caller is busy. Each stage runs its items in order, one at a time.
// Without a helper (one thread, work as small as ForRows keeps on one
// thread, or every helper busy) the caller runs everything. An exception
// from the first stage ends its items: those before it still pass through
// the others, then it is raised on the caller. One from a later stage
// stops every stage and is raised on the caller once the helper is done.
void Pipeline(int n, std::int64_t work, const std::vector<PipelineStage>& stages);

// Waits until value is no longer seen: polling for a while, since threads
// working together hand over an item every few tens of microseconds and
// waking a sleeping thread can take as long, then asleep until a
// notify_all on value. The polling yields now and then, to the other thread
// when a busy machine gave both the same processor.
void AwaitChange(const std::atomic<unsigned>& value, unsigned seen);

// One piece of work offered to a helper thread while the caller goes on
// with its own. Join waits for it; when no helper has begun it by then, the
// caller runs it there, so fn must look at what the caller did (a flag the
// caller set) and return at once when its work is no longer wanted. fn must
// not throw. Offered only when work (as for ForRows) is large enough for
// two threads; otherwise Join simply runs fn.
class SideTask {
  public:
    SideTask(std::int64_t work, std::function<void()> fn);
    SideTask(const SideTask&) = delete;
    SideTask& operator=(const SideTask&) = delete;
    ~SideTask(); // joins
    void Join();

  private:
    std::function<void(int, int)> fn_;
    std::shared_ptr<void> job_; // the pool's job, while offered
};

} // namespace pixkit
