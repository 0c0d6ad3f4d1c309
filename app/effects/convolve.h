// The custom convolution filter: a 5 x 5 kernel of integer coefficients, a
// divisor and a bias, applied to the red, green and blue channels. No Qt
// here: the dialog, the tests and the benchmark share this code.
//
// Output rule, the same for every pixel: with the weights w = c / divisor
// (each one float division), v = sum of w * channel + bias is computed
// exactly, rounded by adding 0.5 and truncating, and clamped to 0..255; the
// top byte of the result is 0. Neighbours outside the image are replaced by
// the nearest edge pixel. docs/convolution.md explains how the fast path
// stays exact.
#pragma once

#include <pixkit/buffer.h>

#include <array>
#include <cstdint>

namespace kv {

inline constexpr int kFilterCells = 25; // 5 x 5, row by row
inline constexpr int kCellLimit = 999;  // cells hold -999..999
inline constexpr int kDivisorMin = 1;
inline constexpr int kDivisorMax = 9999;
inline constexpr int kBiasLimit = 9999; // bias -9999..9999

struct FilterKernel {
    std::array<std::int16_t, kFilterCells> Cells{};
    std::int16_t Divisor = 9;
    std::int16_t Bias = 0;

    // The 3 x 3 box in the middle of the grid: with divisor 9 a box blur.
    static FilterKernel Box();
    // Every value inside the ranges of the dialog's controls.
    bool InRange() const;
    bool operator==(const FilterKernel&) const = default;
};

// The inner loop: the vector one where the processor has AVX2 and FMA and
// pixkit's vector level (pixkit/vector_level.h) allows AVX2, or the generic
// one (tests check both).
enum class RowLoop { Best, Generic };

class Convolution {
  public:
    // kernel must be InRange(). The 3 x 3 middle is used alone when every
    // coefficient of the outer ring is 0.
    explicit Convolution(const FilterKernel& kernel, RowLoop loop = RowLoop::Best);

    int Size() const { return size_; } // 3 or 5

    // Writes the filtered pixels of rows top..bottom of area (inclusive,
    // image coordinates) into dst, reading src. src is the whole image
    // (neighbours are clamped to src.Area); dst has the same coordinates
    // and must not share memory with src. Rows and columns outside
    // area, src.Area or dst.Area are skipped. Bands can be run one after
    // another (a dialog polls input between them) with the same result as
    // one run over the whole area. Large bands are split further and run
    // on the threads of pixkit::ForRows, with the same result.
    void FilterBand(const pixkit::Buffer& src, pixkit::Buffer& dst, pixkit::Rect area, int top,
                    int bottom) const;
    void Filter(const pixkit::Buffer& src, pixkit::Buffer& dst, pixkit::Rect area) const {
        FilterBand(src, dst, area, area.Top, area.Bottom);
    }

  private:
    struct Rows;
    // FilterBand on this thread, for rows top..bottom of a, which lies
    // inside every area.
    void FilterRows(const pixkit::Buffer& src, pixkit::Buffer& dst, pixkit::Rect a, int top,
                    int bottom) const;
    void FilterRow(Rows& rows, pixkit::Pixel* out) const;
    std::uint8_t ExactLane(const Rows& rows, int lane) const;

    bool vector_ = false;
    int size_ = 5;
    std::array<float, kFilterCells> weights_{};      // the used size_ x size_ weights
    std::array<std::int64_t, kFilterCells> fixed_{}; // the same times 2^37, exact
    float bias_ = 0;
    std::int64_t biasFixed_ = 0;
    // Bound of the float sum's error: results this close to a rounding
    // boundary are computed again exactly.
    float slack_ = 0;
};

} // namespace kv
