// Whole-image work on several threads. Large pictures are split into bands
// of rows, one per thread; the result is the same, pixel for pixel, as on
// one thread as long as each band writes only its own rows.
#pragma once

#include <cstdint>
#include <functional>

namespace pixkit {

// n threads; 0 (the default) means the PIXKIT_THREADS environment variable
// when set, else one per processor.
void SetThreadCount(int n);
// Caps the threads that work started on the calling thread may use (0: no
// cap of its own). Background work such as the browser's thumbnails keeps
// to its own thread, so it never takes the core the window needs.
void SetThisThreadCount(int n);
// The number work started on the calling thread uses, at least 1.
int ThreadCount();

// Calls fn(first, last) for bands [first, last) covering rows 0..rows-1, on
// up to ThreadCount() threads: the calling thread and helpers that wait
// between calls take bands in turn, and the call returns when all are
// done. work is the size of the job in pixels of light work (a copied or
// scaled pixel counts 1, a pixel that costs ten times as much counts 10):
// less than about a quarter of a million a thread stays on the calling
// thread, where handing it out would cost more than it saves. fn must
// write only its own rows and may be called on several threads at once.
void ForRows(int rows, std::int64_t work, const std::function<void(int first, int last)>& fn);

} // namespace pixkit
