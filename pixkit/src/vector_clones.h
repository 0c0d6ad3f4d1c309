// Hot pixel loops are compiled twice on x86-64, for the baseline (SSE2) and
// for AVX2, and the loader picks the version the processor runs: the wider
// vectors halve the instructions of loops that compute rather than wait for
// memory. Other targets and compilers get the one portable version, and so
// do the sanitizer builds: their instrumented code cannot run in the
// loader's resolver, before the sanitizer has started.
#pragma once

#if defined(__x86_64__) && defined(__GNUC__) && defined(__ELF__) && !defined(__clang__) &&         \
    !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
#define PIXKIT_VECTOR_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define PIXKIT_VECTOR_CLONES
#endif
