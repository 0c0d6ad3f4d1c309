// The line walk of docs/pixels.md with analytic clipping, shared by
// Buffer::Line (drawing) and Buffer::CopyLine (copying along a line).
#pragma once

#include <pixkit/types.h>

#include <cstdint>

namespace pixkit::detail {

// The visible part of a line: the first visible pixel, how many steps follow
// it, and the 32-bit fraction that decides when the minor coordinate moves.
// Every step moves one unit along the major axis (majorX, majorY) and, when
// adding inc to frac carries out of 32 bits, one unit along the minor axis.
struct ClippedLine {
    int x, y;
    std::int64_t count; // steps after the first pixel
    std::uint32_t frac, inc;
    int majorX, majorY, minorX, minorY;
};

// Clips the walk from p1 to p2 (which must differ in both coordinates) to
// clip, keeping exactly the pixels of the unclipped walk inside it. Returns
// false when none is inside.
bool ClipLineWalk(Pair<int> p1, Pair<int> p2, const Rect& clip, ClippedLine& out);

// Calls visit(carry) for each step after the first pixel; carry says whether
// the step also moves along the minor axis. Callers advance their own
// pointers with their own pitch.
template <typename Fn> inline void WalkSteps(const ClippedLine& l, Fn visit) {
    std::uint32_t frac = l.frac;
    for (std::int64_t k = 0; k < l.count; ++k) {
        const std::uint32_t before = frac;
        frac += l.inc;
        visit(frac < before);
    }
}

} // namespace pixkit::detail
