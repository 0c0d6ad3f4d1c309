#include "effects/ffthreads.h"

#include <pixkit/threads.h>

#include <algorithm>
#include <cstdint>

namespace kv::ff {

void RowsOnThreads(FilterStep& step, int top, int bottom) {
    top = std::max(top, 0);
    bottom = std::min(bottom, step.Height() - 1);
    if (!step.Parallel() || top > bottom) {
        step.Rows(top, bottom);
        return;
    }
    // An instruction costs about as much as a light pixel operation.
    const std::int64_t work = std::int64_t(step.Width()) * (bottom - top + 1) * step.Cost();
    pixkit::ForRows(bottom - top + 1, work,
                    [&](int first, int last) { step.BandRows(top + first, top + last - 1); });
}

} // namespace kv::ff
