// The view's pixel loop: turns a rectangle of view pixels into screen
// pixels taken from an image at m:q, nearest pixel, with the top byte (which
// carries marks, not colour) forced to 0xFF so the result is plain opaque
// 0xFFRRGGBB.
#pragma once

#include "view/zoom.h"

#include <pixkit/buffer.h>

#include <cstddef>
#include <functional>
#include <vector>

namespace kv {

// View pixel (vx, vy) shows image pixel (vx * q / m, vy * q / m), counted
// from the image's top-left corner. Writes w x h pixels of the view
// rectangle at (vx0, vy0) to dst, rows dstPitch pixels apart. src holds the
// image from pixel origin on (counted the same way), and every view pixel
// of the rectangle must map inside it. cols is scratch space kept by the
// caller between calls.
void StretchToView(const pixkit::Buffer& src, ZoomRatio r, int vx0, int vy0, int w, int h,
                   pixkit::Pixel* dst, std::ptrdiff_t dstPitch, std::vector<int>& cols,
                   pixkit::Pair<int> origin = {0, 0});

// A picture shown over the image without changing it, such as a tool's
// live preview. Draw is handed the pixels about to be shown for a part of
// Area, as a buffer in the image's coordinates whose top bytes are not the
// image's, and draws over them; what it leaves shows the image.
struct ViewOverlay {
    pixkit::Rect Area{0, 0, -1, -1};
    std::function<void(pixkit::Buffer&)> Draw;
};

// Composes the overlay into view pixels StretchToView has just written for
// the image image (same rectangle, dst and cols). At 1:1 it draws straight
// into dst; at other zooms it draws over a copy of the image pixels it
// covers, kept in temp, and shows that copy in their place.
void ComposeOverlay(const ViewOverlay& overlay, const pixkit::Buffer& image, ZoomRatio r, int vx0,
                    int vy0, int w, int h, pixkit::Pixel* dst, std::ptrdiff_t dstPitch,
                    std::vector<int>& cols, pixkit::Buffer& temp);

// The number of view columns (or rows) from 0 that map inside an image
// extent: the largest n with (n - 1) * q / m < extent.
int MappedViewExtent(int imageExtent, ZoomRatio r);

} // namespace kv
