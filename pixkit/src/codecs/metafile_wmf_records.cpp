// Playback of the Windows metafile records we draw. Parameters are 16-bit
// words; points and rectangles are stored last coordinate first (y before
// x, bottom before top). Records we do not draw are skipped by their size.
#include "metafile_wmf.h"

#include <vector>

namespace pixkit {

namespace {

double W(RecordView r, std::size_t word) {
    return r.S16(word * 2);
}

std::vector<Pair<double>> Points(RecordView r, std::size_t word, std::size_t count) {
    r.Need(word * 2, count * 4);
    std::vector<Pair<double>> pts(count);
    for (std::size_t i = 0; i < count; ++i) pts[i] = {W(r, word + 2 * i), W(r, word + 2 * i + 1)};
    return pts;
}

void CreatePen(MetaDC& dc, RecordView r) {
    MetaObject o;
    o.kind = MetaObject::Kind::Pen;
    o.pen = {int(r.U16(0)), W(r, 1), FromColorRef(r.U32(6))};
    dc.PutObject(dc.FreeSlot(), o);
}

// BS_SOLID and BS_HATCHED draw in the brush colour (hatch lines are not
// drawn); BS_NULL and the pattern brushes are hollow.
MetaBrush BrushOf(std::uint32_t style, std::uint32_t colour) {
    return {style != 0 && style != 2, FromColorRef(colour)};
}

void CreateBrush(MetaDC& dc, RecordView r) {
    MetaObject o;
    o.kind = MetaObject::Kind::Brush;
    o.brush = BrushOf(r.U16(0), r.U32(2));
    dc.PutObject(dc.FreeSlot(), o);
}

void CreateFont(MetaDC& dc, RecordView r) {
    MetaObject o;
    o.kind = MetaObject::Kind::Font;
    o.font.height = W(r, 0);
    o.font.weight = r.S16(8);
    o.font.italic = r.U8(10) != 0;
    o.font.underline = r.U8(11) != 0;
    o.font.strikeOut = r.U8(12) != 0;
    for (std::size_t i = 18; i < r.n && i < 18 + 32 && r.p[i] != 0; ++i)
        o.font.face += char(r.p[i]);
    dc.PutObject(dc.FreeSlot(), o);
}

void CreateOther(MetaDC& dc) {
    MetaObject o;
    o.kind = MetaObject::Kind::Other;
    dc.PutObject(dc.FreeSlot(), o);
}

void PolyPolygon(MetaDC& dc, RecordView r) {
    const std::size_t n = r.U16(0);
    std::vector<std::vector<Pair<double>>> polys(n);
    std::size_t word = 1 + n;
    for (std::size_t i = 0; i < n; ++i) {
        const std::size_t count = r.U16(2 + 2 * i);
        polys[i] = Points(r, word, count);
        word += 2 * count;
    }
    dc.PolyPolygon(polys);
}

// Fills without a source bitmap (PatBlt and the bitmap records that carry
// none): PATCOPY with the brush, BLACKNESS and WHITENESS; other raster
// operations are not drawn.
void PatBlt(MetaDC& dc, std::uint32_t rop, double x, double y, double w, double h) {
    if (rop == 0x00F00021 && !dc.st.brush.hollow)
        dc.FillRect(x, y, x + w, y + h, dc.st.brush.colour);
    else if (rop == 0x00000042)
        dc.FillRect(x, y, x + w, y + h, 0);
    else if (rop == 0x00FF0062)
        dc.FillRect(x, y, x + w, y + h, 0xFFFFFF);
}

// Draws a packed DIB starting at word dibWord; the source rectangle is in
// DIB pixels, counted from the bottom row for bottom-up DIBs as GDI does.
void DrawDib(MetaDC& dc, RecordView r, std::size_t dibWord, bool palIndices, int sx, int sy, int sw,
             int sh, double x, double y, double w, double h) {
    const RecordView dib = r.Sub(dibWord * 2, r.n - std::min(r.n, dibWord * 2));
    const std::size_t block = DibHeaderBytes(dib, palIndices);
    DibSource src;
    DecodeDib(src, dib.Sub(0, block), dib.Sub(block, dib.n - std::min(dib.n, block)), palIndices);
    if (src.bottomUp) sy = src.pixels.Height() - (sy + sh);
    dc.StretchBitmap(src.pixels, x, y, w, h, sx, sy, sw, sh);
}

bool Geometry(MetaDC& dc, std::uint32_t fn, RecordView r) {
    switch (fn) {
    case 0x0214:
        dc.MoveTo(W(r, 1), W(r, 0));
        return true;
    case 0x0213:
        dc.LineTo(W(r, 1), W(r, 0));
        return true;
    case 0x0325:
        dc.Polyline(Points(r, 1, r.U16(0)));
        return true;
    case 0x0324:
        dc.PolyPolygon({Points(r, 1, r.U16(0))});
        return true;
    case 0x0538:
        PolyPolygon(dc, r);
        return true;
    case 0x041B: // RECTANGLE
    case 0x061C: // ROUNDRECT, drawn with square corners
        dc.Rectangle(W(r, fn == 0x041B ? 3 : 5), W(r, fn == 0x041B ? 2 : 4),
                     W(r, fn == 0x041B ? 1 : 3), W(r, fn == 0x041B ? 0 : 2));
        return true;
    case 0x0418:
        dc.Ellipse(W(r, 3), W(r, 2), W(r, 1), W(r, 0));
        return true;
    case 0x041F:
        dc.SetPixel(W(r, 3), W(r, 2), FromColorRef(r.U32(0)));
        return true;
    case 0x061D:
        PatBlt(dc, r.U32(0), W(r, 5), W(r, 4), W(r, 3), W(r, 2));
        return true;
    default:
        return false;
    }
}

bool Bitmaps(MetaDC& dc, std::uint32_t fn, RecordView r) {
    switch (fn) {
    case 0x0F43: // STRETCHDIB
        DrawDib(dc, r, 11, r.U16(4) == 1, r.S16(12), r.S16(10), r.S16(8), r.S16(6), W(r, 10),
                W(r, 9), W(r, 8), W(r, 7));
        return true;
    case 0x0B41: // DIBSTRETCHBLT
        if (r.n <= 22)
            PatBlt(dc, r.U32(0), W(r, 10), W(r, 9), W(r, 8), W(r, 7));
        else
            DrawDib(dc, r, 10, false, r.S16(10), r.S16(8), r.S16(6), r.S16(4), W(r, 9), W(r, 8),
                    W(r, 7), W(r, 6));
        return true;
    case 0x0940: // DIBBITBLT
        if (r.n <= 18)
            PatBlt(dc, r.U32(0), W(r, 8), W(r, 7), W(r, 6), W(r, 5));
        else
            DrawDib(dc, r, 8, false, r.S16(6), r.S16(4), r.S16(10), r.S16(8), W(r, 7), W(r, 6),
                    W(r, 5), W(r, 4));
        return true;
    case 0x0D33: // SETDIBTODEVICE
        DrawDib(dc, r, 9, r.U16(0) == 1, r.S16(8), r.S16(6), r.S16(12), r.S16(10), W(r, 8), W(r, 7),
                W(r, 6), W(r, 5));
        return true;
    default:
        return false;
    }
}

// Text bytes in the Windows ANSI code page (1252); the bytes 0x80-0x9F it
// gives other characters than Latin-1 are mapped, the rest are Latin-1.
char32_t FromAnsi(std::uint8_t b) {
    static const char16_t k80[32] = {
        0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD, 0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178};
    return b >= 0x80 && b < 0xA0 ? char32_t(k80[b - 0x80]) : char32_t(b);
}

std::u32string AnsiText(RecordView r, std::size_t at, std::size_t count) {
    r.Need(at, count);
    std::u32string s;
    for (std::size_t i = 0; i < count; ++i) s += FromAnsi(r.p[at + i]);
    return s;
}

// TEXTOUT: length, the bytes (padded to a word), y, x.
void TextOutRecord(MetaDC& dc, RecordView r) {
    const std::size_t n = r.U16(0), at = 2 + ((n + 1) & ~std::size_t(1));
    MetaText t;
    t.chars = AnsiText(r, 2, n);
    dc.TextOut(r.S16(at + 2), r.S16(at), t);
}

// EXTTEXTOUT: y, x, length, options, the rectangle when an option needs
// it, the bytes (padded to a word), then optionally one advance per byte.
void ExtTextOutRecord(MetaDC& dc, RecordView r) {
    MetaText t;
    const std::size_t n = r.U16(4);
    t.options = r.U16(6);
    std::size_t at = 8;
    if (t.options & (MetaText::kOpaque | MetaText::kClipped)) {
        for (int i = 0; i < 4; ++i) t.rect[i] = W(r, 4 + std::size_t(i));
        at += 8;
    }
    t.chars = AnsiText(r, at, n);
    at += (n + 1) & ~std::size_t(1);
    if (at + 2 * n <= r.n)
        for (std::size_t i = 0; i < n; ++i) t.dx.push_back(r.S16(at + 2 * i));
    dc.TextOut(W(r, 1), W(r, 0), t);
}

bool Text(MetaDC& dc, std::uint32_t fn, RecordView r) {
    if (fn == 0x0521)
        TextOutRecord(dc, r);
    else if (fn == 0x0A32)
        ExtTextOutRecord(dc, r);
    else
        return false;
    return true;
}

bool State(MetaDC& dc, std::uint32_t fn, RecordView r) {
    MetaState& st = dc.st;
    switch (fn) {
    case 0x020B:
        st.winOrg = {W(r, 1), W(r, 0)};
        return true;
    case 0x020C:
        st.winExt = {W(r, 1), W(r, 0)};
        return true;
    case 0x020F:
        st.winOrg = {st.winOrg.x + W(r, 1), st.winOrg.y + W(r, 0)};
        return true;
    case 0x0410: // SCALEWINDOWEXT: x num, x den, y num, y den (stored reversed)
        if (W(r, 2) != 0 && W(r, 0) != 0)
            st.winExt = {st.winExt.x * W(r, 3) / W(r, 2), st.winExt.y * W(r, 1) / W(r, 0)};
        return true;
    case 0x0103:
        st.mapMode = int(r.U16(0));
        return true;
    case 0x0106:
        st.fill = r.U16(0) == 2 ? FillMode::Winding : FillMode::Alternate;
        return true;
    case 0x0102:
        st.opaqueBk = r.U16(0) == 2;
        return true;
    case 0x0201:
        st.bkColour = FromColorRef(r.U32(0));
        return true;
    case 0x0209:
        st.textColour = FromColorRef(r.U32(0));
        return true;
    case 0x012E:
        st.textAlign = r.U16(0);
        return true;
    case 0x001E:
        dc.SaveDC();
        return true;
    case 0x0127:
        dc.RestoreDC(r.S16(0));
        return true;
    case 0x0416:
        dc.IntersectClip(W(r, 3), W(r, 2), W(r, 1), W(r, 0));
        return true;
    default:
        return false;
    }
}

bool Objects(MetaDC& dc, std::uint32_t fn, RecordView r) {
    switch (fn) {
    case 0x02FA:
        CreatePen(dc, r);
        return true;
    case 0x02FC:
        CreateBrush(dc, r);
        return true;
    case 0x02FB:
        CreateFont(dc, r);
        return true;
    case 0x00F7: // CREATEPALETTE
    case 0x01F9: // CREATEPATTERNBRUSH
    case 0x0142: // DIBCREATEPATTERNBRUSH
    case 0x06FF: // CREATEREGION
        CreateOther(dc);
        return true;
    case 0x012D:
        dc.SelectObject(r.U16(0));
        return true;
    case 0x01F0:
        dc.DeleteObject(r.U16(0));
        return true;
    default:
        return false;
    }
}

} // namespace

void PlayWmfRecord(MetaDC& dc, std::uint32_t fn, RecordView r) {
    if (Geometry(dc, fn, r) || Bitmaps(dc, fn, r) || State(dc, fn, r) || Objects(dc, fn, r) ||
        Text(dc, fn, r) || WmfRecordDrawsNothing(fn))
        return;
    NoteSkippedRecord(WmfRecordName(fn));
}

} // namespace pixkit
