// FontDesc: a system font as Buffer::OutText and GetTextExtent use it. The
// family is looked up through Fontconfig; glyphs are rendered without
// anti-aliasing.
#pragma once

#include <string>
#include <vector>

namespace pixkit {

struct FontDesc {
    std::string Family = "DejaVu Sans";
    int Height = 16; // pixel size of the em square
    bool Bold = false;
    bool Italic = false;
    bool Underline = false;
    bool StrikeOut = false;
};

// The families of the scalable system fonts OutText renders, sorted without
// regard to case, and the family that draws when family is asked for (its
// substitute when no font has that name). Both raise Exception("Cannot
// create device context.") when the font machinery cannot start.
std::vector<std::string> SystemFontFamilies();
std::string SystemFontFamily(const std::string& family);

} // namespace pixkit
