// The cuts that mark their area first, as the fills do, and then make the
// brush from the marked pixels instead of painting them: "Cut Freehand"
// (an outline dragged from press to release), "Cut Polygon" (a vertex per
// click) and "Cut with Magic Wand" (the connected area of similar colour).
// Pixels of the back colour inside the area stay opaque; the brush's
// background is a colour none of its pixels has.
#pragma once

#include "paint/fills.h"
#include "paint/outlinefills.h"

namespace kv {

// Makes the brush from the pixels marked in view (all inside marked): with
// the right button the area is left in the back colour, else the image
// comes back as it was. Nothing marked: the image comes back and the brush
// stays. Too big for a brush: the message, and the brush stays.
void CutMarkedArea(pixkit::Buffer& view, pixkit::Rect marked);

class P_cut_draw : public P_fill_draw {
  public:
    P_cut_draw();
    void Activate() override;
    void Press() override;

  protected:
    void Finish(pixkit::Buffer& view, pixkit::Pixel colour, pixkit::Rect marked) override;
};

class P_cut_poly : public P_fill_poly {
  public:
    P_cut_poly();
    void Activate() override;
    void Press() override;

  protected:
    void Finish(pixkit::Buffer& view, pixkit::Pixel colour, pixkit::Rect marked) override;
};

class P_cut_wand : public P_fill {
  public:
    P_cut_wand();
    void Activate() override;

  protected:
    void ReadSettings() override;
    Neighbours FloodNeighbours() const override { return Neighbours::Four; }
    // The wand cuts whatever the seed's colour.
    bool Unchanged(pixkit::Pixel, pixkit::Pixel) const override { return false; }
    void Finish(pixkit::Buffer& view, pixkit::Pixel colour, pixkit::Rect marked) override;
};

} // namespace kv
