// Windows device-independent bitmaps: the published header structures and
// the pixel decoder shared by the BMP codec, the icon reader and the
// clipboard (which hands over a header and a stream over its pixel bits).
#pragma once

#include <pixkit/buffer.h>
#include <pixkit/stream.h>

#include <cstddef>
#include <cstdint>

namespace pixkit {

// BITMAPINFOHEADER as published; all fields little-endian on disk.
struct BITMAPINFOHEADER {
    std::uint32_t biSize;
    std::int32_t biWidth;
    std::int32_t biHeight; // positive: bottom row first; negative: top row first
    std::uint16_t biPlanes;
    std::uint16_t biBitCount;
    std::uint32_t biCompression;
    std::uint32_t biSizeImage;
    std::int32_t biXPelsPerMeter;
    std::int32_t biYPelsPerMeter;
    std::uint32_t biClrUsed;
    std::uint32_t biClrImportant;
};
static_assert(sizeof(BITMAPINFOHEADER) == 40, "BITMAPINFOHEADER is 40 bytes");

struct RGBQUAD {
    std::uint8_t rgbBlue;
    std::uint8_t rgbGreen;
    std::uint8_t rgbRed;
    std::uint8_t rgbReserved;
};

// A header followed directly by its colour table or bit-field masks.
struct BITMAPINFO {
    BITMAPINFOHEADER bmiHeader;
    RGBQUAD bmiColors[1];
};

inline constexpr std::uint32_t BI_RGB = 0;
inline constexpr std::uint32_t BI_RLE8 = 1;
inline constexpr std::uint32_t BI_RLE4 = 2;
inline constexpr std::uint32_t BI_BITFIELDS = 3;

// Decodes the pixel array that starts at the stream's position, described
// by the header at bi and the colour table or masks behind it (at bi plus
// the header size; masks of a header of 52 bytes or more are its own fields
// at offset 40). A header size below 40 is a 12-byte core header converted
// to the info layout: 36 bytes, 3-byte colour entries, no 16- or 32-bit
// pixels. b is allocated to the image when empty; otherwise image pixel
// (x, y) lands on b's (x, y) and the image is clipped to b's Area.
//
// 16-bit pixels: BI_BITFIELDS uses the file's three masks, BI_RGB the 5-5-5
// layout (red bits 10-14, green 5-9, blue 0-4); each field is widened to 8
// bits by repeating its high bits. 32-bit pixels with BI_RGB, or with the
// masks 00FF0000/0000FF00/000000FF, are taken as pixel words unchanged (the
// fourth byte becomes the top byte); other 32-bit masks are applied like the
// 16-bit ones and give a zero top byte.
//
// Raises EInvalidImage for an unsupported combination or an impossible
// size, EReadError when the stream ends early (the rows decoded so far stay
// in b, the rest of the image is 0).
void BitmapFromStream(Buffer& b, const BITMAPINFO* bi, TStream* s);

// The same, reading nothing of the block at bi beyond infoSize bytes:
// colour entries beyond it keep their defaults and bit-field masks beyond
// it are taken as the BI_RGB layout (some writers leave them out); a block
// shorter than its header raises EInvalidImage.
void BitmapFromStream(Buffer& b, const BITMAPINFO* bi, std::size_t infoSize, TStream* s);

} // namespace pixkit
