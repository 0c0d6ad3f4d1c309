// PNG files through libpng: every colour type, bit depth and interlace is
// read; images are written as 8-bit RGB, or as a palette image when they
// have at most 256 colours.
//
// The pixel has no alpha. Load composites translucent pixels over the
// colour in the extra record's Back field; when Back is the transparency
// marker (a brush is being loaded), pixels below half opacity become the
// marker instead. Save writes pixels equal to the marker with alpha 0 when
// Back is the marker, so a brush with transparency round-trips.
#pragma once

#include <pixkit/gfxfile.h>

#include <png.h>

#include <exception>

namespace pixkit {

class PngFormat : public GFXFile {
  public:
    PngFormat() : GFXFile("PNG", "*.PNG", true) { KeepsTransparency = true; }
    std::int8_t Test(TStream* s, GFXFileDesc* d) override;
    void Load(Buffer& b, TStream* s, GFXtra32* x) override;
    void Save(Buffer& b, TStream* s, GFXtra32* x, Buffer* work) override;
    int GetImgCount(TStream*) override { return 1; }
};

// libpng reports errors by longjmp. Each step that calls libpng runs in a
// function of its own that creates no C++ objects after its setjmp and
// returns false on an error; a stream exception raised inside an I/O
// callback is kept in the stream link and raised again once libpng has
// returned.
struct PngStreamLink {
    TStream* Stream;
    std::exception_ptr Pending;
};

// Writes b's Area as an 8-bit RGB file (png_write_rgb.cpp); false, having
// written nothing, when the image is too large to be deflated in one piece
// (then libpng streams it).
bool WriteRgbPng(const Buffer& b, TStream* s);

// libpng callbacks shared by reading and writing: errors end the step (back
// to its setjmp), warnings are dropped.
[[noreturn]] void PngFail(png_structp png, png_const_charp message);
void PngQuiet(png_structp png, png_const_charp message);

} // namespace pixkit
