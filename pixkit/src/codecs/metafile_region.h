// Regions of the metafile players: sets of output pixels held as disjoint
// rectangles, with the set operations the clip and region records need.
#pragma once

#include <pixkit/buffer.h>

#include <cstdint>
#include <vector>

namespace pixkit {

struct MetaRegion {
    std::vector<Rect> rects; // disjoint, none empty
    bool Empty() const { return rects.empty(); }
};

// The region operations of the clip records (RGN_AND 1, RGN_OR 2,
// RGN_XOR 3, RGN_DIFF 4, RGN_COPY 5): a combined with b. work grows by
// the rectangle pairs visited.
MetaRegion CombineRegions(const MetaRegion& a, const MetaRegion& b, int mode, std::int64_t& work);
MetaRegion RectRegion(const Rect& r);
MetaRegion OffsetRegion(const MetaRegion& a, int dx, int dy);

} // namespace pixkit
