// The fast colours of the palette bar and the palette file format.
//
// A palette file is text: the number of entries in decimal on the first
// line, then one line per entry holding the colour as six upper-case
// hexadecimal digits RRGGBB.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kv {

// The colours new entries get, in entry order (0xRRGGBB).
extern const std::array<std::uint32_t, 32> kDefaultFastColors;

struct PaletteLayout {
    int Count = 8;
    int Columns = 2;
    int Width = 28; // entry size in pixels
    int Height = 28;
    int Index = 0; // the stored "Palette" preference
};

// The smallest of 8, 12, 16, 24, 32 entries that holds requested entries
// (32 for anything larger), with its grid layout.
PaletteLayout LayoutForRequest(int requested);
// The layout of a stored "Palette" index (0 to 4; others clamp).
PaletteLayout LayoutForIndex(int index);

// "(r,g,b)": the hint of an entry.
std::string FastColorHint(std::uint32_t color);

// Rebuilds colors for a new count: existing entries keep their colours,
// new ones take the default colour of their position.
std::vector<std::uint32_t> ResizedPalette(const std::vector<std::uint32_t>& colors, int count);

// Writes the palette file; false when it cannot be created or written.
bool WritePaletteFile(const std::string& path, const std::vector<std::uint32_t>& colors);

struct PaletteFile {
    int Count = 0;
    // The colours in file order, as far as they could be read; a missing or
    // unreadable line ends the list.
    std::vector<std::uint32_t> Colors;
};

// Reads a palette file; nothing when it cannot be opened or its first line
// holds no number.
std::optional<PaletteFile> ReadPaletteFile(const std::string& path);

// Applies a read file to the palette: the bar is rebuilt at the file's
// count and the colours read replace the first entries.
std::vector<std::uint32_t> ApplyPaletteFile(const std::vector<std::uint32_t>& colors,
                                            const PaletteFile& file);

} // namespace kv
