// Windows metafiles (WMF, placeable or plain) and enhanced metafiles (EMF):
// record players that draw onto a Buffer with our own operations, and a
// writer that records the image as one bitmap record.
#pragma once

#include <pixkit/gfxfile.h>

#include <cstdint>
#include <vector>

namespace pixkit {

class WmfFormat : public GFXFile {
  public:
    WmfFormat() : GFXFile("Windows Metafile", "*.WMF", true) { PlaysRecords = true; }
    std::int8_t Test(TStream* s, GFXFileDesc* d) override;
    void Load(Buffer& b, TStream* s, GFXtra32* x) override;
    void Save(Buffer& b, TStream* s, GFXtra32* x, Buffer* work) override;
    int GetImgCount(TStream*) override { return 1; }
};

class EmfFormat : public GFXFile {
  public:
    EmfFormat() : GFXFile("Enhanced Metafile", "*.EMF", true) { PlaysRecords = true; }
    std::int8_t Test(TStream* s, GFXFileDesc* d) override;
    void Load(Buffer& b, TStream* s, GFXtra32* x) override;
    void Save(Buffer& b, TStream* s, GFXtra32* x, Buffer* work) override;
    int GetImgCount(TStream*) override { return 1; }
};

// The largest natural size we render, per side; larger pictures are
// refused with EInvalidImage (Test gives -1) rather than clamped, so a
// damaged header cannot make us allocate gigabytes.
inline constexpr std::int64_t kMaxMetaSide = 16384;
// The most pixels we render a picture at. A larger natural size is drawn
// scaled down to fit (a vector picture loses nothing by it), so a tiny file
// claiming a huge frame costs no more than this.
inline constexpr std::int64_t kMaxMetaPixels = std::int64_t(1) << 24;
// Shrinks w x h (both >= 1) to fit kMaxMetaPixels, keeping the aspect;
// returns the factor applied to each side (1 when it fits).
Pair<double> FitMetaPixels(std::int64_t& w, std::int64_t& h);
// The largest metafile we read into memory.
inline constexpr std::int64_t kMaxMetaBytes = std::int64_t(1) << 28;

// Reads the rest of the stream (at most kMaxMetaBytes) into memory.
std::vector<std::uint8_t> ReadWholeStream(TStream* s);
// Allocates an empty b to w x h, then paints (0, 0)..(w - 1, h - 1) white,
// clipped to b: the paper the picture is drawn on. The rest of a larger
// existing buffer is cleared to 0.
void PreparePaper(Buffer& b, int w, int h);

// The writers: one bitmap record (24-bit DIB) of b's Area.
void WriteWmf(Buffer& b, TStream* s);
void WriteEmf(Buffer& b, TStream* s);

} // namespace pixkit
