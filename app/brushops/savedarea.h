// The image pixels under a live preview of a brush tool: saved before the
// preview is drawn, put back when it goes.
#pragma once

#include "paint/stamper.h"

#include <pixkit/buffer.h>

namespace kv {

class SavedArea {
  public:
    // Keeps the part of r inside the surface's image (a previous save is
    // dropped); false when nothing of r lies inside.
    bool Save(PaintSurface& surface, pixkit::Rect r);
    // Puts the kept pixels back, once, and has them repainted.
    void PutBack(PaintSurface& surface);

  private:
    pixkit::Buffer saved_;
    pixkit::Pair<int> at_{0, 0};
    bool kept_ = false;
};

} // namespace kv
