// One dab of the clone tool without a window: image pixels copied from a
// fixed offset under the opaque pixels of the brush. Qt-free, so that the
// clone benchmark runs it directly.
#pragma once

#include <pixkit/buffer.h>

#include <vector>

namespace kv {

// Copies into image, under every opaque pixel of mask placed with its
// top-left pixel at corner, the source pixel found offset away: image pixel
// (x, y) becomes source pixel (x + offset.x, y + offset.y), where a position
// outside source's area repeats its nearest edge row or column. Nothing is
// written outside clip (image coordinates, inclusive) or image's area. When
// source shares memory with image every source pixel is read (into scratch)
// before any is written, so that a small offset does not smear. Returns the
// rectangle written to (Right < Left when none).
pixkit::Rect CloneDab(pixkit::Buffer& image, const pixkit::Rect& clip, const pixkit::Buffer& source,
                      const pixkit::Buffer& mask, pixkit::Pair<int> corner,
                      pixkit::Pair<int> offset, std::vector<pixkit::Pixel>& scratch);

} // namespace kv
