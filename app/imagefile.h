// Opening an image file into a slot through the format registry of pixkit.
// Errors are reported to the user as "FormNotSup" (no format recognises the
// data) or "ErrOpenImg" (anything else), with the caption "Err".
#pragma once

#include "documents.h"

#include <string>

namespace kv {

// Loads image 1 of the file into slot; on success the slot takes the pixels,
// the file name, image number 1, a cleared changed counter and file state 0.
// On failure the slot is unchanged.
bool OpenImageIntoSlot(UDBuffer& slot, const std::string& name);

} // namespace kv
