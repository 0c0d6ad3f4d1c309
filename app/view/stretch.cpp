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
// run may be cut by the rectangle's left edge. s holds the row from image
// column ox on.
void MagnifyRow(const pixkit::Pixel* s, pixkit::Pixel* d, int vx0, int w, ZoomRatio r, int ox) {
    const pixkit::Pixel* const end = d + w;
    std::int64_t sx = std::int64_t(vx0) * r.q / r.m;
    // View columns up to (exclusive) the first one of the next source pixel.
    std::int64_t next = ((sx + 1) * r.m + r.q - 1) / r.q;
    int run = int(std::min<std::int64_t>(next - vx0, w));
    while (d < end) {
        const pixkit::Pixel c = s[sx - ox] | kOpaque;
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
                   pixkit::Pixel* dst, std::ptrdiff_t dstPitch, std::vector<int>& cols,
                   pixkit::Pair<int> origin) {
    if (w <= 0 || h <= 0) return;
    const pixkit::Pixel* base = src.Data;
    const std::ptrdiff_t pitch = src.Pitch;
    if (r.m == r.q) {
        for (int j = 0; j < h; ++j)
            CopyRowOpaque(base + (vy0 + j - origin.y) * pitch + (vx0 - origin.x),
                          dst + j * dstPitch, w);
        return;
    }
    // Enlarging walks runs; reducing gathers through a column table.
    const bool magnify = r.m > r.q;
    if (!magnify) {
        cols.resize(std::size_t(w));
        for (int i = 0; i < w; ++i) cols[std::size_t(i)] = ViewToImageCoord(vx0 + i, r) - origin.x;
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
        const pixkit::Pixel* s = base + (sy - origin.y) * pitch;
        if (magnify)
            MagnifyRow(s, d, vx0, w, r, origin.x);
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

namespace {

pixkit::Rect Intersection(pixkit::Rect a, pixkit::Rect b) {
    return {std::max(a.Left, b.Left), std::max(a.Top, b.Top), std::min(a.Right, b.Right),
            std::min(a.Bottom, b.Bottom)};
}

// b becomes a view of caller memory whose first pixel is pixel
// (area.Left, area.Top).
void Wrap(pixkit::Buffer& b, pixkit::Pixel* data, std::ptrdiff_t pitch, pixkit::Rect area) {
    b.Data = data;
    b.Pitch = std::int32_t(pitch);
    b.Area = area;
    b.Owned = 1;
}

// The overlay drawn at image resolution over a copy of the image pixels c,
// then the view pixels of the rectangle that show c taken from the copy.
void ComposeZoomed(const ViewOverlay& overlay, const pixkit::Buffer& image, pixkit::Rect c,
                   ZoomRatio r, int vx0, int vy0, int w, int h, pixkit::Pixel* dst,
                   std::ptrdiff_t dstPitch, std::vector<int>& cols, pixkit::Buffer& temp) {
    const pixkit::Pair<int> size{c.Right - c.Left + 1, c.Bottom - c.Top + 1};
    if (temp.Empty() || temp.Width() != size.x || temp.Height() != size.y) temp.Alloc(size);
    if (temp.Empty()) return;
    temp.Area = c;
    for (int y = c.Top; y <= c.Bottom; ++y)
        std::memcpy(temp.At(c.Left, y), image.At(c.Left, y), std::size_t(size.x) * 4);
    overlay.Draw(temp);
    // Image pixel i (from the image's corner) shows in view pixels
    // MappedViewExtent(i) up to MappedViewExtent(i + 1) - 1.
    const pixkit::Pair<int> o{c.Left - image.Area.Left, c.Top - image.Area.Top};
    const int x0 = std::max(vx0, MappedViewExtent(o.x, r));
    const int y0 = std::max(vy0, MappedViewExtent(o.y, r));
    const int x1 = std::min(vx0 + w, MappedViewExtent(o.x + size.x, r));
    const int y1 = std::min(vy0 + h, MappedViewExtent(o.y + size.y, r));
    StretchToView(temp, r, x0, y0, x1 - x0, y1 - y0, dst + (y0 - vy0) * dstPitch + (x0 - vx0),
                  dstPitch, cols, o);
}

} // namespace

void ComposeOverlay(const ViewOverlay& overlay, const pixkit::Buffer& image, ZoomRatio r, int vx0,
                    int vy0, int w, int h, pixkit::Pixel* dst, std::ptrdiff_t dstPitch,
                    std::vector<int>& cols, pixkit::Buffer& temp) {
    if (!overlay.Draw || w <= 0 || h <= 0) return;
    // The image pixels the rectangle shows, in the image's coordinates.
    const pixkit::Rect shows{image.Area.Left + ViewToImageCoord(vx0, r),
                             image.Area.Top + ViewToImageCoord(vy0, r),
                             image.Area.Left + ViewToImageCoord(vx0 + w - 1, r),
                             image.Area.Top + ViewToImageCoord(vy0 + h - 1, r)};
    const pixkit::Rect c = Intersection(shows, overlay.Area);
    if (c.Empty()) return;
    if (r.m != r.q) {
        ComposeZoomed(overlay, image, c, r, vx0, vy0, w, h, dst, dstPitch, cols, temp);
        return;
    }
    pixkit::Pixel* first = dst + (c.Top - shows.Top) * dstPitch + (c.Left - shows.Left);
    pixkit::Buffer shown;
    Wrap(shown, first, dstPitch, c);
    overlay.Draw(shown);
    // What the overlay drew carries its own top bytes: the view shows
    // opaque pixels.
    const int cw = c.Right - c.Left + 1;
    for (pixkit::Pixel* row = first; row <= first + (c.Bottom - c.Top) * dstPitch; row += dstPitch)
        for (int i = 0; i < cw; ++i) row[i] |= kOpaque;
}

} // namespace kv
