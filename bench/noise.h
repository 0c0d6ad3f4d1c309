// The noise of the flood and wand-cut benchmarks: a few bits per pixel
// from a multiplicative hash of the pixel's index. The peer scripts
// compute the same values (bench/peers/opencv_flood.py, hashed()).
#pragma once

#include <cstdint>

inline std::uint32_t NoiseHash(std::uint32_t i) {
    std::uint32_t v = i * 2654435761u;
    v ^= v >> 15;
    v *= 2246822519u;
    v ^= v >> 13;
    return v;
}
