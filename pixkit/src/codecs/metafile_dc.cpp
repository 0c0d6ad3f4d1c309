// The playback device context: coordinate mapping, object table, saved
// states and the clip rectangle.
#include "metafile_dc.h"

#include <pixkit/stream.h>

#include <algorithm>
#include <cmath>

namespace pixkit {

namespace {

// Playback stops past this much work (pixels written plus polygon edges
// visited): far more than any real picture of kMaxMetaSide needs.
constexpr std::int64_t kWorkBudget = std::int64_t(1) << 28;
constexpr std::size_t kMaxSavedStates = 1024;

// Millimetres per logical unit of the metric map modes 2..6.
double MetricUnit(int mode) {
    switch (mode) {
    case 2:
        return 0.1; // MM_LOMETRIC
    case 3:
        return 0.01; // MM_HIMETRIC
    case 4:
        return 0.254; // MM_LOENGLISH
    case 5:
        return 0.0254; // MM_HIENGLISH
    default:
        return 25.4 / 1440.0; // MM_TWIPS
    }
}

double Ratio(double a, double b) {
    return b == 0 ? 1.0 : a / b;
}

} // namespace

MetaXform Multiply(const MetaXform& a, const MetaXform& b) {
    MetaXform r;
    r.m11 = a.m11 * b.m11 + a.m12 * b.m21;
    r.m12 = a.m11 * b.m12 + a.m12 * b.m22;
    r.m21 = a.m21 * b.m11 + a.m22 * b.m21;
    r.m22 = a.m21 * b.m12 + a.m22 * b.m22;
    r.dx = a.dx * b.m11 + a.dy * b.m21 + b.dx;
    r.dy = a.dx * b.m12 + a.dy * b.m22 + b.dy;
    return r;
}

MetaDC::MetaDC(Buffer& out, Pair<double> scale, Pair<double> offset)
    : out_(out), scale_(scale), offset_(offset) {}

void MetaDC::SetTableSize(std::size_t n) {
    objects_.assign(n, MetaObject{});
}

void MetaDC::PutObject(std::size_t index, const MetaObject& obj) {
    if (index >= objects_.size()) throw EInvalidImage();
    objects_[index] = obj;
}

std::size_t MetaDC::FreeSlot() const {
    for (std::size_t i = 0; i < objects_.size(); ++i)
        if (objects_[i].kind == MetaObject::Kind::Empty) return i;
    throw EInvalidImage();
}

void MetaDC::SelectObject(std::size_t index) {
    if (index >= objects_.size()) throw EInvalidImage();
    const MetaObject& o = objects_[index];
    if (o.kind == MetaObject::Kind::Pen)
        st.pen = o.pen;
    else if (o.kind == MetaObject::Kind::Brush)
        st.brush = o.brush;
    else if (o.kind == MetaObject::Kind::Font)
        st.font = o.font;
}

void MetaDC::DeleteObject(std::size_t index) {
    if (index >= objects_.size()) throw EInvalidImage();
    objects_[index] = MetaObject{};
}

void MetaDC::SelectStock(std::uint32_t id) {
    static const Pixel greys[] = {0xFFFFFF, 0xC0C0C0, 0x808080, 0x404040, 0x000000};
    if (id <= 4)
        st.brush = {false, greys[id]};
    else if (id == 5)
        st.brush = {true, 0};
    else if (id == 6 || id == 7)
        st.pen = {0, 0, id == 6 ? 0xFFFFFFu : 0u};
    else if (id == 8)
        st.pen = {5, 0, 0};
    else if (id >= 10 && id <= 17)
        st.font = MetaFont{};
    else if (id == 18)
        st.brush = {false, 0xFFFFFF};
    else if (id == 19)
        st.pen = {0, 0, 0};
}

void MetaDC::SaveDC() {
    if (saved_.size() >= kMaxSavedStates) throw EInvalidImage();
    saved_.push_back(st);
}

// Negative counts go back that many saved states; a positive count names a
// saved state by its number from 1. Anything else is ignored, as GDI fails
// such a call without effect.
void MetaDC::RestoreDC(int relative) {
    const std::int64_t n = std::int64_t(saved_.size());
    const std::int64_t target = relative < 0 ? n + relative : std::int64_t(relative) - 1;
    if (target < 0 || target >= n) return;
    st = saved_[std::size_t(target)];
    saved_.resize(std::size_t(target));
}

Pair<double> MetaDC::ToDevice(double x, double y) const {
    const Pair<double> p = st.world.Apply(x, y);
    int mode = st.mapMode;
    if (wmfMapping && mode != 7) mode = 8;
    if (mode >= 2 && mode <= 6) {
        const double u = MetricUnit(mode);
        return {(p.x - st.winOrg.x) * u / mmPerDevice.x + st.vpOrg.x,
                -(p.y - st.winOrg.y) * u / mmPerDevice.y + st.vpOrg.y};
    }
    double sx = 1, sy = 1;
    if (mode == 7 || mode == 8) {
        sx = Ratio(st.vpExt.x, st.winExt.x);
        sy = Ratio(st.vpExt.y, st.winExt.y);
        if (mode == 7) {
            const double m = std::min(std::fabs(sx), std::fabs(sy));
            sx = std::copysign(m, sx);
            sy = std::copysign(m, sy);
        }
    }
    return {(p.x - st.winOrg.x) * sx + st.vpOrg.x, (p.y - st.winOrg.y) * sy + st.vpOrg.y};
}

Pair<double> MetaDC::ToOutput(double x, double y) const {
    const Pair<double> d = ToDevice(x, y);
    return {d.x * scale_.x + offset_.x, d.y * scale_.y + offset_.y};
}

void MetaDC::IntersectClip(double l, double t, double r, double b) {
    const Pair<double> a = ToOutput(l, t), c = ToOutput(r, b);
    Rect n{PixelOf(std::min(a.x, c.x)), PixelOf(std::min(a.y, c.y)),
           PixelOf(std::max(a.x, c.x)) - 1, PixelOf(std::max(a.y, c.y)) - 1};
    if (st.clipSet) {
        n.Left = std::max(n.Left, st.clip.Left);
        n.Top = std::max(n.Top, st.clip.Top);
        n.Right = std::min(n.Right, st.clip.Right);
        n.Bottom = std::min(n.Bottom, st.clip.Bottom);
    }
    st.clip = n;
    st.clipSet = true;
}

void MetaDC::Target(Buffer& view) {
    if (!st.clipSet) {
        view.Alloc(out_, out_.Area, true);
        return;
    }
    if (st.clip.Empty()) return;
    view.Alloc(out_, st.clip, true);
}

void MetaDC::Charge(std::int64_t units) {
    work_ += units;
    if (work_ > kWorkBudget) throw EInvalidImage();
}

} // namespace pixkit
