// Playback of the enhanced metafile records we draw. Offsets below count
// from the start of the record (type and size are its first 8 bytes).
// Records we do not draw are skipped by their size.
#include "metafile_emf.h"

#include <vector>

namespace pixkit {

namespace {

constexpr std::uint32_t kStockFlag = 0x80000000;

// count points from at: 32-bit pairs, or 16-bit pairs when small.
std::vector<Pair<double>> Points(RecordView r, std::size_t at, std::size_t count, bool small) {
    const std::size_t bytes = small ? 4 : 8;
    if (count > r.n / bytes) throw EInvalidImage();
    r.Need(at, count * bytes);
    std::vector<Pair<double>> pts(count);
    for (std::size_t i = 0; i < count; ++i)
        pts[i] = small ? Pair<double>{double(r.S16(at + 4 * i)), double(r.S16(at + 4 * i + 2))}
                       : Pair<double>{double(r.S32(at + 8 * i)), double(r.S32(at + 8 * i + 4))};
    return pts;
}

// POLYPOLYGON and POLYPOLYLINE: bounds, polygon count, point count, the
// counts, then the points.
std::vector<std::vector<Pair<double>>> PolyPoints(RecordView r, bool small) {
    const std::size_t n = r.U32(24);
    if (n > r.n / 4) throw EInvalidImage();
    std::vector<std::vector<Pair<double>>> polys(n);
    std::size_t at = 32 + 4 * n;
    for (std::size_t i = 0; i < n; ++i) {
        const std::size_t count = r.U32(32 + 4 * i);
        polys[i] = Points(r, at, count, small);
        at += count * (small ? 4 : 8);
    }
    return polys;
}

// POLYDRAW and POLYDRAW16: bounds, point count, the points, then one type
// byte per point.
void PolyDraw(MetaDC& dc, RecordView r, bool small) {
    const std::size_t n = r.U32(24);
    const std::vector<Pair<double>> pts = Points(r, 28, n, small);
    const std::size_t typesAt = 28 + n * (small ? 4 : 8);
    r.Need(typesAt, n);
    dc.PolyDraw(pts, std::vector<std::uint8_t>(r.p + typesAt, r.p + typesAt + n));
}

void Bezier(MetaDC& dc, RecordView r, bool to, bool small) {
    std::vector<Pair<double>> pts = Points(r, 28, r.U32(24), small);
    if (pts.empty()) return;
    Pair<double> start = dc.st.pos;
    if (!to) {
        start = pts.front();
        pts.erase(pts.begin());
    }
    const std::vector<Pair<double>> line = FlattenBeziers(start, pts);
    if (to)
        dc.PolylineTo(std::vector<Pair<double>>(line.begin() + 1, line.end()));
    else
        dc.Polyline(line);
}

// PS_GEOMETRIC pens have a width in logical units; cosmetic pens are one
// pixel. A pen whose brush is BS_NULL draws nothing.
void ExtCreatePen(MetaDC& dc, RecordView r) {
    MetaObject o;
    o.kind = MetaObject::Kind::Pen;
    const std::uint32_t style = r.U32(28);
    o.pen = {int(style & 15), (style & 0x00010000) ? double(r.U32(32)) : 0.0,
             FromColorRef(r.U32(40))};
    if (r.U32(36) == 1) o.pen.style = 5;
    dc.PutObject(r.U32(8), o);
}

void CreateFont(MetaDC& dc, RecordView r) {
    MetaObject o;
    o.kind = MetaObject::Kind::Font;
    o.font.height = r.S32(12);
    o.font.escapement = r.S32(20);
    o.font.weight = r.S32(28);
    o.font.italic = r.U8(32) != 0;
    o.font.underline = r.U8(33) != 0;
    o.font.strikeOut = r.U8(34) != 0;
    for (std::size_t i = 40; i + 1 < r.n && i < 40 + 64 && r.U16(i) != 0; i += 2)
        o.font.face += r.U16(i) < 128 ? char(r.U16(i)) : '?';
    dc.PutObject(r.U32(8), o);
}

void Brush(MetaDC& dc, std::size_t index, const MetaBrush& brush) {
    MetaObject o;
    o.kind = MetaObject::Kind::Brush;
    o.brush = brush;
    dc.PutObject(index, o);
}

void Select(MetaDC& dc, std::uint32_t ih) {
    if (ih & kStockFlag)
        dc.SelectStock(ih & ~kStockFlag);
    else
        dc.SelectObject(ih);
}

MetaXform Xform(RecordView r, std::size_t at) {
    return {r.F32(at),      r.F32(at + 4),  r.F32(at + 8),
            r.F32(at + 12), r.F32(at + 16), r.F32(at + 20)};
}

void ModifyWorld(MetaDC& dc, RecordView r) {
    const MetaXform x = Xform(r, 8);
    switch (r.U32(32)) {
    case 1:
        dc.st.world = MetaXform{};
        break;
    case 2:
        dc.st.world = Multiply(x, dc.st.world);
        break;
    case 3:
        dc.st.world = Multiply(dc.st.world, x);
        break;
    case 4:
        dc.st.world = x;
        break;
    default:
        break;
    }
}

bool Geometry(MetaDC& dc, std::uint32_t type, RecordView r) {
    switch (type) {
    case 27:
        dc.MoveTo(r.S32(8), r.S32(12));
        return true;
    case 54:
        dc.LineTo(r.S32(8), r.S32(12));
        return true;
    case 3:
    case 86:
        dc.PolyPolygon({Points(r, 28, r.U32(24), type == 86)});
        return true;
    case 4:
    case 87:
        dc.Polyline(Points(r, 28, r.U32(24), type == 87));
        return true;
    case 6:
    case 89:
        dc.PolylineTo(Points(r, 28, r.U32(24), type == 89));
        return true;
    case 8:
    case 91:
        dc.PolyPolygon(PolyPoints(r, type == 91));
        return true;
    case 7:
    case 90:
        for (const auto& line : PolyPoints(r, type == 90)) dc.Polyline(line);
        return true;
    case 2:
    case 85:
        Bezier(dc, r, false, type == 85);
        return true;
    case 5:
    case 88:
        Bezier(dc, r, true, type == 88);
        return true;
    case 43:
        dc.Rectangle(r.S32(8), r.S32(12), r.S32(16), r.S32(20));
        return true;
    case 44:
        dc.RoundRect(r.S32(8), r.S32(12), r.S32(16), r.S32(20), r.S32(24), r.S32(28));
        return true;
    case 45: // ARC, CHORD, PIE, ARCTO: box, start point, end point
    case 46:
    case 47:
    case 55: {
        const ArcKind kinds[] = {ArcKind::Arc, ArcKind::Chord, ArcKind::Pie};
        dc.Arc(type == 55 ? ArcKind::ArcTo : kinds[type - 45], r.S32(8), r.S32(12), r.S32(16),
               r.S32(20), {double(r.S32(24)), double(r.S32(28))},
               {double(r.S32(32)), double(r.S32(36))});
        return true;
    }
    case 41: // ANGLEARC: centre, radius, start and sweep in degrees
        dc.AngleArc(r.S32(8), r.S32(12), r.U32(16), r.F32(20), r.F32(24));
        return true;
    case 56:
    case 92:
        PolyDraw(dc, r, type == 92);
        return true;
    case 42:
        dc.Ellipse(r.S32(8), r.S32(12), r.S32(16), r.S32(20));
        return true;
    case 15:
        dc.SetPixel(r.S32(8), r.S32(12), FromColorRef(r.U32(16)));
        return true;
    case 53: // EXTFLOODFILL: start, colour, mode
        dc.FloodFill(r.S32(8), r.S32(12), FromColorRef(r.U32(16)), r.U32(20) == 1);
        return true;
    case 59:
        dc.BeginPath();
        return true;
    case 60:
        dc.EndPath();
        return true;
    case 61:
        dc.CloseFigure();
        return true;
    case 68:
        dc.AbortPath();
        return true;
    case 62:
        dc.DrawPath(true, false);
        return true;
    case 63:
        dc.DrawPath(true, true);
        return true;
    case 64:
        dc.DrawPath(false, true);
        return true;
    case 65: // FLATTENPATH: our paths hold lines only
        return true;
    case 67: // SELECTCLIPPATH: region mode
        dc.SelectClipPath(int(r.U32(8)));
        return true;
    default:
        return false;
    }
}

// n characters at offset at: bytes, or UTF-16 code units whose surrogate
// pairs join (a lone surrogate becomes U+FFFD).
std::u32string Chars(RecordView r, std::size_t at, std::size_t n, bool wide) {
    if (n > r.n) throw EInvalidImage();
    r.Need(at, n * (wide ? 2 : 1));
    std::u32string chars;
    for (std::size_t i = 0; i < n; ++i) {
        if (!wide) {
            chars += char32_t(r.U8(at + i));
            continue;
        }
        const char32_t u = r.U16(at + 2 * i);
        if (u >= 0xD800 && u < 0xDC00 && i + 1 < n) {
            const char32_t low = r.U16(at + 2 * i + 2);
            if (low >= 0xDC00 && low < 0xE000) {
                chars += 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00);
                ++i;
                continue;
            }
        }
        chars += (u >= 0xD800 && u < 0xE000) ? char32_t(0xFFFD) : u;
    }
    return chars;
}

// A text block at block: reference point, character count, string offset,
// options, rectangle, advance offset (offsets count from the record's
// start).
void TextBlock(MetaDC& dc, RecordView r, std::size_t block, bool wide) {
    constexpr unsigned kPdy = 0x2000; // advances come as (dx, dy) pairs
    MetaText t;
    const std::size_t n = r.U32(block + 8);
    t.chars = Chars(r, r.U32(block + 12), n, wide);
    t.options = r.U32(block + 16);
    for (int i = 0; i < 4; ++i) t.rect[i] = r.S32(block + 20 + 4 * std::size_t(i));
    const std::size_t dxAt = r.U32(block + 36), step = (t.options & kPdy) ? 8 : 4;
    if (dxAt != 0 && dxAt <= r.n && n <= (r.n - dxAt) / step) {
        // One advance per code unit; a surrogate pair's two are summed.
        std::size_t unit = 0;
        for (std::size_t c = 0; c < t.chars.size(); ++c) {
            double sum = r.S32(dxAt + step * unit++);
            if (t.chars[c] >= 0x10000 && wide) sum += r.S32(dxAt + step * unit++);
            t.dx.push_back(sum);
        }
    }
    dc.TextOut(r.S32(block), r.S32(block + 4), t);
}

// SMALLTEXTOUT: point, count, options, graphics mode, scales, a rectangle
// unless ETO_NO_RECT, then the text, in bytes with ETO_SMALL_CHARS.
void SmallTextOut(MetaDC& dc, RecordView r) {
    constexpr unsigned kNoRect = 0x100, kSmallChars = 0x200;
    const unsigned flags = r.U32(20);
    MetaText t;
    std::size_t at = 36;
    if (!(flags & kNoRect)) {
        for (int i = 0; i < 4; ++i) t.rect[i] = r.S32(36 + 4 * std::size_t(i));
        t.options = flags & (MetaText::kOpaque | MetaText::kClipped);
        at = 52;
    }
    t.chars = Chars(r, at, r.U32(16), !(flags & kSmallChars));
    dc.TextOut(r.S32(8), r.S32(12), t);
}

// EXTTEXTOUTA/W hold one text block after bounds, graphics mode and
// scales; POLYTEXTOUTA/W a count and that many blocks of 40 bytes.
bool Text(MetaDC& dc, std::uint32_t type, RecordView r) {
    switch (type) {
    case 83:
    case 84:
        TextBlock(dc, r, 36, type == 84);
        return true;
    case 96:
    case 97: {
        const std::size_t n = r.U32(36);
        if (n > r.n / 40) throw EInvalidImage();
        for (std::size_t i = 0; i < n; ++i) TextBlock(dc, r, 40 + 40 * i, type == 97);
        return true;
    }
    case 108:
        SmallTextOut(dc, r);
        return true;
    default:
        return false;
    }
}

bool State(MetaDC& dc, std::uint32_t type, RecordView r) {
    MetaState& st = dc.st;
    switch (type) {
    case 9:
        st.winExt = {double(r.S32(8)), double(r.S32(12))};
        return true;
    case 10:
        st.winOrg = {double(r.S32(8)), double(r.S32(12))};
        return true;
    case 11:
        st.vpExt = {double(r.S32(8)), double(r.S32(12))};
        return true;
    case 12:
        st.vpOrg = {double(r.S32(8)), double(r.S32(12))};
        return true;
    case 17:
        st.mapMode = int(r.U32(8));
        return true;
    case 31: // SCALEVIEWPORTEXTEX, SCALEWINDOWEXTEX: x and y numerator, denominator
    case 32: {
        Pair<double>& ext = type == 31 ? st.vpExt : st.winExt;
        if (r.S32(12) != 0 && r.S32(20) != 0)
            ext = {ext.x * r.S32(8) / r.S32(12), ext.y * r.S32(16) / r.S32(20)};
        return true;
    }
    case 18:
        st.opaqueBk = r.U32(8) == 2;
        return true;
    case 19:
        st.fill = r.U32(8) == 2 ? FillMode::Winding : FillMode::Alternate;
        return true;
    case 20:
        st.rop2 = int(r.U32(8));
        return true;
    case 13: // SETBRUSHORGEX, in device units
        dc.SetBrushOrigin(r.S32(8), r.S32(12));
        return true;
    case 57: // SETARCDIRECTION: 1 counter-clockwise, 2 clockwise
        st.arcClockwise = r.U32(8) == 2;
        return true;
    case 22:
        st.textAlign = r.U32(8);
        return true;
    case 120: // SETTEXTJUSTIFICATION: break extra, break count
        st.breakExtra = r.S32(8);
        st.breakCount = r.S32(12);
        return true;
    case 24:
        st.textColour = FromColorRef(r.U32(8));
        return true;
    case 25:
        st.bkColour = FromColorRef(r.U32(8));
        return true;
    case 33:
        dc.SaveDC();
        return true;
    case 34:
        dc.RestoreDC(r.S32(8));
        return true;
    case 30:
        dc.IntersectClip(r.S32(8), r.S32(12), r.S32(16), r.S32(20));
        return true;
    case 35:
        st.world = Xform(r, 8);
        return true;
    case 36:
        ModifyWorld(dc, r);
        return true;
    default:
        return false;
    }
}

bool Objects(MetaDC& dc, std::uint32_t type, RecordView r) {
    switch (type) {
    case 37:
        Select(dc, r.U32(8));
        return true;
    case 40:
        if (!(r.U32(8) & kStockFlag)) dc.DeleteObject(r.U32(8));
        return true;
    case 38: {
        MetaObject o;
        o.kind = MetaObject::Kind::Pen;
        o.pen = {int(r.U32(12) & 15), double(r.S32(16)), FromColorRef(r.U32(24))};
        dc.PutObject(r.U32(8), o);
        return true;
    }
    case 95:
        ExtCreatePen(dc, r);
        return true;
    case 39: // CREATEBRUSHINDIRECT: index, style, colour, hatch
        Brush(dc, r.U32(8), SolidOrHatchBrush(r.U32(12), FromColorRef(r.U32(16)), r.U32(20)));
        return true;
    case 93: // CREATEMONOBRUSH, CREATEDIBPATTERNBRUSHPT: index, usage, the DIB
    case 94:
        Brush(dc, r.U32(8),
              PatternBrush(r.Sub(r.U32(16), r.U32(20)), r.Sub(r.U32(24), r.U32(28)), r.U32(12) == 1,
                           type == 93));
        return true;
    case 82:
        CreateFont(dc, r);
        return true;
    case 49: { // CREATEPALETTE
        MetaObject o;
        o.kind = MetaObject::Kind::Other;
        dc.PutObject(r.U32(8), o);
        return true;
    }
    default:
        return false;
    }
}

} // namespace

void PlayEmfRecord(MetaDC& dc, std::uint32_t type, RecordView r) {
    if (Geometry(dc, type, r) || PlayEmfBitmapRecord(dc, type, r) ||
        PlayEmfRegionRecord(dc, type, r) || State(dc, type, r) || Objects(dc, type, r) ||
        Text(dc, type, r) || EmfRecordDrawsNothing(type))
        return;
    NoteSkippedRecord(EmfRecordName(type));
}

} // namespace pixkit
