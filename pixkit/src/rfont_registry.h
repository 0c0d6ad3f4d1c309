// The raster-font registry: scanning ".rfn" files and the "fonts.bin" cache.
#pragma once

#include <pixkit/rfont.h>

#include <cstdint>
#include <string>
#include <vector>

namespace pixkit::rfn {

struct Registry {
    std::vector<RFontFile> files;
    std::vector<RFontEntry> entries;
};

// Reads a whole font file into memory; false when it cannot be read or is
// implausibly large.
bool ReadWholeFile(const std::string& path, std::vector<std::uint8_t>& out);

// The major version of a font file's header, or 0 when the header is not
// one we read.
int FileVersion(const std::vector<std::uint8_t>& file);

// Appends the sizes described by one font file; false (and nothing added)
// when the file's chunk structure is damaged.
bool ScanFontFile(const std::vector<std::uint8_t>& file, int fileIndex,
                  std::vector<RFontEntry>& entries);

// The registry of dir: the cache when it matches the directory, otherwise a
// new scan, which is then written to the cache. rebuilt tells which.
Registry LoadRegistry(const std::string& dir, bool* rebuilt = nullptr);

// The cache file's contents for a registry, and back. ParseCache returns
// false for anything incomplete or inconsistent.
std::vector<std::uint8_t> SerializeCache(const Registry& reg);
bool ParseCache(const std::vector<std::uint8_t>& bytes, Registry& reg);

} // namespace pixkit::rfn
