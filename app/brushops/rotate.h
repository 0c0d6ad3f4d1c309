// Turning a brush without a window: quarter and half turns in place, and
// turns by any angle through Buffer::XFormLin, with the sizes and matrices
// the interactive rotate tools share.
#pragma once

#include "brushops/transform.h"

#include <pixkit/buffer.h>

namespace kv {

// Allocates b (contents undefined) for a caller that writes all of it at
// once: a large block asks the system for huge pages first.
void AllocForWriting(pixkit::Buffer& b, pixkit::Pair<int> size);

// The bounding size of a w x h block turned by a radians: |cos a| w +
// |sin a| h by |sin a| w + |cos a| h, each truncated toward zero (and at
// least 1, which rounding could otherwise miss at multiples of 90 degrees).
pixkit::Pair<int> RotatedSize(pixkit::Pair<int> size, double a);

// The unit matrix turned by a radians (counter-clockwise on the screen,
// where y grows downward): the source's x axis lands on (cos a, -sin a).
pixkit::Matrix2D RotationMatrix(double a);

// Where XFormCentred has to put the centred source of a block of size,
// turned by a into a block of turned (its RotatedSize), so that the
// block's centre lands on the centre of the result, to the nearest pixel.
// Turning about the corner of the middle pixel instead would move an odd
// side by half a pixel and, at multiples of 90 degrees, push a whole row
// or column out of the tight result.
pixkit::Pair<int> TurnPoint(pixkit::Pair<int> size, pixkit::Pair<int> turned, double a);

// Draws src turned by m with the pixel (W >> 1, H >> 1) of src at at in dst
// (key and mode as for XFormLin). src's rectangle is moved for the call
// and put back, so src must not be const, but comes back unchanged.
void XFormCentred(pixkit::Buffer& dst, pixkit::Buffer& src, const pixkit::Matrix2D& m,
                  pixkit::Pair<int> at, pixkit::Pixel key, int mode);

// A quarter turn counter-clockwise on the screen: pixel (x, y) of a W x H
// buffer lands at (y, W - 1 - x) of the H x W result. False (b unchanged)
// when the memory for the result cannot be had.
bool Rotate90(pixkit::Buffer& b);
// A half turn in place: (x, y) and (W - 1 - x, H - 1 - y) change places.
void Rotate180(pixkit::Buffer& b);

// Turns the brush by theta radians into a brush of RotatedSize. Pixels the
// turned shape does not cover are transparent. Anti-aliased (mode != 0)
// the shape is drawn over background, so that edges blend with it instead
// of with the marker, and every pixel equal to background becomes
// transparent afterwards (as ScaleBrush does); plain, the result starts
// transparent and every brush pixel keeps its value. A result outside the
// brush limits, or memory that cannot be had, gives TooBig and leaves the
// brush as it was.
ScaleOutcome RotateBrushBy(pixkit::Buffer& brush, double theta, pixkit::Pixel background, int mode);

// The angle of the pointer seen from centre: atan2(centre.y - p.y, p.x -
// centre.x), so that right of the centre is 0 and straight above 90
// degrees; 0 on the centre itself.
double PointerAngle(pixkit::Pair<int> centre, pixkit::Pair<int> p);

} // namespace kv
