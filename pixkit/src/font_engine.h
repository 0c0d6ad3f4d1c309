// The system-font machinery behind Buffer::OutText and GetTextExtent:
// Fontconfig finds the font file of a family and style, FreeType renders its
// glyphs in monochrome. One lock guards all of it; a TextSession holds the
// lock for as long as it lives.
#pragma once

#include <pixkit/buffer.h>
#include <pixkit/font.h>

#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace pixkit::detail {

class FontEngine;

// The glyph layout of one string in one font.
struct TextLayout {
    std::int64_t width = 0, height = 0; // the extent, overhangs included
    std::int64_t start = 0;             // x of the first glyph's origin
    std::int64_t ascent = 0;            // baseline, from the cell's top
    std::int64_t advance = 0;           // sum of the advance widths
};

class TextSession {
  public:
    // Takes the lock and selects the font. Throws Exception("Cannot create
    // device context.") when the font machinery cannot start or the font
    // cannot be loaded.
    explicit TextSession(const FontDesc& font);
    ~TextSession();
    TextSession(const TextSession&) = delete;
    TextSession& operator=(const TextSession&) = delete;

    // The scalable families, and the family that draws for a requested one;
    // both take the lock for themselves.
    static std::vector<std::string> Families();
    static std::string MatchFamily(const std::string& family);

    TextLayout Measure(const std::u32string& text);
    // Draws text laid out as by Measure into cell, whose coordinates put the
    // text cell's top-left corner at (0, 0); glyph pixels become color,
    // everything else is left alone. Clips to cell.Area.
    void Draw(const std::u32string& text, const TextLayout& layout, Buffer& cell, Pixel color);

    struct Face; // the selected FreeType face and its made-up styles

  private:
    std::unique_lock<std::mutex> lock_;
    FontEngine& engine_;
    const FontDesc& font_;
    std::unique_ptr<Face> face_;
};

// Decodes UTF-8; malformed sequences become U+FFFD.
std::u32string DecodeUtf8(const std::string& s);

} // namespace pixkit::detail
