// Frames of rows as a scanner delivers them, turned into the DIB the image
// decoder takes.
#pragma once

#include <cstdint>
#include <vector>

namespace kv {

// The DIB of one frame of rows as SANE delivers them, top row first.
// grey: 1 sample per pixel, else red, green, blue; depth 1 (grey only: a
// set bit is black), 8 or 16 (native byte order). Raises std::runtime_error
// for other layouts.
struct ScanFrame {
    bool Grey = true;
    int Depth = 8;
    int Width = 0;
    int Lines = 0;
    int BytesPerLine = 0;
    std::vector<std::uint8_t> Data;
};
std::vector<std::uint8_t> DibFromScanFrame(const ScanFrame& frame);

} // namespace kv
