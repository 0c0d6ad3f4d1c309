// The playback device context of the metafile players: the coordinate
// mapping (world, window/viewport, map mode, then the picture's frame onto
// the output), the object table of pens, brushes and fonts, and drawing
// operations in logical coordinates. Drawing is aliased and clips to the
// output buffer (and the clip rectangle set by the metafile).
#pragma once

#include <pixkit/buffer.h>

#include <cstdint>
#include <string>
#include <vector>

namespace pixkit {

struct MetaPen {
    int style = 0; // PS_SOLID 0 ... PS_NULL 5 (low 4 bits of the style)
    double width = 0;
    Pixel colour = 0;
};

struct MetaBrush {
    bool hollow = false; // BS_NULL; patterns we cannot draw count as hollow
    Pixel colour = 0xFFFFFF;
};

struct MetaFont {
    double height = 0; // logical units; negative: em height, positive: cell
    int weight = 400;
    bool italic = false;
    bool underline = false;
    bool strikeOut = false;
    std::string face;
};

struct MetaObject {
    enum class Kind { Empty, Pen, Brush, Font, Other } kind = Kind::Empty;
    MetaPen pen;
    MetaBrush brush;
    MetaFont font;
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

// The state SaveDC keeps.
struct MetaState {
    int mapMode = 1; // MM_TEXT
    Pair<double> winOrg{0, 0}, winExt{1, 1}, vpOrg{0, 0}, vpExt{1, 1};
    MetaXform world;
    MetaPen pen{0, 0, 0};
    MetaBrush brush{false, 0xFFFFFF};
    MetaFont font;
    Pixel textColour = 0;
    Pixel bkColour = 0xFFFFFF;
    bool opaqueBk = true;
    unsigned textAlign = 0;
    FillMode fill = FillMode::Alternate;
    Pair<double> pos{0, 0};  // current position, logical
    Rect clip{0, 0, -1, -1}; // output pixels; empty Rect: no clip set
    bool clipSet = false;
};

class MetaDC {
  public:
    // Draws onto out (output pixel (x, y) is out's (x, y)); device
    // coordinates map to output pixels by device * scale + offset.
    MetaDC(Buffer& out, Pair<double> scale, Pair<double> offset);

    MetaState st;
    // Millimetres per device unit, for the metric map modes.
    Pair<double> mmPerDevice{25.4 / 96, 25.4 / 96};
    // WMF: the viewport is the picture frame and map modes other than
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
    void DeleteObject(std::size_t index);
    void SelectStock(std::uint32_t id);

    void SaveDC();
    void RestoreDC(int relative);
    // Intersects the clip with a logical rectangle.
    void IntersectClip(double l, double t, double r, double b);

    // Logical to output pixel coordinates.
    Pair<double> ToOutput(double x, double y) const;

    // Drawing in logical coordinates. Polygons are closed implicitly.
    void MoveTo(double x, double y);
    void LineTo(double x, double y);
    void Polyline(const std::vector<Pair<double>>& pts);
    // Lines from the current position through pts, which ends at the last.
    void PolylineTo(const std::vector<Pair<double>>& pts);
    void PolyPolygon(const std::vector<std::vector<Pair<double>>>& polys);
    void Rectangle(double l, double t, double r, double b);
    void Ellipse(double l, double t, double r, double b);
    void SetPixel(double x, double y, Pixel c);
    // Fills the logical rectangle with a colour (PatBlt and friends).
    void FillRect(double l, double t, double r, double b, Pixel c);
    // Draws src's pixels (sx, sy, sw, sh) stretched onto the logical
    // rectangle (x, y, w, h); negative sizes mirror.
    void StretchBitmap(Buffer& src, double x, double y, double w, double h, int sx, int sy, int sw,
                       int sh);
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
    std::vector<Pair<double>> ToGrid(const std::vector<Pair<double>>& pts) const;

    Pair<double> ToDevice(double x, double y) const;
    double PenPixels() const;
    void Target(Buffer& view);
    void StrokePath(const std::vector<Pair<double>>& devPts, bool closed);
    void FillPolygons(const std::vector<std::vector<Pair<double>>>& devPolys, Pixel c);
};

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

} // namespace pixkit
