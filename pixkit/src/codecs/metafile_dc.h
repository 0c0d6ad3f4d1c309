// The playback device context of the metafile players: the coordinate
// mapping (world, window/viewport, map mode, then the picture's frame onto
// the output), the object table of pens, brushes and fonts, and drawing
// operations in logical coordinates. Drawing is aliased and clips to the
// output buffer (and the clip rectangle set by the metafile).
#pragma once

#include "metafile_paint.h"
#include "metafile_region.h"

#include <pixkit/buffer.h>

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace pixkit {

struct MetaPen {
    int style = 0; // PS_SOLID 0 ... PS_NULL 5 (low 4 bits of the style)
    double width = 0;
    Pixel colour = 0;
};

struct MetaBrush {
    bool hollow = false; // BS_NULL
    Pixel colour = 0xFFFFFF;
    // Hatched and pattern brushes tile this instead of the colour.
    std::shared_ptr<const BrushPattern> pattern;
};

struct MetaFont {
    double height = 0; // logical units; negative: em height, positive: cell
    int weight = 400;
    bool italic = false;
    bool underline = false;
    bool strikeOut = false;
    int escapement = 0; // tenths of a degree, counter-clockwise from the x axis
    std::string face;
};

struct MetaObject {
    enum class Kind { Empty, Pen, Brush, Font, Region, Other } kind = Kind::Empty;
    MetaPen pen;
    MetaBrush brush;
    MetaFont font;
    std::vector<std::array<double, 4>> region; // logical rectangles (l, t, r, b)
};

// An affine map x' = m11 x + m21 y + dx, y' = m12 x + m22 y + dy.
struct MetaXform {
    double m11 = 1, m12 = 0, m21 = 0, m22 = 1, dx = 0, dy = 0;
    Pair<double> Apply(double x, double y) const {
        return {m11 * x + m21 * y + dx, m12 * x + m22 * y + dy};
    }
};
MetaXform Multiply(const MetaXform& first, const MetaXform& then);

// One text output record: the characters, the advance of each in logical
// units (empty: the font's own advances), and the ExtTextOut options with
// their rectangle (logical left, top, right, bottom).
struct MetaText {
    static constexpr unsigned kOpaque = 2;  // ETO_OPAQUE: fill rect with the background colour
    static constexpr unsigned kClipped = 4; // ETO_CLIPPED: draw only inside rect
    std::u32string chars;
    std::vector<double> dx;
    unsigned options = 0;
    double rect[4] = {0, 0, 0, 0};
};

enum class FillMode { Alternate = 1, Winding = 2 };

enum class ArcKind { Arc, ArcTo, Chord, Pie };

// How a bitmap record puts its pixels: a ternary raster operation (with a
// second one where a mask bitmap's pixel is 0), a transparent colour, or
// alpha blending with a constant alpha and optionally the source's own
// (premultiplied) alpha.
struct BlitOp {
    enum class Mode { Rop, Transparent, Alpha } mode = Mode::Rop;
    std::uint32_t rop = 0x00CC0020;     // SRCCOPY
    std::uint32_t backRop = 0x00AA0029; // destination unchanged
    const Buffer* mask = nullptr;
    Pair<int> maskAt{0, 0}; // mask pixel of the source rectangle's corner
    Pixel key = 0;
    unsigned constAlpha = 255;
    bool srcAlpha = false;
};

// A GRADIENTFILL vertex: logical position and 16-bit red, green, blue.
struct GradientVertex {
    double x = 0, y = 0;
    double rgb[3] = {0, 0, 0};
    Pixel Mix(const GradientVertex& o, double f) const;
    Pixel Weighted(const GradientVertex& b, const GradientVertex& c, double w0, double w1,
                   double w2) const;
};

// The state SaveDC keeps.
struct MetaState {
    int mapMode = 1; // MM_TEXT
    Pair<double> winOrg{0, 0}, winExt{1, 1}, vpOrg{0, 0}, vpExt{1, 1};
    MetaXform world;
    MetaPen pen{0, 0, 0};
    MetaBrush brush{false, 0xFFFFFF, nullptr};
    MetaFont font;
    Pixel textColour = 0;
    Pixel bkColour = 0xFFFFFF;
    bool opaqueBk = true;
    unsigned textAlign = 0;
    double charExtra = 0;                  // logical units after each character
    double breakExtra = 0, breakCount = 0; // justification over the spaces
    FillMode fill = FillMode::Alternate;
    bool arcClockwise = false;
    int rop2 = 13;                          // R2_COPYPEN
    Pair<int> brushOrg{0, 0};               // output pixels
    Pair<double> pos{0, 0};                 // current position, logical
    std::shared_ptr<const MetaRegion> clip; // output pixels; null: no clip set
};

class MetaDC {
  public:
    // Draws onto out (output pixel (x, y) is out's (x, y)); device
    // coordinates map to output pixels by device * scale + offset.
    MetaDC(Buffer& out, Pair<double> scale, Pair<double> offset);

    MetaState st;
    // Millimetres per device unit, for the metric map modes.
    Pair<double> mmPerDevice{25.4 / 96, 25.4 / 96};
    // WMF: device units are those of the picture frame, and map modes other than
    // MM_ISOTROPIC draw as MM_ANISOTROPIC.
    bool wmfMapping = false;

    // Objects.
    void SetTableSize(std::size_t n);
    std::size_t TableSize() const { return objects_.size(); }
    // Stores obj at index (EInvalidImage when out of range).
    void PutObject(std::size_t index, const MetaObject& obj);
    // The first free slot (EInvalidImage when the table is full).
    std::size_t FreeSlot() const;
    void SelectObject(std::size_t index);
    // The object at index (EInvalidImage when out of range).
    const MetaObject& Object(std::size_t index) const;
    void DeleteObject(std::size_t index);
    void SelectStock(std::uint32_t id);

    // The origin of pattern brushes, in device units.
    void SetBrushOrigin(double x, double y);

    void SaveDC();
    void RestoreDC(int relative);
    // Intersects the clip with a logical rectangle, or takes the rectangle
    // out of it.
    void IntersectClip(double l, double t, double r, double b);
    void ExcludeClip(double l, double t, double r, double b);
    // Moves the clip by a logical offset.
    void OffsetClip(double dx, double dy);
    // Combines the clip with a region (output pixels) by a region mode
    // (RGN_AND 1 ... RGN_COPY 5); a null region with RGN_COPY removes the clip.
    void SelectClip(const MetaRegion* region, int mode);
    // A logical rectangle in output pixels, as a region.
    MetaRegion LogicalRectRegion(double l, double t, double r, double b) const;
    // The region records: fill with a brush, frame with a brush of w x h
    // output pixels, invert, paint with the current brush.
    void FillRegion(const MetaRegion& rgn, const MetaBrush& brush);
    void FrameRegion(const MetaRegion& rgn, const MetaBrush& brush, int w, int h);
    void InvertRegion(const MetaRegion& rgn);
    // Device units (EMF region data) to output pixels.
    Rect DeviceRect(double l, double t, double r, double b) const;

    // Logical to output pixel coordinates, and back.
    Pair<double> ToOutput(double x, double y) const;
    Pair<double> FromOutput(Pair<double> p) const;

    // Drawing in logical coordinates. Polygons are closed implicitly.
    void MoveTo(double x, double y);
    void LineTo(double x, double y);
    void Polyline(const std::vector<Pair<double>>& pts);
    // Lines from the current position through pts, which ends at the last.
    void PolylineTo(const std::vector<Pair<double>>& pts);
    void PolyPolygon(const std::vector<std::vector<Pair<double>>>& polys);
    void Rectangle(double l, double t, double r, double b);
    void Ellipse(double l, double t, double r, double b);
    // Corners are quarters of a cw x ch ellipse.
    void RoundRect(double l, double t, double r, double b, double cw, double ch);
    // The part of the box's ellipse between the rays from its centre
    // through start and end, in the arc direction; chords and pies are
    // closed and filled, an arc-to first draws a line to the arc's start.
    void Arc(ArcKind kind, double l, double t, double r, double b, Pair<double> start,
             Pair<double> end);
    void AngleArc(double x, double y, double radius, double start, double sweep);
    // Points with the types of a POLYDRAW record.
    void PolyDraw(const std::vector<Pair<double>>& pts, const std::vector<std::uint8_t>& types);
    void SetPixel(double x, double y, Pixel c);
    // Fills with the current brush the pixels connected to the logical
    // point: those of colour c (surface) or those up to a border of colour
    // c (not surface).
    void FloodFill(double x, double y, Pixel c, bool surface);
    // Fills the logical rectangle with a colour (PatBlt and friends).
    void FillRect(double l, double t, double r, double b, Pixel c);
    // Draws src's pixels (sx, sy, sw, sh) stretched onto the logical
    // rectangle (x, y, w, h); negative sizes mirror.
    void StretchBitmap(Buffer& src, double x, double y, double w, double h, int sx, int sy, int sw,
                       int sh, const BlitOp& op = {});
    // The source rectangle onto the parallelogram of logical corners p0
    // (top left), p1 (top right), p2 (bottom left).
    void PlgBitmap(Buffer& src, Pair<double> p0, Pair<double> p1, Pair<double> p2, int sx, int sy,
                   int sw, int sh, const BlitOp& op);
    // A blit without a source bitmap: rop on the brush and the destination.
    void PatBlt(double l, double t, double r, double b, std::uint32_t rop);
    // GRADIENTFILL: mode 0 horizontal and 1 vertical rectangles (vertex
    // pairs), mode 2 triangles.
    void GradientFill(const std::vector<GradientVertex>& vs,
                      const std::vector<std::array<std::uint32_t, 3>>& shapes, int mode);
    // Text at a logical point with the current font, colours, background
    // mode and alignment; see MetaText.
    void TextOut(double x, double y, const MetaText& text);

    // Paths: between BeginPath and EndPath the drawing operations above add
    // figures (logical points) instead of drawing; DrawPath fills and/or
    // strokes them with the current brush and pen and empties the path.
    void BeginPath();
    void EndPath() { inPath_ = false; }
    void AbortPath();
    void CloseFigure();
    void DrawPath(bool fill, bool stroke);
    // The path's inside becomes the clip, combined by a region mode.
    void SelectClipPath(int mode);

    // Work done so far (pixels and polygon edges visited); playback stops
    // with EInvalidImage past a fixed budget, so no file can make it run
    // for hours.
    void Charge(std::int64_t units);

  private:
    Buffer& out_;
    Pair<double> scale_, offset_;
    std::vector<MetaObject> objects_;
    std::vector<MetaState> saved_;
    std::int64_t work_ = 0;
    struct Figure {
        std::vector<Pair<double>> pts;
        bool closed = false;
    };
    bool inPath_ = false;
    std::vector<Figure> path_;

    void AddFigure(std::vector<Pair<double>> pts, bool closed);
    // The logical box in output pixels (left, top, right, bottom), rounded
    // to the grid; false when it is empty.
    bool OutputBox(double l, double t, double r, double b, double box[4]) const;
    void DrawShape(const std::vector<Pair<double>>& fill, std::vector<Pair<double>> outline,
                   bool closed);
    std::vector<Pair<double>> ToGrid(const std::vector<Pair<double>>& pts) const;

    Pair<double> ToDevice(double x, double y) const;
    double PenPixels() const;
    // Calls fn(view) with a view of the output for each rectangle of the
    // clip (once, for the whole output, when no clip is set).
    template <typename Fn> void ForEachTarget(Fn fn) {
        if (st.clip == nullptr) {
            Buffer view(out_, out_.Area, true);
            if (!view.Empty()) fn(view);
            return;
        }
        for (const Rect& r : st.clip->rects) {
            Buffer view(out_, r, true);
            if (!view.Empty()) fn(view);
        }
    }
    void StrokeInto(Buffer& t, const std::vector<Pair<double>>& pts, bool closed,
                    const MetaPaint& c, double w);
    void SetClip(MetaRegion region);
    bool BlitPixel(const BlitOp& op, Pixel s, bool maskBit, int x, int y, Pixel& d) const;
    void ShadeRect(Pair<double> a, Pair<double> b, const GradientVertex& ca,
                   const GradientVertex& cb, bool vertical);
    void ShadeTriangle(std::array<Pair<double>, 3> p, std::array<const GradientVertex*, 3> c);
    void StrokePath(const std::vector<Pair<double>>& devPts, bool closed);
    // Fills with the current brush, or with c (raster operation included).
    void FillPolygons(const std::vector<std::vector<Pair<double>>>& devPolys);
    void FillPolygons(const std::vector<std::vector<Pair<double>>>& devPolys, Pixel c);
    MetaPaint BrushPaint() const;
};

// Cubic Bézier segments (start, then two controls and an end each) as
// line points, start included.
std::vector<Pair<double>> FlattenBeziers(Pair<double> start, const std::vector<Pair<double>>& pts);

// Rounds an output coordinate to the pixel grid (nearest, halves up).
int PixelOf(double v);
// v truncated into [lo, hi]; NaN gives lo.
inline int ClampToInt(double v, int lo, int hi) {
    return v >= hi ? hi : (v > lo ? int(v) : lo);
}
// Fills the polygons (output coordinates, closed implicitly) in target with
// c: a pixel is filled when its centre is inside under the fill rule.
// Returns the work done (rows x edges + pixels).
std::int64_t FillPolygonsInto(Buffer& target, const std::vector<std::vector<Pair<double>>>& polys,
                              FillMode mode, Pixel c);
std::int64_t FillPolygonsInto(Buffer& target, const std::vector<std::vector<Pair<double>>>& polys,
                              FillMode mode, const MetaPaint& c);

} // namespace pixkit
