// Image > Rotate: the whole image turned about its centre by the angle of
// the bar "ROTATEBAR" (degrees, counter-clockwise), on the back colour. With
// "Keep Size" the image keeps its size and loses the corners that turn out
// of it; without, it grows to hold the whole turned image.
#pragma once

#include "brushops/filter.h"

#include <cstdint>

namespace kv {

class P_rotate_picture : public P_filter {
  public:
    // Bar controls.
    enum : int { cKeepSize, cAngle, cPreview, cOk };

    P_rotate_picture();

    // Remembered between activations.
    bool KeepSize = false;
    double Angle = 0; // degrees

  protected:
    void BindControls() override;
    bool Compute() override;
    bool IsCurrent() const override;
    void Remember() override;
    void KeepControls() override;

  private:
    // The angle as a 32-bit float: an angle it cannot hold exactly never
    // counts as shown.
    float lastAngle_ = 0;
    std::uint8_t lastKeepSize_ = 0;
};

P_icon* RotatePictureTool();

} // namespace kv
