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
// A clip of more rectangles than this ends playback (EInvalidImage).
constexpr std::size_t kMaxClipRects = std::size_t(1) << 16;

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
    : out_(out), scale_(scale), offset_(offset) {
    SetBrushOrigin(0, 0);
}

void MetaDC::SetBrushOrigin(double x, double y) {
    st.brushOrg = {PixelOf(x * scale_.x + offset_.x), PixelOf(y * scale_.y + offset_.y)};
}

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

const MetaObject& MetaDC::Object(std::size_t index) const {
    if (index >= objects_.size()) throw EInvalidImage();
    return objects_[index];
}

void MetaDC::DeleteObject(std::size_t index) {
    if (index >= objects_.size()) throw EInvalidImage();
    objects_[index] = MetaObject{};
}

void MetaDC::SelectStock(std::uint32_t id) {
    static const Pixel greys[] = {0xFFFFFF, 0xC0C0C0, 0x808080, 0x404040, 0x000000};
    if (id <= 4)
        st.brush = {false, greys[id], nullptr};
    else if (id == 5)
        st.brush = {true, 0, nullptr};
    else if (id == 6 || id == 7)
        st.pen = {0, 0, id == 6 ? 0xFFFFFFu : 0u};
    else if (id == 8)
        st.pen = {5, 0, 0};
    else if (id >= 10 && id <= 17)
        st.font = MetaFont{};
    else if (id == 18)
        st.brush = {false, 0xFFFFFF, nullptr};
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

Pair<double> MetaDC::FromOutput(Pair<double> p) const {
    const Pair<double> o = ToOutput(0, 0), x = ToOutput(1, 0), y = ToOutput(0, 1);
    const Pair<double> ex{x.x - o.x, x.y - o.y}, ey{y.x - o.x, y.y - o.y};
    const double det = ex.x * ey.y - ey.x * ex.y;
    if (!(std::fabs(det) > 1e-12)) return {0, 0};
    const double dx = p.x - o.x, dy = p.y - o.y;
    return {(dx * ey.y - ey.x * dy) / det, (ex.x * dy - dx * ex.y) / det};
}

MetaRegion MetaDC::LogicalRectRegion(double l, double t, double r, double b) const {
    const Pair<double> a = ToOutput(l, t), c = ToOutput(r, b);
    return RectRegion({PixelOf(std::min(a.x, c.x)), PixelOf(std::min(a.y, c.y)),
                       PixelOf(std::max(a.x, c.x)) - 1, PixelOf(std::max(a.y, c.y)) - 1});
}

Rect MetaDC::DeviceRect(double l, double t, double r, double b) const {
    const Pair<double> a{l * scale_.x + offset_.x, t * scale_.y + offset_.y};
    const Pair<double> c{r * scale_.x + offset_.x, b * scale_.y + offset_.y};
    return {PixelOf(std::min(a.x, c.x)), PixelOf(std::min(a.y, c.y)),
            PixelOf(std::max(a.x, c.x)) - 1, PixelOf(std::max(a.y, c.y)) - 1};
}

void MetaDC::SetClip(MetaRegion region) {
    if (region.rects.size() > kMaxClipRects) throw EInvalidImage();
    st.clip = std::make_shared<const MetaRegion>(std::move(region));
}

// Without a clip every pixel of the output may be drawn.
void MetaDC::SelectClip(const MetaRegion* region, int mode) {
    if (mode == 5 && region == nullptr) {
        st.clip.reset();
        return;
    }
    if (region == nullptr) return;
    const MetaRegion whole = RectRegion(out_.Area);
    const MetaRegion& current = st.clip != nullptr ? *st.clip : whole;
    std::int64_t work = 0;
    MetaRegion next = CombineRegions(current, *region, mode, work);
    Charge(work);
    SetClip(std::move(next));
}

void MetaDC::IntersectClip(double l, double t, double r, double b) {
    const MetaRegion rect = LogicalRectRegion(l, t, r, b);
    SelectClip(&rect, 1);
}

void MetaDC::ExcludeClip(double l, double t, double r, double b) {
    const MetaRegion rect = LogicalRectRegion(l, t, r, b);
    SelectClip(&rect, 4);
}

void MetaDC::OffsetClip(double dx, double dy) {
    if (st.clip == nullptr) return;
    const Pair<double> a = ToOutput(0, 0), c = ToOutput(dx, dy);
    const int ox = ClampToInt(c.x - a.x, -1 << 24, 1 << 24);
    const int oy = ClampToInt(c.y - a.y, -1 << 24, 1 << 24);
    SetClip(OffsetRegion(*st.clip, ox, oy));
}

void MetaDC::Charge(std::int64_t units) {
    work_ += units;
    if (work_ > kWorkBudget) throw EInvalidImage();
}

} // namespace pixkit
