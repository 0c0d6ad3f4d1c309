// The filter step of the Filter Factory: runs the three channel programs
// once per pixel over a source image into a destination of the same size.
// No Qt and no pixkit: the dialog, the component template of Make, the
// fuzzer and the benchmark share it.
//
// Every program reads the unchanged source: r, g, b and src() come from the
// source pixel, never from what an earlier channel wrote. X and Y are the
// source's size, M the distance m of a corner pixel. The scratch cells of
// put and get start at 0 for every run. Each result is clamped to 0..255;
// the written pixel is 0x00RRGGBB (the top byte 0). Pixels are visited row
// by row, left to right, and red, green, blue within a pixel, which fixes
// what rnd, put and get see.
#pragma once

#include "effects/ffcompile.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>

namespace kv::ff {

using Channels = std::array<Program, 3>;
using Sliders = std::array<std::int32_t, kSliders>;

// Pixels of 32 bits, rows of stride pixels.
struct PixelRows {
    std::uint32_t* First = nullptr;
    std::ptrdiff_t Stride = 0;
};

class FilterStep {
  public:
    // source and destination are width x height and must not overlap.
    FilterStep(const Channels& programs, const Sliders& sliders, const std::uint32_t* source,
               std::ptrdiff_t sourceStride, int width, int height, PixelRows destination);

    // Filters rows top..bottom (inclusive), which callers run in order.
    void Rows(int top, int bottom);
    // Filters columns left..right (inclusive, within the image) of row y
    // into out[left..right]: out is where the row's first pixel goes. In
    // order with Rows.
    void Row(int y, int left, int right, std::uint32_t* out);
    int Width() const { return env_->W; }
    int Height() const { return env_->H; }

    // Whether bands of rows may run at the same time, on separate threads,
    // with the result of running them in order: not when a program uses
    // rnd (one sequence, pixel after pixel) or put and get (cells carried
    // from pixel to pixel).
    bool Parallel() const { return parallel_; }
    // Rows for one of several bands running at the same time; each call
    // works on its own copy of the per-pixel inputs. Only when Parallel().
    void BandRows(int top, int bottom) const;
    // Instructions run per pixel, at most: the three programs' lengths.
    int Cost() const { return cost_; }

  private:
    void RowsWith(Env& e, int top, int bottom) const;
    void RowWith(Env& e, int y, int left, int right, std::uint32_t* out) const;

    const Channels& programs_;
    std::uint32_t uses_ = 0;
    bool channels_ = false, polar_ = false; // which per-pixel inputs are read
    bool parallel_ = true;
    int cost_ = 0;
    PixelRows destination_;
    std::unique_ptr<Env> env_;
};

// The whole image in one go.
void Filter(const Channels& programs, const Sliders& sliders, const std::uint32_t* source,
            std::ptrdiff_t sourceStride, int width, int height, PixelRows destination);

} // namespace kv::ff
