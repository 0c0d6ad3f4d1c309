// The text tool's redraw after each key: a 40-character line at size 32 with
// shadow and outline is erased and drawn again with its caret, anti-alias off
// and on. Items are keys (redraws); bench/peers/pillow_text.py draws the same
// line with the same font file through Pillow.
#include "paint/textblock.h"

#include <pixkit/buffer.h>

#include <benchmark/benchmark.h>

using namespace pixkit;

namespace {

constexpr char32_t kLine[] = U"The quick brown fox jumps over the lazy ";

void Redraw(benchmark::State& state, bool antiAlias) {
    Buffer image;
    image.Alloc({1600, 400});
    image.Box(image.Area, 0x00F0F0F0);
    kv::TextStyle style;
    style.Family = "DejaVu Sans";
    style.Size = 32;
    style.Shadow = style.Outline = true;
    style.AntiAlias = antiAlias;
    style.Draw = 0x00200000;
    style.Back = 0x00FFFF00;
    kv::TextBlock block;
    block.SetStyle(style);
    block.Place({20, 200});
    std::u32string text = kLine;
    block.Edit(text);
    block.Draw(image, image, true);
    for (auto _ : state) {
        // Another last character each time, as when typing.
        text.back() = text.back() == U' ' ? U'x' : U' ';
        block.Erase(image);
        block.Edit(text);
        block.Draw(image, image, true);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations());
}

void RedrawPlain(benchmark::State& state) {
    Redraw(state, false);
}
BENCHMARK(RedrawPlain)->Name("TextKey40_32/pixkit")->Unit(benchmark::kMicrosecond);

void RedrawSmooth(benchmark::State& state) {
    Redraw(state, true);
}
BENCHMARK(RedrawSmooth)->Name("TextKey40_32AA/pixkit")->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
