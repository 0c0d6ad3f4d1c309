#include "paint/overlay.h"

#include "paint/marking.h"
#include "paint/painting.h"
#include "paint/pathtool.h"

#include <utility>

namespace kv {

using pixkit::Buffer;
using pixkit::Pair;
using pixkit::Rect;

Rect BoxOf(const std::vector<Rect>& rects) {
    Rect box = kNoRect;
    for (const Rect& r : rects) box = Union(box, r);
    return box;
}

void XorOverlay::Show(std::vector<Rect> rects) {
    Hide();
    rects_ = std::move(rects);
    const Buffer& image = Paint()->Image();
    data_ = image.Data;
    area_ = image.Area;
    Draw();
}

void XorOverlay::Hide() {
    if (rects_.empty()) return;
    const Buffer& image = Paint()->Image();
    if (image.Data == data_ && image.Area == area_) Draw();
    rects_.clear();
}

void XorOverlay::Draw() {
    Painting& paint = *Paint();
    Buffer& image = paint.Image();
    for (const Rect& r : rects_) image.Box(r, kRubberBand);
    // A few long lines repaint one by one; many small pieces as their box.
    if (rects_.size() <= 4) {
        for (const Rect& r : rects_) paint.Invalidate(r);
    } else {
        paint.Invalidate(BoxOf(rects_));
    }
}

std::vector<Rect> Crosshair(Pair<int> p) {
    const Rect a = Paint()->Image().Area;
    return {{p.x, a.Top, p.x, a.Bottom}, {a.Left, p.y, a.Right, p.y}};
}

} // namespace kv
