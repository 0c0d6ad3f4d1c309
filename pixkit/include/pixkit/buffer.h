// Buffer: the one image representation. A rectangle of 32-bit pixels that
// either owns its memory or is a view into memory owned by someone else.
#pragma once

#include <pixkit/types.h>

#include <cstddef>
#include <string>

namespace pixkit {

class RFont;

// The largest pixel block Alloc asks for (1 TiB); larger sizes stay empty.
inline constexpr std::size_t kMaxBufferBytes = std::size_t(1) << 40;

class Buffer {
  public:
    // Fields in this order; callers and wrapped DIBs rely on it.
    Pixel* Data = nullptr;  // pixel at (Area.Left, Area.Top); null when empty
    std::int32_t Pitch = 0; // distance between rows, in pixels
    Rect Area{0, 0, -1, -1};
    // 0: owns Data (or empty); -1: owns the block 4 bytes before Data;
    // 1: does not own Data (a view, a wrapped block, a former owner).
    std::int32_t Owned = 0;

    Buffer() = default;
    // Takes over src's memory as operator= does; src becomes a view.
    Buffer(Buffer& src);
    // A view of the part of src inside r (see Alloc(Buffer&, Rect, bool)).
    Buffer(Buffer& src, Rect r, bool keep);
    ~Buffer();

    // Frees this buffer, then takes src's fields; src stops owning.
    Buffer& operator=(Buffer& src);

    void Free();
    // A new owned block of size.x by size.y pixels, not initialised. Sizes
    // below 1, sizes whose byte count overflows, and a failed allocation
    // leave the buffer empty.
    void Alloc(Pair<int> size);
    // Wraps caller memory without owning it; null memory leaves it empty.
    void Alloc(Pair<int> size, Pixel* mem);
    // A view of r clipped to src.Area. With keep the view keeps src's
    // coordinates; without it the requested corner of r becomes (0, 0).
    void Alloc(Buffer& src, Rect r, bool keep);

    bool Empty() const { return Data == nullptr; }
    int Width() const { return Area.Right - Area.Left + 1; }
    int Height() const { return Area.Bottom - Area.Top + 1; }
    // Address of pixel (x, y), which must lie inside Area.
    Pixel* At(int x, int y) const {
        return Data + static_cast<std::ptrdiff_t>(y - static_cast<std::int64_t>(Area.Top)) * Pitch +
               (x - static_cast<std::int64_t>(Area.Left));
    }
    bool Contains(Pair<int> p) const {
        return p.x >= Area.Left && p.x <= Area.Right && p.y >= Area.Top && p.y <= Area.Bottom;
    }

    // Drawing. Everything clips to Area; a colour with bit 31 set XORs the
    // target with its low 31 bits instead of replacing it.
    void PutPixel(Pair<int> p, Pixel c);
    void VLine(int x, int y1, int y2, Pixel c);
    void Line(Pair<int> p1, Pair<int> p2, Pixel c);
    void Box(Rect r, Pixel c);
    void Rectangle(Rect r, Pixel c);

    // Whole-buffer operations over Area, row by row.
    void ChColor(Pixel from, Pixel to);
    void XChColor(Pixel a, Pixel b);
    bool CheckMask(Pixel mask) const;
    // op 1: &= v, 2: |= v, 3: ^= v, 4: shift by v as a signed count
    // (left when positive, logical right when negative, modulo 32).
    void Bool(int op, Pixel v);
    // Diagnostic test pattern.
    void VClr(int v);

    // Text in a raster font; without a usable font the system font draws.
    // Character codes are bytes (Latin-1 for the fonts the project builds).
    void OutChar(RFont& f, Pair<int> pos, int ch, Pixel color);
    void OutText(RFont& f, Pair<int> pos, const std::string& text, Pixel color);
    Pair<int> GetTextExtent(RFont& f, const std::string& text);

    // Library defaults: the size of a new image, and the configuration file.
    static int default_x;
    static int default_y;
    static char config_file[260];
    static int GetDefaultX();
    static int GetDefaultY();
    static void SetDefaultX(int v);
    static void SetDefaultY(int v);
    static const char* GetConfigFile();

  private:
    void MakeEmpty();
};

// The raster-font directory chosen at library load, with a trailing "/".
const std::string& LibraryFontDir();

} // namespace pixkit
