// Geometry of lines, curves, arrowheads and the grid: the numbers the line,
// curve and grid tools compute before they stamp. Real values are truncated
// toward zero when they become pixels (docs/pixels.md).
#pragma once

#include <pixkit/types.h>

namespace kv {

// Arrowhead lengths by arrow index 0 (none) to 4.
int ArrowLength(int index);

// The far end of one arrowhead stroke: the direction from tip to from,
// turned by angle degrees (counter-clockwise on the screen) and scaled to
// length. A zero direction gives the tip itself.
pixkit::Pair<int> ArrowPoint(pixkit::Pair<int> tip, pixkit::Pair<int> from, double angle,
                             double length);

// The quadratic curve through s (t = 0) and e (t = 1) with control point c.
pixkit::Pair<int> CurvePoint(pixkit::Pair<int> s, pixkit::Pair<int> c, pixkit::Pair<int> e,
                             double t);
// The curve is drawn as 16 straight segments; its length sums their
// major-axis lengths.
inline constexpr int kCurveSegments = 16;
int CurveLength(pixkit::Pair<int> s, pixkit::Pair<int> c, pixkit::Pair<int> e);
// The control point that makes the curve pass through p at t = 0.5.
pixkit::Pair<int> ControlPoint(pixkit::Pair<int> s, pixkit::Pair<int> e, pixkit::Pair<int> p);

// Spacing modes of the line and curve tools.
enum SpacingMode : int { smEveryPixel = 0, smPixels = 1, smCount = 2 };
// The spacing passed to the stamp walk. length is the path's length in
// major-axis pixels; curve selects the curve's form of the count rule.
double SpacingFor(int mode, double value, double length, bool curve);

// The grid: spacing d (at least 1) and a line at p.
struct GridAxis {
    int Delta = 8;
    int Pos = 0;
};
// Moves v to the nearest grid line, a tie going to the higher line.
int SnapAxis(int v, GridAxis axis);

} // namespace kv
