// Registers the JPEG format (see jpeg.h for the codec's parts).
#include "jpeg.h"
#include "formats.h"

namespace pixkit {

std::unique_ptr<GFXFile> NewJpegFormat() {
    return std::make_unique<JpegFormat>();
}

} // namespace pixkit
