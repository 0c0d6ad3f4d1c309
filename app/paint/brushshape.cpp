#include "paint/brushshape.h"

#include "paint/brush.h"

#include <cstdint>

namespace kv {

using pixkit::Buffer;
using pixkit::Pair;
using pixkit::Pixel;

namespace {

// A new owned buffer of size filled with the transparent marker; false when
// it cannot be had.
bool AllocTransparent(Buffer& b, Pair<int> size) {
    b.Alloc(size);
    if (b.Empty()) return false;
    b.Box(b.Area, kBrushTransparent);
    return true;
}

} // namespace

Pair<int> OutlinedSize(Pair<int> size) {
    return {size.x + 2, size.y + 2};
}

bool OutlineBrush(Buffer& brush, Pixel draw) {
    if (brush.Empty()) return false;
    const Pair<int> size = OutlinedSize({brush.Width(), brush.Height()});
    // The shape is judged on padded, the untouched copy, so that new outline
    // pixels never count as opaque.
    Buffer padded, out;
    if (!AllocTransparent(padded, size) || !AllocTransparent(out, size)) return false;
    padded.Copy(brush, {1 - brush.Area.Left, 1 - brush.Area.Top}, kCopyAll);
    out.Copy(padded, {0, 0}, kCopyAll);
    const int w = size.x, h = size.y;
    for (int y = 0; y < h; ++y) {
        const Pixel* s = padded.At(0, y);
        Pixel* above = y > 0 ? out.At(0, y - 1) : nullptr;
        Pixel* row = out.At(0, y);
        Pixel* below = y + 1 < h ? out.At(0, y + 1) : nullptr;
        for (int x = 0; x < w; ++x) {
            if (s[x] == kBrushTransparent) continue;
            if (above != nullptr && above[x] == kBrushTransparent) above[x] = draw;
            if (below != nullptr && below[x] == kBrushTransparent) below[x] = draw;
            if (x > 0 && row[x - 1] == kBrushTransparent) row[x - 1] = draw;
            if (x + 1 < w && row[x + 1] == kBrushTransparent) row[x + 1] = draw;
        }
    }
    brush = out;
    return true;
}

Pair<int> OutlinePointerShift(int handle) {
    switch (handle) {
    case bhLeftTop:
        return {-1, -1};
    case bhRightTop:
        return {1, -1};
    case bhRightBottom:
        return {1, 1};
    case bhLeftBottom:
        return {-1, 1};
    default:
        return {0, 0};
    }
}

Pair<int> ShadowedSize(Pair<int> size, int direction, int depth) {
    const std::int64_t w = direction == sdSouth ? size.x : std::int64_t(size.x) + depth;
    const std::int64_t h = direction == sdEast ? size.y : std::int64_t(size.y) + depth;
    // Sizes beyond int are no brush either; the limit check refuses them.
    const auto clamp = [](std::int64_t v) { return static_cast<int>(v > 0x7FFFFFFF ? 0 : v); };
    return {clamp(w), clamp(h)};
}

bool DropShadow(Buffer& brush, int direction, int depth, Pixel draw) {
    if (brush.Empty()) return false;
    const Pair<int> size = ShadowedSize({brush.Width(), brush.Height()}, direction, depth);
    Buffer out;
    if (!AllocTransparent(out, size)) return false;
    const Pair<int> shadow{direction == sdEast || direction == sdSouthEast ? depth : 0,
                           direction == sdEast ? 0 : depth};
    const Pair<int> own{direction == sdSouthWest ? depth : 0, 0};
    const Pair<int> origin{brush.Area.Left, brush.Area.Top};
    out.Copy(brush, {shadow.x - origin.x, shadow.y - origin.y}, kBrushTransparent);
    for (int y = 0; y < size.y; ++y) {
        Pixel* p = out.At(0, y);
        for (int x = 0; x < size.x; ++x)
            if (p[x] != kBrushTransparent) p[x] = draw;
    }
    out.Copy(brush, {own.x - origin.x, own.y - origin.y}, kBrushTransparent);
    brush = out;
    return true;
}

} // namespace kv
