// One airbrush step: a soft round spot of colour blended into the image.
// Qt-free, so that the tool, its tests and the benchmark share it.
#pragma once

#include <pixkit/buffer.h>

#include <cstdint>
#include <random>

namespace kv {

// The painting tools' random source. Every draw ("rnd") is one call. The
// numbers are std::mt19937's; the state is held in 32-bit words, which makes
// the generator's refill run on vectors (std::mt19937 keeps 64-bit words).
using PaintRandom =
    std::mersenne_twister_engine<std::uint32_t, 32, 624, 397, 31, 0x9908b0df, 11, 0xffffffff, 7,
                                 0x9d2c5680, 15, 0xefc60000, 18, 1812433253>;

// The spot's strength: trunc(2.4 * intensity + 12), kept within int range.
int AirbrushStrength(int intensity);

// Blends the disc of radius r (read as at least 1) around c into view,
// writing only pixels inside view's area; colour is 0x00RRGGBB. Returns the
// disc's box, unclipped.
//
// Rows are taken from top to bottom; in each row of half width h the pixels
// are paired from both ends toward the middle. With L = trunc(sqrt(dy^2 +
// h^2)), the distance of the row's end from the centre, and for the left
// pixel of a pair at distance dist, m = trunc(sqrt(dist / L) * e):
//   left alpha  o  = (rnd mod 5) + e - m - 2
//   right alpha o' = o - (rnd mod 5) + 2   (the middle pixel has no partner)
// each clamped to 0..256; a channel becomes (old * (256 - a) + new * a) / 256.
// Every disc pixel draws its number whether or not it is written, so the
// sequence does not depend on the view.
pixkit::Rect AirbrushStep(pixkit::Buffer& view, pixkit::Pair<int> c, int r, int intensity,
                          pixkit::Pixel colour, PaintRandom& rnd);

} // namespace kv
