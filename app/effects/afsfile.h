// Filter Factory definitions and their source files (.afs, text).
//
// Written with CR LF: "%RGB-1.0", the eight slider values, the red, green,
// blue and alpha expressions each followed by an empty line, Category,
// Title, Author and Copyright each followed by an empty line, then
// "n: caption" for n = 1..8, each followed by an empty line. An expression
// is written one memo line per file line (empty memo lines are left out:
// an empty line ends the expression); a line that goes on in the next one
// ends in a blank, since reading joins the lines without separators.
//
// Read with lines ending at CR, LF or CR LF; a line over 1023 characters
// counts as several. The whole file is checked before anything is taken:
// a wrong first line, a slider line that is not exactly one integer, or a
// caption line without ":" refuses the file as a whole.
#pragma once

#include "effects/ffcompile.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kv::ff {

inline constexpr int kMaxLine = 1023;

struct Definition {
    // Red, green, blue, and the alpha block, which is carried from load to
    // save but neither shown nor run.
    std::array<std::string, 4> Expressions{"r", "g", "b", ""};
    std::array<std::int32_t, kSliders> Sliders{};
    std::array<std::string, kSliders> Captions{};
    std::string Category, Title, Author, Copyright;

    bool operator==(const Definition&) const = default;
};

std::string EncodeAfs(const Definition& definition);
// Nothing for a file that is not a valid source file.
std::optional<Definition> DecodeAfs(std::string_view text);

enum class AfsError { None, CantOpen, NotValid };
// Reads path; on an error definition is left as it was.
AfsError ReadAfsFile(const std::string& path, Definition& definition);
// Through a temporary file and a rename; false when it cannot be written.
bool WriteAfsFile(const std::string& path, const Definition& definition);

} // namespace kv::ff
