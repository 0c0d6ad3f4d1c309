// Allocation for the decoders: a buffer whose pixels start as zero (black),
// so rows a damaged file never delivers hold no stale memory.
#pragma once

#include <pixkit/buffer.h>

namespace pixkit {

// Buffer::Alloc with every pixel 0; b is empty when the memory is not there.
void AllocCleared(Buffer& b, Pair<int> size);

} // namespace pixkit
