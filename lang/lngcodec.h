// The compressed language-file format (.lng).
//
//   offset 0: N, the length of the text in bytes, 4 bytes little-endian
//   then:     the code description
//   then:     the code bits of the N symbols, most significant bit first
//
// The code is a complete canonical prefix code over byte values with code
// lengths 1 to 255. The description starts with the shortest length L0. When
// L0 is 0 the next byte is the only symbol and no code bits follow. Otherwise,
// for every length L0, L0 + 1, ... up to the longest, a count byte c and then
// the c symbols of that length in code order; it ends when the code space is
// full. Canonical assignment: the first code of the shortest length is all
// zeros, each next code is the previous one plus one, shifted left by one
// whenever the length grows.
//
// Decoding uses chained tables of 256 (length, symbol) entries indexed by an
// 8-bit window of the bit stream; a negative length -k is an escape: shift k
// bits into the window and continue in the next table (see BuildTables).
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace lng {

// Malformed compressed data.
class LngError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Texts longer than this are refused (language files are a few hundred KB).
inline constexpr std::uint32_t kMaxTextBytes = 64u << 20;

struct Code {
    std::uint8_t Symbol;
    std::uint8_t Length;
};

// A parsed code description: the codes in canonical order, or one symbol.
struct CodeDescription {
    std::vector<Code> Codes;
    int SingleSymbol = -1; // the L0 = 0 form
    std::size_t Bytes = 0; // bytes the description took
};

struct TableEntry {
    std::int8_t Length; // >= 0: bits of the code left in this table; < 0: escape
    std::uint8_t Symbol;
};

// Reads a description; raises LngError when it is cut short, over-full,
// longer than 255 bits or never completes the code space.
CodeDescription ParseDescription(const std::uint8_t* data, std::size_t size);

// The decoding tables of a description with at least two codes, 256 entries
// per table, one table after the other.
std::vector<TableEntry> BuildTables(const CodeDescription& desc);

// Code lengths for the byte frequencies (a Huffman code); symbols with
// frequency 0 get length 0. Needs at least two used symbols.
std::vector<std::uint8_t> CodeLengths(const std::vector<std::uint64_t>& freq);

// The whole file for a text.
std::vector<std::uint8_t> Pack(std::string_view text);

// The text of a whole file. Raises LngError on malformed data.
std::string Unpack(const std::uint8_t* data, std::size_t size);

} // namespace lng
