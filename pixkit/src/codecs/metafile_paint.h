// How the metafile players put pixels: the binary raster operations of
// pens and brushes (SETROP2), the ternary raster operations of bitmap
// records, and brushes that tile a pattern (hatches, pattern bitmaps).
#pragma once

#include <pixkit/buffer.h>

#include <cstdint>
#include <memory>
#include <vector>

namespace pixkit {

// A brush's tile: pixels, and for hatches which pixels are background
// (drawn in the background colour when the background mode is opaque,
// left alone when it is transparent).
struct BrushPattern {
    int w = 0, h = 0;
    std::vector<Pixel> px;
    std::vector<std::uint8_t> background; // empty: no background pixels
    // A monochrome pattern: px holds 0 (drawn in the text colour) and 1
    // (drawn in the background colour).
    bool mono = false;
};

// The six hatch styles (HS_HORIZONTAL 0 ... HS_DIAGCROSS 5) as 8 x 8 tiles
// of colour c; other styles give an empty pointer.
std::shared_ptr<const BrushPattern> HatchPattern(std::uint32_t style, Pixel c);

// The binary raster operation r2 (R2_BLACK 1 ... R2_WHITE 16) of a pen or
// brush pixel p with the destination d. Out-of-range codes copy.
inline Pixel Rop2(int r2, Pixel p, Pixel d) {
    const unsigned table = unsigned(r2 - 1) & 15; // bit (p << 1 | d) of each colour bit
    Pixel out = 0;
    if (table & 1) out |= ~p & ~d;
    if (table & 2) out |= ~p & d;
    if (table & 4) out |= p & ~d;
    if (table & 8) out |= p & d;
    return out & 0x00FFFFFF;
}

// The ternary raster operation whose truth table is bits 16..23 of rop:
// result bit = table bit (p << 2 | s << 1 | d), for each colour bit of
// pattern p, source s and destination d.
Pixel Rop3(std::uint32_t rop, Pixel p, Pixel s, Pixel d);

// What fills paint with: a colour or a pattern tiled from output pixel
// (0, 0) shifted by the brush origin, combined with the destination by a
// binary raster operation.
struct MetaPaint {
    Pixel colour = 0;
    int rop2 = 13; // R2_COPYPEN
    const BrushPattern* pattern = nullptr;
    bool opaqueBackground = true;
    Pixel backgroundColour = 0xFFFFFF;
    Pixel textColour = 0;
    Pair<int> origin{0, 0};
};

// The brush pixel at output (x, y): its colour, or its pattern's pixel
// (a hatch's background in the background colour). transparent is set for
// a background pixel under the transparent background mode.
Pixel PaintPixel(const MetaPaint& paint, int x, int y, bool& transparent);
// Paints pixels l..r (inclusive, inside t) of row y.
void PaintSpan(Buffer& t, int y, int l, int r, const MetaPaint& paint);

} // namespace pixkit
