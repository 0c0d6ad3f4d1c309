// Region arithmetic on disjoint rectangle lists.
#include "metafile_region.h"

#include <algorithm>

namespace pixkit {

namespace {

bool Overlap(const Rect& a, const Rect& b) {
    return a.Left <= b.Right && b.Left <= a.Right && a.Top <= b.Bottom && b.Top <= a.Bottom;
}

// r without s, as up to four disjoint pieces: the bands above and below s,
// then the parts left and right of it.
void SubtractRect(const Rect& r, const Rect& s, std::vector<Rect>& out) {
    if (!Overlap(r, s)) {
        out.push_back(r);
        return;
    }
    const int top = std::max(r.Top, s.Top), bottom = std::min(r.Bottom, s.Bottom);
    if (r.Top < s.Top) out.push_back({r.Left, r.Top, r.Right, s.Top - 1});
    if (r.Bottom > s.Bottom) out.push_back({r.Left, s.Bottom + 1, r.Right, r.Bottom});
    if (r.Left < s.Left) out.push_back({r.Left, top, s.Left - 1, bottom});
    if (r.Right > s.Right) out.push_back({s.Right + 1, top, r.Right, bottom});
}

MetaRegion Intersect(const MetaRegion& a, const MetaRegion& b, std::int64_t& work) {
    MetaRegion out;
    work += std::int64_t(a.rects.size()) * std::int64_t(b.rects.size());
    for (const Rect& p : a.rects)
        for (const Rect& q : b.rects)
            if (Overlap(p, q))
                out.rects.push_back({std::max(p.Left, q.Left), std::max(p.Top, q.Top),
                                     std::min(p.Right, q.Right), std::min(p.Bottom, q.Bottom)});
    return out;
}

MetaRegion Subtract(const MetaRegion& a, const MetaRegion& b, std::int64_t& work) {
    std::vector<Rect> rest = a.rects, next;
    for (const Rect& s : b.rects) {
        work += std::int64_t(rest.size());
        next.clear();
        for (const Rect& r : rest) SubtractRect(r, s, next);
        rest.swap(next);
    }
    return {rest};
}

MetaRegion Unite(const MetaRegion& a, const MetaRegion& b, std::int64_t& work) {
    MetaRegion out = a;
    const MetaRegion extra = Subtract(b, a, work);
    out.rects.insert(out.rects.end(), extra.rects.begin(), extra.rects.end());
    return out;
}

} // namespace

MetaRegion RectRegion(const Rect& r) {
    MetaRegion out;
    if (!r.Empty()) out.rects.push_back(r);
    return out;
}

MetaRegion OffsetRegion(const MetaRegion& a, int dx, int dy) {
    MetaRegion out = a;
    for (Rect& r : out.rects) r = {r.Left + dx, r.Top + dy, r.Right + dx, r.Bottom + dy};
    return out;
}

MetaRegion CombineRegions(const MetaRegion& a, const MetaRegion& b, int mode, std::int64_t& work) {
    switch (mode) {
    case 1:
        return Intersect(a, b, work);
    case 2:
        return Unite(a, b, work);
    case 3:
        return Unite(Subtract(a, b, work), Subtract(b, a, work), work);
    case 4:
        return Subtract(a, b, work);
    default:
        return b;
    }
}

} // namespace pixkit
