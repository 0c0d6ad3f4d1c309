// Geometry of rectangles, squares, circles and ellipses: the numbers the
// shape tools compute before they draw. Circles and ellipses are polygons
// of 16 to 1024 edges whose vertices come from a fixed integer sine table.
#pragma once

#include <pixkit/types.h>

#include <vector>

namespace kv {

// The square's constraint: the side is the larger extent from first, in
// the direction of p on each axis.
pixkit::Pair<int> ConstrainSquare(pixkit::Pair<int> first, pixkit::Pair<int> p);

// The sine table: entry i = trunc(512 sin(2 pi i / 1024)) for i = 0..1279,
// so entry i + 256 is the cosine.
inline constexpr int kSineEntries = 1280;
int SineEntry(int i);

// Radii from the pointer's offset d from the centre: a circle through the
// pointer (both radii the distance, rounded), and the ellipse through the
// pointer with the proportions of the box from centre to pointer.
int CircleRadius(pixkit::Pair<int> d);
pixkit::Pair<int> EllipseRadii(pixkit::Pair<int> d);

// Edges of the polygon for radii up to r = max(rx, ry): 16 * 2^(r div
// 32), at most 1024.
int SegmentCount(int rx, int ry);

// The n + 1 vertices from the top point over the left side, the bottom
// and the right side back to the top.
std::vector<pixkit::Pair<int>> EllipseVertices(pixkit::Pair<int> centre, int rx, int ry);

// The sum over the edges of max(|dx|, |dy|): the outline's length for
// spacing by count.
int OutlineLength(const std::vector<pixkit::Pair<int>>& vertices);

// The filled polygon as one horizontal span per row, top to bottom: the
// left half walked edge by edge, each step after an edge's first pixel
// reaching from its x to the mirrored 2 cx - x.
struct Span {
    int Y, Left, Right;
};
std::vector<Span> EllipseSpans(pixkit::Pair<int> centre, int rx, int ry);

} // namespace kv
