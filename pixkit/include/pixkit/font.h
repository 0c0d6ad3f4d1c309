// FontDesc: a system font as Buffer::OutText and GetTextExtent use it. The
// family is looked up through Fontconfig; glyphs are rendered without
// anti-aliasing.
#pragma once

#include <string>

namespace pixkit {

struct FontDesc {
    std::string Family = "DejaVu Sans";
    int Height = 16; // pixel size of the em square
    bool Bold = false;
    bool Italic = false;
    bool Underline = false;
    bool StrikeOut = false;
};

} // namespace pixkit
