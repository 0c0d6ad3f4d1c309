// The cost of one undo step: a 21 x 21 round brush stamped 500 times along
// a line on a 6000 x 4000 image, then recorded by the history (the changed
// tiles are compared and kept, the snapshot takes them back), against the
// full-copy snapshot that one level of undo takes before every action, in
// the same run. The "bytes" counter is what one step keeps in memory.
#include "history.h"
#include "paint/brush.h"
#include "paint/stamper.h"
#include "undo.h"

#include <benchmark/benchmark.h>

#include <algorithm>

namespace {

constexpr int kWidth = 6000, kHeight = 4000, kStamps = 500, kRadius = 10;

// The image of slot 1, repainted through the history as the main window
// does it.
class Surface : public kv::PaintSurface {
  public:
    Surface(kv::Documents& docs, kv::UndoHistory& history) : docs_(docs), history_(history) {}
    pixkit::Buffer& Image() override { return docs_.CurrentImage(); }
    pixkit::Buffer& ClipView() override { return docs_.CurrentImage(); }
    void Invalidate(pixkit::Rect r) override { history_.MarkDirty(r); }

  private:
    kv::Documents& docs_;
    kv::UndoHistory& history_;
};

void HistoryStep(benchmark::State& state) {
    kv::Documents docs;
    docs.AllocBlack(0, kWidth, kHeight);
    kv::UndoSnapshot snapshot;
    kv::UndoHistory history(docs, snapshot);
    history.TakeSnapshot(0);
    Surface surface(docs, history);
    kv::BrushState brush;
    brush.Settings.Radius = kRadius;
    kv::Stamper stamper(brush, surface);
    int stroke = 0;
    for (auto _ : state) {
        state.PauseTiming();
        // Every other stroke repaints the same place in another colour, so
        // each one really changes its pixels.
        brush.MakeRoundBrush(stroke % 2 == 0 ? 0x00FF8000 : 0x000080FF);
        stamper.StrokeLine({1000, 2000}, {1000 + kStamps - 1, 2100}, 1, 1);
        ++docs.CurrentImage().Changed;
        ++stroke;
        state.ResumeTiming();
        history.TakeSnapshot(0);
    }
    state.counters["bytes"] = double(history.Bytes()) / std::max(history.StepCount(0), 1);
}
BENCHMARK(HistoryStep)->Name("UndoStep21x500/history")->Unit(benchmark::kMillisecond);

void FullCopy(benchmark::State& state) {
    kv::Documents docs;
    docs.AllocBlack(0, kWidth, kHeight);
    kv::UndoSnapshot snapshot;
    snapshot.TakeSnapshot(docs.CurrentImage());
    for (auto _ : state) {
        snapshot.TakeSnapshot(docs.CurrentImage());
        benchmark::ClobberMemory();
    }
    state.counters["bytes"] = double(kWidth) * kHeight * sizeof(pixkit::Pixel);
}
BENCHMARK(FullCopy)->Name("UndoStep21x500/fullcopy")->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
