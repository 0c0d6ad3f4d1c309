// Photo orientation: the turned or mirrored copy of a decoded image that
// stands upright. Each output row walks the source with a fixed step.
#include <pixkit/gfxfile.h>

#include <algorithm>

namespace pixkit {

namespace {

// Where output pixel (0, 0) comes from in the source and how the source
// position moves per output column and per output row (in pixels).
struct Walk {
    std::int64_t x0, y0; // source of output (0, 0)
    int dxCol, dyCol;    // source step per output column
    int dxRow, dyRow;    // source step per output row
    bool swap;           // output width is the source height
};

Walk WalkFor(int o, std::int64_t w, std::int64_t h) {
    switch (o) {
    case 2:
        return {w - 1, 0, -1, 0, 0, 1, false};
    case 3:
        return {w - 1, h - 1, -1, 0, 0, -1, false};
    case 4:
        return {0, h - 1, 1, 0, 0, -1, false};
    case 5:
        return {0, 0, 0, 1, 1, 0, true};
    case 6:
        return {0, h - 1, 0, -1, 1, 0, true};
    case 7:
        return {w - 1, h - 1, 0, -1, -1, 0, true};
    default:
        return {w - 1, 0, 0, 1, -1, 0, true}; // 8
    }
}

} // namespace

void ApplyOrientation(Buffer& b, int o) {
    if (o < 2 || o > 8 || b.Empty()) return;
    const std::int64_t w = b.Width(), h = b.Height();
    const Walk k = WalkFor(o, w, h);
    Buffer out;
    out.Alloc({int(k.swap ? h : w), int(k.swap ? w : h)});
    if (out.Empty()) throw EInvalidImage();
    const std::ptrdiff_t colStep = std::ptrdiff_t(k.dyCol) * b.Pitch + k.dxCol;
    for (int y = 0; y < out.Height(); ++y) {
        const Pixel* src = b.At(int(b.Area.Left + k.x0 + std::int64_t(k.dxRow) * y),
                                int(b.Area.Top + k.y0 + std::int64_t(k.dyRow) * y));
        Pixel* dst = out.At(0, y);
        for (Pixel* end = dst + out.Width(); dst < end; ++dst, src += colStep) *dst = *src;
    }
    b = out;
}

} // namespace pixkit
