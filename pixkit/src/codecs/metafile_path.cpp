// Paths of the playback device context: figures collected between
// BeginPath and EndPath, then filled and/or stroked as a whole.
#include "metafile_dc.h"

#include <pixkit/stream.h>

#include <algorithm>

namespace pixkit {

void MetaDC::MoveTo(double x, double y) {
    st.pos = {x, y};
    if (inPath_) path_.push_back({{st.pos}, false});
}

void MetaDC::BeginPath() {
    inPath_ = true;
    path_.clear();
}

void MetaDC::AbortPath() {
    inPath_ = false;
    path_.clear();
}

void MetaDC::CloseFigure() {
    if (!path_.empty()) path_.back().closed = true;
}

void MetaDC::AddFigure(std::vector<Pair<double>> pts, bool closed) {
    if (!pts.empty()) st.pos = pts.back();
    path_.push_back({std::move(pts), closed});
}

void MetaDC::DrawPath(bool fill, bool stroke) {
    std::vector<std::vector<Pair<double>>> dev;
    for (const Figure& f : path_) dev.push_back(ToGrid(f.pts));
    if (fill && !st.brush.hollow) FillPolygons(dev);
    for (std::size_t i = 0; stroke && i < dev.size(); ++i)
        StrokePath(dev[i], fill || path_[i].closed);
    path_.clear();
    inPath_ = false;
}

// The path's inside (under the fill mode) as the clip, combined with the
// clip by mode; the path is emptied.
void MetaDC::SelectClipPath(int mode) {
    if (path_.empty()) return; // no path: the call fails and changes nothing
    std::vector<std::vector<Pair<double>>> dev;
    double l = 1e9, t = 1e9, r = -1e9, b = -1e9;
    for (const Figure& f : path_) {
        dev.push_back(ToGrid(f.pts));
        for (const Pair<double>& p : dev.back()) {
            l = std::min(l, p.x), t = std::min(t, p.y);
            r = std::max(r, p.x), b = std::max(b, p.y);
        }
    }
    path_.clear();
    inPath_ = false;
    const int x0 = ClampToInt(l, out_.Area.Left, out_.Area.Right + 1);
    const int y0 = ClampToInt(t, out_.Area.Top, out_.Area.Bottom + 1);
    const int x1 = ClampToInt(r, out_.Area.Left - 1, out_.Area.Right);
    const int y1 = ClampToInt(b, out_.Area.Top - 1, out_.Area.Bottom);
    MetaRegion rgn;
    if (x0 <= x1 && y0 <= y1) {
        // Filled into a scratch buffer over the path's bounds, whose runs
        // of filled pixels become the region's rectangles.
        Buffer mask;
        mask.Alloc({x1 - x0 + 1, y1 - y0 + 1});
        if (mask.Empty()) throw EInvalidImage();
        mask.Box(mask.Area, 0);
        for (auto& poly : dev)
            for (Pair<double>& p : poly) p = {p.x - x0, p.y - y0};
        Charge(FillPolygonsInto(mask, dev, st.fill, 1) +
               std::int64_t(mask.Width()) * mask.Height());
        for (int y = 0; y < mask.Height(); ++y)
            for (int x = 0; x < mask.Width();) {
                if (*mask.At(x, y) == 0) {
                    ++x;
                    continue;
                }
                int e = x;
                while (e + 1 < mask.Width() && *mask.At(e + 1, y) != 0) ++e;
                rgn.rects.push_back({x + x0, y + y0, e + x0, y + y0});
                if (rgn.rects.size() > std::size_t(1) << 16) throw EInvalidImage();
                x = e + 1;
            }
    }
    SelectClip(&rgn, mode);
}

} // namespace pixkit
