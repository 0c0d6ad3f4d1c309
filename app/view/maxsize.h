// The scroll container of the view control: 16-pixel scroll steps, the view
// centred while it is smaller than the container, and the zoom position with
// its application (size limits, the point under the mouse kept in place).
// The wheel scrolls (Shift: sideways), Ctrl+wheel and pinch gestures zoom at
// the pointer, and the view's pan drags scroll it.
#pragma once

#include "view/wheelsteps.h"
#include "view/zoom.h"

#include <QScrollArea>
#include <QSize>

namespace kv {

class TBuffer;

class TMaxSize : public QScrollArea {
    Q_OBJECT

  public:
    explicit TMaxSize(QWidget* parent = nullptr);

    TBuffer* View() const { return view_; }

    // The zoom position -4..32 and its factor; a new position takes effect
    // with ApplyZoom.
    int Position() const { return position_; }
    double Factor() const { return FactorOfPosition(position_); }
    void SetPosition(int position);
    void SetPositionFromFactor(double f);

    // Zoom application: limits the position for the image's size, sizes the
    // view control and scrolls so that the image point under the mouse (or
    // under the container's centre) stays where it was; then repaints.
    void ApplyZoom();
    // The factor at which the whole image fits the container.
    double FitFactor() const;
    void FitToWindow();
    // Fits a larger zoom, or returns to the zoom remembered by the last fit.
    void ToggleFit();
    void ZoomIn();
    void ZoomOut();
    // Zooms by steps positions (negative: out), keeping the image point
    // under anchor (a position in the container's client area) in place.
    void ZoomAt(int steps, QPoint anchor);

    QPoint ScrollPos() const;
    void ScrollTo(int x, int y);
    void ScrollBy(int dx, int dy);
    // Arrows scroll by 16 pixels; Home/End and PgUp/PgDn go to the left or
    // right and top or bottom. False for any other key.
    bool ScrollKey(int qtKey);

  Q_SIGNALS:
    // After the view's size and zoom were set (before the repaint).
    void ZoomApplied();
    // The scroll position or the container's size changed.
    void VisibleAreaMoved();

  protected:
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

  private:
    QSize ImageSize() const;
    void LimitPosition(QSize image);
    void Centre();
    void Apply(const QPoint* anchor);
    // A wheel event over the view or the container; anchor in the client area.
    void Wheel(QWheelEvent* event, QPoint anchor);
    // A pinch on the view or the container; anchor in the client area.
    void Pinch(QEvent* event, QPoint anchor);

    TBuffer* view_ = nullptr;
    int position_ = 1;
    double lastFactor_ = 0;  // factor of the last application; 0 before the first
    QSize lastSize_{-1, -1}; // image size of the last application
    double fitReturn_ = 0;   // the factor toggle fit returns to; 0 = none
    // Wheel parts on their way to whole steps.
    WheelSteps zoomNotches_{120};
    WheelSteps zoomPixels_{60};
    WheelSteps scrollX_{120};
    WheelSteps scrollY_{120};
    double pinchFactor_ = 0; // the factor a pinch is heading for; 0 outside a pinch
};

} // namespace kv
