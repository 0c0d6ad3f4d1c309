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

// LOGBRUSH: style, colour, hatch.
void CreateBrush(MetaDC& dc, RecordView r) {
    MetaObject o;
    o.kind = MetaObject::Kind::Brush;
    o.brush = SolidOrHatchBrush(r.U16(0), FromColorRef(r.U32(2)), r.U16(6));
    dc.PutObject(dc.FreeSlot(), o);
}

// DIBCREATEPATTERNBRUSH: style, colour usage, then a packed DIB.
void CreateDibPatternBrush(MetaDC& dc, RecordView r) {
    MetaObject o;
    o.kind = MetaObject::Kind::Brush;
    const bool palIndices = r.U16(2) == 1;
    const RecordView dib = r.Sub(4, r.n - std::min<std::size_t>(r.n, 4));
    const std::size_t block = DibHeaderBytes(dib, palIndices);
    o.brush = PatternBrush(dib.Sub(0, block), dib.Sub(block, dib.n - std::min(dib.n, block)),
                           palIndices, false);
    dc.PutObject(dc.FreeSlot(), o);
}

void CreateFont(MetaDC& dc, RecordView r) {
    MetaObject o;
    o.kind = MetaObject::Kind::Font;
    o.font.height = W(r, 0);
    o.font.escapement = r.S16(4);
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
    case 0x041B:
        dc.Rectangle(W(r, 3), W(r, 2), W(r, 1), W(r, 0));
        return true;
    case 0x061C: // ROUNDRECT: box, then the corner ellipse's width and height
        dc.RoundRect(W(r, 5), W(r, 4), W(r, 3), W(r, 2), W(r, 1), W(r, 0));
        return true;
    case 0x0817: // ARC, PIE, CHORD: box, start point, end point (reversed)
    case 0x081A:
    case 0x0830:
        dc.Arc(fn == 0x0817   ? ArcKind::Arc
               : fn == 0x081A ? ArcKind::Pie
                              : ArcKind::Chord,
               W(r, 7), W(r, 6), W(r, 5), W(r, 4), {W(r, 3), W(r, 2)}, {W(r, 1), W(r, 0)});
        return true;
    case 0x0418:
        dc.Ellipse(W(r, 3), W(r, 2), W(r, 1), W(r, 0));
        return true;
    case 0x041F:
        dc.SetPixel(W(r, 3), W(r, 2), FromColorRef(r.U32(0)));
        return true;
    case 0x0419: // FLOODFILL: colour, y, x; fills up to a border
        dc.FloodFill(W(r, 3), W(r, 2), FromColorRef(r.U32(0)), false);
        return true;
    case 0x0548: // EXTFLOODFILL: mode, colour, y, x
        dc.FloodFill(W(r, 4), W(r, 3), FromColorRef(r.U32(2)), r.U16(0) == 1);
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
    case 0x0410: // SCALEWINDOWEXT, SCALEVIEWPORTEXT: x num, x den, y num, y den (reversed)
    case 0x0412: {
        Pair<double>& ext = fn == 0x0410 ? st.winExt : st.vpExt;
        if (W(r, 2) != 0 && W(r, 0) != 0)
            ext = {ext.x * W(r, 3) / W(r, 2), ext.y * W(r, 1) / W(r, 0)};
        return true;
    }
    case 0x020D: // SETVIEWPORTORG, SETVIEWPORTEXT, OFFSETVIEWPORTORG: device units
        st.vpOrg = {W(r, 1), W(r, 0)};
        return true;
    case 0x020E:
        st.vpExt = {W(r, 1), W(r, 0)};
        return true;
    case 0x0211:
        st.vpOrg = {st.vpOrg.x + W(r, 1), st.vpOrg.y + W(r, 0)};
        return true;
    case 0x0103:
        st.mapMode = int(r.U16(0));
        return true;
    case 0x0104:
        st.rop2 = int(r.U16(0));
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
    case 0x0108: // SETTEXTCHAREXTRA
        st.charExtra = W(r, 0);
        return true;
    case 0x020A: // SETTEXTJUSTIFICATION: break count, break extra
        st.breakCount = W(r, 0);
        st.breakExtra = W(r, 1);
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
    case 0x0142:
        CreateDibPatternBrush(dc, r);
        return true;
    case 0x00F7: // CREATEPALETTE
    case 0x01F9: // CREATEPATTERNBRUSH
        CreateOther(dc);
        if (fn == 0x01F9) NoteSkippedRecord("CREATEPATTERNBRUSH");
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
    if (Geometry(dc, fn, r) || PlayWmfBitmapRecord(dc, fn, r) || PlayWmfRegionRecord(dc, fn, r) ||
        State(dc, fn, r) || Objects(dc, fn, r) || Text(dc, fn, r) || WmfRecordDrawsNothing(fn))
        return;
    NoteSkippedRecord(WmfRecordName(fn));
}

} // namespace pixkit
