// "Get Color" takes the colour of an image pixel into the draw or back
// colour; "Change Color" replaces a colour of the drawing view, exactly or
// within a tolerance, everywhere in the view (not only a connected area).
// Both show the pixel under the pointer as "[R,G,B]" in status panel 3.
#pragma once

#include "tools/icon.h"

#include <pixkit/buffer.h>

namespace kv {

// Every pixel V of view with |R(V)-R(p)| + |G(V)-G(p)| + |B(V)-B(p)| <=
// tolerance becomes k; a pixel marked with 0x01000000, or a marked p,
// counts as 1024 away. Tolerance 0 is the exact replacement.
void ChangeColorWithin(pixkit::Buffer& view, pixkit::Pixel p, pixkit::Pixel k, int tolerance);

class P_get_col : public P_icon {
  public:
    P_get_col();
    void Show() override;
    void Press() override;
    void Activate() override;
};

class P_ch_col : public P_icon {
  public:
    P_ch_col();
    void Show() override;
    void Press() override;
    void Activate() override;
    void Deactivate(P_icon* next) override;

    std::int32_t Tolerance = 0;
};

} // namespace kv
