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

// Cubic Bézier segments (start, two controls, end) as line points.
std::vector<Pair<double>> Flatten(Pair<double> start, const std::vector<Pair<double>>& pts) {
    std::vector<Pair<double>> out{start};
    for (std::size_t i = 0; i + 2 < pts.size(); i += 3) {
        const Pair<double> p0 = out.back(), p1 = pts[i], p2 = pts[i + 1], p3 = pts[i + 2];
        for (int k = 1; k <= 16; ++k) {
            const double t = k / 16.0, u = 1 - t;
            const double a = u * u * u, b = 3 * u * u * t, c = 3 * u * t * t, d = t * t * t;
            out.push_back({a * p0.x + b * p1.x + c * p2.x + d * p3.x,
                           a * p0.y + b * p1.y + c * p2.y + d * p3.y});
        }
    }
    return out;
}

void Bezier(MetaDC& dc, RecordView r, bool to, bool small) {
    std::vector<Pair<double>> pts = Points(r, 28, r.U32(24), small);
    if (pts.empty()) return;
    Pair<double> start = dc.st.pos;
    if (!to) {
        start = pts.front();
        pts.erase(pts.begin());
    }
    const std::vector<Pair<double>> line = Flatten(start, pts);
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
    o.font.weight = r.S32(28);
    o.font.italic = r.U8(32) != 0;
    o.font.underline = r.U8(33) != 0;
    o.font.strikeOut = r.U8(34) != 0;
    for (std::size_t i = 40; i + 1 < r.n && i < 40 + 64 && r.U16(i) != 0; i += 2)
        o.font.face += r.U16(i) < 128 ? char(r.U16(i)) : '?';
    dc.PutObject(r.U32(8), o);
}

void Brush(MetaDC& dc, std::size_t index, bool hollow, Pixel colour) {
    MetaObject o;
    o.kind = MetaObject::Kind::Brush;
    o.brush = {hollow, colour};
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

// A bitmap record: the DIB header block and bits at the given offsets,
// or no DIB at all (cbBmi 0), which fills with the raster operation.
void Blit(MetaDC& dc, RecordView r, std::size_t infoAt, std::uint32_t usage, double x, double y,
          double w, double h, int sx, int sy, int sw, int sh, bool fromBottom, std::uint32_t rop) {
    const std::uint32_t offBmi = r.U32(infoAt), cbBmi = r.U32(infoAt + 4);
    const std::uint32_t offBits = r.U32(infoAt + 8), cbBits = r.U32(infoAt + 12);
    if (cbBmi == 0) {
        if (rop == 0x00F00021 && !dc.st.brush.hollow)
            dc.FillRect(x, y, x + w, y + h, dc.st.brush.colour);
        else if (rop == 0x00000042)
            dc.FillRect(x, y, x + w, y + h, 0);
        else if (rop == 0x00FF0062)
            dc.FillRect(x, y, x + w, y + h, 0xFFFFFF);
        return;
    }
    DibSource src;
    DecodeDib(src, r.Sub(offBmi, cbBmi), r.Sub(offBits, cbBits), usage == 1);
    if (fromBottom && src.bottomUp) sy = src.pixels.Height() - (sy + sh);
    dc.StretchBitmap(src.pixels, x, y, w, h, sx, sy, sw, sh);
}

bool Bitmaps(MetaDC& dc, std::uint32_t type, RecordView r) {
    switch (type) {
    case 76: // BITBLT
    case 77: // STRETCHBLT
    {
        const int cx = r.S32(32), cy = r.S32(36);
        const int sw = type == 77 ? r.S32(100) : cx, sh = type == 77 ? r.S32(104) : cy;
        Blit(dc, r, 84, r.U32(80), r.S32(24), r.S32(28), cx, cy, r.S32(44), r.S32(48), sw, sh,
             false, r.U32(40));
        return true;
    }
    case 80: // SETDIBITSTODEVICE
        Blit(dc, r, 48, r.U32(64), r.S32(24), r.S32(28), r.S32(40), r.S32(44), r.S32(32), r.S32(36),
             r.S32(40), r.S32(44), true, 0x00CC0020);
        return true;
    case 81: // STRETCHDIBITS
        Blit(dc, r, 48, r.U32(64), r.S32(24), r.S32(28), r.S32(72), r.S32(76), r.S32(32), r.S32(36),
             r.S32(40), r.S32(44), true, r.U32(68));
        return true;
    default:
        return false;
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
    case 44:
        dc.Rectangle(r.S32(8), r.S32(12), r.S32(16), r.S32(20));
        return true;
    case 42:
        dc.Ellipse(r.S32(8), r.S32(12), r.S32(16), r.S32(20));
        return true;
    case 15:
        dc.SetPixel(r.S32(8), r.S32(12), FromColorRef(r.U32(16)));
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
    default:
        return false;
    }
}

// EXTTEXTOUTA and EXTTEXTOUTW: bounds, graphics mode, scales, then the
// text block: reference point, character count, string offset, options,
// rectangle, advance offset. Offsets count from the record's start.
bool Text(MetaDC& dc, std::uint32_t type, RecordView r) {
    if (type != 83 && type != 84) return false;
    constexpr unsigned kPdy = 0x2000; // advances come as (dx, dy) pairs
    MetaText t;
    const std::size_t n = r.U32(44), at = r.U32(48);
    const bool wide = type == 84;
    if (n > r.n) throw EInvalidImage();
    r.Need(at, n * (wide ? 2 : 1));
    for (std::size_t i = 0; i < n; ++i) {
        if (!wide) {
            t.chars += char32_t(r.U8(at + i));
            continue;
        }
        const char32_t u = r.U16(at + 2 * i);
        if (u >= 0xD800 && u < 0xDC00 && i + 1 < n) {
            const char32_t low = r.U16(at + 2 * i + 2);
            if (low >= 0xDC00 && low < 0xE000) {
                t.chars += 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00);
                ++i;
                continue;
            }
        }
        t.chars += (u >= 0xD800 && u < 0xE000) ? char32_t(0xFFFD) : u;
    }
    t.options = r.U32(52);
    for (int i = 0; i < 4; ++i) t.rect[i] = r.S32(56 + 4 * std::size_t(i));
    const std::size_t dxAt = r.U32(72), step = (t.options & kPdy) ? 8 : 4;
    if (dxAt != 0 && dxAt <= r.n && n <= (r.n - dxAt) / step) {
        // One advance per code unit; a surrogate pair's two are summed.
        std::vector<double> dx;
        std::size_t unit = 0;
        for (std::size_t c = 0; c < t.chars.size(); ++c) {
            double sum = r.S32(dxAt + step * unit++);
            if (t.chars[c] >= 0x10000 && wide) sum += r.S32(dxAt + step * unit++);
            dx.push_back(sum);
        }
        t.dx = std::move(dx);
    } else {
        t.dx.clear();
    }
    dc.TextOut(r.S32(36), r.S32(40), t);
    return true;
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
    case 18:
        st.opaqueBk = r.U32(8) == 2;
        return true;
    case 19:
        st.fill = r.U32(8) == 2 ? FillMode::Winding : FillMode::Alternate;
        return true;
    case 22:
        st.textAlign = r.U32(8);
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
    case 39: {
        const std::uint32_t style = r.U32(12);
        Brush(dc, r.U32(8), style != 0 && style != 2, FromColorRef(r.U32(16)));
        return true;
    }
    case 93: // CREATEMONOBRUSH
    case 94: // CREATEDIBPATTERNBRUSHPT: patterns are not drawn
        Brush(dc, r.U32(8), true, 0);
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
    if (Geometry(dc, type, r) || Bitmaps(dc, type, r) || State(dc, type, r) ||
        Objects(dc, type, r) || Text(dc, type, r) || EmfRecordDrawsNothing(type))
        return;
    NoteSkippedRecord(EmfRecordName(type));
}

} // namespace pixkit
