// Rectangle clipping in 64 bits, so that placements near the limits of the
// 32-bit coordinate range neither overflow nor wrap around.
#pragma once

#include <pixkit/types.h>

#include <algorithm>
#include <cstdint>

namespace pixkit::detail {

// The intersection of columns x0..x1 and rows y0..y1 with area. Returns false
// when it is empty; the result always lies inside area.
inline bool ClipToArea(std::int64_t x0, std::int64_t y0, std::int64_t x1, std::int64_t y1,
                       const Rect& area, Rect& out) {
    x0 = std::max<std::int64_t>(x0, area.Left);
    y0 = std::max<std::int64_t>(y0, area.Top);
    x1 = std::min<std::int64_t>(x1, area.Right);
    y1 = std::min<std::int64_t>(y1, area.Bottom);
    if (x0 > x1 || y0 > y1) return false;
    out = Rect{static_cast<std::int32_t>(x0), static_cast<std::int32_t>(y0),
               static_cast<std::int32_t>(x1), static_cast<std::int32_t>(y1)};
    return true;
}

// The intersection of r moved by (dx, dy) with area.
inline bool ClipMoved(const Rect& r, std::int64_t dx, std::int64_t dy, const Rect& area,
                      Rect& out) {
    return ClipToArea(r.Left + dx, r.Top + dy, r.Right + dx, r.Bottom + dy, area, out);
}

} // namespace pixkit::detail
