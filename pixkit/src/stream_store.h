// Writing large targets past the caches. A picture much larger than the
// caches is evicted before anything reads it again; streaming stores
// write it without first reading every target line into the cache,
// which halves the memory traffic of the write.
#pragma once

#include <pixkit/types.h>

#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__x86_64__)
#include <emmintrin.h>
#endif

namespace pixkit::detail {

// Targets of more pixels than this are written past the caches: they
// would not stay in them anyway, and the processor need not read every
// target line before writing it.
inline constexpr std::int64_t kStreamPixels = std::int64_t(8) << 20;

// d[0..n) = s[0..n); call StreamDone before other threads read the target.
inline void StreamPixels(Pixel* d, const Pixel* s, std::size_t n) {
#if defined(__x86_64__)
    while (n > 0 && (reinterpret_cast<std::uintptr_t>(d) & 15) != 0) {
        *d++ = *s++;
        --n;
    }
    for (; n >= 4; n -= 4, d += 4, s += 4)
        _mm_stream_si128(reinterpret_cast<__m128i*>(d),
                         _mm_loadu_si128(reinterpret_cast<const __m128i*>(s)));
#endif
    std::memcpy(d, s, n * sizeof(Pixel));
}

// Orders the streamed stores before what this thread writes next.
inline void StreamDone() {
#if defined(__x86_64__)
    _mm_sfence();
#endif
}

} // namespace pixkit::detail
