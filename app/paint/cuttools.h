// The tools that cut a rectangle of the image into the brush, "Restore",
// and the Brush menu's Select All and Crop. A cut brush paints at once:
// after a rectangle cut "Dotted Freehand" is the tool, the pointer sits on
// the brush's handle and the technique is Paint.
#pragma once

#include "paint/brushtools.h"
#include "tools/icon.h"

#include <pixkit/buffer.h>

#include <QPointer>
#include <QWidget>

#include <cstdint>

class QPainter;

namespace kv {

// Feedback drawn on the view control only, inverting what is under it: a
// crosshair through the centre of a zoomed pixel, or the outline of an
// image rectangle. The view paints the image first and then this, so it
// never reaches the image.
class ScreenOverlay {
  public:
    void ShowCross(pixkit::Pair<int> p);
    void ShowRect(pixkit::Rect r);
    void Clear();
    void Draw(QPainter& view) const;
    bool Shown() const { return count_ > 0; }

  private:
    void Set(int count);
    // Up to four strips of view pixels that do not overlap, so that every
    // pixel is inverted once.
    int x_[4]{}, y_[4]{}, w_[4]{}, h_[4]{};
    int count_ = 0;
};

// The rectangle cuts. Press while Idle gives the point to FirstCorner; when
// that asks for no further point, or at the next point, the rectangle
// between First and Far is cut.
class P_cut : public P_icon {
  public:
    P_cut();
    void Show() override;
    void Hide() override;
    void Repaint(QPainter& view) override;
    void Press() override;
    void Deactivate(P_icon* next) override;

    // Takes the first point; non-zero when a second point is to follow.
    virtual std::uint8_t FirstCorner(int x, int y) = 0;

    std::int32_t X = 0, Y = 0; // the first corner

  protected:
    // The rectangle shown for the pointer at p; none (Right < Left) for
    // the crosshair.
    virtual pixkit::Rect Outline(pixkit::Pair<int> p) const = 0;
    pixkit::Pair<int> far_{0, 0};

  private:
    ScreenOverlay overlay_;
};

// "Cut Rectangle": two corners, by two clicks or a drag.
class P_cut_box : public P_cut {
  public:
    P_cut_box();
    void Activate() override;
    std::uint8_t FirstCorner(int x, int y) override;

  protected:
    pixkit::Rect Outline(pixkit::Pair<int> p) const override;
};

// "Cut Predefined Rectangle": one click places a rectangle of the bar's
// width and height with its top-left corner at the pointer.
class P_cut_resize : public P_cut {
  public:
    P_cut_resize();
    void Activate() override;
    void Deactivate(P_icon* next) override;
    std::uint8_t FirstCorner(int x, int y) override;
    // Ctrl+arrows, Ctrl+Home and Ctrl+Page Down.
    void SizeKey(int qtKey);

    double Ratio = 0.625;                               // height / width
    std::int32_t Width = 320, Height = 200;             // as shown
    std::int32_t StoredWidth = 320, StoredHeight = 200; // kept while another tool is current

  protected:
    pixkit::Rect Outline(pixkit::Pair<int> p) const override;

  private:
    void ReadBar();
    void WriteBar();
    void BarEdited();
    void Resized(std::int32_t w, std::int32_t h);
    bool writing_ = false;
    QPointer<QWidget> boundBar_; // the bar whose controls are bound
};

// "Restore": back to the previous brush (immediate; Shift+B).
class P_restore_brush : public P_func {
  public:
    void Activate() override;
};

// Brush > Select All: the whole image becomes the brush.
void SelectAllBrush();
// Brush > Crop: the image becomes the brush.
void CropToBrush();
// The predefined rectangle starts as the image opened at start-up.
void SetPredefinedCutSize(pixkit::Pair<int> size);

// A cut brush (taken over from cut) becomes the brush: cut from origin,
// its transparent pixels standing for background; with pointerToHandle the
// pointer moves onto the handle. Trimmed when the preference says so, and
// ready to paint.
void UseCutBrush(pixkit::Buffer& cut, pixkit::Pair<int> origin, pixkit::Pixel background,
                 bool pointerToHandle);
// A cut too big for the brush: the message, and back to the previous tool.
void CutTooBig();

} // namespace kv
