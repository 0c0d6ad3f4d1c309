// Images on the desktop's clipboard. kv offers its image as "image/bmp" (a
// BMP file around a 32-bit DIB, rows bottom-up) and as "image/png" for
// programs that take only that; it reads "image/bmp" through the DIB
// decoder and converts any other image type the clipboard offers.
#pragma once

#include <pixkit/buffer.h>

namespace kv {

inline constexpr char kBmpMime[] = "image/bmp";
inline constexpr char kPngMime[] = "image/png";

// Raises std::bad_alloc when the memory for the data is not there.
void ExportToClipboard(const pixkit::Buffer& image);

// True when the clipboard holds an image of any type.
bool ClipboardOffersImage();

// Decodes the clipboard's image into out. Raises EInvalidImage when there is
// none or it cannot be read, EReadError when its rows end early.
void ImportFromClipboard(pixkit::Buffer& out);

} // namespace kv
