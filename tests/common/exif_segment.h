// An APP1 segment with an EXIF Orientation tag o (little-endian for even o,
// big-endian for odd), followed by an XMP segment that must not hide it; to
// go right after a JPEG's SOI marker.
#pragma once

#include <string>

namespace testref {

inline std::string ExifSegment(int o) {
    const bool le = o % 2 == 0;
    auto u16 = [le](int v) {
        return le ? std::string{char(v), char(v >> 8)} : std::string{char(v >> 8), char(v)};
    };
    auto u32 = [&](int v) { return le ? u16(v) + u16(v >> 16) : u16(v >> 16) + u16(v); };
    std::string tiff = (le ? "II" : "MM") + u16(42) + u32(8) + u16(2);
    tiff += u16(0x010F) + u16(2) + u32(4) + std::string("Cam", 4); // Make
    tiff += u16(0x0112) + u16(3) + u32(1) + u16(o) + u16(0);       // Orientation
    tiff += u32(0);
    const std::string body = std::string("Exif\0\0", 6) + tiff;
    const int len = int(body.size()) + 2;
    // An XMP segment after it must not hide the tag.
    const std::string xmp = "http://ns.adobe.com/xap/1.0/";
    return "\xFF\xE1" + std::string{char(len >> 8), char(len)} + body + "\xFF\xE1" +
           std::string{0, char(xmp.size() + 3)} + xmp + std::string(1, '\0');
}

} // namespace testref
