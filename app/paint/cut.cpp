#include "paint/cut.h"

#include "paint/brush.h"
#include "paint/marking.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

namespace kv {

using pixkit::Buffer;
using pixkit::Pair;
using pixkit::Pixel;
using pixkit::Rect;

namespace {

constexpr Pixel kMarkedBit = 0x01000000;

// The marked pixels of region inside r, as a tight rectangle.
Rect TightMarkedBounds(const Buffer& region, Rect r) {
    r.Left = std::max(r.Left, region.Area.Left);
    r.Top = std::max(r.Top, region.Area.Top);
    r.Right = std::min(r.Right, region.Area.Right);
    r.Bottom = std::min(r.Bottom, region.Area.Bottom);
    Rect found{r.Right + 1, r.Bottom + 1, r.Left - 1, r.Top - 1};
    if (region.Empty() || r.Right < r.Left || r.Bottom < r.Top) return found;
    const int n = r.Right - r.Left + 1;
    for (int y = r.Top; y <= r.Bottom; ++y) {
        const Pixel* p = region.At(r.Left, y);
        int first = 0;
        while (first < n && (p[first] & kMarkedBit) == 0) ++first;
        if (first == n) continue;
        int last = n - 1;
        while ((p[last] & kMarkedBit) == 0) --last;
        found.Top = std::min(found.Top, y);
        found.Bottom = y;
        found.Left = std::min(found.Left, r.Left + first);
        found.Right = std::max(found.Right, r.Left + last);
    }
    return found;
}

// The index of the smallest count, the first one on a tie.
int LeastUsed(const std::array<std::int64_t, 256>& count) {
    return static_cast<int>(std::min_element(count.begin(), count.end()) - count.begin());
}

// Counts channel (a shift of 16, 8 or 0) over the opaque pixels of brush
// whose bits under mask equal want.
template <int Shift>
std::array<std::int64_t, 256> CountChannel(const Buffer& brush, Pixel mask, Pixel want) {
    std::array<std::int64_t, 256> count{};
    for (int y = brush.Area.Top; y <= brush.Area.Bottom; ++y) {
        const Pixel* p = brush.At(brush.Area.Left, y);
        for (int i = 0, n = brush.Width(); i < n; ++i)
            if (p[i] != kBrushTransparent && (p[i] & mask) == want) ++count[(p[i] >> Shift) & 0xFF];
    }
    return count;
}

// ChooseFreeColour with the reds of brush's opaque pixels counted already.
Pixel FreeColourFromReds(const std::array<std::int64_t, 256>& reds, const Buffer& brush,
                         Pixel fallback) {

    const int r = LeastUsed(reds);
    const Pixel red = Pixel(r) << 16;
    if (reds[static_cast<std::size_t>(r)] == 0) return red;
    const auto greens = CountChannel<8>(brush, 0xFF0000, red);
    const int g = LeastUsed(greens);
    const Pixel redGreen = red | Pixel(g) << 8;
    if (greens[static_cast<std::size_t>(g)] == 0) return redGreen;
    const auto blues = CountChannel<0>(brush, 0xFFFF00, redGreen);
    const int bl = LeastUsed(blues);
    if (blues[static_cast<std::size_t>(bl)] == 0) return redGreen | Pixel(bl);
    return fallback;
}

} // namespace

std::optional<Rect> CutRect(Pair<int> a, Pair<int> b, Pair<int> size) {
    Rect r{std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x), std::max(a.y, b.y)};
    if (r.Right < 0 || r.Bottom < 0 || r.Left >= size.x || r.Top >= size.y) return std::nullopt;
    r.Left = std::max(r.Left, 0);
    r.Top = std::max(r.Top, 0);
    r.Right = std::min(r.Right, size.x - 1);
    r.Bottom = std::min(r.Bottom, size.y - 1);
    return r;
}

CutOutcome TakeBrush(Buffer& image, Rect r, Pixel back, Buffer& brush) {
    brush.Free();
    const Pair<int> size{r.Right - r.Left + 1, r.Bottom - r.Top + 1};
    if (!FitsBrushLimit(size)) return CutOutcome::TooBig;
    brush.Alloc(size);
    if (brush.Empty()) return CutOutcome::TooBig;
    brush.Copy(image, {-r.Left, -r.Top}, kCopyAll);
    brush.ChColor(back & 0xFFFFFF, kBrushTransparent);
    return CutOutcome::Taken;
}

CutOutcome MakeBrushFromMarks(Buffer& region, Rect within, const Buffer* before, Pixel back,
                              MarkedCut& cut, AfterCut after) {
    cut.Brush.Free();
    const Rect b = TightMarkedBounds(region, within);
    if (b.Right < b.Left) return CutOutcome::Nothing;
    const Pair<int> size{b.Right - b.Left + 1, b.Bottom - b.Top + 1};
    if (!FitsBrushLimit(size)) return CutOutcome::TooBig;
    cut.Brush.Alloc(size);
    if (cut.Brush.Empty()) return CutOutcome::TooBig;
    // The reds of the opaque pixels are counted on the way, in four
    // interleaved tables so that repeated values do not wait on each other;
    // bin 256 takes the transparent pixels.
    std::array<std::array<std::int64_t, 257>, 4> reds{};
    const std::size_t rowBytes = std::size_t(size.x) * sizeof(Pixel);
    for (int y = b.Top; y <= b.Bottom; ++y) {
        Pixel* m = region.At(b.Left, y);
        const Pixel* s = before != nullptr ? before->At(b.Left, y) : m;
        Pixel* d = cut.Brush.At(0, y - b.Top);
        for (int i = 0; i < size.x; ++i) {
            const bool marked = (m[i] & kMarkedBit) != 0;
            const Pixel c = s[i] & 0xFFFFFF;
            d[i] = marked ? c : kBrushTransparent;
            ++reds[std::size_t(i) & 3][marked ? c >> 16 : 256];
        }
        if (after == AfterCut::Restore) {
            if (before != nullptr)
                std::memcpy(m, s, rowBytes);
            else
                for (int i = 0; i < size.x; ++i) m[i] &= ~kMarkBits;
        }
    }
    std::array<std::int64_t, 256> red{};
    for (const auto& table : reds)
        for (std::size_t v = 0; v < 256; ++v) red[v] += table[v];
    cut.Bounds = b;
    cut.Background = FreeColourFromReds(red, cut.Brush, back & 0xFFFFFF);
    return CutOutcome::Taken;
}

void RestoreArea(Buffer& view, const Buffer* before, Rect r) {
    r = ClipTo(view, r);
    if (r.Empty()) return;
    if (before == nullptr) {
        StripMarks(view, r);
        return;
    }
    const std::size_t bytes = std::size_t(r.Right - r.Left + 1) * sizeof(Pixel);
    for (int y = r.Top; y <= r.Bottom; ++y)
        std::memcpy(view.At(r.Left, y), before->At(r.Left, y), bytes);
}

Pixel ChooseFreeColour(const Buffer& brush, Pixel fallback) {
    return FreeColourFromReds(CountChannel<16>(brush, 0, 0), brush, fallback);
}

} // namespace kv
