// What lines and curves share: the spacing and arrow settings kept per tool
// object and exchanged with the parameter bar, drawing a path with brush
// stamps or as an inverting one-pixel rubber band, and the arrowheads.
#pragma once

#include "tools/icon.h"

#include <pixkit/types.h>

namespace kv {

// The rubber band colour: exclusive-or with 0x8F8F8F, so a second drawing
// removes the first.
inline constexpr pixkit::Pixel kRubberBand = 0x808F8F8F;

// A path as drawn: a line from S to E, or the curve S, C, E.
struct PathShape {
    bool Curve = false;
    pixkit::Pair<int> S{0, 0}, C{0, 0}, E{0, 0};
    int Mode = 0;
    double Value = 2;
    int Arrow = 0;
};

class P_path : public P_icon {
  public:
    P_path();
    void Show() override;
    void Hide() override;
    void Activate() override;
    void Deactivate(P_icon* next) override;

    // 0: one action per path; 1: the next path starts where this one ended.
    virtual int Continues() = 0;

    pixkit::Pair<int> Start{0, 0};
    int Arrow = 0;
    int Mode = 0;
    double Value = 2;

  protected:
    // The status key shown when the tool becomes current.
    virtual const char* StartKey() const = 0;
    // The rubber band for the pointer at p in the current click state.
    virtual PathShape Band(pixkit::Pair<int> p) const = 0;
    // Stamps shape with the painting brush for the button of the press.
    void StampShape(const PathShape& shape);
    // The bar's three values into the object.
    void ReadBar();
    PathShape Settings() const;

  private:
    bool banded_ = false;
    PathShape band_; // what the rubber band shows now
};

// Draws shape with brush stamps (stamp true) or inverting pixels into the
// image, and returns the rectangle it touched (for the pixel form).
pixkit::Rect DrawShape(const PathShape& shape, bool stamp);

} // namespace kv
