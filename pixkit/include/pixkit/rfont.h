// Raster fonts: the library's own bitmap fonts (".rfn" files in the font
// directory), a registry of every family and size cached in "fonts.bin",
// and font objects that select a family and size and load glyphs on demand.
// Character codes are bytes; the fonts built by rfnbuild cover Latin-1.
#pragma once

#include <pixkit/stream.h>

#include <cstdint>
#include <string>
#include <vector>

namespace pixkit {

// Raised with the message "RFontInit" when the registry cannot be allocated.
class EOutOfMemory : public Exception {
  public:
    using Exception::Exception;
};

// One font file known to the registry.
struct RFontFile {
    std::string Name; // file name inside the font directory
    std::uint32_t Size = 0;
    std::int64_t MTime = 0; // last write, nanoseconds since the epoch
};

// One family at one size.
struct RFontEntry {
    std::string Family;
    int FamilyCount = 0;        // in the family's first entry: its number of entries; else 0
    int File = 0;               // index of the file record
    std::uint32_t Position = 0; // file offset just after the size's "DESC" chunk
    std::uint8_t Height = 0;
    std::uint8_t RowBytes = 0;
    std::uint8_t First = 0;
    std::uint8_t Last = 0;
    std::int8_t Spacing = 0;
    std::uint8_t SpaceWidth = 0;
    std::uint8_t Attribute = 0;   // the builder stores the baseline row here
    std::uint32_t GlyphBytes = 0; // Height * RowBytes

    // Loaded by Prepare, freed by Unprepare or when the last user lets go.
    std::vector<std::uint8_t> Widths;     // Last - First + 1 widths
    std::vector<std::int32_t> GlyphIndex; // glyph number per character, -1 without glyph
    std::vector<std::uint8_t> Masks;      // GlyphBytes per glyph
    std::vector<std::int16_t> InkLeft;    // per glyph row: leftmost inked pixel, or -1
    std::vector<std::int16_t> InkRight;   // per glyph row: one past the rightmost, or -1
    int Widest = 0;
    int UseCount = 0;

    bool Loaded() const { return !Widths.empty(); }
};

class RFont {
  public:
    // Positive: proportional with kerning (the default); 0: fixed cells;
    // negative: proportional without kerning.
    int Mode = 1;
    static constexpr int kUnset = 0x8000000;
    int SpaceOverride = kUnset;
    int SpacingOverride = kUnset;
    int Reserved = 0;

    RFont() = default;
    RFont(const RFont& other);
    RFont& operator=(const RFont& other);
    ~RFont();

    // The font directory, with a trailing "/".
    static std::string path;
    static const std::string& GetPath();
    // Builds the registry from the font directory once per process.
    static void InitReg();
    static RFontEntry* GetReg();
    static int GetCount();
    static const std::vector<RFontFile>& GetFiles();
    // Drops the registry and uses another font directory; fonts in use keep
    // nothing of the old registry, so every RFont must have let go first.
    static void UseDirectory(const std::string& dir);

    std::string GetName() const;
    void SetName(const std::string& name);
    int GetSize() const;
    void SetSize(int n);
    int GetSpacing() const;
    int GetSpaceSize() const;
    // Loads the current entry's widths and glyphs; false when there is no
    // entry or its glyphs cannot be read.
    bool Prepare();
    void Unprepare();

    RFontEntry* Entry() const { return entry_ >= 0 ? &GetReg()[entry_] : nullptr; }

  private:
    void Select(int index);
    int entry_ = -1;
};

} // namespace pixkit
