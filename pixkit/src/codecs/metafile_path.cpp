// Paths of the playback device context: figures collected between
// BeginPath and EndPath, then filled and/or stroked as a whole.
#include "metafile_dc.h"

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
    if (fill && !st.brush.hollow) FillPolygons(dev, st.brush.colour);
    for (std::size_t i = 0; stroke && i < dev.size(); ++i)
        StrokePath(dev[i], fill || path_[i].closed);
    path_.clear();
    inPath_ = false;
}

} // namespace pixkit
