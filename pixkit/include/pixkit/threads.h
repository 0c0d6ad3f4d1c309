// How many threads whole-image work (Scale, XFormLin) may use. Large
// pictures are split into bands of rows, one per thread; the result is the
// same, pixel for pixel, as on one thread.
#pragma once

namespace pixkit {

// n threads; 0 (the default) means the PIXKIT_THREADS environment variable
// when set, else one per processor.
void SetThreadCount(int n);
// The number in use, at least 1.
int ThreadCount();

} // namespace pixkit
