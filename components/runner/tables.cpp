#include "tables.h"

#include <climits>
#include <cmath>

namespace kvc {

void MakeAngleTables(std::int32_t (&sine)[kSinEntries], std::int32_t (&tangent)[kTanEntries]) {
    const double turn = 2 * M_PI / 1024;
    for (int i = 0; i < kSinEntries; ++i)
        sine[i] = static_cast<std::int32_t>(std::trunc(512 * std::sin(turn * i)));
    // Exact rounded tangents; the two poles (and values beyond 32 bits)
    // are clamped rather than left to wrap.
    const double limit = static_cast<double>(INT32_MAX);
    for (int k = 0; k < kTanEntries; ++k) {
        const double t = std::round(1024 * std::tan(turn * k));
        if (k == 256 || k == 768)
            tangent[k] = k == 256 ? INT32_MAX : -INT32_MAX;
        else
            tangent[k] = static_cast<std::int32_t>(std::fmax(-limit, std::fmin(limit, t)));
    }
}

} // namespace kvc
