// The inner loop of the convolution filter: one output row from its padded
// float neighbourhood rows. Two versions with the same results: one for
// processors with AVX2 and FMA, picked at run time, and a generic one.
#pragma once

#include <cstdint>

namespace kv::convolve {

using Pixel = std::uint32_t;

// A lane is one colour channel of one pixel: blue, green and red in turn.
inline constexpr int kLanesPerPixel = 3;
// Lanes per block: eight vectors of floats.
inline constexpr int kBlockLanes = 64;

struct RowJob {
    const float* const* Rows; // N rows, N - 1 pixels longer than the output
    const float* Weights;     // N x N, row by row
    float Bias = 0;
    float Slack = 0; // 0: the float sum is exact
    int Lanes = 0;   // three per output pixel
    // Whole blocks: the rounded, clamped results, and per block one bit per
    // lane whose sum + 0.5 lies within Slack of an integer: the float sum
    // may have rounded it to the wrong side.
    std::uint8_t* Out = nullptr;
    std::uint64_t* Suspects = nullptr;
    float* Sums = nullptr; // whole blocks of scratch for the generic version
};

// Both return true when any suspect bit is set. N is 3 or 5.
bool FilterRowVector(const RowJob& job, int n);
bool FilterRowGeneric(const RowJob& job, int n);
bool VectorUnitPresent();

// The blue, green and red bytes of pixels as floats, three per pixel.
void ChannelsToFloats(const Pixel* in, int pixels, float* out, bool vector);
// Pixels (top byte 0) from three channel bytes each; in holds 8 bytes more.
void PixelsFromChannels(const std::uint8_t* in, int pixels, Pixel* out, bool vector);

} // namespace kv::convolve
