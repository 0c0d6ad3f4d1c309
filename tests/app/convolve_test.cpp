// The convolution filter against a plain long-double reference written here:
// every pixel of random images, for kernels that stress the 3 x 3 choice,
// ties at .5, saturation and tiny weights, run in bands and on a part of the
// image.
#include "effects/convolve.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

namespace {

using kv::Convolution;
using kv::FilterKernel;
using pixkit::Buffer;
using pixkit::Pixel;
using pixkit::Rect;

void RandomImage(Buffer& b, int w, int h, unsigned seed) {
    b.Alloc({w, h});
    std::mt19937 rng(seed);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) *b.At(x, y) = static_cast<Pixel>(rng()); // top byte too
}

// Float weights c / divisor over the whole 5 x 5 grid; the sum of products
// is exact in long double (64-bit mantissa), then rounded half up and
// clamped. Neighbours outside the image are the nearest edge pixel.
Pixel Reference(const Buffer& src, const FilterKernel& k, int x, int y) {
    Pixel out = 0;
    for (int c = 0; c < 3; ++c) {
        long double v = k.Bias;
        for (int dy = -2; dy <= 2; ++dy)
            for (int dx = -2; dx <= 2; ++dx) {
                const float w = static_cast<float>(k.Cells[std::size_t((dy + 2) * 5 + dx + 2)]) /
                                static_cast<float>(k.Divisor);
                const int sx = std::clamp(x + dx, 0, src.Width() - 1);
                const int sy = std::clamp(y + dy, 0, src.Height() - 1);
                v += static_cast<long double>(w) * ((*src.At(sx, sy) >> (8 * c)) & 0xFF);
            }
        const long double r = std::clamp(std::floor(v + 0.5L), 0.0L, 255.0L);
        out |= static_cast<Pixel>(r) << (8 * c);
    }
    return out;
}

FilterKernel RandomKernel(unsigned seed, int limit, int divisor, int bias) {
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> cell(-limit, limit);
    FilterKernel k;
    for (auto& c : k.Cells) c = static_cast<std::int16_t>(cell(rng));
    k.Divisor = static_cast<std::int16_t>(divisor);
    k.Bias = static_cast<std::int16_t>(bias);
    return k;
}

FilterKernel Single(int cell, int value, int divisor, int bias) {
    FilterKernel k;
    k.Cells[std::size_t(cell)] = static_cast<std::int16_t>(value);
    k.Divisor = static_cast<std::int16_t>(divisor);
    k.Bias = static_cast<std::int16_t>(bias);
    return k;
}

struct Case {
    const char* Name;
    FilterKernel Kernel;
    int Size; // 3 or 5
};

std::vector<Case> Cases() {
    FilterKernel ring1 = Single(12, 999, 9999, 0);
    ring1.Cells[0] = 1; // 1/9999 is tiny but real: it keeps the 5 x 5 grid
    FilterKernel ties = Single(12, 1, 2, 0);
    ties.Cells[13] = 2; // (a + 2b) / 2 lands on .5 for every odd a
    FilterKernel ring39 = Single(12, 999, 9999, 0);
    for (int i : {0, 1, 2, 3, 4, 5, 9, 10, 14, 15, 19, 20, 21, 22, 23, 24})
        ring39.Cells[std::size_t(i)] = 39;
    return {
        {"box", FilterKernel::Box(), 3},
        {"random 5x5, negatives and bias", RandomKernel(7, 40, 37, -123), 5},
        {"random 3x3 inside a zero ring",
         [] {
             FilterKernel k = RandomKernel(8, 300, 97, 55);
             for (int i = 0; i < 25; ++i)
                 if (i / 5 == 0 || i / 5 == 4 || i % 5 == 0 || i % 5 == 4)
                     k.Cells[std::size_t(i)] = 0;
             return k;
         }(),
         3},
        {"divisor 2, exact ties", ties, 3},
        {"+-999 saturating", RandomKernel(9, 999, 1, 9999), 5},
        // Sums near 10^4 cancelling to 0..255: the float sum's error flips
        // a few roundings here, which the exact path must catch.
        {"large cells cancelling, divisor 10", RandomKernel(12, 999, 10, 9384), 5},
        {"ring 1 with divisor 9999", ring1, 5},
        {"sixteen ring 39 with divisor 9999", ring39, 5},
        {"identity with bias 10", Single(12, 1, 1, 10), 3},
    };
}

TEST(Convolve, EveryPixelMatchesTheReferenceInBandsAndAtAnySize) {
    const struct { int W, H; } sizes[] = {{67, 53}, {1, 1}, {2, 3}, {130, 4}};
    for (const Case& c : Cases())
        for (kv::RowLoop loop : {kv::RowLoop::Best, kv::RowLoop::Generic}) {
            SCOPED_TRACE(::testing::Message()
                         << c.Name << (loop == kv::RowLoop::Best ? "" : ", generic loop"));
            const Convolution conv(c.Kernel, loop);
            EXPECT_EQ(conv.Size(), c.Size);
            for (auto [w, h] : sizes) {
                SCOPED_TRACE(::testing::Message() << w << " x " << h);
                Buffer src, dst;
                RandomImage(src, w, h, unsigned(w * 1000 + h));
                dst.Alloc({w, h});
                // Bands of 7 rows, as the dialog runs them.
                for (int top = 0; top < h; top += 7)
                    conv.FilterBand(src, dst, src.Area, top, top + 6);
                int wrong = 0;
                for (int y = 0; y < h; ++y)
                    for (int x = 0; x < w; ++x)
                        if (*dst.At(x, y) != Reference(src, c.Kernel, x, y) && ++wrong <= 3)
                            ADD_FAILURE()
                                << "pixel " << x << "," << y << ": " << std::hex << *dst.At(x, y)
                                << " expected " << Reference(src, c.Kernel, x, y);
                EXPECT_EQ(wrong, 0);
            }
        }
}

// The identity with bias 10 adds 10 and stops at 255, border included; a
// box blur of any flat grey keeps it, border included.
TEST(Convolve, IdentityWithBiasSaturatesAndFlatGreysStayFlat) {
    Buffer src, dst;
    RandomImage(src, 9, 7, 3);
    dst.Alloc({9, 7});
    Convolution(Single(12, 1, 1, 10)).Filter(src, dst, src.Area);
    for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 9; ++x)
            for (int c = 0; c < 3; ++c) {
                const unsigned in = (*src.At(x, y) >> (8 * c)) & 0xFF;
                ASSERT_EQ((*dst.At(x, y) >> (8 * c)) & 0xFF, std::min(in + 10, 255u));
            }
    const Convolution box(FilterKernel::Box());
    for (Pixel g = 0; g < 256; ++g) {
        src.Box(src.Area, g * 0x010101);
        box.Filter(src, dst, src.Area);
        for (int y = 0; y < 7; ++y)
            for (int x = 0; x < 9; ++x) ASSERT_EQ(*dst.At(x, y), g * 0x010101) << x << "," << y;
    }
}

// A part of the image (the visible part with "Clipping" on) is filtered
// from neighbours outside it; nothing outside it changes.
TEST(Convolve, PartOfTheImageChangesOnlyThere) {
    Buffer src, dst;
    RandomImage(src, 40, 30, 11);
    dst.Alloc({40, 30});
    dst.Box(dst.Area, 0x00ABCDEF);
    const FilterKernel k = RandomKernel(12, 50, 61, 7);
    const Rect part{5, 3, 21, 17};
    Convolution(k).Filter(src, dst, part);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x) {
            const bool inside =
                x >= part.Left && x <= part.Right && y >= part.Top && y <= part.Bottom;
            ASSERT_EQ(*dst.At(x, y), inside ? Reference(src, k, x, y) : 0x00ABCDEF)
                << x << "," << y;
        }
}

} // namespace
