// The scroll container of the view control: 16-pixel scroll steps, the view
// centred while it is smaller than the container, and the zoom position with
// its application (size limits, the point under the mouse kept in place).
#pragma once

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

  private:
    QSize ImageSize() const;
    void LimitPosition(QSize image);
    void Centre();

    TBuffer* view_ = nullptr;
    int position_ = 1;
    double lastFactor_ = 0;  // factor of the last application; 0 before the first
    QSize lastSize_{-1, -1}; // image size of the last application
    double fitReturn_ = 0;   // the factor toggle fit returns to; 0 = none
};

} // namespace kv
