// Rectangles, squares, circles and ellipses, outlined with brush stamps or
// filled by the current fill style. Every shape takes two points: the first
// corner or the centre, then the opposite corner or a point on the rim.
#pragma once

#include "paint/overlay.h"
#include "tools/icon.h"

#include <pixkit/types.h>

#include <vector>

namespace kv {

enum class ShapeFill { Outline, Filled };

// What the box and ellipse families share: the two-point protocol, the
// crosshair while idle and the inverting preview of the shape.
class P_shape : public P_icon {
  public:
    explicit P_shape(ShapeFill fill);
    void Show() override;
    void Hide() override;
    void Press() override;
    void Activate() override;

    pixkit::Pair<int> First{0, 0}; // the first corner or the centre

  protected:
    bool Filled() const { return fill_ == ShapeFill::Filled; }
    bool RightButton() const;
    // Status keys before and after the first point.
    virtual const char* FirstKey() const = 0;
    virtual const char* SecondKey() const = 0;
    // The preview for the pointer at p (the first point is placed) and the
    // status text of panel 3 with it.
    virtual std::vector<pixkit::Rect> Preview(pixkit::Pair<int> p) = 0;
    // Draws the finished shape for the second point p.
    virtual void DrawShape(pixkit::Pair<int> p) = 0;
    // Marks rects in the drawing view and paints them with the current fill
    // style, or with the right button paints them in the back colour.
    void FillRects(const std::vector<pixkit::Rect>& rects);

  private:
    ShapeFill fill_;
    XorOverlay overlay_;
};

// Rectangles and squares from the first corner to the second.
class P_box : public P_shape {
  public:
    P_box(ShapeFill fill, bool square);

  protected:
    const char* FirstKey() const override { return "BoxStr"; }
    const char* SecondKey() const override { return "Box2"; }
    std::vector<pixkit::Rect> Preview(pixkit::Pair<int> p) override;
    void DrawShape(pixkit::Pair<int> p) override;
    // Squares move p so that both sides have the larger extent.
    pixkit::Pair<int> Constrain(pixkit::Pair<int> p) const;

  private:
    bool square_;
};

// Circles and ellipses around the centre; the outline tools stamp along
// the polygon with the spacing of their bar.
class P_elpse : public P_shape {
  public:
    P_elpse(ShapeFill fill, bool circle);
    void Activate() override;
    void Deactivate(P_icon* next) override;

    int Rx = 0, Ry = 0;
    int Mode = 0; // spacing: 0 every pixel, 1 distance, 2 count
    double Value = 2;

  protected:
    const char* FirstKey() const override { return circle_ ? "CircleIO" : "EllipseIO"; }
    const char* SecondKey() const override { return circle_ ? "Circle2" : "Ellipse2"; }
    std::vector<pixkit::Rect> Preview(pixkit::Pair<int> p) override;
    void DrawShape(pixkit::Pair<int> p) override;

  private:
    void Radii(pixkit::Pair<int> p);
    void ReadBar();
    double Spacing(const std::vector<pixkit::Pair<int>>& vertices) const;
    bool circle_;
};

} // namespace kv
