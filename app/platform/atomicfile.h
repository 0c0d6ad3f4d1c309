// Saving a file so that a failure leaves an existing file as it was: the
// bytes go to a temporary file beside path, which is then renamed over it.
// A replaced file keeps its permissions; a new one gets the usual ones.
#pragma once

#include <cstddef>
#include <string>

namespace kv {

// False when anything fails; no temporary file is left behind.
bool WriteFileAtomically(const std::string& path, const void* data, std::size_t size);

} // namespace kv
