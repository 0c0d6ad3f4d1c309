// Writing ".rfn" font files: the chunk layout and the compressed glyph data
// of version 2 (see pixkit/src/rfont_format.h for the format).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace rfnbuild {

// One size of a family, rendered.
struct FontSize {
    int height = 0;
    int rowBytes = 0;
    int first = 32;
    int last = 255;
    int spacing = 1;
    int spaceWidth = 0;
    int baseline = 0;
    std::vector<std::uint8_t> widths;              // last - first + 1
    std::vector<std::vector<std::uint8_t>> glyphs; // height * rowBytes each, per character
};

// The version-2 "DATA" body for the given mask string (glyph masks of the
// characters with a width, one after another) and row stride.
std::vector<std::uint8_t> EncodeGlyphData(std::vector<std::uint8_t> masks, std::size_t stride);

// A whole font file of the given major version (1 or 2).
std::vector<std::uint8_t> WriteFontFile(const std::string& family,
                                        const std::vector<FontSize>& sizes, int version);

} // namespace rfnbuild
