// Marking the pixels that a fill, a cut or a filled shape changes. Every
// such operation works in two phases: it first marks pixels inside the
// image itself (bit 24; bits 24 and 25 together for outline pixels), then
// one pass replaces every marked pixel (a colour, a pattern, or a cut into
// the brush). The marks are the only record of the area, so they must all
// be gone when the operation ends: the fill passes clear them, and
// StripMarks removes what an abandoned operation left.
//
// All functions work on a view of the image (the drawing view) in the
// image's own coordinates, touch nothing outside it and never fail.
// Qt-free: the unit tests and the flood benchmark build it directly.
#pragma once

#include <pixkit/buffer.h>

#include <cstdint>

namespace kv {

// Bit 24: the pixel is to be painted.
inline constexpr pixkit::Pixel kMarked = 0x01000000;
// Bits 24 and 25: an outline pixel of a drawn shape (counts as marked).
inline constexpr pixkit::Pixel kOutlineMark = 0x03000000;
// Both mark bits, for stripping.
inline constexpr pixkit::Pixel kMarkBits = 0x03000000;

// The largest colour distance (255 in each of three channels).
inline constexpr int kMaxTolerance = 765;

inline constexpr pixkit::Rect kNoRect{0, 0, -1, -1};

// The smallest rectangle holding a and b (an empty one counts as nothing).
pixkit::Rect Union(const pixkit::Rect& a, const pixkit::Rect& b);
// The part of r inside view's area.
pixkit::Rect ClipTo(const pixkit::Buffer& view, const pixkit::Rect& r);

// --- Flood marking ------------------------------------------------------

enum class Neighbours { Four, Eight };

struct FloodResult {
    std::int64_t Marked = 0; // pixels marked, the seed included
    pixkit::Rect Bounds = kNoRect;
    // Pixels the scan read: a bounded multiple of the marked pixels and
    // their borders, whatever the shape (tests check this instead of time).
    std::int64_t Examined = 0;
};

// Marks every pixel of view that is connected to seed through pixels
// whose colour lies within tolerance of the seed pixel's colour, the
// distance being |dR| + |dG| + |dB|. Neighbours are the four sides, or
// the eight with the corners. Pixels marked before never join (they are
// at distance "infinity"), so an area is marked once. The tolerance is
// clamped to 0..765; a seed outside view marks nothing. Scan-line spans
// on an explicit list: no recursion, linear time in the marked area.
FloodResult FloodMark(pixkit::Buffer& view, pixkit::Pair<int> seed, int tolerance,
                      Neighbours neighbours);

// --- Outline marking ----------------------------------------------------

// Toggles the mark of row y from column x to the end of the row, both
// limited to view: unmarked pixels become marked and marked ones
// unmarked; outline pixels keep their marks.
void ToggleRow(pixkit::Buffer& view, int x, int y);

// Marks the inside of an outline drawn edge by edge (a freehand path or a
// polygon; it may cross itself, leave the view and repeat points). Each
// edge draws its pixels as outline pixels and toggles, on every row it
// crosses, the pixels right of the exact crossing of the row's centre
// line (a row counts for an edge when it lies in [lower y, upper y) of
// the edge, so shared vertices and horizontal edges count right). Once
// the outline is closed the marked pixels are the outline plus, by
// even-odd parity, every pixel whose centre lies inside it; nothing is
// left marked to the right of the shape.
class OutlineMarker {
  public:
    // Outline pixels are drawn in colour with the outline mark; with
    // kKeepColour they only get the mark.
    static constexpr pixkit::Pixel kKeepColour = 0xFFFFFFFF;

    OutlineMarker() = default;
    OutlineMarker(pixkit::Buffer& view, pixkit::Pixel colour) { Reset(view, colour); }

    // Works on view from now on, with no outline started.
    void Reset(pixkit::Buffer& view, pixkit::Pixel colour);
    // Begins an outline at p (nothing is marked yet).
    void Start(pixkit::Pair<int> p);
    // The edge from the last point to p (nothing when they are equal);
    // returns its bounding box, clipped to the view, for repainting.
    pixkit::Rect LineTo(pixkit::Pair<int> p);
    // The closing edge back to the first point.
    pixkit::Rect Close() { return LineTo(first_); }
    // Marks the single point p as an outline pixel (a one-pixel shape).
    pixkit::Rect MarkPoint(pixkit::Pair<int> p);

    bool Started() const { return started_; }
    pixkit::Pair<int> First() const { return first_; }
    pixkit::Pair<int> Last() const { return last_; }
    // The box of all edges so far, clipped to the view: after Close every
    // mark lies inside it.
    pixkit::Rect Bounds() const { return view_ == nullptr ? kNoRect : ClipTo(*view_, bounds_); }

  private:
    void ToggleCrossings(pixkit::Pair<int> a, pixkit::Pair<int> b);
    void DrawOutline(pixkit::Pair<int> a, pixkit::Pair<int> b);

    pixkit::Buffer* view_ = nullptr;
    pixkit::Pixel colour_ = kKeepColour;
    bool started_ = false;
    pixkit::Pair<int> first_{0, 0}, last_{0, 0};
    pixkit::Rect bounds_ = kNoRect;
};

// --- The fill pass and mark stripping -----------------------------------

// Paints every marked pixel of view inside within (the whole view when
// within is kNoRect) and clears its marks. Without colorize the pixel
// becomes colour; with colorize it takes colour's hue and saturation at
// its own value (the largest of its R, G and B), so the area keeps its
// shading. Returns the box of the painted pixels.
pixkit::Rect FillMarkedSolid(pixkit::Buffer& view, pixkit::Pixel colour, bool colorize,
                             pixkit::Rect within = kNoRect);

// A tiled pattern: the pixel at image position (x, y) takes the tile's
// pixel at column (x + Origin.x) mod width and row (y + Origin.y) mod
// height (floor modulo, so negative values tile on); the tile's
// transparent pixels (0x01000000) give Back.
struct Pattern {
    const pixkit::Buffer* Tile = nullptr;
    pixkit::Pair<int> Origin{0, 0};
    pixkit::Pixel Back = 0;
    // With colorize a pixel takes the tile pixel's hue and saturation at
    // the value (its own value + the tile pixel's value) / 2.
    bool Colorize = false;
};

// Paints every marked pixel of view inside within with pattern and clears
// its marks; an empty tile paints Back. Returns the box of the painted
// pixels.
pixkit::Rect FillMarkedPattern(pixkit::Buffer& view, const Pattern& pattern,
                               pixkit::Rect within = kNoRect);

// v mod m in 0..m-1 for every v (m > 0).
int FloorMod(std::int64_t v, int m);

// Pattern origins. Aligned with the cut: the tiles fall where the brush
// was cut from, so filling the cut area gives it back. At a point: the
// tile pixel at handle (an offset inside the tile) falls on point.
pixkit::Pair<int> OriginAlignedWithCut(pixkit::Pair<int> tileSize, pixkit::Pair<int> cutFrom);
pixkit::Pair<int> OriginAtPoint(pixkit::Pair<int> tileSize, pixkit::Pair<int> handle,
                                pixkit::Pair<int> point);

// Sets bit 24 on the pixels of r inside view, keeping their colours (a
// filled box or a span of a filled ellipse).
void MarkRect(pixkit::Buffer& view, pixkit::Rect r);
// Clears both mark bits in view (within r only, when r is given).
void StripMarks(pixkit::Buffer& view, pixkit::Rect r = kNoRect);
// True when some pixel of view has bit 24 or bit 25 set.
bool HasMarks(const pixkit::Buffer& view);
// The box of the pixels of view with bit 24 set (kNoRect when none).
pixkit::Rect MarkedBounds(const pixkit::Buffer& view);

} // namespace kv
