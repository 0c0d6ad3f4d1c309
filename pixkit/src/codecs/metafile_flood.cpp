// Flood fills of the metafile players (FLOODFILL, EXTFLOODFILL): the
// pixels of the output connected to a start pixel through its four
// neighbours, either all of one colour (surface) or all but a border
// colour, painted with the current brush.
#include "metafile_dc.h"

#include <cstdint>
#include <vector>

namespace pixkit {

namespace {

// The filled pixels of b as one flag a pixel, row by row from b.Area's top
// left; found by spans, each pushed once per row above and below.
std::vector<std::uint8_t> FloodMask(const Buffer& b, Pair<int> start, Pixel c, bool surface,
                                    std::int64_t& visited) {
    const Rect& a = b.Area;
    const int w = a.Right - a.Left + 1, h = a.Bottom - a.Top + 1;
    std::vector<std::uint8_t> mask(std::size_t(w) * std::size_t(h), 0);
    const auto inside = [&](int x, int y) {
        if (mask[std::size_t(y) * std::size_t(w) + std::size_t(x)]) return false;
        const bool same = (*b.At(a.Left + x, a.Top + y) & 0x00FFFFFF) == c;
        return surface ? same : !same;
    };
    std::vector<Pair<int>> todo{{start.x - a.Left, start.y - a.Top}};
    while (!todo.empty()) {
        const auto [x0, y] = todo.back();
        todo.pop_back();
        if (!inside(x0, y)) continue;
        int l = x0, r = x0;
        while (l > 0 && inside(l - 1, y)) --l;
        while (r + 1 < w && inside(r + 1, y)) ++r;
        std::fill_n(mask.begin() + std::ptrdiff_t(std::size_t(y) * std::size_t(w) + std::size_t(l)),
                    r - l + 1, std::uint8_t(1));
        visited += r - l + 1;
        for (const int ny : {y - 1, y + 1}) {
            if (ny < 0 || ny >= h) continue;
            // One seed for each run of fillable pixels next to the span.
            for (int x = l; x <= r; ++x)
                if (inside(x, ny) && (x == l || !inside(x - 1, ny))) todo.push_back({x, ny});
        }
    }
    return mask;
}

} // namespace

void MetaDC::FloodFill(double x, double y, Pixel c, bool surface) {
    const Pair<double> p = ToOutput(x, y);
    const Pair<int> start{PixelOf(p.x), PixelOf(p.y)};
    if (!out_.Contains(start) || st.brush.hollow) return;
    const bool same = (*out_.At(start.x, start.y) & 0x00FFFFFF) == (c & 0x00FFFFFF);
    if (same != surface) return;
    // Clearing the mask costs too: a file of many fills pays for each.
    std::int64_t visited = std::int64_t(out_.Width()) * out_.Height() / 16;
    const std::vector<std::uint8_t> mask = FloodMask(out_, start, c & 0x00FFFFFF, surface, visited);
    Charge(visited);
    MetaPaint paint = BrushPaint();
    paint.rop2 = 13; // the brush is copied, as PATCOPY does
    const Rect& a = out_.Area;
    const std::size_t w = std::size_t(a.Right - a.Left + 1);
    ForEachTarget([&](Buffer& t) {
        for (int row = t.Area.Top; row <= t.Area.Bottom; ++row) {
            const std::uint8_t* m = &mask[std::size_t(row - a.Top) * w];
            for (int col = t.Area.Left; col <= t.Area.Right;) {
                if (!m[col - a.Left]) {
                    ++col;
                    continue;
                }
                int end = col;
                while (end < t.Area.Right && m[end + 1 - a.Left]) ++end;
                PaintSpan(t, row, col, end, paint);
                col = end + 1;
            }
        }
    });
}

} // namespace pixkit
