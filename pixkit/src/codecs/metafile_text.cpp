// Text output of the metafile players. The logical font becomes a system
// font of the matching pixel size (Fontconfig finds the nearest family),
// the reference point and the text alignment give the text cell, and the
// glyphs are drawn aliased with Buffer::OutText. A font's escapement turns
// the whole run about its reference point; the orientation of single
// glyphs is not drawn apart from it.
#include "metafile_dc.h"

#include "font_engine.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace pixkit {

namespace {

// Text alignment bits (TA_*).
constexpr unsigned kUpdateCp = 1;
constexpr unsigned kHorizontal = 6, kRight = 2, kCenter = 6;
constexpr unsigned kVertical = 24, kBottom = 8, kBaseline = 24;

// Em heights beyond this draw nothing: no picture we render needs glyphs
// larger than its own side, and a glyph costs its area to render.
constexpr double kMaxEm = 4096;
// The em height of a font whose height is 0 ("a reasonable default").
constexpr int kDefaultEm = 16;

void AppendUtf8(std::string& s, char32_t c) {
    if (c < 0x80) {
        s += char(c);
    } else if (c < 0x800) {
        s += char(0xC0 | (c >> 6));
        s += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        s += char(0xE0 | (c >> 12));
        s += char(0x80 | ((c >> 6) & 0x3F));
        s += char(0x80 | (c & 0x3F));
    } else {
        s += char(0xF0 | (c >> 18));
        s += char(0x80 | ((c >> 12) & 0x3F));
        s += char(0x80 | ((c >> 6) & 0x3F));
        s += char(0x80 | (c & 0x3F));
    }
}

std::string Utf8(const std::u32string& chars) {
    std::string s;
    for (const char32_t c : chars) AppendUtf8(s, c);
    return s;
}

// The horizontal layout of a text run in output pixels: where each
// character's origin lies from the run's origin, and the whole advance.
struct RunLayout {
    std::vector<double> origins;
    std::vector<std::int64_t> starts; // glyph origin within its own text cell
    double advance = 0;
    std::int64_t ascent = 0, height = 0, start = 0;
};

// The cell height (ascent plus descent) of font at em pixels.
std::int64_t CellHeight(FontDesc font, int em) {
    font.Height = em;
    detail::TextSession session(font);
    return session.Measure(U"X").height;
}

// The em height in pixels of the selected font: a negative logical height
// is the em height, a positive one the cell height, met by the largest em
// whose cell is no higher (the face's own ascent and descent, rounded as
// they are drawn).
int EmPixels(const MetaDC& dc, const MetaFont& f, const FontDesc& font) {
    if (f.height == 0) return kDefaultEm;
    const Pair<double> a = dc.ToOutput(0, 0), b = dc.ToOutput(0, std::fabs(f.height));
    const double px = std::hypot(b.x - a.x, b.y - a.y);
    if (!(px >= 0.5 && px <= kMaxEm)) return 0;
    int em = std::max(1, int(std::lround(px)));
    if (f.height < 0) return em;
    const std::int64_t probe = CellHeight(font, 100);
    if (probe > 0) em = std::max(1, int(std::lround(px * 100 / double(probe))));
    const std::int64_t want = std::llround(px);
    for (int i = 0; i < 8 && em > 1 && CellHeight(font, em) > want; ++i) --em;
    for (int i = 0; i < 8 && em < kMaxEm && CellHeight(font, em + 1) <= want; ++i) ++em;
    return em;
}

FontDesc FontOf(const MetaDC& dc) {
    const MetaFont& f = dc.st.font;
    FontDesc d;
    if (!f.face.empty()) d.Family = f.face;
    d.Bold = f.weight >= 600;
    d.Italic = f.italic;
    d.Underline = f.underline;
    d.StrikeOut = f.strikeOut;
    d.Height = EmPixels(dc, f, d);
    return d;
}

// Without advances in the record, each character may get extra space
// (SETTEXTCHAREXTRA) and each space a share of the justification
// (SETTEXTJUSTIFICATION), both in logical units.
RunLayout Layout(const FontDesc& font, const MetaText& text, double dxScale, const MetaState& st) {
    RunLayout run;
    detail::TextSession session(font);
    const detail::TextLayout whole = session.Measure(text.chars);
    run.ascent = whole.ascent;
    run.height = whole.height;
    run.start = whole.start;
    const bool spaced = text.dx.size() >= text.chars.size() && !text.dx.empty();
    const bool extra = st.charExtra != 0 || (st.breakCount > 0 && st.breakExtra != 0);
    if (!spaced && !extra) {
        run.advance = double(whole.advance);
        return run;
    }
    const double perBreak = st.breakCount > 0 ? st.breakExtra / st.breakCount : 0;
    double pen = 0;
    for (std::size_t i = 0; i < text.chars.size(); ++i) {
        const detail::TextLayout one = session.Measure(std::u32string(1, text.chars[i]));
        run.origins.push_back(pen);
        run.starts.push_back(one.start);
        if (spaced)
            pen += text.dx[i] * dxScale;
        else
            pen += double(one.advance) +
                   (st.charExtra + (text.chars[i] == U' ' ? perBreak : 0)) * dxScale;
    }
    run.advance = pen;
    return run;
}

// Mask values of a run drawn upright for turning: its glyphs, its
// background box, and nothing.
constexpr Pixel kMaskInk = 2, kMaskBox = 1;
// Larger turned runs (16 MB of mask) are not drawn, so that a small file
// cannot claim much memory with one long string.
constexpr std::int64_t kMaxMask = std::int64_t(1) << 22;

// The run drawn upright into mask, glyphs over the box; false when it is
// empty or too large.
// margin pixels on either side keep glyphs that reach past the advance.
template <typename Draw>
bool UprightMask(Buffer& mask, int margin, const RunLayout& run, const Draw& draw) {
    const double w = std::ceil(run.advance) + 2.0 * margin + 1, h = double(run.height);
    if (!(w >= 1 && h >= 1 && w * h <= double(kMaxMask))) return false;
    mask.Alloc({int(w), int(h)});
    mask.Box(mask.Area, 0);
    draw(mask, margin, 0, kMaskInk, kMaskBox);
    return true;
}

// Draws an upright run's mask turned counter-clockwise by angle degrees
// about the reference point p, the mask's top left lying at offset from p
// before the turn: the glyphs in ink, the box in paper when given. Each
// output pixel whose centre falls on the mask takes the mask pixel there.
void DrawTurned(Buffer& t, const Buffer& mask, Pair<double> p, Pair<double> offset, double angle,
                Pixel ink, const Pixel* paper) {
    const double rad = angle * std::numbers::pi / 180, c = std::cos(rad), s = std::sin(rad);
    // Mask (u, v) lies at p + u (c, -s) + v (s, c) in the output.
    const double w = mask.Width(), h = mask.Height();
    double x0 = 1e300, y0 = 1e300, x1 = -1e300, y1 = -1e300;
    for (const double u : {offset.x, offset.x + w})
        for (const double v : {offset.y, offset.y + h}) {
            const double x = p.x + u * c + v * s, y = p.y - u * s + v * c;
            x0 = std::min(x0, x), y0 = std::min(y0, y), x1 = std::max(x1, x), y1 = std::max(y1, y);
        }
    const Rect& a = t.Area;
    const int l = int(std::max<double>(a.Left, std::floor(x0))),
              r = int(std::min<double>(a.Right, std::ceil(x1)));
    const int top = int(std::max<double>(a.Top, std::floor(y0))),
              bottom = int(std::min<double>(a.Bottom, std::ceil(y1)));
    for (int y = top; y <= bottom; ++y)
        for (int x = l; x <= r; ++x) {
            const double dx = x + 0.5 - p.x, dy = y + 0.5 - p.y;
            const double u = std::floor(dx * c - dy * s - offset.x),
                         v = std::floor(dx * s + dy * c - offset.y);
            if (u < 0 || v < 0 || u >= w || v >= h) continue;
            const Pixel m = *mask.At(int(u), int(v));
            if (m == kMaskInk)
                *t.At(x, y) = ink;
            else if (m == kMaskBox && paper != nullptr)
                *t.At(x, y) = *paper;
        }
}

} // namespace

void MetaDC::TextOut(double x, double y, const MetaText& text) {
    const unsigned align = st.textAlign;
    if (align & kUpdateCp) {
        x = st.pos.x;
        y = st.pos.y;
    }
    if (text.options & MetaText::kOpaque)
        FillRect(text.rect[0], text.rect[1], text.rect[2], text.rect[3], st.bkColour);
    const FontDesc font = FontOf(*this);
    if (text.chars.empty() || font.Height == 0) return;
    const Pair<double> o = ToOutput(0, 0), ux = ToOutput(1, 0);
    const double dxScale = std::hypot(ux.x - o.x, ux.y - o.y);
    const RunLayout run = Layout(font, text, dxScale, st);
    Charge(std::int64_t(text.chars.size()) * font.Height * font.Height);

    const Pair<double> p = ToOutput(x, y);
    double left = p.x;
    if ((align & kHorizontal) == kCenter)
        left -= run.advance / 2;
    else if ((align & kHorizontal) == kRight)
        left -= run.advance;
    double top = p.y;
    if ((align & kVertical) == kBaseline)
        top -= double(run.ascent);
    else if ((align & kVertical) == kBottom)
        top -= double(run.height);
    if ((align & kUpdateCp) && dxScale > 0) {
        // The current position moves past the text (or before it, for
        // right-aligned text), in logical units along x.
        const double logical = run.advance / dxScale;
        if ((align & kHorizontal) == kRight)
            st.pos.x -= logical;
        else if ((align & kHorizontal) != kCenter)
            st.pos.x += logical;
    }

    // The run drawn upright with its cell's top left at (x0, y0).
    const Pixel ink = st.textColour & 0x00FFFFFF, paper = st.bkColour & 0x00FFFFFF;
    const bool box = st.opaqueBk && !(text.options & MetaText::kOpaque);
    const auto draw = [&](Buffer& t, int x0, int y0, Pixel inkColour, Pixel boxColour) {
        if (box) {
            const auto edge = [](double v) { return int(std::clamp(v, -2e9, 2e9)); };
            t.Box({x0, y0, edge(x0 + run.advance - 1), edge(y0 + double(run.height) - 1)},
                  boxColour);
        }
        const double from = x0 + (left - PixelOf(left));
        if (run.origins.empty()) {
            t.OutText(font, {PixelOf(from - double(run.start)), y0}, Utf8(text.chars), inkColour);
            return;
        }
        for (std::size_t i = 0; i < text.chars.size(); ++i)
            t.OutText(font, {PixelOf(from + run.origins[i] - double(run.starts[i])), y0},
                      Utf8(text.chars.substr(i, 1)), inkColour);
    };
    const double angle = std::remainder(st.font.escapement / 10.0, 360.0);
    Buffer upright; // the run as a mask when it is turned
    const int margin = font.Height;
    if (angle != 0) {
        if (!UprightMask(upright, margin, run, draw)) return;
        Charge(std::int64_t(upright.Width()) * upright.Height());
    }

    ForEachTarget([&](Buffer& t) {
        if (text.options & MetaText::kClipped) {
            const Pair<double> a = ToOutput(text.rect[0], text.rect[1]);
            const Pair<double> c = ToOutput(text.rect[2], text.rect[3]);
            const Rect r{PixelOf(std::min(a.x, c.x)), PixelOf(std::min(a.y, c.y)),
                         PixelOf(std::max(a.x, c.x)) - 1, PixelOf(std::max(a.y, c.y)) - 1};
            Buffer clipped;
            clipped.Alloc(t, r, true);
            t = clipped;
            if (t.Empty()) return;
        }
        if (angle == 0) {
            draw(t, PixelOf(left), PixelOf(top), ink, paper);
            return;
        }
        DrawTurned(t, upright, p, {PixelOf(left) - margin - p.x, PixelOf(top) - p.y}, angle, ink,
                   box ? &paper : nullptr);
    });
}

} // namespace pixkit
