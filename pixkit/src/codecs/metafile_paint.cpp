// Raster operations and pattern tiling of the metafile players.
#include "metafile_paint.h"

#include <algorithm>

namespace pixkit {

std::shared_ptr<const BrushPattern> HatchPattern(std::uint32_t style, Pixel c) {
    if (style > 5) return nullptr;
    auto p = std::make_shared<BrushPattern>();
    p->w = p->h = 8;
    p->px.assign(64, c & 0x00FFFFFF);
    p->background.assign(64, 1);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) {
            const bool horizontal = y == 7, vertical = x == 7;
            const bool fdiagonal = x == y, bdiagonal = x + y == 7;
            const bool line[] = {horizontal,
                                 vertical,
                                 fdiagonal,
                                 bdiagonal,
                                 horizontal || vertical,
                                 fdiagonal || bdiagonal};
            if (line[style]) p->background[std::size_t(y * 8 + x)] = 0;
        }
    return p;
}

Pixel Rop3(std::uint32_t rop, Pixel p, Pixel s, Pixel d) {
    const unsigned table = (rop >> 16) & 0xFF;
    switch (table) {
    case 0xCC:
        return s & 0x00FFFFFF;
    case 0xF0:
        return p & 0x00FFFFFF;
    case 0xAA:
        return d & 0x00FFFFFF;
    default:
        break;
    }
    Pixel out = 0;
    for (unsigned m = 0; m < 8; ++m) {
        if (!((table >> m) & 1)) continue;
        out |= ((m & 4) ? p : ~p) & ((m & 2) ? s : ~s) & ((m & 1) ? d : ~d);
    }
    return out & 0x00FFFFFF;
}

void PaintSpan(Buffer& t, int y, int l, int r, const MetaPaint& paint) {
    Pixel* d = t.At(l, y);
    const int n = r - l + 1;
    if (paint.pattern == nullptr) {
        if (paint.rop2 == 13) {
            std::fill(d, d + n, paint.colour & 0x00FFFFFF);
            return;
        }
        for (int i = 0; i < n; ++i) d[i] = Rop2(paint.rop2, paint.colour, d[i]);
        return;
    }
    for (int i = 0; i < n; ++i) {
        bool transparent = false;
        const Pixel c = PaintPixel(paint, l + i, y, transparent);
        if (!transparent) d[i] = Rop2(paint.rop2, c, d[i]);
    }
}

Pixel PaintPixel(const MetaPaint& paint, int x, int y, bool& transparent) {
    transparent = false;
    if (paint.pattern == nullptr) return paint.colour;
    const BrushPattern& pt = *paint.pattern;
    const int py = ((y - paint.origin.y) % pt.h + pt.h) % pt.h;
    const int px = ((x - paint.origin.x) % pt.w + pt.w) % pt.w;
    const std::size_t at = std::size_t(py) * std::size_t(pt.w) + std::size_t(px);
    if (pt.mono) return pt.px[at] ? paint.backgroundColour : paint.textColour;
    if (pt.background.empty() || pt.background[at] == 0) return pt.px[at];
    transparent = !paint.opaqueBackground;
    return paint.backgroundColour;
}

} // namespace pixkit
