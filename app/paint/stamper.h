// Placing the painting brush into the image: single stamps with the
// save-under preview, and the spaced stamp walk along a segment.
#pragma once

#include "paint/brush.h"
#include "paint/pressure.h"

#include <pixkit/buffer.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>

namespace kv {

// Where stamps go. Image() is the whole current image (the preview saves and
// restores there); ClipView() is the drawing view stamps are cut to.
class PaintSurface {
  public:
    virtual ~PaintSurface() = default;
    virtual pixkit::Buffer& Image() = 0;
    virtual pixkit::Buffer& ClipView() = 0;
    // Image pixels in r (inclusive) changed and need repainting.
    virtual void Invalidate(pixkit::Rect r) = 0;
    // Paint the invalidated area now (the preview must follow the pointer).
    virtual void UpdateNow() {}
};

// Spacing and phase are 16.16 fixed point: one pixel step is 65536.
inline constexpr std::int64_t kOnePixel = 65536;

// trunc(v * 65536), kept in a range where the walk cannot overflow.
std::int64_t ToFixed(double v);

// Walks the Bresenham line from a to b, both ends included (x is the major
// axis when |dx| >= |dy|), and calls visit at every pixel whose phase has
// come round: a pixel is visited when the phase is at most one pixel, after
// which spacing is added; every pixel takes one pixel off. Returns the phase
// left after b.
template <typename Visit>
std::int64_t WalkSpaced(pixkit::Pair<int> a, pixkit::Pair<int> b, std::int64_t spacing,
                        std::int64_t phase, Visit&& visit) {
    const std::int64_t dx = std::llabs(std::int64_t(b.x) - a.x);
    const std::int64_t dy = std::llabs(std::int64_t(b.y) - a.y);
    const int sx = b.x < a.x ? -1 : 1, sy = b.y < a.y ? -1 : 1;
    const bool xMajor = dx >= dy;
    const std::int64_t major = xMajor ? dx : dy, minor = xMajor ? dy : dx;
    std::int64_t err = 2 * minor - major;
    int x = a.x, y = a.y;
    for (std::int64_t i = 0;; ++i) {
        if (phase <= kOnePixel) {
            visit(pixkit::Pair<int>{x, y});
            phase += spacing - kOnePixel;
        } else {
            phase -= kOnePixel;
        }
        if (i == major) break;
        if (err > 0) {
            if (xMajor)
                y += sy;
            else
                x += sx;
            err -= 2 * major;
        }
        if (xMajor)
            x += sx;
        else
            y += sy;
        err += 2 * minor;
    }
    return phase;
}

class Stamper {
  public:
    Stamper(BrushState& brush, PaintSurface& surface) : brush_(brush), surface_(surface) {}

    // Image rectangle a stamp at p covers.
    pixkit::Rect StampRect(pixkit::Pair<int> p) const;

    // Stamps at p after saving what it covers, and repaints at once.
    void StampAt(pixkit::Pair<int> p);
    // Stamps without saving and without repainting (inside walkers).
    void StampQuiet(pixkit::Pair<int> p);
    // Puts back what the last StampAt covered, once; nothing when nothing
    // is saved.
    void RestoreUnder();
    bool HasSaved() const { return saved_; }
    // Stamps placed so far (both kinds).
    std::int64_t Stamps() const { return stamps_; }

    // Stamps along a to b with the spacing rule of WalkSpaced; returns the
    // phase left over, in pixels, for the next joined segment.
    double StrokeLine(pixkit::Pair<int> a, pixkit::Pair<int> b, double spacing, double phase);

    // While a tablet pen presses, stamps use the brush scaled for its
    // pressure step (PressureTips, minimum share 0..1); step -1 stamps the
    // whole painting brush.
    void SetPressureStep(int step, double minimum);
    int PressureStep() const { return step_; }
    // The brush the next stamp uses.
    const pixkit::Buffer& Tip() const;

  private:
    pixkit::Pair<int> Corner(pixkit::Pair<int> p, const pixkit::Buffer& tip) const;

    BrushState& brush_;
    PaintSurface& surface_;
    pixkit::Buffer save_;
    pixkit::Pair<int> saveCorner_{0, 0};
    bool saved_ = false;
    std::int64_t stamps_ = 0;
    mutable PressureTips tips_;
    int step_ = -1;
    double minimum_ = 0.2;
};

// The rubber band: the same walk drawing single pixels in colour (an
// inverting colour undoes itself when drawn twice). Returns the phase left.
double XorStroke(pixkit::Buffer& image, pixkit::Pair<int> a, pixkit::Pair<int> b, double spacing,
                 double phase, pixkit::Pixel colour);

} // namespace kv
