// Factories of the file formats, one per codec source. The registry calls
// them in its fixed order; a format whose codec is not part of the library
// has no factory (the weak reference stays null) and is not registered.
#pragma once

#include <pixkit/gfxfile.h>

#include <memory>

namespace pixkit {

#define PIXKIT_FORMAT_FACTORY(name) __attribute__((weak)) std::unique_ptr<GFXFile> name()

PIXKIT_FORMAT_FACTORY(NewFrameFormat); // codecs/frm.cpp
PIXKIT_FORMAT_FACTORY(NewBmpFormat);   // codecs/bmp.cpp
PIXKIT_FORMAT_FACTORY(NewPcxFormat);   // codecs/pcx.cpp
PIXKIT_FORMAT_FACTORY(NewJpegFormat);  // codecs/jpeg.cpp
PIXKIT_FORMAT_FACTORY(NewIffFormat);   // codecs/iff.cpp
PIXKIT_FORMAT_FACTORY(NewGifFormat);   // codecs/gif.cpp
PIXKIT_FORMAT_FACTORY(NewWmfFormat);   // codecs/metafile.cpp
PIXKIT_FORMAT_FACTORY(NewEmfFormat);   // codecs/metafile.cpp
PIXKIT_FORMAT_FACTORY(NewIcoFormat);   // codecs/ico.cpp
PIXKIT_FORMAT_FACTORY(NewPngFormat);   // codecs/png_read.cpp

#undef PIXKIT_FORMAT_FACTORY

} // namespace pixkit
