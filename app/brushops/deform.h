// Bending and shearing a brush without a window. The user places the
// brush (its top-left pixel at anchor) and moves the pointer: a bend moves
// the columns (Up-and-Down) or rows (Left-and-Right) along a sine arch
// whose top follows the pointer, a shear moves them along a straight line
// so that the brush's bottom-right corner follows the pointer. The tools
// draw the same deformation as preview into the image and as result into
// the new brush.
#pragma once

#include <pixkit/buffer.h>

namespace kv {

enum class DeformKind { BendUpDown, BendLeftRight, ShearUpDown, ShearLeftRight };

// Where the deformation of a brush of size placed at anchor starts from:
// the pointer is moved there after the first click (a bend: the brush's
// centre; a shear: its bottom-right pixel).
pixkit::Pair<int> DeformStart(DeformKind kind, pixkit::Pair<int> anchor, pixkit::Pair<int> size);

// The top-left corner (image coordinates) and the size of the deformed
// brush for the pointer at p. The size grows by the distance of the
// pointer from the start along the deformed axis, so it may exceed any
// limit: check it before allocating.
pixkit::Pair<int> DeformOrigin(DeformKind kind, pixkit::Pair<int> anchor, pixkit::Pair<int> size,
                               pixkit::Pair<int> p);
pixkit::Pair<int> DeformSize(DeformKind kind, pixkit::Pair<int> anchor, pixkit::Pair<int> size,
                             pixkit::Pair<int> p);

// Draws brush deformed for the pointer at p into dst, the deformed
// brush's top-left corner at at (dst coordinates); brush pixels equal to
// key are left out and everything clips to dst.
void DrawDeformed(DeformKind kind, pixkit::Buffer& dst, pixkit::Buffer& brush,
                  pixkit::Pair<int> anchor, pixkit::Pair<int> p, pixkit::Pair<int> at,
                  pixkit::Pixel key);

} // namespace kv
