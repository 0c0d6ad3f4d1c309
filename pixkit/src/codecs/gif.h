// GIF87a/GIF89a: reads any one image of a file, writes single-image GIF87a
// files with a palette of at most 256 colours chosen by box splitting.
#pragma once

#include <pixkit/gfxfile.h>

namespace pixkit {

class GifFormat : public GFXFile {
  public:
    GifFormat() : GFXFile("CompuServe's GIF", "*.GIF", true) {}

    // Describes the image numbered d->Image (from 1; the first without d).
    std::int8_t Test(TStream* s, GFXFileDesc* d) override;
    // Loads the image numbered x->Image (the first without x) at (0, 0).
    void Load(Buffer& b, TStream* s, GFXtra32* x) override;
    // Requires work; leaves each pixel's palette index in its top byte.
    void Save(Buffer& b, TStream* s, GFXtra32* x, Buffer* work) override;
    int GetImgCount(TStream* s) override;
};

} // namespace pixkit
