// The convolution and Filter Factory filters split into bands on several
// threads give exactly what one thread gives; programs whose pixels depend
// on the pixels before them (rnd, put and get) stay on one thread.
#include "effects/convolve.h"
#include "effects/ffcompile.h"
#include "effects/ffthreads.h"

#include <pixkit/threads.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr int kW = 1001, kH = 703;

struct ThreadCountGuard {
    ~ThreadCountGuard() { pixkit::SetThreadCount(0); }
};

std::vector<std::uint32_t> RandomPixels(std::size_t n, std::uint32_t seed) {
    std::mt19937 rng(seed);
    std::vector<std::uint32_t> v(n);
    for (auto& p : v) p = rng();
    return v;
}

// The source as a view with an odd pitch, the target inside a larger block.
TEST(FilterThreads, ConvolutionBandsGiveTheSameResultAsOneThread) {
    ThreadCountGuard restore;
    pixkit::Buffer block;
    block.Alloc({kW + 6, kH + 4});
    const auto noise = RandomPixels(std::size_t(block.Width()) * block.Height(), 3);
    for (int y = 0; y < block.Height(); ++y)
        for (int x = 0; x < block.Width(); ++x)
            *block.At(x, y) = noise[std::size_t(y) * block.Width() + x];
    const pixkit::Buffer src(block, pixkit::Rect{3, 2, kW + 2, kH + 1}, true);
    kv::FilterKernel sharpen, ring;
    sharpen.Cells = {0,  0, 0, 0,  0,  0,  -1, -1, -1, 0, 0, -1, 17,
                     -1, 0, 0, -1, -1, -1, 0,  0,  0,  0, 0, 0};
    for (std::size_t i = 0; i < sharpen.Cells.size(); ++i)
        ring.Cells[i] = std::int16_t(i * 37 % 19 - 9);
    ring.Divisor = 7;
    ring.Bias = 11;
    const pixkit::Rect area{src.Area.Left + 5, src.Area.Top + 1, src.Area.Right - 2,
                            src.Area.Bottom};
    for (const kv::FilterKernel& k : {sharpen, ring}) {
        const kv::Convolution filter(k);
        pixkit::Buffer one, many;
        one.Alloc({kW + 6, kH + 4});
        many.Alloc({kW + 6, kH + 4});
        one.Box(one.Area, 5);
        many.Box(many.Area, 5);
        pixkit::SetThreadCount(1);
        filter.Filter(src, one, area);
        pixkit::SetThreadCount(5);
        filter.Filter(src, many, area);
        for (int y = 0; y < one.Height(); ++y)
            ASSERT_EQ(0, std::memcmp(one.At(0, y), many.At(0, y), std::size_t(one.Width()) * 4))
                << "size " << filter.Size() << " row " << y;
    }
}

TEST(FilterThreads, FilterFactoryBandsGiveTheSameResultAsOneThread) {
    ThreadCountGuard restore;
    const auto source = RandomPixels(std::size_t(kW + 3) * kH, 9);
    const kv::ff::Sliders sliders{10, 20, 30, 40, 50, 60, 70, 80};
    const struct {
        std::string Red, Green, Blue;
        bool Parallel;
    } cases[] = {
        {"src(x+3,y-2,2)*ctl(0)/d", "m*g/M+x", "sin(d+y)+cos(x)-i+u*v", true},
        {"rnd(0,r)", "g", "b", false},
        {"put(r+get(0),0)", "get(0)", "b", false},
    };
    for (const auto& c : cases) {
        kv::ff::Channels programs;
        int channel = 0;
        for (const std::string* text : {&c.Red, &c.Green, &c.Blue}) {
            const kv::ff::Compiled compiled = kv::ff::Compile(*text, channel);
            ASSERT_TRUE(compiled.Ok) << *text;
            programs[std::size_t(channel++)] = compiled.Code;
        }
        std::vector<std::uint32_t> one(std::size_t(kW) * kH), many(one.size());
        const auto run = [&](std::vector<std::uint32_t>& out, int threads) {
            pixkit::SetThreadCount(threads);
            kv::ff::RandomSeed() = 77;
            kv::ff::FilterStep step(programs, sliders, source.data(), kW + 3, kW, kH,
                                    {out.data(), kW});
            EXPECT_EQ(step.Parallel(), c.Parallel) << c.Red;
            // In the dialog's bands, the last one shorter than the others.
            for (int top = 0; top < kH; top += 64) kv::ff::RowsOnThreads(step, top, top + 63);
        };
        run(one, 1);
        run(many, 5);
        EXPECT_EQ(one, many) << c.Red;
    }
}

} // namespace
