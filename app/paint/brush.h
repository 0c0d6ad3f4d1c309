// The brush state that every painting tool shares: the brush as cut, loaded
// or built, the painting brush that is actually stamped, the brush kept for
// Restore, the technique and the handle. Qt-free, so that the stamping
// benchmark and the unit tests use it directly.
#pragma once

#include <pixkit/buffer.h>

#include <cstdint>
#include <vector>

namespace kv {

// A brush pixel with exactly this value is transparent: stamps leave the
// image unchanged there.
inline constexpr pixkit::Pixel kBrushTransparent = 0x01000000;
// The key that copies every pixel.
inline constexpr pixkit::Pixel kCopyAll = 0xFFFFFFFF;

// Drawing techniques (the same values as the tool framework's).
enum BrushTechnique : int { btPaint = 0, btColor = 1, btReplace = 2 };

// Handle positions: which point of the brush sits under the pointer.
enum BrushHandle : int {
    bhCentre = 0,
    bhLeftTop = 1,
    bhRightTop = 2,
    bhRightBottom = 3,
    bhLeftBottom = 4
};

// The largest brush: no side above this, and no more pixels than an image
// may have (the brush and the painting brush are held at once).
inline constexpr int kMaxBrushSide = 32768;
bool FitsBrushLimit(pixkit::Pair<int> size);

// The offset of handle position handle inside a brush of rectangle r, and
// the position whose offset is p (the centre when none has it).
pixkit::Pair<int> HandleOffsetIn(const pixkit::Rect& r, int handle);
int HandleAt(const pixkit::Rect& r, pixkit::Pair<int> p);

// The shape the built-in brush has and that Restore rebuilds.
enum class BuiltinKind { Square, Round };

// Everything about the brush except its pixels: the block that Restore
// brings back together with the previous brush.
struct BrushSettings {
    int Technique = btColor;
    pixkit::Pixel Background = 0; // the colour made transparent when the brush was cut
    bool UserBrush = false;       // cut or loaded (false: built-in)
    int Handle = bhCentre;
    int Radius = 0; // of the built-in brush: (2r+1) x (2r+1)
    BuiltinKind Kind = BuiltinKind::Square;
    // The image position the brush was cut from (patterns can line up with
    // it); (0, 0) for loaded and built brushes.
    pixkit::Pair<int> Origin{0, 0};
};

class BrushState {
  public:
    BrushState();
    BrushState(const BrushState&) = delete;
    BrushState& operator=(const BrushState&) = delete;

    pixkit::Buffer Brush;    // as cut, loaded or built
    pixkit::Buffer Painting; // what stamps: the brush prepared for button and technique
    BrushSettings Settings;

    // What Restore returns to; empty until a user brush was saved.
    pixkit::Buffer Previous;
    BrushSettings PreviousSettings;

    // Offset of the handle from the top-left corner of the painting brush.
    pixkit::Pair<int> HandleOffset() const;
    // Top-left corner of a stamp placed at p.
    pixkit::Pair<int> StampCorner(pixkit::Pair<int> p) const;

    // Rebuilds the painting brush from the brush for the button and the
    // technique; draw and back are 0x00RRGGBB.
    void PrepareBrush(bool rightButton, pixkit::Pixel draw, pixkit::Pixel back);
    // Counts the rebuilds, so that copies made from the painting brush know
    // when they are out of date.
    std::uint64_t Prepared = 0;

    // Keeps the brush for Restore, but only a user brush: built-in brushes
    // are rebuilt from radius and kind instead.
    void SaveForRestore();
    // Back to the kept brush and its settings (the slot is emptied), or,
    // with nothing kept, the built-in brush of the current kind and radius
    // in the draw colour. The painting brush is rebuilt for the left button.
    void RestoreBrush(pixkit::Pixel draw, pixkit::Pixel back);
    // Cuts the brush down to the smallest rectangle holding a pixel that is
    // not transparent and moves the origin along. Returns how far the
    // pointer has to move so that the brush stays over the same image
    // pixels ((0, 0) when nothing was trimmed). A brush without an opaque
    // pixel stays as it is. The caller rebuilds the painting brush.
    pixkit::Pair<int> OptimizeBrush();
    // Makes cut the user brush (taken over; cut is left empty): cut from
    // origin, transparent pixels already the marker, background the colour
    // they stand for. Technique Paint; the handle stays. The brush was
    // saved for Restore when the cutting tool started.
    void TakeCutBrush(pixkit::Buffer& cut, pixkit::Pair<int> origin, pixkit::Pixel background);

    // The built-in brushes at the current radius, in the draw colour. Both
    // save a user brush for Restore and set the technique to Color.
    void MakeRoundBrush(pixkit::Pixel draw);
    void MakeSquareBrush(pixkit::Pixel draw);
    // The one-pixel brush in the draw colour (the radius is left alone, so
    // the period key can return to the built-in brush).
    void MakePixelBrush(pixkit::Pixel draw);

    // Makes image the user brush (taken over; image is left empty): pixels
    // equal to transparent become the marker, the handle sits at handle.
    // The previous user brush is kept for Restore, the technique becomes
    // Paint, the origin (0, 0) and the painting brush is rebuilt.
    void TakeUserBrush(pixkit::Buffer& image, pixkit::Pixel transparent, int handle);

    // True when the brush is a built-in brush one pixel wide.
    bool IsBuiltinPixel() const;

  private:
    void BuildRound(pixkit::Pixel draw);
    void BuildSquare(pixkit::Pixel draw);
    void FinishBuiltin(BuiltinKind kind);
};

// The smallest rectangle of b holding a pixel that is not transparent (in
// b's coordinates); empty (Right < Left) when there is none.
pixkit::Rect OpaqueBounds(const pixkit::Buffer& b);

// dst becomes an owned copy of src with the same area.
void CloneBuffer(pixkit::Buffer& dst, const pixkit::Buffer& src);

// The disc of radius r (at least 0) by the midpoint circle walk (decision
// 3 - 2r, increments 4i + 10 and 4(i - k) + 14): half[d] is the half width
// of the rows d above and below the centre, so each row spans 2 half[d] + 1
// pixels. Every row appears once, the centre row included.
void DiscHalfWidths(int r, std::vector<int>& half);

// Fills a filled disc of radius r centred at (r, r) into dst by horizontal
// spans from the midpoint circle walk.
void DrawDisc(pixkit::Buffer& dst, int r, pixkit::Pixel colour);

} // namespace kv
