// Splitting whole-image work into bands of rows run on several threads.
#pragma once

#include <cstdint>
#include <functional>

namespace pixkit::detail {

// Calls fn(first, last) for bands [first, last) covering rows 0..rows-1,
// on up to ThreadCount() threads (the caller's thread takes the first band)
// and returns when all are done. fn must write only its own rows. Work of
// fewer than about a quarter of a million pixels a thread stays on the
// calling thread, where starting threads would cost more than it saves.
void ForBands(int rows, std::int64_t pixels, const std::function<void(int, int)>& fn);

} // namespace pixkit::detail
