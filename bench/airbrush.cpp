// Airbrush speed: one step at the bar's largest radius (999) on an image
// that holds the whole disc, against pixman compositing a solid colour OVER
// the same disc through an a8 mask with the step's mean fall-off, in the
// same run. Items are disc pixels.
#include "paint/airbrush.h"
#include "paint/brush.h"

#include <pixkit/buffer.h>

#include <benchmark/benchmark.h>
#include <pixman.h>

#include <cmath>
#include <cstdint>
#include <vector>

using namespace pixkit;

namespace {

constexpr int kRadius = 999, kSide = 2 * kRadius + 1, kMargin = 8;
constexpr int kIntensity = 10;
constexpr Pixel kColour = 0x00D02060;

std::int64_t DiscPixels() {
    std::vector<int> half;
    kv::DiscHalfWidths(kRadius, half);
    std::int64_t n = 0;
    for (int d = -kRadius; d <= kRadius; ++d)
        n += 2 * half[static_cast<std::size_t>(std::abs(d))] + 1;
    return n;
}

void Image(Buffer& image) {
    image.Alloc(Pair<int>{kSide + 2 * kMargin, kSide + 2 * kMargin});
    image.Box(image.Area, 0x00808080);
}

void AirbrushPixkit(benchmark::State& state) {
    Buffer image;
    Image(image);
    kv::PaintRandom rnd(1);
    for (auto _ : state) {
        kv::AirbrushStep(image, {kMargin + kRadius, kMargin + kRadius}, kRadius, kIntensity,
                         kColour, rnd);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * DiscPixels());
}
BENCHMARK(AirbrushPixkit)->Name("Airbrush999/pixkit")->Unit(benchmark::kMillisecond);

// The mask: the disc's rows, each pixel at the step's alpha without noise.
std::vector<std::uint8_t> Mask(int& stride) {
    stride = (kSide + 3) & ~3;
    std::vector<std::uint8_t> mask(static_cast<std::size_t>(stride) * kSide, 0);
    std::vector<int> half;
    kv::DiscHalfWidths(kRadius, half);
    const int e = kv::AirbrushStrength(kIntensity);
    for (int dy = -kRadius; dy <= kRadius; ++dy) {
        const int h = half[static_cast<std::size_t>(std::abs(dy))];
        const double span = std::trunc(std::sqrt(double(dy) * dy + double(h) * h));
        std::uint8_t* row = mask.data() + static_cast<std::size_t>(dy + kRadius) * stride;
        for (int dx = -h; dx <= h; ++dx) {
            const double dist = std::sqrt(double(dy) * dy + double(dx) * dx);
            const int a = e - static_cast<int>(std::sqrt(dist / span) * e);
            row[kRadius + dx] = static_cast<std::uint8_t>(a < 0 ? 0 : (a > 255 ? 255 : a));
        }
    }
    return mask;
}

void AirbrushPixman(benchmark::State& state) {
    Buffer image;
    Image(image);
    int stride = 0;
    std::vector<std::uint8_t> bits = Mask(stride);
    pixman_image_t* dst =
        pixman_image_create_bits(PIXMAN_x8r8g8b8, image.Width(), image.Height(),
                                 reinterpret_cast<std::uint32_t*>(image.Data), image.Pitch * 4);
    pixman_image_t* mask = pixman_image_create_bits(
        PIXMAN_a8, kSide, kSide, reinterpret_cast<std::uint32_t*>(bits.data()), stride);
    const pixman_color_t colour{0xD0D0, 0x2020, 0x6060, 0xFFFF};
    pixman_image_t* solid = pixman_image_create_solid_fill(&colour);
    for (auto _ : state) {
        pixman_image_composite32(PIXMAN_OP_OVER, solid, mask, dst, 0, 0, 0, 0, kMargin, kMargin,
                                 kSide, kSide);
        benchmark::ClobberMemory();
    }
    pixman_image_unref(solid);
    pixman_image_unref(mask);
    pixman_image_unref(dst);
    state.SetItemsProcessed(state.iterations() * DiscPixels());
}
BENCHMARK(AirbrushPixman)->Name("Airbrush999/pixman")->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
