// Device-independent bitmaps in memory, as the clipboard and the scanner
// exchange them: a BITMAPINFOHEADER, its colour table and the pixel rows.
#pragma once

#include <pixkit/buffer.h>

#include <cstdint>
#include <vector>

namespace kv {

inline constexpr std::size_t kDibHeaderSize = 40;
inline constexpr std::size_t kBmpFileHeaderSize = 14;

// A 40-byte header (width, height, 1 plane, 32 bits, other fields 0)
// followed by the rows from the bottom one up, each the image's pixel words
// as they are. Raises std::bad_alloc when the memory is not there.
std::vector<std::uint8_t> DibFromImage(const pixkit::Buffer& image);

// The same DIB as a BMP file: the 14-byte file header in front.
std::vector<std::uint8_t> BmpFileFromDib(const std::vector<std::uint8_t>& dib);

// Decodes a DIB (header, colour table, pixels) into out, through
// BitmapFromStream. The pixels start after the header and the colour table
// (its length follows from the header); their size is the header's image
// size or, when that is 0, the row size times the height, cut to the bytes
// there are. Raises EInvalidImage for a block too short for its header, a
// 12-byte core header when coreAllowed is false, or data BitmapFromStream
// refuses; EReadError when the rows end early (out keeps what was read).
enum class CoreHeader { Allowed, Refused };
void ImageFromDib(pixkit::Buffer& out, const std::uint8_t* dib, std::size_t size, CoreHeader core);

// The DIB inside a BMP file: the bytes after the 14-byte file header, or
// the bytes themselves when they do not start with "BM".
std::vector<std::uint8_t> DibFromBmpFile(const std::vector<std::uint8_t>& bytes);

} // namespace kv
