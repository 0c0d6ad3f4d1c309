// The Brush menu's transforms on large brushes: Halve and Double of a
// 2000 x 2000 brush with half its pixels transparent (the whole command:
// new block, background fill, scale, background to transparent), plain and
// anti-aliased; Mirror of a 4000 x 3000 brush in place; and one step of the
// stretch preview, a 1000 x 1000 brush shown at 1500 x 1500 over a 4000 x
// 3000 image. The view draws that preview: a step is the brush scaled over
// the image pixels in the view's paint bands as it repaints the rectangle
// (StretchPreview1000; StretchPreviewPaint1000 adds the copy of the image
// pixels into the bands that every repaint makes). StretchPreviewSaved1000
// is the step of the preview drawn into the image instead: the saved area
// put back, the new area saved, the brush scaled into the image. Items are
// source pixels, as bench/peers/opencv_brushops.py counts them.
#include "brushops/transform.h"
#include "view/stretch.h"

#include <pixkit/buffer.h>

#include "pixman_scale.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>
#include <vector>

using namespace pixkit;

namespace {

constexpr Pixel kBack = 0x00203040;

void RandomBrush(Buffer& b, int w, int h) {
    b.Alloc(Pair<int>{w, h});
    std::mt19937 random(7);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            *b.At(x, y) = (random() & 1) ? kv::kBrushTransparent : Pixel(random() & 0xFFFFFF);
}

void Scale(benchmark::State& state, double f, int mode) {
    Buffer source;
    RandomBrush(source, 2000, 2000);
    Buffer work;
    for (auto _ : state) {
        state.PauseTiming();
        kv::CloneBuffer(work, source);
        state.ResumeTiming();
        kv::ScaleBrush(work, f, f, kBack, mode);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * 2000 * 2000);
}

// pixman scaling the same brush into a new target, as the command makes a
// new brush (no transparency handled: less work than the command does).
void ScalePixman(benchmark::State& state, int side, pixman_filter_t filter) {
    Buffer source, target;
    RandomBrush(source, 2000, 2000);
    target.Alloc(Pair<int>{side, side});
    benchpeer::PixmanScale(state, source, target, filter, 2000 * 2000, true);
}

void Mirror(benchmark::State& state) {
    Buffer b;
    RandomBrush(b, 4000, 3000);
    for (auto _ : state) {
        kv::MirrorLeftRight(b);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * 4000 * 3000);
}

void StretchPreviewSaved(benchmark::State& state) {
    Buffer brush, image, saved;
    RandomBrush(brush, 1000, 1000);
    image.Alloc(Pair<int>{4000, 3000});
    image.Box(image.Area, 0x00808080);
    const Pair<int> at{700, 500}, size{1500, 1500};
    saved.Alloc(size);
    saved.Copy(image, {-at.x, -at.y}, kv::kCopyAll);
    for (auto _ : state) {
        image.Copy(saved, at, kv::kCopyAll);
        saved.Copy(image, {-at.x, -at.y}, kv::kCopyAll);
        image.Scale(brush, size, at, kv::kBrushTransparent, 0);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * 1000 * 1000);
}

// The view repainting the preview's rectangle at 1:1 in bands of 512 KiB,
// as it paints, with the overlay composed into each band; withCopy adds
// the image pixels copied into the band first.
void StretchPreviewOverlay(benchmark::State& state, bool withCopy) {
    Buffer brush, image;
    RandomBrush(brush, 1000, 1000);
    image.Alloc(Pair<int>{4000, 3000});
    image.Box(image.Area, 0x00808080);
    const Pair<int> at{700, 500}, size{1500, 1500};
    const kv::ViewOverlay overlay{
        {at.x, at.y, at.x + size.x - 1, at.y + size.y - 1},
        [&](Buffer& shown) { shown.Scale(brush, size, at, kv::kBrushTransparent, 0); }};
    const int band = (1 << 19) / (size.x * 4);
    std::vector<Pixel> scratch(std::size_t(size.x) * std::size_t(band));
    std::vector<int> cols;
    Buffer temp;
    const kv::ZoomRatio one{1, 1};
    for (int y = at.y; y < at.y + size.y; y += band)
        kv::StretchToView(image, one, at.x, y, size.x, band, scratch.data(), size.x, cols);
    for (auto _ : state) {
        for (int y = at.y; y < at.y + size.y; y += band) {
            const int rows = std::min(band, at.y + size.y - y);
            if (withCopy)
                kv::StretchToView(image, one, at.x, y, size.x, rows, scratch.data(), size.x, cols);
            kv::ComposeOverlay(overlay, image, one, at.x, y, size.x, rows, scratch.data(), size.x,
                               cols, temp);
        }
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * 1000 * 1000);
}

} // namespace

BENCHMARK_CAPTURE(Scale, halve, 0.5, 0)->Name("Halve2000/pixkit")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Scale, halveaa, 0.5, 1)
    ->Name("Halve2000AA/pixkit")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Scale, dbl, 2.0, 0)->Name("Double2000/pixkit")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Scale, dblaa, 2.0, 1)->Name("Double2000AA/pixkit")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ScalePixman, halve, 1000, PIXMAN_FILTER_NEAREST)
    ->Name("Halve2000/pixman_nearest")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ScalePixman, halveaa, 1000, PIXMAN_FILTER_BILINEAR)
    ->Name("Halve2000AA/pixman_bilinear")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ScalePixman, dbl, 4000, PIXMAN_FILTER_NEAREST)
    ->Name("Double2000/pixman_nearest")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ScalePixman, dblaa, 4000, PIXMAN_FILTER_BILINEAR)
    ->Name("Double2000AA/pixman_bilinear")
    ->Unit(benchmark::kMillisecond);
BENCHMARK(Mirror)->Name("Mirror4000x3000/pixkit")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(StretchPreviewOverlay, overlay, false)
    ->Name("StretchPreview1000/pixkit")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(StretchPreviewOverlay, paint, true)
    ->Name("StretchPreviewPaint1000/pixkit")
    ->Unit(benchmark::kMillisecond);
BENCHMARK(StretchPreviewSaved)
    ->Name("StretchPreviewSaved1000/pixkit")
    ->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
