// Brush > Bend and Brush > Shear: the user deforms the brush with the
// mouse. The first click fixes where the brush sits and moves the pointer
// to the point that starts the deformation (a bend: the brush's centre; a
// shear: its bottom-right pixel); moving shows the deformed brush in the
// image, the next click makes it the brush. The tools stay selected.
#pragma once

#include "brushops/deform.h"
#include "brushops/previewtool.h"

#include <pixkit/buffer.h>

#include <cstdint>

namespace kv {

class P_bend_brush : public BrushPreviewTool {
  public:
    void Press() override;
    void Activate() override;
    void Deactivate(P_icon* next) override;

    // Where the pointer goes after the first click and after applying; the
    // deformed brush's top-left corner and size for the pointer at p.
    virtual void WarpToStart();
    virtual void WarpToHandle(pixkit::Pair<int> origin);
    virtual pixkit::Pair<int> NewOrigin(pixkit::Pair<int> p) const;
    virtual pixkit::Pair<int> NewSize(pixkit::Pair<int> p) const;
    // Draws the brush b deformed for the pointer at p into dst with the
    // deformed brush's top-left corner at at.
    virtual void Deform(pixkit::Buffer& dst, pixkit::Buffer& b, pixkit::Pair<int> p,
                        pixkit::Pair<int> at) const;

    std::int32_t AnchorX = 0, AnchorY = 0; // the brush's top-left pixel
    std::int32_t OriginX = 0, OriginY = 0; // the deformed brush's, when applied

  protected:
    // firstKey is the status text until the first click, secondKey after it.
    P_bend_brush(DeformKind kind, const char* firstKey, const char* secondKey);

  private:
    pixkit::Pair<int> BrushSize() const;
    void Preview() override;
    void Apply();

    DeformKind kind_;
    const char* firstKey_;
    const char* secondKey_;
};

class P_bend_brush_UnD : public P_bend_brush {
  public:
    P_bend_brush_UnD() : P_bend_brush(DeformKind::BendUpDown, "BendBrush", "BendBrush2") {}
};

class P_bend_brush_LnR : public P_bend_brush {
  public:
    P_bend_brush_LnR() : P_bend_brush(DeformKind::BendLeftRight, "BendBrush", "BendBrush2") {}
};

class P_shear_brush_UnD : public P_bend_brush {
  public:
    P_shear_brush_UnD() : P_bend_brush(DeformKind::ShearUpDown, "ShearBrush", "ShearBrush2") {}
};

class P_shear_brush_LnR : public P_bend_brush {
  public:
    P_shear_brush_LnR() : P_bend_brush(DeformKind::ShearLeftRight, "ShearBrush", "ShearBrush2") {}
};

P_icon* BendBrushUnDTool();
P_icon* BendBrushLnRTool();
P_icon* ShearBrushUnDTool();
P_icon* ShearBrushLnRTool();

} // namespace kv
