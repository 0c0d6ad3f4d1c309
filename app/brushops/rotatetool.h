// Brush > Rotate > Any Angle: the user turns the brush with the mouse. The
// first click fixes where the brush sits and moves the pointer just right
// of its middle (angle 0); moving turns a live preview around the brush's
// centre, and the next click makes the turned brush the brush. The tool
// stays selected, so the next click starts again from the result.
#pragma once

#include "brushops/previewtool.h"

#include <pixkit/buffer.h>

#include <cstdint>

namespace kv {

class P_rotate_brush : public BrushPreviewTool {
  public:
    P_rotate_brush();
    void Press() override;
    void Activate() override;
    void Deactivate(P_icon* next) override;

    std::int32_t AnchorX = 0, AnchorY = 0; // the brush's top-left pixel
    double Angle = 0;                      // radians, counter-clockwise

  private:
    pixkit::Pair<int> Centre() const;
    void Preview() override;
    void Apply();
};

P_icon* RotateBrushTool();

} // namespace kv
