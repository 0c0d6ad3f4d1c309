// How tall the effect dialogs make their bands of rows. The dialogs run a
// filter band by band, taking input between bands; every band also has a
// fixed cost (handing it to the threads, reading the rows around it). A
// band that took under a tenth of the input interval is followed by one
// twice as tall, up to kMostBandRows, so that a fast filter pays that cost
// less often while a slow one keeps its bands, and Stop its response.
#pragma once

#include <algorithm>
#include <cstdint>

namespace kv {

inline constexpr int kMostBandRows = 512;

inline int NextBandRows(int rows, std::int64_t tookMs, std::int64_t pollMs) {
    return tookMs * 10 < pollMs ? std::min(2 * rows, std::max(rows, kMostBandRows)) : rows;
}

} // namespace kv
