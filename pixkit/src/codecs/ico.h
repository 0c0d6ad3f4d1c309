// Windows icon files (and cursors, which share the layout): a directory of
// images, each a DIB with an AND mask or a PNG stream. The reader decodes
// the entry with the most pixels, then the most colours. Read only.
#pragma once

#include <pixkit/gfxfile.h>

#include <cstddef>
#include <cstdint>

namespace pixkit {

class IcoFormat : public GFXFile {
  public:
    IcoFormat() : GFXFile("Icon", "*.ICO", false) {}
    std::int8_t Test(TStream* s, GFXFileDesc* d) override;
    void Load(Buffer& b, TStream* s, GFXtra32* x) override;
    int GetImgCount(TStream*) override { return 1; }
};

// The size of a PNG stream from its IHDR; false when data is not a PNG.
bool PngSize(const std::uint8_t* data, std::size_t n, std::int64_t& w, std::int64_t& h);
// Decodes a PNG stream into b as the icon reader does: allocated to the
// image when empty, else clipped to b; fully transparent pixels are black,
// other alpha is ignored, top bytes are 0. Raises EInvalidImage for data
// libpng rejects or sizes beyond kMaxIconSide.
void PngIconToBuffer(Buffer& b, const std::uint8_t* data, std::size_t n);

// The largest icon side we decode (PNG entries of real icons are 256).
inline constexpr std::int64_t kMaxIconSide = 16384;

} // namespace pixkit
