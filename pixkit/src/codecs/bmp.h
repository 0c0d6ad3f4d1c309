// The Windows bitmap file format: reads what BitmapFromStream decodes,
// writes uncompressed 24-bit files.
#pragma once

#include <pixkit/gfxfile.h>

namespace pixkit {

class BmpFormat : public GFXFile {
  public:
    BmpFormat() : GFXFile("Windows Bitmap", "*.BMP", true) {}
    std::int8_t Test(TStream* s, GFXFileDesc* d) override;
    void Load(Buffer& b, TStream* s, GFXtra32* x) override;
    void Save(Buffer& b, TStream* s, GFXtra32* x, Buffer* work) override;
    int GetImgCount(TStream*) override { return 1; }
};

} // namespace pixkit
