// The JPEG codec's hand-written AVX2 loops. Each gives exactly the results
// of the portable code it stands in for; the callers choose by
// ActiveVectorLevel(), so tests can run both.
#pragma once

#include "vector_dispatch.h"

#include <cstdint>

namespace pixkit::jpeg {

// Callers test PIXKIT_HAS_AVX2_TARGET before they call these.
inline bool UseAvx2() {
    return ActiveVectorLevel() == VectorLevel::Avx2;
}
// InverseDCT of jpeg.h.
void InverseDCTAvx2(const std::int32_t* coef, std::uint8_t* out, int stride);

} // namespace pixkit::jpeg
