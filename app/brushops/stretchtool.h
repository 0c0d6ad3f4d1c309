// Brush > Stretch: the user sizes the brush with the mouse. The first click
// fixes the brush's top-left pixel where the brush sits and moves the
// pointer to its bottom-right pixel; moving shows the stretched brush over
// the image (the view draws it; the image stays as it is); the second click
// makes it the brush. Left of or above the first pixel the brush comes out
// mirrored.
#pragma once

#include "tools/icon.h"

#include <pixkit/buffer.h>

#include <cstdint>

namespace kv {

class P_stretch_brush : public P_icon {
  public:
    P_stretch_brush();
    void Show() override;
    void Hide() override;
    void Press() override;
    void Activate() override;
    void Deactivate(P_icon* next) override;

    // The new signed width and height for the pointer at x and y.
    virtual int NewWidth(int x) const;
    virtual int NewHeight(int y) const;

    std::int32_t AnchorX = 0, AnchorY = 0; // the brush's top-left pixel

  private:
    pixkit::Pair<int> NewSize() const;
    void Preview();
    void Apply();
};

// Width only: the height stays.
class P_stretch_brush_X : public P_stretch_brush {
  public:
    int NewHeight(int y) const override;
};

// Height only: the width stays.
class P_stretch_brush_Y : public P_stretch_brush {
  public:
    int NewWidth(int x) const override;
};

P_icon* StretchBrushTool();
P_icon* StretchBrushXTool();
P_icon* StretchBrushYTool();

} // namespace kv
