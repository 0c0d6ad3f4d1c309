// The sizers: the user drags a radius from a centre point. The first click
// fixes the centre, moving shows the brush of that radius there, the second
// click (or the release of a drag) applies it. The round and square sizers
// make the built-in brush of that shape and radius; the spray sizer sets
// the spray radius. Leaving a sizer before the second click changes
// nothing.
#pragma once

#include "paint/brushtools.h"
#include "tools/icon.h"

#include <pixkit/buffer.h>

#include <cstdint>

namespace kv {

class P_resize : public P_icon {
  public:
    P_resize();
    void Show() override;
    void Hide() override;
    void Press() override;
    void Activate() override;
    void Deactivate(P_icon* next) override;

    // The radius for a pointer dx, dy from the centre.
    virtual int SizeRule(int dx, int dy) const = 0;
    // Draws the (2s + 1) x (2s + 1) shape of radius s into b.
    virtual void DrawShape(pixkit::Buffer& b, int s, pixkit::Pixel colour) const = 0;

    std::int32_t AnchorX = 0, AnchorY = 0;
    std::int16_t SavedHandle = 0;
    std::int16_t Size = 0;

  protected:
    // The second click with the radius in Size; true when the brush was
    // replaced (leaving then keeps it).
    virtual bool Apply() = 0;
    virtual const char* StatusKey() const { return "ResizeBrush"; }
    virtual const char* StatusKey2() const { return "ResizeBrush2"; }

  private:
    bool keep_ = false; // the brush was replaced: leaving keeps it
};

// The round shape: the disc of the built-in round brush.
class P_resize_crc : public P_resize {
  public:
    int SizeRule(int dx, int dy) const override;
    void DrawShape(pixkit::Buffer& b, int s, pixkit::Pixel colour) const override;
};

// The built-in round brush at the dragged radius.
class P_resize_crc_brush : public P_resize_crc {
  protected:
    bool Apply() override;
};

// The built-in square brush at the dragged radius.
class P_resize_box_brush : public P_resize {
  public:
    int SizeRule(int dx, int dy) const override;
    void DrawShape(pixkit::Buffer& b, int s, pixkit::Pixel colour) const override;

  protected:
    bool Apply() override;
};

// The spray radius shared by spray and airbrush; the brush stays.
class P_resize_spray : public P_resize_crc {
  public:
    P_resize_spray();
    int SizeRule(int dx, int dy) const override;

  protected:
    bool Apply() override;
    const char* StatusKey() const override { return "ResizeSpray"; }
    const char* StatusKey2() const override { return "ResizeSpray2"; }
};

// The brush icon's secondary tool (right click): hands over at once to the
// sizer of the shape of the built-in brush.
class P_brush_resize : public P_func {
  public:
    P_brush_resize() { HelpContext = 2000; }
    void Activate() override;
};

} // namespace kv
