// The 5 x 5 kernel of the convolution benchmarks, with negatives and a bias;
// bench/peers/opencv_filter.py holds the same numbers.
#pragma once

#include "effects/convolve.h"

namespace benchpeer {

inline kv::FilterKernel Kernel5x5() {
    kv::FilterKernel k;
    const std::int16_t cells[25] = {1,  2, 3, 2, 1,  2, 4, -6, 4, 2, 3, -6, 40,
                                    -6, 3, 2, 4, -6, 4, 2, 1,  2, 3, 2, 1};
    for (int i = 0; i < 25; ++i) k.Cells[std::size_t(i)] = cells[i];
    k.Divisor = 64;
    k.Bias = 5;
    return k;
}

} // namespace benchpeer
