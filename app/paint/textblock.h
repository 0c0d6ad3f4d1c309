// The text tool's block: the lines being typed, their measurements and how
// they are drawn into the image (shadow, outline, scaling), with the image
// pixels under the block kept so that the block can be erased and drawn
// again after every key. No Qt here.
#pragma once

#include <pixkit/buffer.h>
#include <pixkit/font.h>
#include <pixkit/rfont.h>

#include <cstdint>
#include <string>

namespace kv {

// How the block looks: from the parameter bar, the preferences and colours.
struct TextStyle {
    std::string Family = "Times New Roman";
    bool Raster = false; // Family names a raster font of the font directory
    int Size = 16;       // the bar's size; anti-aliased system fonts render at twice it
    bool Bold = false, Italic = false, Underline = false;
    bool Shadow = false, Outline = false;
    int Distance = 2;
    double WidthPct = 100, HeightPct = 100;
    bool AntiAlias = false;
    pixkit::Pixel Draw = 0, Back = 0, ShadowColor = 0x808080;
};

// A font that measures and draws one line: a system font, or a raster font
// at its nearest size (characters above U+00FF become "?" there).
class TextFont {
  public:
    void Select(const TextStyle& style);
    // Pixels the font renders at per unit of the bar's size: 2 for an
    // anti-aliased system font, else 1.
    int Supersample() const { return supersample_; }
    pixkit::Pair<int> Extent(const std::u32string& line);
    void Draw(pixkit::Buffer& target, const std::u32string& line, pixkit::Pixel color);

  private:
    std::string Bytes(const std::u32string& line) const;
    bool raster_ = false;
    int supersample_ = 1;
    pixkit::FontDesc system_;
    pixkit::RFont rfont_;
    pixkit::Buffer measure_; // RFont measuring is a Buffer member
};

class TextBlock {
  public:
    static constexpr char32_t kCaret = U'|';
    static constexpr char32_t kBreak = U'\n';
    static constexpr std::size_t kMaxPaste = 255;

    // Takes a new style; the block keeps its bottom row.
    void SetStyle(const TextStyle& style);
    const TextStyle& Style() const { return style_; }

    // The text: lines separated by kBreak, without the caret.
    const std::u32string& Text() const { return text_; }
    void Clear() { text_.clear(); }
    // Moves the block: left column and bottom row.
    void Place(pixkit::Pair<int> leftBottom) { origin_ = leftBottom; }
    pixkit::Pair<int> Origin() const { return origin_; }

    // Whether text (with the caret) can be drawn: every line's render buffer
    // stays within limit pixels.
    bool Fits(const std::u32string& text, std::int64_t limit);
    // Replaces the text keeping the block's top row (the bottom moves by the
    // change of height).
    void Edit(const std::u32string& text);
    // The text is committed: an empty block starts one line below.
    void NextLine();

    int LineHeight();
    // The block's rectangle for the text with the caret.
    pixkit::Rect Bounds();

    // Saves the image under the block and draws it into view (a view of
    // image); the caret when editing. Returns the rectangle drawn.
    pixkit::Rect Draw(pixkit::Buffer& image, pixkit::Buffer& view, bool caret);
    // Puts the saved pixels back; the rectangle restored (empty when nothing
    // was drawn).
    pixkit::Rect Erase(pixkit::Buffer& image);
    // Forgets the saved pixels: what is drawn stays in the image.
    void Keep();
    bool Drawn() const { return drawn_; }

  private:
    std::u32string WithCaret(const std::u32string& text) const;
    int Height(const std::u32string& text);
    pixkit::Pair<int> BlockSize(const std::u32string& text);
    void DrawLine(pixkit::Buffer& view, const std::u32string& line, pixkit::Pair<int> at);

    TextStyle style_;
    TextFont font_;
    std::u32string text_;
    pixkit::Pair<int> origin_{0, 0};
    bool drawn_ = false;
    pixkit::Buffer saved_;
    pixkit::Rect savedRect_{0, 0, -1, -1};
};

// UTF-8 of a UTF-32 string.
std::string ToUtf8(const std::u32string& s);

} // namespace kv
