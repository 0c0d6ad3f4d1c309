// Buffer: the one image representation. A rectangle of 32-bit pixels that
// either owns its memory or is a view into memory owned by someone else.
#pragma once

#include <pixkit/font.h>
#include <pixkit/geometry.h>
#include <pixkit/types.h>

#include <cstddef>
#include <cstdint>
#include <memory>
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

    // Compositing and geometry. Coordinates are each buffer's own: a source
    // pixel (x, y) lands at (x + offset.x, y + offset.y). Nothing is written
    // outside Area; a source pixel equal to the key is transparent, and the
    // key NoKey copies every pixel in Copy and Scale. docs/geometry.md has
    // the sample positions and rounding.

    // Copies src; overlapping views of one block behave as if src were
    // read completely before anything is written.
    void Copy(Buffer& src, Pair<int> offset, Pixel key);
    // Copies the pixels of the line walk from p1 to p2 (src coordinates).
    void CopyLine(Buffer& src, Pair<int> p1, Pair<int> p2, Pair<int> offset);
    // Exchanges the pixels of Area and other.Area where they overlap.
    void Swap(Buffer& other);
    // Draws all of src stretched to |size.x| by |size.y| at pos; a negative
    // size mirrors that axis. mode: 0 nearest sample, > 0 2x2 supersampling,
    // < 0 automatic (plain when both ratios lie strictly in (2/3, 3/2)).
    void Scale(Buffer& src, Pair<int> size, Pair<int> pos, Pixel key, int mode);
    // Draws src mapped through m, then moved by offset. mode as for Scale;
    // automatic supersamples when a column of m is at least 1.5 or at most
    // 0.67 long.
    void XFormLin(Buffer& src, const Matrix2D& m, Pair<int> offset, Pixel key, int mode);
    // The span list of the convex quadrilateral quad (corners in order)
    // clipped to Area: one entry per row from origin.y on, rows entries.
    // mode 0: two values per entry, first and last covered column; non-zero:
    // four, the first and last covered half-pixel sub-column of the upper
    // and of the lower half row. origin.x is the smallest first column.
    // Null when nothing is covered.
    std::unique_ptr<std::int32_t[]> Render(const Pair<double>* quad, Pair<int>& origin, int& rows,
                                           int mode) const;
    // Every pixel other than a with a neighbour equal to a becomes b.
    void OutlineEQ(Pixel a, Pixel b);
    // Every pixel equal to a with a neighbour that is neither a nor b
    // becomes b.
    void OutlineNE(Pixel a, Pixel b);

    // Text in a system font, without anti-aliasing; pos is the top-left
    // corner of the text cell. Raises Exception("Cannot create device
    // context.") when the font machinery cannot start. Safe to call from
    // several threads at once.
    void OutText(const FontDesc& font, Pair<int> pos, const std::string& text, Pixel color);
    // Width and height of text as OutText draws it; (0, 0) for empty text.
    static Pair<int> GetTextExtent(const FontDesc& font, const std::string& text);

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
