// The view control: paints a pixel buffer at a zoom of m view pixels per q
// image pixels, straight from the buffer's memory, one update rectangle at a
// time, and hands mouse events and a painter to whoever drives it (the tool
// framework fills the hooks).
#pragma once

#include "view/zoom.h"

#include <pixkit/buffer.h>

#include <QImage>
#include <QPoint>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <vector>

class QMouseEvent;
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
    // With painting off the control leaves its area as it is.
    void SetPaintEnabled(bool on);
    bool PaintEnabled() const { return paintEnabled_; }

    // Last mouse position in view pixels; (-1, -1) when the mouse is not
    // over the control.
    QPoint LastMouse() const { return lastMouse_; }
    bool MouseOver() const { return over_; }
    // Forgets the mouse position, as when the mouse leaves.
    void ForgetMouse();
    // The view moved under a resting mouse: its position in view pixels is
    // now pos (ignored while the mouse is not over the view).
    void MouseMovedTo(QPoint pos);

    std::function<void(QMouseEvent*)> OnMouseDown;
    std::function<void(QMouseEvent*)> OnMouseMove;
    std::function<void(QMouseEvent*)> OnMouseUp;
    std::function<void()> OnMouseEnter;
    std::function<void()> OnMouseLeave;
    // Called after every paint, clipped to the repainted region.
    std::function<void(QPainter&)> OnPaint;

  Q_SIGNALS:
    // The main window's own bookkeeping (mouse position, status panels),
    // emitted before the hooks run.
    void MouseTracked(QPoint view);
    void MouseLeft();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

  private:
    void PaintCross(QPainter& p);
    void PaintRect(QPainter& p, const QRect& r);
    void Track(QPoint pos);

    pixkit::Buffer* buffer_ = nullptr;
    std::uint32_t zoom_ = 1;
    bool paintEnabled_ = true;
    QPoint lastMouse_{-1, -1};
    bool over_ = false;
    QImage scratch_;
    std::vector<int> cols_;
};

} // namespace kv
