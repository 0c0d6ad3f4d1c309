// Bit-plane helpers shared by the planar codecs (PCX, IFF/ILBM): turning
// rows of bit planes into one byte per pixel and back. Plane rows hold the
// leftmost pixel in the most significant bit of their first byte.
#pragma once

#include <cstddef>
#include <cstdint>

namespace pixkit::bitplanes {

// out[x] = sum of bit x of plane i, shifted left by i, for the count planes
// (at most 8) that start at planes and follow each other every stride
// bytes. Each plane row must hold at least (width + 7) / 8 bytes; out must
// have room for width rounded up to a multiple of 8 bytes.
void PlanesToBytes(const std::uint8_t* planes, std::ptrdiff_t stride, int count, std::int64_t width,
                   std::uint8_t* out);

// The reverse: plane i (count of them, at most 8, every stride bytes from
// planes) receives bit i of each of the width bytes in. Plane rows get
// (width + 7) / 8 bytes; bits past width are cleared. in must be readable
// for width rounded up to a multiple of 8 bytes.
void BytesToPlanes(const std::uint8_t* in, std::int64_t width, int count, std::uint8_t* planes,
                   std::ptrdiff_t stride);

} // namespace pixkit::bitplanes
