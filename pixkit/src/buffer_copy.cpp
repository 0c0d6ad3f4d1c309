// Copying between buffers: keyed copy, copy along a line, exchange.
#include <pixkit/buffer.h>
#include <pixkit/threads.h>

#include "clip.h"
#include "line_walk.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace pixkit {

namespace {

// Copies n pixels, leaving the target where the source equals key. Written
// as a select over both rows so the compiler turns it into vector compares
// and blends; without restrict it also checks for overlap and falls back to
// the scalar loop, which reads each source pixel before writing over it as
// long as the source does not lie below the target.
void KeyedRow(Pixel* d, const Pixel* s, std::size_t n, Pixel key) {
    for (std::size_t i = 0; i < n; ++i) {
        const Pixel v = s[i];
        d[i] = v == key ? d[i] : v;
    }
}

// Whether the rows of source and target lie in separate memory.
bool Apart(const Pixel* d, std::ptrdiff_t dPitch, const Pixel* s, std::ptrdiff_t sPitch,
           std::size_t w, int h) {
    const auto span = [&](const Pixel* p, std::ptrdiff_t pitch) {
        const Pixel* last = p + (h - 1) * pitch;
        return std::pair{std::min(p, last), std::max(p, last) + w};
    };
    const auto [d0, d1] = span(d, dPitch);
    const auto [s0, s1] = span(s, sPitch);
    return d1 <= s0 || s1 <= d0;
}

// Copy when source and target do not share memory: rows in any order, in
// bands on the pool.
void CopyApart(Pixel* d, std::ptrdiff_t dPitch, const Pixel* s, std::ptrdiff_t sPitch,
               std::size_t w, int h, Pixel key) {
    ForRows(h, std::int64_t(w) * h, [&](int first, int last) {
        for (int y = first; y < last; ++y) {
            Pixel* to = d + y * dPitch;
            const Pixel* from = s + y * sPitch;
            if (key == NoKey)
                std::memcpy(to, from, w * sizeof(Pixel));
            else
                KeyedRow(to, from, w, key);
        }
    });
}

} // namespace

void Buffer::Copy(Buffer& src, Pair<int> offset, Pixel key) {
    if (Empty() || src.Empty()) return;
    Rect t;
    if (!detail::ClipMoved(src.Area, offset.x, offset.y, Area, t)) return;
    const auto w = static_cast<std::size_t>(t.Right - t.Left + 1);
    const int h = t.Bottom - t.Top + 1;
    Pixel* d = At(t.Left, t.Top);
    const Pixel* s = src.At(static_cast<int>(std::int64_t(t.Left) - offset.x),
                            static_cast<int>(std::int64_t(t.Top) - offset.y));
    std::ptrdiff_t dPitch = Pitch, sPitch = src.Pitch;
    if (Apart(d, dPitch, s, sPitch, w, h)) {
        CopyApart(d, dPitch, s, sPitch, w, h, key);
        return;
    }
    // A source below the target in memory is copied from its last row up, so
    // that rows of an overlapping source are read before they are written.
    if (s < d) {
        d += (h - 1) * dPitch;
        s += (h - 1) * sPitch;
        dPitch = -dPitch;
        sPitch = -sPitch;
    }
    if (key == NoKey) {
        for (int y = 0; y < h; ++y, d += dPitch, s += sPitch) std::memmove(d, s, w * sizeof(Pixel));
        return;
    }
    // A row whose target starts inside its own source, to the right, would
    // be overwritten ahead of the reading; it goes through a copy.
    std::vector<Pixel> tmp;
    for (int y = 0; y < h; ++y, d += dPitch, s += sPitch) {
        if (s < d && d < s + w) {
            tmp.assign(s, s + w);
            KeyedRow(d, tmp.data(), w, key);
        } else {
            KeyedRow(d, s, w, key);
        }
    }
}

void Buffer::CopyLine(Buffer& src, Pair<int> p1, Pair<int> p2, Pair<int> offset) {
    if (Empty() || src.Empty()) return;
    if (p1.x == p2.x || p1.y == p2.y) {
        Buffer part(src,
                    Rect{std::min(p1.x, p2.x), std::min(p1.y, p2.y), std::max(p1.x, p2.x),
                         std::max(p1.y, p2.y)},
                    true);
        Copy(part, offset, NoKey);
        return;
    }
    // The walk runs in src coordinates, clipped to the part of src that
    // lands inside this buffer.
    Rect clip;
    if (!detail::ClipMoved(Area, -std::int64_t(offset.x), -std::int64_t(offset.y), src.Area, clip))
        return;
    detail::ClippedLine l;
    if (!detail::ClipLineWalk(p1, p2, clip, l)) return;
    const Pixel* s = src.At(l.x, l.y);
    Pixel* d = At(static_cast<int>(std::int64_t(l.x) + offset.x),
                  static_cast<int>(std::int64_t(l.y) + offset.y));
    const std::ptrdiff_t sMajor = l.majorX + std::ptrdiff_t(l.majorY) * src.Pitch;
    const std::ptrdiff_t sMinor = l.minorX + std::ptrdiff_t(l.minorY) * src.Pitch;
    const std::ptrdiff_t dMajor = l.majorX + std::ptrdiff_t(l.majorY) * Pitch;
    const std::ptrdiff_t dMinor = l.minorX + std::ptrdiff_t(l.minorY) * Pitch;
    *d = *s;
    detail::WalkSteps(l, [&](bool carry) {
        s += sMajor;
        d += dMajor;
        if (carry) {
            s += sMinor;
            d += dMinor;
        }
        *d = *s;
    });
}

void Buffer::Swap(Buffer& other) {
    if (Empty() || other.Empty() || &other == this) return;
    Rect t;
    if (!detail::ClipMoved(other.Area, 0, 0, Area, t)) return;
    const int w = t.Right - t.Left + 1;
    Pixel* a = At(t.Left, t.Top);
    Pixel* b = other.At(t.Left, t.Top);
    for (int y = t.Top; y <= t.Bottom; ++y, a += Pitch, b += other.Pitch)
        std::swap_ranges(a, a + w, b);
}

} // namespace pixkit
