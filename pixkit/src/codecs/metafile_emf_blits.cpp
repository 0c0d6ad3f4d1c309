// Playback of the enhanced metafile records that carry bitmaps, gradients
// and regions. Offsets count from the start of the record.
#include "metafile_emf.h"

#include <vector>

namespace pixkit {

namespace {

// The DIB whose header block and bits lie at the offsets stored at infoAt
// (offBmi, cbBmi, offBits, cbBits); false when the record carries none.
bool SourceDib(DibSource& src, RecordView r, std::size_t infoAt, std::uint32_t usage) {
    const std::uint32_t offBmi = r.U32(infoAt), cbBmi = r.U32(infoAt + 4);
    const std::uint32_t offBits = r.U32(infoAt + 8), cbBits = r.U32(infoAt + 12);
    if (cbBmi == 0) return false;
    DecodeDib(src, r.Sub(offBmi, cbBmi), r.Sub(offBits, cbBits), usage == 1);
    return true;
}

// A bitmap record: the DIB at infoAt stretched onto the destination, or
// without a DIB the raster operation on the brush alone.
void Blit(MetaDC& dc, RecordView r, std::size_t infoAt, std::uint32_t usage, double x, double y,
          double w, double h, int sx, int sy, int sw, int sh, bool fromBottom, const BlitOp& op) {
    DibSource src;
    if (!SourceDib(src, r, infoAt, usage)) {
        if (op.mode == BlitOp::Mode::Rop) dc.PatBlt(x, y, x + w, y + h, op.rop);
        return;
    }
    if (fromBottom && src.bottomUp) sy = src.pixels.Height() - (sy + sh);
    dc.StretchBitmap(src.pixels, x, y, w, h, sx, sy, sw, sh, op);
}

BlitOp RopOp(std::uint32_t rop) {
    BlitOp op;
    op.rop = rop;
    return op;
}

// MASKBLT: as BITBLT, plus a monochrome mask whose 1 bits take the
// foreground raster operation (low 24 bits of the ROP4) and 0 bits the
// background one (its high byte).
void MaskBlt(MetaDC& dc, RecordView r) {
    BlitOp op;
    const std::uint32_t rop4 = r.U32(40);
    op.rop = rop4 & 0x00FFFFFF;
    op.backRop = (rop4 >> 8) & 0x00FF0000;
    DibSource mask;
    if (SourceDib(mask, r, 112, r.U32(108))) {
        op.mask = &mask.pixels;
        op.maskAt = {r.S32(100), r.S32(104)};
    }
    const int cx = r.S32(32), cy = r.S32(36);
    Blit(dc, r, 84, r.U32(80), r.S32(24), r.S32(28), cx, cy, r.S32(44), r.S32(48), cx, cy, false,
         op);
}

// PLGBLT: three destination corners, the source rectangle, its DIB and
// an optional mask.
void PlgBlt(MetaDC& dc, RecordView r) {
    DibSource src, mask;
    if (!SourceDib(src, r, 96, r.U32(92))) return;
    BlitOp op;
    if (SourceDib(mask, r, 124, r.U32(120))) {
        op.mask = &mask.pixels;
        op.maskAt = {r.S32(112), r.S32(116)};
    }
    const auto corner = [&](std::size_t at) {
        return Pair<double>{double(r.S32(at)), double(r.S32(at + 4))};
    };
    dc.PlgBitmap(src.pixels, corner(24), corner(32), corner(40), r.S32(48), r.S32(52), r.S32(56),
                 r.S32(60), op);
}

// ALPHABLEND and TRANSPARENTBLT share STRETCHBLT's layout; the raster
// operation's place holds the blend function or the transparent colour.
void BlendOrKey(MetaDC& dc, std::uint32_t type, RecordView r) {
    BlitOp op;
    if (type == 114) {
        op.mode = BlitOp::Mode::Alpha;
        op.constAlpha = r.U8(42);
        op.srcAlpha = (r.U8(43) & 1) != 0;
    } else {
        op.mode = BlitOp::Mode::Transparent;
        op.key = FromColorRef(r.U32(40));
    }
    Blit(dc, r, 84, r.U32(80), r.S32(24), r.S32(28), r.S32(32), r.S32(36), r.S32(44), r.S32(48),
         r.S32(100), r.S32(104), false, op);
}

// GRADIENTFILL: bounds, vertex count, shape count, mode, the vertices
// (x, y, 16-bit red, green, blue, alpha), then the shapes (two or three
// vertex indices each).
void GradientFill(MetaDC& dc, RecordView r) {
    const std::size_t nv = r.U32(24), ns = r.U32(28);
    const int mode = int(r.U32(32));
    if (mode < 0 || mode > 2 || nv > r.n / 16 || ns > r.n / 8) throw EInvalidImage();
    std::vector<GradientVertex> vs(nv);
    for (std::size_t i = 0; i < nv; ++i) {
        const std::size_t at = 36 + 16 * i;
        vs[i].x = r.S32(at);
        vs[i].y = r.S32(at + 4);
        for (std::size_t c = 0; c < 3; ++c) vs[i].rgb[c] = r.U16(at + 8 + 2 * c);
    }
    const std::size_t per = mode == 2 ? 3 : 2;
    std::vector<std::array<std::uint32_t, 3>> shapes(ns);
    for (std::size_t i = 0; i < ns; ++i)
        for (std::size_t k = 0; k < per; ++k)
            shapes[i][k] = r.U32(36 + 16 * nv + 4 * (per * i + k));
    dc.GradientFill(vs, shapes, mode);
}

// Region data: a 32-byte header (size, type, count, size of the
// rectangles, bounds) and its rectangles, in device units.
MetaRegion Region(MetaDC& dc, RecordView r, std::size_t at, std::size_t bytes) {
    const RecordView d = r.Sub(at, bytes);
    const std::size_t n = d.U32(8);
    if (n > d.n / 16) throw EInvalidImage();
    MetaRegion rgn;
    std::int64_t work = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const std::size_t q = 32 + 16 * i;
        const MetaRegion one =
            RectRegion(dc.DeviceRect(d.S32(q), d.S32(q + 4), d.S32(q + 8), d.S32(q + 12)));
        rgn = CombineRegions(rgn, one, 2, work);
    }
    dc.Charge(work);
    return rgn;
}

MetaBrush BrushAt(MetaDC& dc, std::uint32_t index) {
    const MetaBrush saved = dc.st.brush;
    if (index & 0x80000000)
        dc.SelectStock(index & 0x7FFFFFFF);
    else
        dc.SelectObject(index);
    const MetaBrush b = dc.st.brush;
    dc.st.brush = saved;
    return b;
}

} // namespace

bool PlayEmfBitmapRecord(MetaDC& dc, std::uint32_t type, RecordView r) {
    switch (type) {
    case 76: // BITBLT
    case 77: // STRETCHBLT
    {
        const int cx = r.S32(32), cy = r.S32(36);
        const int sw = type == 77 ? r.S32(100) : cx, sh = type == 77 ? r.S32(104) : cy;
        Blit(dc, r, 84, r.U32(80), r.S32(24), r.S32(28), cx, cy, r.S32(44), r.S32(48), sw, sh,
             false, RopOp(r.U32(40)));
        return true;
    }
    case 80: // SETDIBITSTODEVICE
        Blit(dc, r, 48, r.U32(64), r.S32(24), r.S32(28), r.S32(40), r.S32(44), r.S32(32), r.S32(36),
             r.S32(40), r.S32(44), true, RopOp(0x00CC0020));
        return true;
    case 81: // STRETCHDIBITS
        Blit(dc, r, 48, r.U32(64), r.S32(24), r.S32(28), r.S32(72), r.S32(76), r.S32(32), r.S32(36),
             r.S32(40), r.S32(44), true, RopOp(r.U32(68)));
        return true;
    case 78:
        MaskBlt(dc, r);
        return true;
    case 79:
        PlgBlt(dc, r);
        return true;
    case 114:
    case 116:
        BlendOrKey(dc, type, r);
        return true;
    case 118:
        GradientFill(dc, r);
        return true;
    default:
        return false;
    }
}

bool PlayEmfRegionRecord(MetaDC& dc, std::uint32_t type, RecordView r) {
    switch (type) {
    case 71: // FILLRGN: bounds, data size, brush, data
        dc.FillRegion(Region(dc, r, 32, r.U32(24)), BrushAt(dc, r.U32(28)));
        return true;
    case 72: // FRAMERGN: bounds, data size, brush, stroke size, data
        dc.FrameRegion(Region(dc, r, 40, r.U32(24)), BrushAt(dc, r.U32(28)), r.S32(32), r.S32(36));
        return true;
    case 73: // INVERTRGN and PAINTRGN: bounds, data size, data
        dc.InvertRegion(Region(dc, r, 28, r.U32(24)));
        return true;
    case 74:
        dc.FillRegion(Region(dc, r, 28, r.U32(24)), dc.st.brush);
        return true;
    case 75: { // EXTSELECTCLIPRGN: data size, mode, data
        const std::size_t bytes = r.U32(8);
        if (bytes == 0) {
            dc.SelectClip(nullptr, int(r.U32(12)));
            return true;
        }
        const MetaRegion rgn = Region(dc, r, 16, bytes);
        dc.SelectClip(&rgn, int(r.U32(12)));
        return true;
    }
    case 29: // EXCLUDECLIPRECT
        dc.ExcludeClip(r.S32(8), r.S32(12), r.S32(16), r.S32(20));
        return true;
    case 26: // OFFSETCLIPRGN
        dc.OffsetClip(r.S32(8), r.S32(12));
        return true;
    default:
        return false;
    }
}

} // namespace pixkit
