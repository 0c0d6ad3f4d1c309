// The native frame format: one buffer stored losslessly, top byte included,
// with the 16-byte GFXtra32 record. Versions 0 to 4 are read, 4 is written.
#pragma once

#include <pixkit/gfxfile.h>

namespace pixkit {

class FrameFormat : public GFXFile {
  public:
    FrameFormat() : GFXFile("Tavrix Frame", "*.FRM", true) {}
    std::int8_t Test(TStream* s, GFXFileDesc* d) override;
    void Load(Buffer& b, TStream* s, GFXtra32* x) override;
    void Save(Buffer& b, TStream* s, GFXtra32* x, Buffer* work) override;
    int GetImgCount(TStream*) override { return 1; }
};

} // namespace pixkit
