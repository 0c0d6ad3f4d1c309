// The view's pixel loop: turns a rectangle of view pixels into screen
// pixels taken from an image at m:q, nearest pixel, with the top byte (which
// carries marks, not colour) forced to 0xFF so the result is plain opaque
// 0xFFRRGGBB.
#pragma once

#include "view/zoom.h"

#include <pixkit/buffer.h>

#include <cstddef>
#include <vector>

namespace kv {

// View pixel (vx, vy) shows image pixel (vx * q / m, vy * q / m), counted
// from the image's top-left corner. Writes w x h pixels of the view
// rectangle at (vx0, vy0) to dst, rows dstPitch pixels apart. Every view
// pixel of the rectangle must map inside src. cols is scratch space kept by
// the caller between calls.
void StretchToView(const pixkit::Buffer& src, ZoomRatio r, int vx0, int vy0, int w, int h,
                   pixkit::Pixel* dst, std::ptrdiff_t dstPitch, std::vector<int>& cols);

// The number of view columns (or rows) from 0 that map inside an image
// extent: the largest n with (n - 1) * q / m < extent.
int MappedViewExtent(int imageExtent, ZoomRatio r);

} // namespace kv
