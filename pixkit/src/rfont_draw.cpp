// Drawing and measuring text in raster fonts: fixed cells, proportional
// advances, and pairwise optical kerning.
#include <pixkit/buffer.h>
#include <pixkit/font.h>
#include <pixkit/rfont.h>

#include <algorithm>
#include <climits>

namespace pixkit {

namespace {

struct Glyph {
    const std::uint8_t* mask = nullptr; // null: no ink
    int width = 0;
    int index = -1;
};

// The system font that draws when no raster font can.
const FontDesc& FallbackFont() {
    static const FontDesc font;
    return font;
}

// Raster-font text is Latin-1; the system font takes UTF-8.
std::string Latin1ToUtf8(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x80) {
            out += c;
        } else {
            out += static_cast<char>(0xC0 | (u >> 6));
            out += static_cast<char>(0x80 | (u & 0x3F));
        }
    }
    return out;
}

bool InRange(const RFontEntry& e, int ch) {
    return ch >= e.First && ch <= e.Last;
}

Glyph GlyphOf(const RFontEntry& e, int ch) {
    Glyph g;
    if (!InRange(e, ch)) return g;
    const std::size_t c = std::size_t(ch - e.First);
    g.width = e.Widths[c];
    g.index = e.GlyphIndex[c];
    if (g.index >= 0) g.mask = e.Masks.data() + std::size_t(g.index) * e.GlyphBytes;
    return g;
}

// The advance of the pair (a, b) that brings b's ink as close to a's as it
// can go without touching it in the row above, the row or the row below.
int KernedAdvance(const RFontEntry& e, const Glyph& a, const Glyph& b, int spacing, int carry) {
    int best = INT_MIN;
    if (a.index >= 0 && b.index >= 0) {
        const std::int16_t* rightA = e.InkRight.data() + std::size_t(a.index) * e.Height;
        const std::int16_t* leftB = e.InkLeft.data() + std::size_t(b.index) * e.Height;
        for (int y = 0; y < e.Height; ++y) {
            if (leftB[y] < 0) continue;
            int right = -1;
            for (int k = std::max(0, y - 1); k <= std::min(e.Height - 1, y + 1); ++k)
                right = std::max<int>(right, rightA[k]);
            if (right >= 0) best = std::max(best, right - leftB[y]);
        }
    }
    return std::max({best, a.width - b.width - spacing, carry, 0});
}

// Walks text as OutText places it, calling draw(ch, x) for every character
// that is drawn; returns the final x.
template <typename Draw>
int Layout(RFont& f, const RFontEntry& e, int x, const std::string& text, Draw draw) {
    const int space = f.GetSpaceSize();
    const int spacing = f.GetSpacing();
    int carry = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const int ch = static_cast<unsigned char>(text[i]);
        if (ch == ' ') {
            x += space + spacing;
            carry = 0;
            continue;
        }
        draw(ch, x);
        const Glyph g = GlyphOf(e, ch);
        int advance = g.width;
        int nextCarry = 0;
        if (f.Mode == 0) {
            advance = space;
        } else if (f.Mode > 0 && InRange(e, ch) && i + 1 < text.size()) {
            const int next = static_cast<unsigned char>(text[i + 1]);
            if (next != ' ' && InRange(e, next)) {
                advance = KernedAdvance(e, g, GlyphOf(e, next), spacing, carry);
                nextCarry = g.width - advance;
            }
        }
        carry = nextCarry;
        x += advance + spacing;
    }
    return x;
}

} // namespace

void Buffer::OutChar(RFont& f, Pair<int> pos, int ch, Pixel color) {
    if (!f.Prepare()) {
        OutText(FallbackFont(), pos, Latin1ToUtf8(std::string(1, static_cast<char>(ch))), color);
        return;
    }
    const RFontEntry& e = *f.Entry();
    const Glyph g = GlyphOf(e, ch);
    if (g.mask == nullptr || Empty()) return;
    if (f.Mode == 0) pos.x += (f.GetSpaceSize() - g.width) / 2;
    const int bits = std::min(g.width, e.RowBytes * 8);
    // Clip the glyph's cell to Area once; the rows then run unchecked.
    const std::int64_t x0 = std::max<std::int64_t>(pos.x, Area.Left);
    const std::int64_t x1 = std::min<std::int64_t>(std::int64_t(pos.x) + bits - 1, Area.Right);
    const std::int64_t y0 = std::max<std::int64_t>(pos.y, Area.Top);
    const std::int64_t y1 = std::min<std::int64_t>(std::int64_t(pos.y) + e.Height - 1, Area.Bottom);
    for (std::int64_t y = y0; y <= y1; ++y) {
        const std::uint8_t* row = g.mask + std::size_t(y - pos.y) * e.RowBytes;
        Pixel* out = At(int(x0), int(y));
        for (std::int64_t x = x0; x <= x1; ++x, ++out) {
            const std::int64_t bit = x - pos.x;
            if (row[bit >> 3] & (1u << (bit & 7))) *out = color;
        }
    }
}

void Buffer::OutText(RFont& f, Pair<int> pos, const std::string& text, Pixel color) {
    if (!f.Prepare()) {
        OutText(FallbackFont(), pos, Latin1ToUtf8(text), color);
        return;
    }
    Layout(f, *f.Entry(), pos.x, text, [&](int ch, int x) { OutChar(f, {x, pos.y}, ch, color); });
}

Pair<int> Buffer::GetTextExtent(RFont& f, const std::string& text) {
    if (!f.Prepare()) return GetTextExtent(FallbackFont(), Latin1ToUtf8(text));
    const RFontEntry& e = *f.Entry();
    return {Layout(f, e, 0, text, [](int, int) {}), e.Height};
}

} // namespace pixkit
