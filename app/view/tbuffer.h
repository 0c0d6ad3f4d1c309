// The view control: paints a pixel buffer at a zoom of m view pixels per q
// image pixels, straight from the buffer's memory, one update rectangle at a
// time. View pixels are the screen's device pixels: on a scaled screen zoom
// 1 still shows one image pixel per device pixel, and the mouse hooks, the
// MouseTracked signal and the painter handed to OnPaint all count in device
// pixels. The control's widget size and LastMouse are in Qt's logical
// pixels; and hands mouse events and a painter to whoever drives it (the tool
// framework fills the hooks). A drag with the middle button, or with any
// button while Space is held, pans instead: the hooks see none of it.
#pragma once

#include "view/stretch.h"
#include "view/zoom.h"

#include <pixkit/buffer.h>

#include <QCursor>
#include <QImage>
#include <QPoint>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <vector>

class QMouseEvent;
class QTabletEvent;
class QPainter;

namespace kv {

class TBuffer : public QWidget {
    Q_OBJECT

  public:
    explicit TBuffer(QWidget* parent = nullptr);

    // The displayed buffer (not owned; null shows the empty-view cross).
    // Repaints when the reference changes.
    void SetBuffer(pixkit::Buffer* buffer);
    pixkit::Buffer* GetBuffer() const { return buffer_; }
    // Packed zoom: multiplier in the low 16 bits, divisor in the high 16.
    // Kept reduced; repaints when the value changes.
    void SetZoom(std::uint32_t packed);
    std::uint32_t Zoom() const { return zoom_; }
    ZoomRatio Ratio() const { return RatioOfPacked(zoom_); }
    // A picture composed over the buffer where the control paints, leaving
    // the buffer's pixels as they are. Showing one replaces the one shown
    // before and repaints both areas at once; hiding schedules the repaint.
    void ShowOverlay(ViewOverlay overlay);
    void HideOverlay();
    bool OverlayShown() const { return bool(overlay_.Draw); }
    // The control's rectangle (logical pixels) to repaint when the buffer's
    // pixels x1..x2 - 1, y1..y2 - 1 (counted from its corner) change.
    QRect UpdateRectOf(int x1, int y1, int x2, int y2) const;

    // With painting off the control leaves its area as it is.
    void SetPaintEnabled(bool on);
    bool PaintEnabled() const { return paintEnabled_; }

    // Device pixels per logical pixel, and the conversions: the device pixel
    // under a logical position, and a logical position inside a device pixel.
    qreal DeviceRatio() const { return devicePixelRatioF(); }
    QPoint ToDevice(QPointF logical) const;
    QPoint ToLogical(QPoint device) const;
    // Sizes the control to show w x h device pixels.
    void SetDeviceSize(int w, int h);

    // Last mouse position in logical pixels; (-1, -1) when the mouse is not
    // over the control.
    QPoint LastMouse() const { return lastMouse_; }
    bool MouseOver() const { return over_; }
    // Forgets the mouse position, as when the mouse leaves.
    void ForgetMouse();
    // The view moved under a resting mouse: its position in view pixels is
    // now pos (ignored while the mouse is not over the view).
    void MouseMovedTo(QPoint pos);

    // Space held: a press starts a pan instead of reaching the hooks.
    void SetSpaceHeld(bool held);
    // The current tool's cursor: shown unless a hand shows a pan.
    void SetToolCursor(const QCursor& cursor);
    bool Panning() const { return panButton_ != Qt::NoButton; }

    std::function<void(QMouseEvent*)> OnMouseDown;
    std::function<void(QMouseEvent*)> OnMouseMove;
    std::function<void(QMouseEvent*)> OnMouseUp;
    std::function<void()> OnMouseEnter;
    std::function<void()> OnMouseLeave;
    // A tablet pen's events reach the mouse hooks as mouse events (the
    // eraser end as the right button); before each, this hears the pen's
    // pressure (0..1) and whether it presses. After the release: (0, false).
    std::function<void(double pressure, bool down)> OnPressure;
    // Called after every paint, clipped to the repainted region.
    std::function<void(QPainter&)> OnPaint;

  Q_SIGNALS:
    // The main window's own bookkeeping (mouse position, status panels),
    // emitted before the hooks run.
    void MouseTracked(QPoint view);
    void MouseLeft();
    // A pan drag moved the pointer by d screen pixels.
    void PanBy(QPoint d);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void tabletEvent(QTabletEvent* event) override;

  private:
    void PaintCross(QPainter& p);
    void PaintRect(QPainter& p, const QRect& r);
    void Track(QPointF pos);
    // The hooks see the event at its device position.
    void Hook(const std::function<void(QMouseEvent*)>& hook, QMouseEvent* event);
    bool StartPan(QMouseEvent* event);
    void ShowCursor();
    void EndPan(QMouseEvent* event);

    pixkit::Buffer* buffer_ = nullptr;
    std::uint32_t zoom_ = 1;
    bool paintEnabled_ = true;
    QPoint lastMouse_{-1, -1};
    bool over_ = false;
    QImage scratch_;
    std::vector<int> cols_;
    ViewOverlay overlay_;
    pixkit::Buffer overlayPixels_; // the overlay's image pixels at other zooms than 1:1
    bool spaceHeld_ = false;
    Qt::MouseButton panButton_ = Qt::NoButton; // the button of the pan under way
    QPoint panLast_;                           // its last screen position
    QCursor toolCursor_;                       // shown again when the pan ends
};

} // namespace kv
