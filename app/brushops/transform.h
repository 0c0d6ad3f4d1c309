// The brush transforms of the Brush menu without a window: scaling by
// factors (Halve, Double) and mirroring in place. The commands that run
// them on the current brush are in brushcommands.h.
#pragma once

#include "paint/brush.h"

#include <pixkit/buffer.h>

namespace kv {

// The size of a brush of size w x h scaled by (fx, fy): each side |side *
// factor|, truncated toward zero.
pixkit::Pair<int> ScaledSize(pixkit::Pair<int> size, double fx, double fy);

// The Brush menu's own conditions for scaling a brush of size by (fx, fy):
// halving an axis needs more than one pixel on it, doubling at most
// kMaxDoubleSide. A command they refuse does nothing, silently.
inline constexpr int kMaxDoubleSide = 16384;
bool ScaleAllowed(pixkit::Pair<int> size, double fx, double fy);

enum class ScaleOutcome { Done, TooBig };

// The colour the scaled shape is drawn over and that becomes transparent
// afterwards: the brush background of a user brush; for a built-in brush a
// colour it does not hold (its background is unrelated to its pixels, and
// a black brush over a black background would vanish).
pixkit::Pixel ScaleBackground(const BrushState& state);

// Scales the brush by (fx, fy) (negative mirrors) with Buffer::Scale's
// mode: the result is drawn over background, and every pixel that ends up
// equal to background becomes transparent. A result outside the brush
// limits, or memory that cannot be had, gives TooBig and leaves the brush
// as it was. The settings and the painting brush are not touched.
ScaleOutcome ScaleBrush(pixkit::Buffer& brush, double fx, double fy, pixkit::Pixel background,
                        int mode);

// Scales the brush to size.x by size.y as ScaleBrush does; a negative
// side mirrors that axis and gives a brush of its absolute value.
ScaleOutcome ScaleBrushTo(pixkit::Buffer& brush, pixkit::Pair<int> size, pixkit::Pixel background,
                          int mode);

// Scales the current brush to size (signed, as ScaleBrushTo) over
// ScaleBackground. A built-in brush comes out as a user brush: its new
// shape is no built-in one, so it is the brush Restore and the period key
// keep from now on, while the built-in brush it came from goes into the
// Restore slot and Restore right afterwards gives it back.
ScaleOutcome ScaleCurrentBrush(BrushState& state, pixkit::Pair<int> size, int mode);

// The signed side of a stretch with the pointer at pointer and the brush's
// first pixel at anchor: the anchor pixel is always included, so d + 1 for
// d >= 0 and d - 1 (mirrored) for d < 0, with d = pointer - anchor.
int StretchSide(int pointer, int anchor);
// The image rectangle a stretch to size (signed) from anchor covers.
pixkit::Rect StretchRect(pixkit::Pair<int> anchor, pixkit::Pair<int> size);

// The radius s of the sizers dragged by (dx, dy) from the centre: round
// sizers take the distance, rounded; the square one the larger of |dx| and
// |dy|. Both are limited so that a (2s + 1) x (2s + 1) brush fits the brush
// limits. The spray radius stays within 1 to kMaxSprayRadius.
int RoundSizerRadius(int dx, int dy);
int SquareSizerRadius(int dx, int dy);
int MaxSizerRadius();
inline constexpr int kMaxSprayRadius = 999;
int SprayRadiusFor(int s);

// Mirrors b in place: left to right (each row reversed) or top to bottom
// (the order of the rows reversed).
void MirrorLeftRight(pixkit::Buffer& b);
void MirrorTopBottom(pixkit::Buffer& b);

} // namespace kv
