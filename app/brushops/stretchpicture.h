// Image > Stretch / Mirror: the whole image scaled to the width and height
// of the bar "STRETCHBAR", given in pixels or in per cent of the image; a
// negative width mirrors left to right, a negative height top to bottom.
#pragma once

#include "brushops/filter.h"

#include <cstdint>

namespace kv {

class P_stretch_picture : public P_filter {
  public:
    // Bar controls.
    enum : int { cWidth, cHeight, cWidthPercent, cHeightPercent, cKeep, cPreview, cOk };

    P_stretch_picture();

    // The change handlers of the size fields: each sets its partner field
    // (pixels from per cent and back), and with "Keep Proportions" the
    // per-cent fields follow each other.
    void StretchXChange();
    void StretchYChange();
    void StretchPercXChange();
    void StretchPercYChange();

    bool KeepProportions = true; // remembered between activations

  protected:
    void BindControls() override;
    bool Compute() override;
    bool IsCurrent() const override;
    void Remember() override;
    void KeepControls() override;

  private:
    // Sets a field unless its own handler is running (no echo back).
    void SetField(int index, double value);
    // Runs a field's handler once: not again while it runs.
    template <typename F> void Guarded(int index, F body);

    std::int32_t lastWidth_ = 0, lastHeight_ = 0;
    std::uint8_t lastAntiAlias_ = 0;
    unsigned busy_ = 0; // one bit per size field whose handler runs
};

P_icon* StretchPictureTool();

} // namespace kv
