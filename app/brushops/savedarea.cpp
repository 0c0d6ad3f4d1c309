#include "brushops/savedarea.h"

#include "paint/brush.h"

#include <algorithm>

namespace kv {

bool SavedArea::Save(PaintSurface& surface, pixkit::Rect r) {
    kept_ = false;
    pixkit::Buffer& image = surface.Image();
    const pixkit::Rect c{std::max(r.Left, image.Area.Left), std::max(r.Top, image.Area.Top),
                         std::min(r.Right, image.Area.Right),
                         std::min(r.Bottom, image.Area.Bottom)};
    if (c.Right < c.Left || c.Bottom < c.Top) return false;
    const pixkit::Pair<int> size{c.Right - c.Left + 1, c.Bottom - c.Top + 1};
    // A preview that keeps its size (most moves) reuses the memory.
    if (saved_.Empty() || saved_.Width() != size.x || saved_.Height() != size.y) saved_.Alloc(size);
    if (saved_.Empty()) return false;
    saved_.Copy(image, {-c.Left, -c.Top}, kCopyAll);
    at_ = {c.Left, c.Top};
    kept_ = true;
    return true;
}

void SavedArea::PutBack(PaintSurface& surface) {
    if (!kept_) return;
    kept_ = false;
    surface.Image().Copy(saved_, at_, kCopyAll);
    surface.Invalidate({at_.x, at_.y, at_.x + saved_.Width() - 1, at_.y + saved_.Height() - 1});
}

} // namespace kv
