// Brush operations that grow the brush's shape: a one-pixel outline and a
// drop shadow, both in the draw colour. Qt-free; the Brush menu commands
// that run them on the current brush are in brushops/shapecommands.h.
#pragma once

#include <pixkit/buffer.h>

namespace kv {

// The directions of a drop shadow, in the order of the dialog's list.
enum ShadowDirection : int { sdEast = 0, sdSouthEast = 1, sdSouth = 2, sdSouthWest = 3 };

// The size of the outlined brush: one pixel more on every side.
pixkit::Pair<int> OutlinedSize(pixkit::Pair<int> size);
// Outlines brush in place: a transparent one-pixel frame is added, then
// every transparent pixel that has an opaque pixel of the original shape
// directly above, below, left or right of it becomes draw. Diagonal
// neighbours do not count and new outline pixels do not spread. False
// (brush unchanged) when the memory cannot be had.
bool OutlineBrush(pixkit::Buffer& brush, pixkit::Pixel draw);
// How far the pointer moves after an outline so that the brush stays where
// it was on the screen: -1 towards the handle's left or top side, +1 towards
// its right or bottom side, 0 on the centre's axes.
pixkit::Pair<int> OutlinePointerShift(int handle);

// The size of the brush with a shadow of depth pixels in direction.
pixkit::Pair<int> ShadowedSize(pixkit::Pair<int> size, int direction, int depth);
// Casts a shadow: the brush's shape in draw, depth pixels away in
// direction, behind the brush, which keeps its pixels. False (brush
// unchanged) when the memory cannot be had.
bool DropShadow(pixkit::Buffer& brush, int direction, int depth, pixkit::Pixel draw);

} // namespace kv
