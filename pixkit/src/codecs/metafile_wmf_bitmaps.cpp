// Playback of the Windows metafile records that carry bitmaps or regions.
// Parameters are 16-bit words stored last first, as in the other records.
#include "metafile_wmf.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

namespace pixkit {

namespace {

double W(RecordView r, std::size_t word) {
    return r.S16(word * 2);
}

BlitOp RopOp(std::uint32_t rop) {
    BlitOp op;
    op.rop = rop;
    return op;
}

// Draws a packed DIB starting at word dibWord; the source rectangle is in
// DIB pixels, counted from the bottom row for bottom-up DIBs as GDI does.
void DrawDib(MetaDC& dc, RecordView r, std::size_t dibWord, bool palIndices, int sx, int sy, int sw,
             int sh, double x, double y, double w, double h, std::uint32_t rop) {
    const RecordView dib = r.Sub(dibWord * 2, r.n - std::min(r.n, dibWord * 2));
    const std::size_t block = DibHeaderBytes(dib, palIndices);
    DibSource src;
    DecodeDib(src, dib.Sub(0, block), dib.Sub(block, dib.n - std::min(dib.n, block)), palIndices);
    if (src.bottomUp) sy = src.pixels.Height() - (sy + sh);
    dc.StretchBitmap(src.pixels, x, y, w, h, sx, sy, sw, sh, RopOp(rop));
}

// The device-dependent bitmap of the old BITBLT and STRETCHBLT records:
// type, width, height, bytes per row, planes, bits per pixel, then the rows
// top first. Monochrome bits 0 take the text colour and 1 the background
// colour; 24 and 32 bits are blue, green, red. false for other depths.
bool Bitmap16(MetaDC& dc, RecordView b, Buffer& out) {
    const int w = int(b.U16(2)), h = int(b.U16(4)), stride = int(b.U16(6));
    const int bits = int(b.U8(9));
    if (w < 1 || h < 1 || (bits != 1 && bits != 24 && bits != 32)) return false;
    if (std::int64_t(stride) * 8 < std::int64_t(w) * bits) return false;
    b.Need(10, std::size_t(stride) * std::size_t(h));
    out.Alloc({w, h});
    if (out.Empty()) throw EInvalidImage();
    for (int y = 0; y < h; ++y) {
        const std::uint8_t* row = b.p + 10 + std::size_t(y) * std::size_t(stride);
        Pixel* d = out.At(0, y);
        for (int x = 0; x < w; ++x) {
            if (bits == 1)
                d[x] = (row[x >> 3] >> (7 - (x & 7))) & 1 ? dc.st.bkColour : dc.st.textColour;
            else
                d[x] = (Pixel(row[x * bits / 8 + 2]) << 16) | (Pixel(row[x * bits / 8 + 1]) << 8) |
                       row[x * bits / 8];
        }
    }
    return true;
}

// BITBLT (stretch false) and STRETCHBLT of the old form: raster operation,
// source size (stretch only), source point, destination size and point,
// then the bitmap; without one a reserved word comes before the
// destination and only the raster operation on the brush is drawn.
void OldBlit(MetaDC& dc, RecordView r, bool stretch) {
    const std::size_t dst = stretch ? 6 : 4; // word of the destination height
    const std::uint32_t rop = r.U32(0);
    if (r.n <= (dst + 5) * 2) {
        dc.PatBlt(W(r, dst + 4), W(r, dst + 3), W(r, dst + 4) + W(r, dst + 2),
                  W(r, dst + 3) + W(r, dst + 1), rop);
        return;
    }
    Buffer src;
    const RecordView bm = r.Sub((dst + 4) * 2, r.n - (dst + 4) * 2);
    if (!Bitmap16(dc, bm, src)) {
        NoteSkippedRecord(stretch ? "STRETCHBLT" : "BITBLT");
        return;
    }
    const double dh = W(r, dst), dw = W(r, dst + 1);
    const int sx = int(W(r, dst - 1)), sy = int(W(r, dst - 2));
    const int sw = stretch ? int(W(r, 3)) : int(dw), sh = stretch ? int(W(r, 2)) : int(dh);
    dc.StretchBitmap(src, W(r, dst + 3), W(r, dst + 2), dw, dh, sx, sy, sw, sh, RopOp(rop));
}

// A region object: header, bounds (left, top, right, bottom), then scans
// of a coordinate count, top, bottom, (left, right) pairs and the count
// again. A region without scans is its bounds.
void CreateRegion(MetaDC& dc, RecordView r) {
    MetaObject o;
    o.kind = MetaObject::Kind::Region;
    if (r.n < 22) {
        // Some writers store a rectangle region as its four sides only.
        if (r.n >= 8) o.region.push_back({W(r, 3), W(r, 2), W(r, 1), W(r, 0)});
        dc.PutObject(dc.FreeSlot(), o);
        return;
    }
    const std::size_t scans = r.U16(10);
    if (scans == 0) o.region.push_back({W(r, 7), W(r, 8), W(r, 9), W(r, 10)});
    std::size_t at = 22;
    for (std::size_t i = 0; i < scans; ++i) {
        const std::size_t count = r.U16(at);
        const double top = r.S16(at + 2), bottom = r.S16(at + 4);
        for (std::size_t k = 0; k + 1 < count; k += 2)
            o.region.push_back(
                {double(r.S16(at + 6 + 2 * k)), top, double(r.S16(at + 8 + 2 * k)), bottom});
        at += 8 + 2 * count;
        dc.Charge(std::int64_t(count) + 1);
    }
    dc.PutObject(dc.FreeSlot(), o);
}

// The region object at index in output pixels; null when the object is no
// region.
bool RegionAt(MetaDC& dc, std::size_t index, MetaRegion& out) {
    const MetaObject& o = dc.Object(index);
    if (o.kind != MetaObject::Kind::Region) return false;
    std::int64_t work = 0;
    out = {};
    for (const auto& q : o.region)
        out = CombineRegions(out, dc.LogicalRectRegion(q[0], q[1], q[2], q[3]), 2, work);
    dc.Charge(work);
    return true;
}

MetaBrush BrushAt(MetaDC& dc, std::size_t index) {
    const MetaObject& o = dc.Object(index);
    return o.kind == MetaObject::Kind::Brush ? o.brush : MetaBrush{true, 0, nullptr};
}

} // namespace

bool PlayWmfBitmapRecord(MetaDC& dc, std::uint32_t fn, RecordView r) {
    switch (fn) {
    case 0x061D: // PATBLT: raster operation, height, width, y, x
        dc.PatBlt(W(r, 5), W(r, 4), W(r, 5) + W(r, 3), W(r, 4) + W(r, 2), r.U32(0));
        return true;
    case 0x0F43: // STRETCHDIB
        DrawDib(dc, r, 11, r.U16(4) == 1, r.S16(12), r.S16(10), r.S16(8), r.S16(6), W(r, 10),
                W(r, 9), W(r, 8), W(r, 7), r.U32(0));
        return true;
    case 0x0B41: // DIBSTRETCHBLT
        if (r.n <= 22)
            dc.PatBlt(W(r, 10), W(r, 9), W(r, 10) + W(r, 8), W(r, 9) + W(r, 7), r.U32(0));
        else
            DrawDib(dc, r, 10, false, r.S16(10), r.S16(8), r.S16(6), r.S16(4), W(r, 9), W(r, 8),
                    W(r, 7), W(r, 6), r.U32(0));
        return true;
    case 0x0940: // DIBBITBLT
        if (r.n <= 18)
            dc.PatBlt(W(r, 8), W(r, 7), W(r, 8) + W(r, 6), W(r, 7) + W(r, 5), r.U32(0));
        else
            DrawDib(dc, r, 8, false, r.S16(6), r.S16(4), r.S16(10), r.S16(8), W(r, 7), W(r, 6),
                    W(r, 5), W(r, 4), r.U32(0));
        return true;
    case 0x0D33: // SETDIBTODEVICE
        DrawDib(dc, r, 9, r.U16(0) == 1, r.S16(8), r.S16(6), r.S16(12), r.S16(10), W(r, 8), W(r, 7),
                W(r, 6), W(r, 5), 0x00CC0020);
        return true;
    case 0x0922:
    case 0x0B23:
        OldBlit(dc, r, fn == 0x0B23);
        return true;
    default:
        return false;
    }
}

bool PlayWmfRegionRecord(MetaDC& dc, std::uint32_t fn, RecordView r) {
    MetaRegion rgn;
    switch (fn) {
    case 0x06FF:
        CreateRegion(dc, r);
        return true;
    case 0x012C: // SELECTCLIPREGION: a region replaces the clip; anything else removes it
        if (RegionAt(dc, r.U16(0), rgn))
            dc.SelectClip(&rgn, 5);
        else
            dc.SelectClip(nullptr, 5);
        return true;
    case 0x0228: // FILLREGION: region, brush
        if (RegionAt(dc, r.U16(0), rgn)) dc.FillRegion(rgn, BrushAt(dc, r.U16(2)));
        return true;
    case 0x0429: { // FRAMEREGION: region, brush, height, width (logical)
        const Pair<double> o = dc.ToOutput(0, 0), e = dc.ToOutput(W(r, 3), W(r, 2));
        if (RegionAt(dc, r.U16(0), rgn))
            dc.FrameRegion(rgn, BrushAt(dc, r.U16(2)),
                           ClampToInt(std::fabs(e.x - o.x) + 0.5, 1, 1 << 16),
                           ClampToInt(std::fabs(e.y - o.y) + 0.5, 1, 1 << 16));
        return true;
    }
    case 0x012A: // INVERTREGION, PAINTREGION: region
        if (RegionAt(dc, r.U16(0), rgn)) dc.InvertRegion(rgn);
        return true;
    case 0x012B:
        if (RegionAt(dc, r.U16(0), rgn)) dc.FillRegion(rgn, dc.st.brush);
        return true;
    case 0x0415: // EXCLUDECLIPRECT: bottom, right, top, left
        dc.ExcludeClip(W(r, 3), W(r, 2), W(r, 1), W(r, 0));
        return true;
    case 0x0220: // OFFSETCLIPRGN: y, x
        dc.OffsetClip(W(r, 1), W(r, 0));
        return true;
    default:
        return false;
    }
}

} // namespace pixkit
