// Which vector instructions pixkit's hot loops use. Each such loop has a
// portable version (SSE2 on x86-64, plain C++ elsewhere) and, on x86-64, an
// AVX2 version; the choice is made at run time from what the processor runs.
// Both give the same pixels; lowering the level is for tests that compare
// the two and for measuring what the wider vectors bring.
#pragma once

namespace pixkit {

enum class VectorLevel { Portable = 0, Avx2 = 1 };

// The level in use: the best the processor runs, lowered by
// PIXKIT_SIMD=portable in the environment or by LimitVectorLevel.
VectorLevel ActiveVectorLevel();

// Uses at most `level` from now on (never more than the processor runs);
// LimitVectorLevel(VectorLevel::Avx2) undoes an earlier limit.
void LimitVectorLevel(VectorLevel level);

} // namespace pixkit
