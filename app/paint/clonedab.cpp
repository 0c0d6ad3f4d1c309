#include "paint/clonedab.h"

#include "paint/brush.h"

#include <algorithm>
#include <cstdint>
#include <functional>

namespace kv {

using pixkit::Buffer;
using pixkit::Pair;
using pixkit::Pixel;
using pixkit::Rect;

namespace {

Rect Intersect(const Rect& a, const Rect& b) {
    return {std::max(a.Left, b.Left), std::max(a.Top, b.Top), std::min(a.Right, b.Right),
            std::min(a.Bottom, b.Bottom)};
}

bool SharesMemory(const Buffer& a, const Buffer& b) {
    const auto span = [](const Buffer& x) {
        const auto* first = x.At(x.Area.Left, x.Area.Top);
        const auto* last = x.At(x.Area.Right, x.Area.Bottom);
        return std::pair{first, last};
    };
    const auto [a0, a1] = span(a);
    const auto [b0, b1] = span(b);
    const std::less_equal<const Pixel*> le;
    return le(a0, b1) && le(b0, a1);
}

// The n pixels of row (w wide) from column sx on, each column clamped to
// 0..w-1, handed to put(i, pixel) in three runs, so that the middle run
// walks the row without a check per pixel.
template <typename Put>
inline void ClampedRun(const Pixel* row, int w, std::int64_t sx, int n, Put&& put) {
    const int left = static_cast<int>(std::clamp<std::int64_t>(-sx, 0, n));
    const int mid = static_cast<int>(std::clamp<std::int64_t>(w - sx, left, n));
    const Pixel first = row[0], last = row[w - 1];
    int i = 0;
    for (; i < left; ++i) put(i, first);
    if (mid > left) {
        const Pixel* s = row + (sx + left); // column sx + left lies inside the row
        for (; i < mid; ++i) put(i, s[i - left]);
    }
    for (; i < n; ++i) put(i, last);
}

// Row y (image coordinates) of source, clamped to its rows.
const Pixel* SourceRow(const Buffer& source, std::int64_t y) {
    const auto sy =
        static_cast<int>(std::clamp<std::int64_t>(y, source.Area.Top, source.Area.Bottom));
    return source.At(source.Area.Left, sy);
}

} // namespace

Rect CloneDab(Buffer& image, const Rect& clip, const Buffer& source, const Buffer& mask,
              Pair<int> corner, Pair<int> offset, std::vector<Pixel>& scratch) {
    Rect box{corner.x, corner.y, corner.x + mask.Width() - 1, corner.y + mask.Height() - 1};
    box = Intersect(Intersect(box, clip), image.Area);
    if (box.Right < box.Left || box.Bottom < box.Top || mask.Empty() || source.Empty())
        return {0, 0, -1, -1};
    const int n = box.Right - box.Left + 1, rows = box.Bottom - box.Top + 1;
    const int sw = source.Width();
    const std::int64_t sx = std::int64_t(box.Left) + offset.x - source.Area.Left;
    const bool gather = SharesMemory(image, source);
    if (gather) {
        scratch.resize(std::size_t(n) * std::size_t(rows));
        for (int r = 0; r < rows; ++r) {
            Pixel* out = scratch.data() + std::size_t(r) * std::size_t(n);
            ClampedRun(SourceRow(source, std::int64_t(box.Top) + r + offset.y), sw, sx, n,
                       [out](int i, Pixel p) { out[i] = p; });
        }
    }
    const int mx = mask.Area.Left + box.Left - corner.x;
    for (int r = 0; r < rows; ++r) {
        const int y = box.Top + r;
        const Pixel* m = mask.At(mx, mask.Area.Top + y - corner.y);
        Pixel* d = image.At(box.Left, y);
        const auto put = [m, d](int i, Pixel p) { d[i] = m[i] != kBrushTransparent ? p : d[i]; };
        if (gather) {
            const Pixel* s = scratch.data() + std::size_t(r) * std::size_t(n);
            for (int i = 0; i < n; ++i) put(i, s[i]);
        } else {
            ClampedRun(SourceRow(source, std::int64_t(y) + offset.y), sw, sx, n, put);
        }
    }
    return box;
}

} // namespace kv
