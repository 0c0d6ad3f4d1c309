// pixman's scaling as a peer in the benchmarks: src drawn into all of dst
// with the given filter, one composite per iteration.
#pragma once

#include <pixkit/buffer.h>

#include <benchmark/benchmark.h>
#include <pixman.h>

#include <cstdint>

namespace benchpeer {

inline pixman_image_t* Wrap(pixkit::Buffer& b) {
    return pixman_image_create_bits(PIXMAN_x8r8g8b8, b.Width(), b.Height(),
                                    reinterpret_cast<std::uint32_t*>(b.Data), b.Pitch * 4);
}

inline void SetScale(pixman_image_t* s, pixkit::Buffer& src, pixkit::Buffer& dst,
                     pixman_filter_t filter) {
    pixman_transform_t t;
    pixman_transform_init_scale(&t, pixman_double_to_fixed(double(src.Width()) / dst.Width()),
                                pixman_double_to_fixed(double(src.Height()) / dst.Height()));
    pixman_image_set_transform(s, &t);
    pixman_image_set_filter(s, filter, nullptr, 0);
    // Padding lets the bilinear filter take its fast path at the edges.
    pixman_image_set_repeat(s, filter == PIXMAN_FILTER_BILINEAR ? PIXMAN_REPEAT_PAD
                                                                : PIXMAN_REPEAT_NONE);
}

// With fresh set, dst is allocated anew in every iteration, as a command
// that makes a new picture must.
inline void PixmanScale(benchmark::State& state, pixkit::Buffer& src, pixkit::Buffer& dst,
                        pixman_filter_t filter, std::int64_t items, bool fresh = false) {
    pixman_image_t* s = Wrap(src);
    SetScale(s, src, dst, filter);
    const pixkit::Pair<int> size{dst.Width(), dst.Height()};
    pixman_image_t* d = Wrap(dst);
    for (auto _ : state) {
        if (fresh) {
            pixman_image_unref(d);
            dst.Alloc(size);
            d = Wrap(dst);
        }
        pixman_image_composite32(PIXMAN_OP_SRC, s, nullptr, d, 0, 0, 0, 0, 0, 0, size.x, size.y);
        benchmark::ClobberMemory();
    }
    pixman_image_unref(s);
    pixman_image_unref(d);
    state.SetItemsProcessed(state.iterations() * items);
}

} // namespace benchpeer
