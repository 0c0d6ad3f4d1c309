// The ".rfn" font file format, shared by the reader and the font builder.
//
// File: "FONT", total size (big-endian 32), version (little-endian 32; the
// major version in the high 16 bits is 1 or 2). Then chunks: a 4-character
// identifier, a big-endian 32-bit size and the body:
//   "NAME" family name; "DESC" one per size (byte 0 height, 1 bytes per row,
//   2 first and 3 last character, 4 default spacing, 5 default space width,
//   9 baseline row); "WDTH" one width per character; "DATA" glyph masks.
// Glyph rows: bit x of a row (least significant bit of the first byte first)
// is set where the glyph has ink.
//
// Version 2 "DATA": glyphs only for characters of non-zero width, all masks
// as one bit string (bit i is bit i % 8 of byte i / 8), stored as runs and
// with every row XORed with the row before it. The body is:
//   byte 0            L, the longest code length (1..16)
//   L big-endian u16  the number of codes of each length 1..L
//   n bytes           the symbols in canonical code order (n = sum of counts)
//   zero bytes        up to a multiple of 4 from the body's start
//   code stream       big-endian 32-bit words, read most significant bit first
// Canonical codes are assigned as in JPEG: shorter codes first, consecutive
// values within a length. A symbol s < 255 stands for s zero bits and a one
// bit; 255 for 255 zero bits. Decoding stops once the position passes the
// end of the bit string.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace pixkit::rfn {

inline constexpr std::uint32_t kMaxVersion = 0x30000; // this or above: ignored
inline constexpr int kMaxCodeLength = 16;
inline constexpr int kRunSymbols = 256;
inline constexpr int kLongRun = 255;

inline std::uint32_t ChunkId(const char (&id)[5]) {
    return (std::uint32_t(std::uint8_t(id[0])) << 24) | (std::uint32_t(std::uint8_t(id[1])) << 16) |
           (std::uint32_t(std::uint8_t(id[2])) << 8) | std::uint32_t(std::uint8_t(id[3]));
}

// Decodes a version-2 "DATA" body into bits total bits of mask string
// (out is resized to (bits + 7) / 8 bytes) and undoes the row differences
// with the given stride. Returns false on a malformed table or a code
// stream that ends before the string does.
bool DecodeGlyphData(const std::uint8_t* body, std::size_t size, std::size_t bits,
                     std::size_t stride, std::vector<std::uint8_t>& out);

// Undoes the row differences: going forward, every row is XORed with the
// restored row before it.
void RestoreRows(std::vector<std::uint8_t>& masks, std::size_t stride);

} // namespace pixkit::rfn
