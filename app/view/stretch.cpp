#include "view/stretch.h"

#include <algorithm>
#include <cstring>

namespace kv {

namespace {

constexpr pixkit::Pixel kOpaque = 0xFF000000u;

void CopyRowOpaque(const pixkit::Pixel* s, pixkit::Pixel* d, int w) {
    for (int i = 0; i < w; ++i) d[i] = s[i] | kOpaque;
}

// A magnified row: each source pixel fills a run of view pixels. The first
// run may be cut by the rectangle's left edge.
void MagnifyRow(const pixkit::Pixel* s, pixkit::Pixel* d, int vx0, int w, ZoomRatio r) {
    const pixkit::Pixel* const end = d + w;
    std::int64_t sx = std::int64_t(vx0) * r.q / r.m;
    // View columns up to (exclusive) the first one of the next source pixel.
    std::int64_t next = ((sx + 1) * r.m + r.q - 1) / r.q;
    int run = int(std::min<std::int64_t>(next - vx0, w));
    while (d < end) {
        const pixkit::Pixel c = s[sx] | kOpaque;
        for (pixkit::Pixel* stop = d + run; d < stop;) *d++ = c;
        ++sx;
        const std::int64_t after = ((sx + 1) * r.m + r.q - 1) / r.q;
        run = int(std::min<std::int64_t>(after - next, end - d));
        next = after;
    }
}

void GatherRow(const pixkit::Pixel* s, pixkit::Pixel* d, const int* cols, int w) {
    for (int i = 0; i < w; ++i) d[i] = s[cols[i]] | kOpaque;
}

} // namespace

void StretchToView(const pixkit::Buffer& src, ZoomRatio r, int vx0, int vy0, int w, int h,
                   pixkit::Pixel* dst, std::ptrdiff_t dstPitch, std::vector<int>& cols) {
    if (w <= 0 || h <= 0) return;
    const pixkit::Pixel* base = src.Data;
    const std::ptrdiff_t pitch = src.Pitch;
    if (r.m == r.q) {
        for (int j = 0; j < h; ++j)
            CopyRowOpaque(base + (vy0 + j) * pitch + vx0, dst + j * dstPitch, w);
        return;
    }
    // Enlarging walks runs; reducing gathers through a column table.
    const bool magnify = r.m > r.q;
    if (!magnify) {
        cols.resize(std::size_t(w));
        for (int i = 0; i < w; ++i) cols[std::size_t(i)] = ViewToImageCoord(vx0 + i, r);
    }
    std::int64_t previous = -1;
    for (int j = 0; j < h; ++j) {
        pixkit::Pixel* d = dst + j * dstPitch;
        const std::int64_t sy = std::int64_t(vy0 + j) * r.q / r.m;
        if (sy == previous) {
            // Rows showing the same image row are copies of the one above.
            std::memcpy(d, d - dstPitch, std::size_t(w) * sizeof(pixkit::Pixel));
            continue;
        }
        previous = sy;
        const pixkit::Pixel* s = base + sy * pitch;
        if (magnify)
            MagnifyRow(s, d, vx0, w, r);
        else
            GatherRow(s, d, cols.data(), w);
    }
}

int MappedViewExtent(int imageExtent, ZoomRatio r) {
    if (imageExtent <= 0) return 0;
    // (n - 1) * q / m < extent  <=>  (n - 1) * q < extent * m  <=>  n - 1 <= (extent * m - 1) / q
    const std::int64_t n = (std::int64_t(imageExtent) * r.m - 1) / r.q + 1;
    return int(std::min<std::int64_t>(n, INT32_MAX));
}

} // namespace kv
