#include "paint/textblock.h"

#include <algorithm>
#include <vector>

namespace kv {

using pixkit::Buffer;
using pixkit::Pair;
using pixkit::Pixel;
using pixkit::Rect;

namespace {

// Render buffers start out transparent; text colours are 24-bit, so they
// never equal it.
constexpr Pixel kClear = 0x01000000;

std::vector<std::u32string> SplitLines(const std::u32string& text) {
    std::vector<std::u32string> lines(1);
    for (char32_t c : text) {
        if (c == TextBlock::kBreak)
            lines.emplace_back();
        else
            lines.back().push_back(c);
    }
    return lines;
}

} // namespace

std::string ToUtf8(const std::u32string& s) {
    std::string out;
    out.reserve(s.size());
    for (char32_t c : s) {
        if (c < 0x80) {
            out += char(c);
        } else if (c < 0x800) {
            out += char(0xC0 | (c >> 6));
            out += char(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += char(0xE0 | (c >> 12));
            out += char(0x80 | ((c >> 6) & 0x3F));
            out += char(0x80 | (c & 0x3F));
        } else {
            out += char(0xF0 | (c >> 18));
            out += char(0x80 | ((c >> 12) & 0x3F));
            out += char(0x80 | ((c >> 6) & 0x3F));
            out += char(0x80 | (c & 0x3F));
        }
    }
    return out;
}

// --- TextFont ----------------------------------------------------------

void TextFont::Select(const TextStyle& style) {
    raster_ = style.Raster;
    if (raster_) {
        // Raster fonts have their own sizes: no supersampling, the nearest
        // size; the same family keeps its loaded glyphs.
        supersample_ = 1;
        rfont_.SetName(style.Family);
        rfont_.SetSize(style.Size);
        return;
    }
    supersample_ = style.AntiAlias ? 2 : 1;
    system_.Family = style.Family;
    system_.Height = style.Size * supersample_;
    system_.Bold = style.Bold;
    system_.Italic = style.Italic;
    system_.Underline = style.Underline;
}

// Raster fonts take bytes: Latin-1 passes, everything above it is "?".
std::string TextFont::Bytes(const std::u32string& line) const {
    if (!raster_) return ToUtf8(line);
    std::string out(line.size(), '?');
    for (std::size_t i = 0; i < line.size(); ++i)
        if (line[i] <= 0xFF) out[i] = char(line[i]);
    return out;
}

Pair<int> TextFont::Extent(const std::u32string& line) {
    if (line.empty()) return {0, 0};
    if (raster_) return measure_.GetTextExtent(rfont_, Bytes(line));
    return Buffer::GetTextExtent(system_, Bytes(line));
}

void TextFont::Draw(Buffer& target, const std::u32string& line, Pixel color) {
    if (raster_)
        target.OutText(rfont_, {0, 0}, Bytes(line), color);
    else
        target.OutText(system_, {0, 0}, Bytes(line), color);
}

// --- TextBlock ---------------------------------------------------------

void TextBlock::SetStyle(const TextStyle& style) {
    style_ = style;
    font_.Select(style_);
}

std::u32string TextBlock::WithCaret(const std::u32string& text) const {
    return text + kCaret;
}

// trunc(2o + 1 + height% * h_X / 100 / a), h_X the height of "X".
int TextBlock::LineHeight() {
    const int hx = font_.Extent(U"X").y;
    return int(2 * style_.Outline + 1 + style_.HeightPct * hx * 0.01 / font_.Supersample());
}

int TextBlock::Height(const std::u32string& text) {
    const int lines = int(std::count(text.begin(), text.end(), kBreak)) + 1;
    return style_.Shadow * style_.Distance + 1 + lines * LineHeight();
}

Pair<int> TextBlock::BlockSize(const std::u32string& text) {
    int widest = 0;
    for (const std::u32string& line : SplitLines(text))
        widest = std::max(widest, font_.Extent(line).x);
    const int width =
        int(style_.Shadow * style_.Distance +
            style_.WidthPct * widest * 0.01 / font_.Supersample() + 2 * style_.Outline + 0.5);
    return {std::max(width, 1), Height(text)};
}

Rect TextBlock::Bounds() {
    const Pair<int> size = BlockSize(WithCaret(text_));
    return {origin_.x, origin_.y - size.y + 1, origin_.x + size.x - 1, origin_.y};
}

bool TextBlock::Fits(const std::u32string& text, std::int64_t limit) {
    for (const std::u32string& line : SplitLines(WithCaret(text))) {
        const Pair<int> e = font_.Extent(line);
        if (std::int64_t(e.x) * e.y > limit) return false;
    }
    return true;
}

void TextBlock::Edit(const std::u32string& text) {
    const int before = Height(WithCaret(text_));
    text_ = text;
    origin_.y += Height(WithCaret(text_)) - before;
}

void TextBlock::NextLine() {
    origin_.y += LineHeight();
    text_.clear();
}

// One line: rendered unscaled into a transparent buffer, then scaled into
// the view plainly, as the shadow (thickened 3 x 3 when outlined), as the
// outline in the back colour, and once more in the draw colour; all but the
// first placement smooth with anti-aliasing.
void TextBlock::DrawLine(Buffer& view, const std::u32string& line, Pair<int> at) {
    const Pair<int> e = font_.Extent(line);
    if (e.x <= 0 || e.y <= 0) return;
    Buffer glyphs;
    glyphs.Alloc(e);
    if (glyphs.Empty()) return;
    glyphs.Box(glyphs.Area, kClear);
    font_.Draw(glyphs, line, style_.Draw);
    const double a = font_.Supersample();
    const Pair<int> size{int(e.x * style_.WidthPct * 0.01 / a + 0.5),
                         int(e.y * style_.HeightPct * 0.01 / a + 0.5)};
    const int o = style_.Outline, d = style_.Distance;
    const int mode = style_.AntiAlias ? 1 : 0;
    view.Scale(glyphs, size, {at.x + o, at.y + o}, kClear, 0);
    Pixel ink = style_.Draw;
    const auto recolour = [&](Pixel to) {
        glyphs.ChColor(ink, to);
        ink = to;
    };
    const auto thick = [&](Pair<int> corner) {
        for (int j = 0; j < 3; ++j)
            for (int i = 0; i < 3; ++i)
                view.Scale(glyphs, size, {corner.x + i, corner.y + j}, kClear, mode);
    };
    if (style_.Shadow) {
        recolour(style_.ShadowColor);
        if (o != 0)
            thick({at.x + d, at.y + d});
        else
            view.Scale(glyphs, size, {at.x + d, at.y + d}, kClear, mode);
    }
    if (o != 0) {
        recolour(style_.Back);
        thick(at);
    }
    recolour(style_.Draw);
    view.Scale(glyphs, size, {at.x + o, at.y + o}, kClear, mode);
}

Rect TextBlock::Draw(Buffer& image, Buffer& view, bool caret) {
    Erase(image);
    const std::u32string shown = caret ? WithCaret(text_) : text_;
    const Rect r = Bounds();
    // The pixels under the block, as far as it lies in the image.
    Rect keep{std::max(r.Left, image.Area.Left), std::max(r.Top, image.Area.Top),
              std::min(r.Right, image.Area.Right), std::min(r.Bottom, image.Area.Bottom)};
    if (keep.Left <= keep.Right && keep.Top <= keep.Bottom) {
        Buffer under(image, keep, true);
        saved_.Alloc({keep.Right - keep.Left + 1, keep.Bottom - keep.Top + 1});
        if (saved_.Empty()) return {0, 0, -1, -1};
        saved_.Copy(under, {-keep.Left, -keep.Top}, pixkit::NoKey);
        savedRect_ = keep;
    } else {
        savedRect_ = {0, 0, -1, -1};
    }
    drawn_ = true;
    const int lh = LineHeight();
    Pair<int> at{r.Left, r.Top};
    for (const std::u32string& line : SplitLines(shown)) {
        DrawLine(view, line, at);
        at.y += lh;
    }
    return r;
}

Rect TextBlock::Erase(Buffer& image) {
    if (!drawn_) return {0, 0, -1, -1};
    drawn_ = false;
    const Rect r = savedRect_;
    if (r.Left > r.Right) return r;
    image.Copy(saved_, {r.Left, r.Top}, pixkit::NoKey);
    saved_.Free();
    return r;
}

void TextBlock::Keep() {
    drawn_ = false;
    saved_.Free();
}

} // namespace kv
