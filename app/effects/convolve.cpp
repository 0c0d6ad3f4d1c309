#include "effects/convolve.h"

#include "effects/convolve_rows.h"

#include <pixkit/threads.h>
#include <pixkit/vector_level.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <vector>

namespace kv {

namespace {

using pixkit::Buffer;
using pixkit::Pixel;
using pixkit::Rect;

// Every weight c / divisor with |c| >= 1 is at least 1/9999 > 2^-14, so its
// float value is a multiple of 2^-37: times 2^37 it is an exact integer.
constexpr int kFixedShift = 37;
constexpr std::int64_t kFixedHalf = std::int64_t(1) << (kFixedShift - 1);

inline void PutPixel(float* f, Pixel p) {
    for (int c = 0; c < 3; ++c) f[c] = static_cast<float>((p >> (8 * c)) & 0xFF);
}

// One source row as floats, three per pixel: columns x0 - r .. x1 + r, the
// ones outside the image replaced by its first or last column.
void ConvertRow(const Pixel* row, int left, int right, int x0, int x1, int r, float* f,
                bool vector) {
    constexpr int lanes = convolve::kLanesPerPixel;
    for (int p = 0; p < r; ++p) PutPixel(f + lanes * p, row[std::max(x0 - r + p, left) - left]);
    float* mid = f + lanes * r;
    const int n = x1 - x0 + 1;
    convolve::ChannelsToFloats(row + (x0 - left), n, mid, vector);
    float* end = mid + lanes * n;
    for (int p = 0; p < r; ++p) PutPixel(end + lanes * p, row[std::min(x1 + 1 + p, right) - left]);
}

Rect Intersect(Rect a, Rect b) {
    return {std::max(a.Left, b.Left), std::max(a.Top, b.Top), std::min(a.Right, b.Right),
            std::min(a.Bottom, b.Bottom)};
}

// How far the float sum may be from the exact one. When every weight is a
// multiple of 2^-k and (total + 1) 2^k < 2^24, every product, partial sum
// and the added 0.5 is a float: the sum is exact and nothing needs checking
// (the usual power-of-two divisors, whose exact ties are frequent).
// Otherwise the n products round by at most 2^-24 of their sizes (total
// together), the n sums and the added 0.5 by at most 2^-24 of total + 1
// each; twice that bound leaves room to spare.
float Slack(const std::int64_t* fixed, int terms, float total) {
    int bits = 1; // the added 0.5
    for (int t = 0; t < terms; ++t)
        if (fixed[t] != 0)
            bits = std::max(bits, kFixedShift - std::countr_zero(std::uint64_t(fixed[t])));
    if (std::ldexp(total + 1.0f, bits) < 0x1p24f) return 0.0f;
    return 2.0f * static_cast<float>(terms + 2) * std::ldexp(total + 1.0f, -24);
}

} // namespace

FilterKernel FilterKernel::Box() {
    FilterKernel k;
    for (int row = 1; row <= 3; ++row)
        for (int col = 1; col <= 3; ++col) k.Cells[static_cast<std::size_t>(row * 5 + col)] = 1;
    return k;
}

bool FilterKernel::InRange() const {
    for (std::int16_t c : Cells)
        if (c < -kCellLimit || c > kCellLimit) return false;
    return Divisor >= kDivisorMin && Divisor <= kDivisorMax && Bias >= -kBiasLimit &&
           Bias <= kBiasLimit;
}

// The neighbourhood of one output row and the scratch the inner loop needs.
struct Convolution::Rows {
    const float* Row[5];
    convolve::RowJob Job;
};

Convolution::Convolution(const FilterKernel& kernel, RowLoop loop)
    : vector_(loop == RowLoop::Best && convolve::VectorUnitPresent() &&
              pixkit::ActiveVectorLevel() == pixkit::VectorLevel::Avx2) {
    bool ring = false;
    for (int i = 0; i < kFilterCells; ++i) {
        const int row = i / 5, col = i % 5;
        if ((row == 0 || row == 4 || col == 0 || col == 4) && kernel.Cells[std::size_t(i)] != 0)
            ring = true;
    }
    size_ = ring ? 5 : 3;
    const int skip = ring ? 0 : 1;
    const float divisor = kernel.Divisor;
    float total = std::abs(static_cast<float>(kernel.Bias));
    for (int dy = 0; dy < size_; ++dy)
        for (int dx = 0; dx < size_; ++dx) {
            const auto t = static_cast<std::size_t>(dy * size_ + dx);
            const float w =
                static_cast<float>(kernel.Cells[std::size_t((dy + skip) * 5 + dx + skip)]) /
                divisor;
            weights_[t] = w;
            fixed_[t] = static_cast<std::int64_t>(std::ldexp(static_cast<double>(w), kFixedShift));
            total += 255.0f * std::fabs(w);
        }
    bias_ = static_cast<float>(kernel.Bias);
    biasFixed_ = static_cast<std::int64_t>(kernel.Bias) << kFixedShift;
    slack_ = Slack(fixed_.data(), size_ * size_, total);
}

std::uint8_t Convolution::ExactLane(const Rows& rows, int lane) const {
    std::int64_t sum = biasFixed_;
    for (int dy = 0; dy < size_; ++dy)
        for (int dx = 0; dx < size_; ++dx)
            sum += fixed_[std::size_t(dy * size_ + dx)] *
                   static_cast<std::int64_t>(rows.Row[dy][lane + convolve::kLanesPerPixel * dx]);
    const std::int64_t v = (sum + kFixedHalf) >> kFixedShift; // floor(v + 0.5)
    return static_cast<std::uint8_t>(std::clamp<std::int64_t>(v, 0, 255));
}

void Convolution::FilterRow(Rows& rows, Pixel* out) const {
    convolve::RowJob& job = rows.Job;
    const bool suspects =
        vector_ ? convolve::FilterRowVector(job, size_) : convolve::FilterRowGeneric(job, size_);
    if (suspects) {
        for (int i = 0, block = 0; i < job.Lanes; i += convolve::kBlockLanes, ++block)
            for (std::uint64_t bits = job.Suspects[block]; bits != 0; bits &= bits - 1) {
                const int lane = i + std::countr_zero(bits);
                if (lane < job.Lanes) job.Out[lane] = ExactLane(rows, lane);
            }
    }
    convolve::PixelsFromChannels(job.Out, job.Lanes / convolve::kLanesPerPixel, out, vector_);
}

void Convolution::FilterBand(const Buffer& src, Buffer& dst, Rect area, int top, int bottom) const {
    if (src.Empty() || dst.Empty()) return;
    const Rect a = Intersect(Intersect(area, src.Area), dst.Area);
    top = std::max(top, a.Top);
    bottom = std::min(bottom, a.Bottom);
    if (a.Left > a.Right || top > bottom) return;
    // Every output row depends on the source alone, so bands of rows run on
    // separate threads; a pixel costs about one light operation per tap.
    const std::int64_t work =
        std::int64_t(a.Right - a.Left + 1) * (bottom - top + 1) * size_ * size_;
    pixkit::ForRows(bottom - top + 1, work, [&](int first, int last) {
        FilterRows(src, dst, a, top + first, top + last - 1);
    });
}

void Convolution::FilterRows(const Buffer& src, Buffer& dst, Rect a, int top, int bottom) const {
    const int r = size_ / 2;
    const int lanes = convolve::kLanesPerPixel * (a.Right - a.Left + 1);
    const int blocks = (lanes + convolve::kBlockLanes - 1) / convolve::kBlockLanes;
    const int blockLanes = blocks * convolve::kBlockLanes;
    // Whole blocks read up to 3 (size_ - 1) floats past their last lane.
    const auto rowLen = static_cast<std::size_t>(blockLanes + 6 * r);
    // size_ rows of the neighbourhood, then the scratch sums.
    // Kept from band to band on this thread: bands follow each other quickly
    // and need the same room. Floats past a row's end (finite values) only
    // feed lanes that are thrown away.
    thread_local std::vector<float> scratch;
    const std::size_t need = rowLen * static_cast<std::size_t>(size_ + 1);
    if (scratch.size() < need) scratch.assign(need, 0.0f);
    float* const floats = scratch.data();
    auto slot = [&](int y) {
        const int s = ((y % size_) + size_) % size_;
        return floats + static_cast<std::size_t>(s) * rowLen;
    };
    auto load = [&](int y) {
        const int sy = std::clamp(y, src.Area.Top, src.Area.Bottom);
        ConvertRow(src.At(src.Area.Left, sy), src.Area.Left, src.Area.Right, a.Left, a.Right, r,
                   slot(y), vector_);
    };
    std::vector<std::uint64_t> suspects(static_cast<std::size_t>(blocks));
    // Whole blocks of results, and room for the 8 bytes PixelsFromChannels
    // may read past them.
    std::vector<std::uint8_t> results(static_cast<std::size_t>(blockLanes + 8));
    Rows rows{};
    rows.Job.Rows = rows.Row;
    rows.Job.Weights = weights_.data();
    rows.Job.Bias = bias_;
    rows.Job.Slack = slack_;
    rows.Job.Lanes = lanes;
    rows.Job.Suspects = suspects.data();
    rows.Job.Out = results.data();
    rows.Job.Sums = floats + rowLen * static_cast<std::size_t>(size_);

    for (int y = top - r; y < top + r; ++y) load(y);
    for (int y = top; y <= bottom; ++y) {
        load(y + r);
        for (int dy = 0; dy < size_; ++dy) rows.Row[dy] = slot(y - r + dy);
        FilterRow(rows, dst.At(a.Left, y));
    }
}

} // namespace kv
