// The JPEG codec's hand-written AVX2 loops. Each gives exactly the results
// of the portable code it stands in for; the callers choose by
// ActiveVectorLevel(), so tests can run both.
#pragma once

#include "vector_dispatch.h"

#include <pixkit/types.h>

#include <cstdint>

namespace pixkit::jpeg {

// Callers test PIXKIT_HAS_AVX2_TARGET before they call these.
inline bool UseAvx2() {
    return ActiveVectorLevel() == VectorLevel::Avx2;
}
// InverseDCT of jpeg.h.
void InverseDCTAvx2(const std::int32_t* coef, std::uint8_t* out, int stride);
// The decoder's YCbCr to RGB conversion (jpeg_output.cpp), and its
// portable version, which the AVX2 one calls for the last pixels.
void ConvertYCbCrAvx2(const std::uint8_t* y, const std::uint8_t* cb, const std::uint8_t* cr,
                      Pixel* out, int n);
void ConvertYCbCrPortable(const std::uint8_t* y, const std::uint8_t* cb, const std::uint8_t* cr,
                          Pixel* out, int n);
// The encoder's forward DCT and quantization (jpeg_encode.cpp) in one: the
// quantized block and a bit per non-zero coefficient in natural order.
// ForwardDCT of jpeg.h. The encoder's blocks (in, out, y, cb, cr, dct,
// recip) are 32-byte aligned.
void ForwardDCTAvx2(const std::int32_t* in, std::int32_t* out);
// The encoder's colour conversion of 8 x 8 pixels (jpeg_encode.cpp).
void ConvertBlockAvx2(const Pixel* p, int pitch, std::int32_t* y, std::int32_t* cb,
                      std::int32_t* cr);
std::uint64_t ForwardDctQuantizeAvx2(const std::int32_t* in, const float* recip, std::int32_t* out);

} // namespace pixkit::jpeg
