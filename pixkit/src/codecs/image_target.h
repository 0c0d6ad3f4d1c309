// Where a decoder puts its rows: an image of w x h pixels placed at (0, 0)
// of a buffer's coordinates and clipped to the buffer's Area, so a codec
// can load into an existing buffer as well as into one it allocated.
#pragma once

#include <pixkit/buffer.h>

#include <cstdint>

namespace pixkit {

class ImageTarget {
  public:
    // Clears the part of b the image covers to 0.
    ImageTarget(Buffer& b, std::int64_t w, std::int64_t h);

    // Rows the decoder has to produce: those up to b's bottom edge.
    std::int64_t Rows() const { return rows_; }
    // Copies the visible part of image row y (w pixels from row).
    void Put(std::int64_t y, const Pixel* row);

  private:
    Buffer& b_;
    std::int64_t x0_, x1_; // columns written, inclusive; none when x1_ < x0_
    std::int64_t rows_;
};

} // namespace pixkit
