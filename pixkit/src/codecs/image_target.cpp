// Clipped placement of decoded rows.
#include "codecs/image_target.h"

#include <algorithm>

namespace pixkit {

ImageTarget::ImageTarget(Buffer& b, std::int64_t w, std::int64_t h)
    : b_(b), x0_(std::max<std::int64_t>(0, b.Area.Left)),
      x1_(std::min<std::int64_t>(w - 1, b.Area.Right)),
      rows_(std::max<std::int64_t>(0, std::min<std::int64_t>(h, std::int64_t(b.Area.Bottom) + 1))) {
    if (b.Empty() || x1_ < x0_) return;
    for (std::int64_t y = std::max<std::int64_t>(0, b.Area.Top); y < rows_; ++y)
        std::fill_n(b.At(int(x0_), int(y)), x1_ - x0_ + 1, Pixel(0));
}

void ImageTarget::Put(std::int64_t y, const Pixel* row) {
    if (b_.Empty() || y < b_.Area.Top || y >= rows_ || x1_ < x0_) return;
    std::copy(row + x0_, row + x1_ + 1, b_.At(int(x0_), int(y)));
}

} // namespace pixkit
