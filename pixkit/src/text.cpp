// Text in a system font. The glyphs are laid out and drawn into a private
// cell buffer while the font lock is held; the cell is copied into the
// target, keyed on its background, after the lock is released.
#include <pixkit/buffer.h>

#include "clip.h"
#include "font_engine.h"

#include <algorithm>
#include <cstdint>

namespace pixkit {

namespace {

// Sizes outside this range draw nothing (a glyph bitmap grows with the
// square of the size).
constexpr int kMaxTextHeight = 8192;

bool Drawable(const FontDesc& font, const std::string& text) {
    return !text.empty() && font.Height >= 1 && font.Height <= kMaxTextHeight;
}

} // namespace

std::vector<std::string> SystemFontFamilies() {
    return detail::TextSession::Families();
}

std::string SystemFontFamily(const std::string& family) {
    return detail::TextSession::MatchFamily(family);
}

Pair<int> Buffer::GetTextExtent(const FontDesc& font, const std::string& text) {
    if (!Drawable(font, text)) return {0, 0};
    detail::TextSession session(font);
    const detail::TextLayout l = session.Measure(detail::DecodeUtf8(text));
    const auto clampInt = [](std::int64_t v) { return int(std::min<std::int64_t>(v, INT32_MAX)); };
    return {clampInt(l.width), clampInt(l.height)};
}

void Buffer::OutText(const FontDesc& font, Pair<int> pos, const std::string& text, Pixel color) {
    if (Empty() || !Drawable(font, text)) return;
    const std::u32string chars = detail::DecodeUtf8(text);
    // The background differs from the text colour in every colour bit, so
    // it can serve as the key of the final copy.
    const Pixel background = color ^ 0xFFFFFFu;
    Buffer cell;
    {
        detail::TextSession session(font);
        const detail::TextLayout l = session.Measure(chars);
        Rect visible;
        if (!detail::ClipToArea(pos.x, pos.y, pos.x + l.width - 1, pos.y + l.height - 1, Area,
                                visible))
            return;
        cell.Alloc({visible.Right - visible.Left + 1, visible.Bottom - visible.Top + 1});
        if (cell.Empty()) return;
        // Cell coordinates put the text cell's top-left corner at (0, 0).
        cell.Area = Rect{
            int(visible.Left - std::int64_t(pos.x)), int(visible.Top - std::int64_t(pos.y)),
            int(visible.Right - std::int64_t(pos.x)), int(visible.Bottom - std::int64_t(pos.y))};
        for (int y = cell.Area.Top; y <= cell.Area.Bottom; ++y)
            std::fill_n(cell.At(cell.Area.Left, y), cell.Width(), background);
        session.Draw(chars, l, cell, color);
    }
    Copy(cell, pos, background);
}

} // namespace pixkit
