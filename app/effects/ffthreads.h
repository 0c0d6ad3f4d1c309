// The Filter Factory's filter step on several threads.
#pragma once

#include "effects/ffilter.h"

namespace kv::ff {

// step.Rows(top, bottom), split into bands run on pixkit's threads when
// the programs allow it (FilterStep::Parallel), with the same result.
void RowsOnThreads(FilterStep& step, int top, int bottom);

} // namespace kv::ff
