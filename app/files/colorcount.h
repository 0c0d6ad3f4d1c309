// Counting the distinct colours of an image or a brush for the information
// box. Colours are the low 24 bits of a pixel: marks and palette indices in
// the top byte do not make colours of their own.
#pragma once

#include <pixkit/buffer.h>

#include <cstdint>
#include <optional>

namespace kv {

// The number of distinct 24-bit colours in b's pixels; pixels equal to skip
// (the whole 32-bit value, as the brush's transparency marker) are left
// out. Small blocks (4n < 0x200000 for n pixels) take 32 passes over a
// 64 KB bit map, one per value of the low five bits; larger ones one pass
// over a 2 MB map. The maps are scratch memory of the count's own.
std::int64_t CountColors(const pixkit::Buffer& b, std::optional<pixkit::Pixel> skip = {});

} // namespace kv
