// Compiling one loop body twice, for the portable instruction set and for
// AVX2, and choosing between them on every call by ActiveVectorLevel().
//
//   PIXKIT_VECTOR_BODY void RowBody(Pixel* d, const Pixel* s, int n) { ... }
//   PIXKIT_VECTOR_DISPATCH(Row, (Pixel* d, const Pixel* s, int n), RowBody, (d, s, n))
//
// defines Row(d, s, n). The body is inlined into both versions, so the
// compiler vectorises it once with SSE2 and once with AVX2 from the same
// source; hand-written intrinsics test PIXKIT_HAS_AVX2_TARGET instead.
// Unlike the loader's function clones this works under the sanitizers and
// can be forced to the portable path (PIXKIT_SIMD=portable, or
// LimitVectorLevel) so tests can compare the two bit for bit.
#pragma once

#include <pixkit/vector_level.h>

#define PIXKIT_VECTOR_BODY static inline __attribute__((always_inline))

#if defined(__x86_64__) && defined(__GNUC__)
#define PIXKIT_HAS_AVX2_TARGET 1
#define PIXKIT_AVX2_TARGET __attribute__((target("avx2")))
#define PIXKIT_VECTOR_DISPATCH(name, params, body, args)                                           \
    static void name##Portable params {                                                            \
        body args;                                                                                 \
    }                                                                                              \
    PIXKIT_AVX2_TARGET static void name##Avx2 params {                                             \
        body args;                                                                                 \
    }                                                                                              \
    void name params {                                                                             \
        if (::pixkit::ActiveVectorLevel() == ::pixkit::VectorLevel::Avx2)                          \
            name##Avx2 args;                                                                       \
        else                                                                                       \
            name##Portable args;                                                                   \
    }
#else
#define PIXKIT_HAS_AVX2_TARGET 0
#define PIXKIT_VECTOR_DISPATCH(name, params, body, args)                                           \
    void name params {                                                                             \
        body args;                                                                                 \
    }
#endif
