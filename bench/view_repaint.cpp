// Full repaints per second of the kv view: a 1920 x 1080 window onto an
// 8000 x 6000 image at zooms 1/4, 1/2, 1, 3 and 8, under Qt's offscreen
// platform (so the figure is our stretching loop plus Qt's copy into the
// window's backing store, without a display server).
#include "view/maxsize.h"
#include "view/stretch.h"
#include "view/tbuffer.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QScrollBar>
#include <QWindow>

#include <cstdlib>
#include <memory>
#include <utility>
#include <vector>

namespace {

struct Scene {
    pixkit::Buffer image;
    std::unique_ptr<kv::TMaxSize> box;
};

Scene& TheScene() {
    static Scene s;
    if (s.box) return s;
    {
        s.image.Alloc({8000, 6000});
        for (int y = 0; y < 6000; ++y) {
            pixkit::Pixel* row = s.image.At(0, y);
            for (int x = 0; x < 8000; ++x)
                row[x] = pixkit::Pixel(x * 2654435761u ^ y * 40503u) | (x & 1 ? 0x01000000u : 0);
        }
        s.box = std::make_unique<kv::TMaxSize>();
        s.box->setFrameShape(QFrame::NoFrame);
        s.box->View()->SetBuffer(&s.image);
        s.box->show();
        // The viewport is 1920 x 1080 once the scroll bars take their room.
        const int bar = s.box->verticalScrollBar()->sizeHint().width();
        const int hbar = s.box->horizontalScrollBar()->sizeHint().height();
        s.box->resize(1920 + bar, 1080 + hbar);
        for (int i = 0; i < 1000 && !s.box->windowHandle()->isExposed(); ++i)
            QCoreApplication::processEvents();
    }
    return s;
}

void Repaint(benchmark::State& state, int position) {
    Scene& s = TheScene();
    s.box->SetPosition(position);
    s.box->ApplyZoom();
    s.box->ScrollTo(0, 0);
    QCoreApplication::processEvents();
    kv::TBuffer* view = s.box->View();
    const QSize port = s.box->viewport()->size();
    for (auto _ : state) view->repaint();
    state.SetItemsProcessed(state.iterations());
    state.counters["view_w"] = port.width();
    state.counters["view_h"] = port.height();
}

// The stretching loop alone, into a 1920 x 1080 block: the part of a
// repaint that is ours.
void StretchOnly(benchmark::State& state, int position) {
    Scene& s = TheScene();
    const kv::ZoomRatio r = kv::RatioOfPosition(position);
    std::vector<pixkit::Pixel> out(std::size_t(1920) * 1080);
    std::vector<int> cols;
    for (auto _ : state) {
        kv::StretchToView(s.image, r, 0, 0, 1920, 1080, out.data(), 1920, cols);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(state.iterations());
}

} // namespace

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    benchmark::RegisterBenchmark("view_repaint_zoom_1_4", Repaint, -4)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("view_repaint_zoom_1_2", Repaint, -2)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("view_repaint_zoom_1", Repaint, 1)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("view_repaint_zoom_3", Repaint, 3)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("view_repaint_zoom_8", Repaint, 8)->Unit(benchmark::kMillisecond);
    for (auto [name, position] : {std::pair{"view_stretch_zoom_1_4", -4},
                                  {"view_stretch_zoom_1_2", -2},
                                  {"view_stretch_zoom_1", 1},
                                  {"view_stretch_zoom_3", 3},
                                  {"view_stretch_zoom_8", 8}})
        benchmark::RegisterBenchmark(name, StretchOnly, position)->Unit(benchmark::kMillisecond);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    TheScene().box.reset();
    benchmark::Shutdown();
    return 0;
}
