// Flood marking by scan-line spans, outline marking by row toggling, the
// fill passes over the marks and mark stripping.
#include "paint/marking.h"

#include "colors/colormath.h"
#include "paint/stamper.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <deque>

namespace kv {

using pixkit::Buffer;
using pixkit::Pair;
using pixkit::Pixel;
using pixkit::Rect;

Rect Union(const Rect& a, const Rect& b) {
    if (a.Empty()) return b;
    if (b.Empty()) return a;
    return {std::min(a.Left, b.Left), std::min(a.Top, b.Top), std::max(a.Right, b.Right),
            std::max(a.Bottom, b.Bottom)};
}

Rect ClipTo(const Buffer& view, const Rect& r) {
    if (view.Empty()) return kNoRect;
    const Rect c{std::max(r.Left, view.Area.Left), std::max(r.Top, view.Area.Top),
                 std::min(r.Right, view.Area.Right), std::min(r.Bottom, view.Area.Bottom)};
    return c.Empty() ? kNoRect : c;
}

namespace {

// --- Flood marking ------------------------------------------------------
//
// A work item asks to scan row y over columns [From, To] for pixels that
// join; row y - Dir is already settled over [DoneFrom, DoneTo] (all marked
// or never joining, which stays so). Every joining pixel found is grown
// into its maximal run on the row, which is marked at once. Runs found in
// one scan whose gaps are at most kMergeGap pixels form a group [a, b]:
// the gaps were read and never join, so the whole group is settled. A
// scan that spans a group's gaps also reads pixels beside them, so a run
// is marked only when it touches a marked pixel of the settled row; a run
// that joins by colour but not by place ends the group. The group
// then asks for row y + Dir over its neighbourhood [a - d, b + d],
// and for row y - Dir over the part of that outside [DoneFrom, DoneTo].
// Each run is found once and its group asks for at most three scans of
// its width plus 2d plus at most one gap, so the work is linear in the
// marked pixels plus their borders. Grouping keeps the scans row-long on
// speckled areas, and the items are taken first in, first out, so the
// work moves through the image as a front of nearby rows instead of
// climbing narrow runs through memory.
constexpr int kMergeGap = 16;

struct ScanItem {
    int Y, From, To, Dir, DoneFrom, DoneTo;
};

template <typename Joins> class Flood {
  public:
    Flood(Buffer& view, int d, Joins joins) : v_(view), d_(d), joins_(joins) {}

    FloodResult Run(Pair<int> seed) {
        Pixel* row = Row(seed.y);
        row[seed.x] |= kMarked;
        const auto [a, b] = RunAt(row, seed.x);
        MarkRun(row, seed.y, a, b);
        Ask(seed.y + 1, a - d_, b + d_, 1, a, b);
        Ask(seed.y - 1, a - d_, b + d_, -1, a, b);
        while (!work_.empty()) {
            const ScanItem item = work_.front();
            work_.pop_front();
            Scan(item);
        }
        return result_;
    }

  private:
    // Row y indexed by image column.
    Pixel* Row(int y) const { return v_.At(v_.Area.Left, y) - v_.Area.Left; }

    void Ask(int y, int from, int to, int dir, int doneFrom, int doneTo) {
        if (y < v_.Area.Top || y > v_.Area.Bottom) return;
        from = std::max(from, v_.Area.Left);
        to = std::min(to, v_.Area.Right);
        if (from <= to) work_.push_back({y, from, to, dir, doneFrom, doneTo});
    }

    // The maximal run of joining pixels around x (which joins or is marked
    // already); nothing is marked yet.
    std::pair<int, int> RunAt(const Pixel* row, int x) {
        int a = x, b = x;
        while (a > v_.Area.Left && joins_(row[a - 1])) --a;
        while (b < v_.Area.Right && joins_(row[b + 1])) ++b;
        result_.Examined += b - a + 3;
        return {a, b};
    }

    void MarkRun(Pixel* row, int y, int a, int b) {
        for (int i = a; i <= b; ++i) row[i] |= kMarked;
        result_.Marked += b - a + 1;
        result_.Bounds = Union(result_.Bounds, Rect{a, y, b, y});
    }

    // A run [a, b] is reached from the settled row when a pixel of it
    // or (with corners) beside it there is marked.
    bool Touches(const Pixel* settled, int a, int b) {
        const int from = std::max(a - d_, v_.Area.Left), to = std::min(b + d_, v_.Area.Right);
        result_.Examined += to - from + 1;
        for (int i = from; i <= to; ++i)
            if ((settled[i] & kMarked) != 0) return true;
        return false;
    }

    void Scan(const ScanItem& item) {
        Pixel* row = Row(item.Y);
        const Pixel* settled = Row(item.Y - item.Dir);
        result_.Examined += item.To - item.From + 1;
        int groupFrom = 0, groupTo = 0;
        bool grouped = false;
        for (int x = item.From; x <= item.To; ++x) {
            if (!joins_(row[x])) continue;
            const auto [a, b] = RunAt(row, x);
            x = b + 1; // row[b + 1] does not join: the run is maximal
            if (!Touches(settled, a, b)) {
                // Not reached from here (yet): the run is no settled gap.
                if (grouped) AskAround(item, groupFrom, groupTo);
                grouped = false;
                continue;
            }
            MarkRun(row, item.Y, a, b);
            const bool apart = !grouped || a - groupTo - 1 > kMergeGap;
            if (grouped && apart) AskAround(item, groupFrom, groupTo);
            if (apart) groupFrom = a;
            groupTo = b;
            grouped = true;
        }
        if (grouped) AskAround(item, groupFrom, groupTo);
    }

    // The scans the settled group [a, b] of row item.Y asks for.
    void AskAround(const ScanItem& item, int a, int b) {
        result_.Examined += 2 * d_;
        Ask(item.Y + item.Dir, a - d_, b + d_, item.Dir, a, b);
        Ask(item.Y - item.Dir, a - d_, item.DoneFrom - 1, -item.Dir, a, b);
        Ask(item.Y - item.Dir, item.DoneTo + 1, b + d_, -item.Dir, a, b);
    }

    Buffer& v_;
    const int d_;
    Joins joins_;
    std::deque<ScanItem> work_;
    FloodResult result_;
};

template <typename Joins>
FloodResult RunFlood(Buffer& view, Pair<int> seed, Neighbours n, Joins joins) {
    return Flood<Joins>(view, n == Neighbours::Eight ? 1 : 0, joins).Run(seed);
}

} // namespace

FloodResult FloodMark(Buffer& view, Pair<int> seed, int tolerance, Neighbours neighbours) {
    if (view.Empty() || !view.Contains(seed)) return {};
    tolerance = std::clamp(tolerance, 0, kMaxTolerance);
    const Pixel s = *view.At(seed.x, seed.y) & 0xFFFFFF;
    if (tolerance == 0) {
        // The same colour and no mark: one comparison.
        return RunFlood(view, seed, neighbours,
                        [s](Pixel p) { return (p & (kMarked | 0xFFFFFF)) == s; });
    }
    if (tolerance == kMaxTolerance)
        return RunFlood(view, seed, neighbours, [](Pixel p) { return (p & kMarked) == 0; });
    // Per-channel distance tables; the three lookups add up the distance.
    struct Tables {
        std::array<std::uint16_t, 256> R, G, B;
    } t;
    for (int i = 0; i < 256; ++i) {
        t.R[i] = static_cast<std::uint16_t>(std::abs(i - RedOf(s)));
        t.G[i] = static_cast<std::uint16_t>(std::abs(i - GreenOf(s)));
        t.B[i] = static_cast<std::uint16_t>(std::abs(i - BlueOf(s)));
    }
    const Tables* tp = &t;
    const int tol = tolerance;
    return RunFlood(view, seed, neighbours, [tp, tol](Pixel p) {
        return (p & kMarked) == 0 &&
               tp->R[(p >> 16) & 0xFF] + tp->G[(p >> 8) & 0xFF] + tp->B[p & 0xFF] <= tol;
    });
}

// --- Outline marking ----------------------------------------------------

void ToggleRow(Buffer& view, int x, int y) {
    if (view.Empty() || y < view.Area.Top || y > view.Area.Bottom) return;
    x = std::max(x, view.Area.Left);
    if (x > view.Area.Right) return;
    Pixel* p = view.At(x, y);
    const int n = view.Area.Right - x + 1;
    // Outline pixels (bit 25 set) keep their marks; the others flip bit 24.
    for (int i = 0; i < n; ++i) p[i] ^= ((~p[i] >> 1) & kMarked);
}

void OutlineMarker::Reset(Buffer& view, Pixel colour) {
    view_ = &view;
    colour_ = colour;
    started_ = false;
    bounds_ = kNoRect;
}

void OutlineMarker::Start(Pair<int> p) {
    started_ = true;
    first_ = last_ = p;
}

// The rows of [lower y, upper y) of the edge: on row y the edge's centre
// line crosses at xc = a.x + (y - a.y) (b.x - a.x) / (b.y - a.y), and the
// pixels right of it (x > xc, that is x >= floor(xc) + 1) are toggled.
void OutlineMarker::ToggleCrossings(Pair<int> a, Pair<int> b) {
    if (a.y == b.y) return;
    if (a.y > b.y) std::swap(a, b);
    const Rect& area = view_->Area;
    const int y0 = std::max(a.y, area.Top), y1 = std::min(b.y - 1, area.Bottom);
    const std::int64_t dx = std::int64_t(b.x) - a.x, dy = std::int64_t(b.y) - a.y;
    for (int y = y0; y <= y1; ++y) {
        const std::int64_t num = (std::int64_t(y) - a.y) * dx;
        const std::int64_t q = num >= 0 ? num / dy : -((-num + dy - 1) / dy);
        const std::int64_t from = a.x + q + 1;
        if (from > area.Right) continue;
        ToggleRow(*view_, static_cast<int>(std::max<std::int64_t>(from, area.Left)), y);
    }
}

void OutlineMarker::DrawOutline(Pair<int> a, Pair<int> b) {
    Buffer& v = *view_;
    const Pixel c = colour_;
    WalkSpaced(a, b, kOnePixel, kOnePixel, [&v, c](Pair<int> p) {
        if (!v.Contains(p)) return;
        Pixel* q = v.At(p.x, p.y);
        *q = c == kKeepColour ? (*q | kOutlineMark) : ((c & 0xFFFFFF) | kOutlineMark);
    });
}

Rect OutlineMarker::LineTo(Pair<int> p) {
    if (view_ == nullptr || view_->Empty()) return kNoRect;
    if (!started_) Start(p);
    const Pair<int> a = last_;
    last_ = p;
    if (a == p) return kNoRect;
    // Toggling first: the outline pixels drawn next keep their marks.
    ToggleCrossings(a, p);
    DrawOutline(a, p);
    // The shape's box grows unclipped: an outline around the view marks
    // all of it without an edge inside.
    const Rect box{std::min(a.x, p.x), std::min(a.y, p.y), std::max(a.x, p.x), std::max(a.y, p.y)};
    bounds_ = Union(bounds_, box);
    return ClipTo(*view_, box);
}

Rect OutlineMarker::MarkPoint(Pair<int> p) {
    if (view_ == nullptr || view_->Empty() || !view_->Contains(p)) return kNoRect;
    DrawOutline(p, p);
    const Rect box{p.x, p.y, p.x, p.y};
    bounds_ = Union(bounds_, box);
    return box;
}

// --- The fill passes ----------------------------------------------------

namespace {

// Calls paint(pixel pointer, x, y) for every marked pixel of view inside
// within, row by row; returns the box of those pixels.
template <typename Paint> Rect ForMarked(const Buffer& view, Rect within, Paint paint) {
    const Rect r = ClipTo(view, within.Empty() ? view.Area : within);
    if (r.Empty()) return kNoRect;
    int top = r.Bottom + 1, bottom = r.Top - 1, left = r.Right + 1, right = r.Left - 1;
    for (int y = r.Top; y <= r.Bottom; ++y) {
        Pixel* p = view.At(r.Left, y);
        int first = -1, last = -1;
        for (int i = 0, n = r.Right - r.Left + 1; i < n; ++i) {
            if ((p[i] & kMarked) == 0) continue;
            if (first < 0) first = i;
            last = i;
            paint(p + i, r.Left + i, y);
        }
        if (first < 0) continue;
        top = std::min(top, y), bottom = y;
        left = std::min(left, r.Left + first), right = std::max(right, r.Left + last);
    }
    return top > bottom ? kNoRect : Rect{left, top, right, bottom};
}

int ValueOf(Pixel p) {
    return std::max({RedOf(p), GreenOf(p), BlueOf(p)});
}

} // namespace

Rect FillMarkedSolid(Buffer& view, Pixel colour, bool colorize, Rect within) {
    colour &= 0xFFFFFF;
    if (!colorize) return ForMarked(view, within, [colour](Pixel* p, int, int) { *p = colour; });
    const Hsv hsv = RgbToHsv(RedOf(colour), GreenOf(colour), BlueOf(colour));
    std::array<Pixel, 256> shade;
    for (int v = 0; v < 256; ++v) shade[v] = HsvToRgb(hsv.H, hsv.S, v);
    return ForMarked(view, within, [&shade](Pixel* p, int, int) { *p = shade[ValueOf(*p)]; });
}

int FloorMod(std::int64_t v, int m) {
    const std::int64_t r = v % m;
    return static_cast<int>(r < 0 ? r + m : r);
}

Pair<int> OriginAlignedWithCut(Pair<int> size, Pair<int> cutFrom) {
    if (size.x <= 0 || size.y <= 0) return {0, 0};
    return {FloorMod(-std::int64_t(cutFrom.x), size.x), FloorMod(-std::int64_t(cutFrom.y), size.y)};
}

Pair<int> OriginAtPoint(Pair<int> size, Pair<int> handle, Pair<int> point) {
    if (size.x <= 0 || size.y <= 0) return {0, 0};
    return {FloorMod(std::int64_t(handle.x) - point.x, size.x),
            FloorMod(std::int64_t(handle.y) - point.y, size.y)};
}

namespace {

// The tile pixel for image positions visited row by row, left to right:
// the row is found once per image row and the column steps along without
// a division per pixel.
class TileWalk {
  public:
    TileWalk(const Buffer& tile, Pair<int> origin, Pixel back)
        : tile_(tile), w_(tile.Width()), h_(tile.Height()), o_(origin), back_(back) {}

    Pixel At(int x, int y) {
        if (y != y_ || row_ == nullptr) {
            y_ = y;
            row_ = tile_.At(tile_.Area.Left, tile_.Area.Top + FloorMod(std::int64_t(y) + o_.y, h_));
            x_ = x;
            col_ = FloorMod(std::int64_t(x) + o_.x, w_);
        } else if (x - x_ < w_) {
            col_ += x - x_;
            if (col_ >= w_) col_ -= w_;
            x_ = x;
        } else {
            x_ = x;
            col_ = FloorMod(std::int64_t(x) + o_.x, w_);
        }
        const Pixel m = row_[col_];
        return m == kBrushTransparent ? back_ : (m & 0xFFFFFF);
    }

  private:
    const Buffer& tile_;
    const int w_, h_;
    const Pair<int> o_;
    const Pixel back_;
    const Pixel* row_ = nullptr;
    int y_ = 0, x_ = 0, col_ = 0;
};

} // namespace

Rect FillMarkedPattern(Buffer& view, const Pattern& pattern, Rect within) {
    const Pixel back = pattern.Back & 0xFFFFFF;
    const Buffer* tile = pattern.Tile;
    if (tile == nullptr || tile->Empty())
        return ForMarked(view, within, [back](Pixel* p, int, int) { *p = back; });
    TileWalk source(*tile, pattern.Origin, back);
    if (!pattern.Colorize)
        return ForMarked(view, within, [&source](Pixel* p, int x, int y) { *p = source.At(x, y); });
    return ForMarked(view, within, [&source](Pixel* p, int x, int y) {
        const Pixel m = source.At(x, y);
        const Hsv hsv = RgbToHsv(RedOf(m), GreenOf(m), BlueOf(m));
        *p = HsvToRgb(hsv.H, hsv.S, (ValueOf(*p) + hsv.V) / 2);
    });
}

// --- Marking boxes and stripping ----------------------------------------

void MarkRect(Buffer& view, Rect r) {
    r = ClipTo(view, r);
    if (r.Empty()) return;
    for (int y = r.Top; y <= r.Bottom; ++y) {
        Pixel* p = view.At(r.Left, y);
        for (int i = 0, n = r.Right - r.Left + 1; i < n; ++i) p[i] |= kMarked;
    }
}

void StripMarks(Buffer& view, Rect r) {
    r = ClipTo(view, r.Empty() ? view.Area : r);
    if (r.Empty()) return;
    for (int y = r.Top; y <= r.Bottom; ++y) {
        Pixel* p = view.At(r.Left, y);
        for (int i = 0, n = r.Right - r.Left + 1; i < n; ++i) p[i] &= ~kMarkBits;
    }
}

bool HasMarks(const Buffer& view) {
    if (view.Empty()) return false;
    for (int y = view.Area.Top; y <= view.Area.Bottom; ++y) {
        const Pixel* p = view.At(view.Area.Left, y);
        Pixel any = 0;
        for (int i = 0, n = view.Width(); i < n; ++i) any |= p[i];
        if ((any & kMarkBits) != 0) return true;
    }
    return false;
}

Rect MarkedBounds(const Buffer& view) {
    return ForMarked(view, kNoRect, [](Pixel*, int, int) {});
}

} // namespace kv
