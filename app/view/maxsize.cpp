#include "view/maxsize.h"

#include "view/tbuffer.h"

#include <QEvent>
#include <QNativeGestureEvent>
#include <QScrollBar>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace kv {

namespace {
constexpr int kScrollStep = 16;
// A wheel notch scrolls three steps, as scroll areas do.
constexpr int kNotchPixels = 3 * kScrollStep;
} // namespace

TMaxSize::TMaxSize(QWidget* parent) : QScrollArea(parent) {
    setObjectName("MaxSize");
    setBackgroundRole(QPalette::Dark);
    setAlignment(Qt::AlignCenter);
    setWidgetResizable(false);
    // Keys go to the main window, which hands the scrolling keys back here.
    setFocusPolicy(Qt::NoFocus);
    horizontalScrollBar()->setSingleStep(kScrollStep);
    verticalScrollBar()->setSingleStep(kScrollStep);
    view_ = new TBuffer;
    setWidget(view_);
    for (QScrollBar* bar : {horizontalScrollBar(), verticalScrollBar()})
        connect(bar, &QScrollBar::valueChanged, this, [this] { Q_EMIT VisibleAreaMoved(); });
    // The image follows the pointer: dragging right scrolls left.
    connect(view_, &TBuffer::PanBy, this, [this](QPoint d) { ScrollBy(-d.x(), -d.y()); });
}

void TMaxSize::SetPosition(int position) {
    position_ = std::clamp(position, kMinZoom, kMaxZoom);
}

void TMaxSize::SetPositionFromFactor(double f) {
    SetPosition(PositionFromFactor(f));
}

QSize TMaxSize::ImageSize() const {
    const pixkit::Buffer* b = view_->GetBuffer();
    if (b == nullptr || b->Empty()) return {0, 0};
    return {b->Width(), b->Height()};
}

// The displayed image stays within 32000 pixels on its longer side, and an
// image under 4 pixels wide or high is never reduced (it would vanish). The
// second rule wins over the first, so the two cannot undo each other.
void TMaxSize::LimitPosition(QSize image) {
    const int d = std::max(image.width(), image.height());
    if (d > 0 && d * Factor() > kMaxViewExtent) SetPositionFromFactor(double(kMaxViewExtent) / d);
    if ((image.width() < 4 || image.height() < 4) && Factor() < 1) SetPosition(1);
}

void TMaxSize::ApplyZoom() {
    Apply(nullptr);
}

// anchor: the point of the client area that keeps its image point; null
// for the mouse over the view, else the client area's centre.
void TMaxSize::Apply(const QPoint* given) {
    const QPoint oldLeft = view_->pos();
    QPoint anchor = given != nullptr ? *given : oldLeft + view_->LastMouse();
    const QSize image = ImageSize();
    LimitPosition(image);
    const double f = Factor();
    if (f != lastFactor_ || image != lastSize_) {
        lastSize_ = image;
        if (given == nullptr && !view_->MouseOver())
            anchor = QPoint(viewport()->width() / 2, viewport()->height() / 2);
        const ZoomRatio r = RatioOfPosition(position_);
        view_->SetDeviceSize(ViewExtent(image.width(), r), ViewExtent(image.height(), r));
        view_->SetZoom(PackedZoom(position_));
        ScrollTo(0, 0);
        ScrollTo(AnchoredScroll(anchor.x(), oldLeft.x(), f, lastFactor_),
                 AnchoredScroll(anchor.y(), oldLeft.y(), f, lastFactor_));
        // The mouse has not moved, the view has: no move event tells it.
        view_->MouseMovedTo(anchor - view_->pos());
    }
    Q_EMIT ZoomApplied();
    lastFactor_ = f;
    view_->update();
}

double TMaxSize::FitFactor() const {
    const QSize image = ImageSize();
    if (image.isEmpty()) return 1;
    // The client area without scroll bars (a fitted view needs none), in
    // device pixels as the zoom counts them.
    const QSize client = maximumViewportSize();
    const double d = view_->DeviceRatio();
    return std::min(client.width() * d / image.width(), client.height() * d / image.height());
}

void TMaxSize::FitToWindow() {
    SetPositionFromFactor(FitFactor());
    view_->ForgetMouse();
    ApplyZoom();
}

void TMaxSize::ToggleFit() {
    const double fit = FitFactor();
    if (Factor() > fit) {
        fitReturn_ = Factor();
        SetPositionFromFactor(fit);
    } else if (fitReturn_ != 0) {
        SetPositionFromFactor(fitReturn_);
    }
    ApplyZoom();
}

void TMaxSize::ZoomIn() {
    if (position_ < kMaxZoom) ++position_;
    ApplyZoom();
}

void TMaxSize::ZoomOut() {
    if (position_ > kMinZoom) --position_;
    ApplyZoom();
}

void TMaxSize::ZoomAt(int steps, QPoint anchor) {
    const int next = std::clamp(position_ + steps, kMinZoom, kMaxZoom);
    if (next == position_) return;
    position_ = next;
    Apply(&anchor);
}

// Ctrl+wheel zooms at the pointer; Shift+wheel scrolls sideways; a plain
// wheel scrolls down and up (and sideways when it reports a second axis).
// Touchpads report pixels, wheels eighths of a degree; either adds up to
// whole steps.
void TMaxSize::wheelEvent(QWheelEvent* event) {
    Wheel(event, event->position().toPoint());
}

void TMaxSize::Wheel(QWheelEvent* event, QPoint anchor) {
    const QPoint pixels = event->pixelDelta();
    const QPoint angle = event->angleDelta();
    const Qt::KeyboardModifiers mods = event->modifiers();
    if (mods & Qt::ControlModifier) {
        const int steps = !pixels.isNull()
                              ? zoomPixels_.Add(pixels.y() != 0 ? pixels.y() : pixels.x())
                              : zoomNotches_.Add(angle.y() != 0 ? angle.y() : angle.x());
        if (steps != 0) ZoomAt(steps, anchor);
        event->accept();
        return;
    }
    QPoint d = !pixels.isNull() ? pixels
                                : QPoint(scrollX_.Add(angle.x() * kNotchPixels),
                                         scrollY_.Add(angle.y() * kNotchPixels));
    if (mods & Qt::ShiftModifier) d = QPoint(d.y() != 0 ? d.y() : d.x(), 0);
    ScrollBy(-d.x(), -d.y());
    event->accept();
}

// A pinch zooms towards the factor its scale asks for, one zoom position at
// a time as the factor passes them.
void TMaxSize::Pinch(QEvent* event, QPoint anchor) {
    const auto* gesture = static_cast<QNativeGestureEvent*>(event);
    switch (gesture->gestureType()) {
    case Qt::ZoomNativeGesture: {
        if (pinchFactor_ <= 0) pinchFactor_ = Factor();
        pinchFactor_ = std::clamp(pinchFactor_ * (1 + gesture->value()), FactorOfPosition(kMinZoom),
                                  FactorOfPosition(kMaxZoom));
        const int target = PositionFromFactor(pinchFactor_);
        if (target != position_) ZoomAt(target - position_, anchor);
        break;
    }
    case Qt::BeginNativeGesture:
    case Qt::EndNativeGesture:
        pinchFactor_ = 0;
        break;
    default:
        return;
    }
    event->accept();
}

bool TMaxSize::viewportEvent(QEvent* event) {
    if (event->type() == QEvent::NativeGesture) {
        Pinch(event, static_cast<QNativeGestureEvent*>(event)->position().toPoint());
        return true;
    }
    return QScrollArea::viewportEvent(event);
}

QPoint TMaxSize::ScrollPos() const {
    return {horizontalScrollBar()->value(), verticalScrollBar()->value()};
}

void TMaxSize::ScrollTo(int x, int y) {
    horizontalScrollBar()->setValue(x);
    verticalScrollBar()->setValue(y);
}

void TMaxSize::ScrollBy(int dx, int dy) {
    const QPoint s = ScrollPos();
    ScrollTo(s.x() + dx, s.y() + dy);
}

bool TMaxSize::ScrollKey(int qtKey) {
    const QSize image = ImageSize();
    const QPoint s = ScrollPos();
    // Scroll positions are logical pixels, the factor counts device pixels.
    const double f = Factor() / view_->DeviceRatio();
    switch (qtKey) {
    case Qt::Key_Left:
        ScrollBy(-kScrollStep, 0);
        break;
    case Qt::Key_Right:
        ScrollBy(kScrollStep, 0);
        break;
    case Qt::Key_Up:
        ScrollBy(0, -kScrollStep);
        break;
    case Qt::Key_Down:
        ScrollBy(0, kScrollStep);
        break;
    case Qt::Key_Home:
        ScrollTo(0, s.y());
        break;
    case Qt::Key_End:
        ScrollTo(int(std::trunc(f * image.width())), s.y());
        break;
    case Qt::Key_PageUp:
        ScrollTo(s.x(), 0);
        break;
    case Qt::Key_PageDown:
        ScrollTo(s.x(), int(std::trunc(f * image.height())));
        break;
    default:
        return false;
    }
    return true;
}

// A view smaller than the container stands at (client - view) / 2, the odd
// pixel going to the right or bottom; a larger one follows the scroll bar.
void TMaxSize::Centre() {
    const QSize client = viewport()->size();
    QPoint at = view_->pos();
    if (view_->width() < client.width()) at.setX((client.width() - view_->width()) >> 1);
    if (view_->height() < client.height()) at.setY((client.height() - view_->height()) >> 1);
    if (at != view_->pos()) view_->move(at);
}

void TMaxSize::resizeEvent(QResizeEvent* event) {
    QScrollArea::resizeEvent(event);
    Centre();
    Q_EMIT VisibleAreaMoved();
}

void TMaxSize::scrollContentsBy(int dx, int dy) {
    QScrollArea::scrollContentsBy(dx, dy);
    Centre();
}

// The view's wheel and gesture events are the container's: handled here
// before the view sees them, since a synthesized wheel event never travels
// on to the parent.
bool TMaxSize::eventFilter(QObject* watched, QEvent* event) {
    if (watched == view_ && event->type() == QEvent::NativeGesture) {
        const auto* gesture = static_cast<QNativeGestureEvent*>(event);
        Pinch(event, view_->pos() + gesture->position().toPoint());
        return true;
    }
    if (watched == view_ && event->type() == QEvent::Wheel) {
        auto* wheel = static_cast<QWheelEvent*>(event);
        Wheel(wheel, view_->pos() + wheel->position().toPoint());
        return true;
    }
    const bool done = QScrollArea::eventFilter(watched, event);
    if (watched == view_ && event->type() == QEvent::Resize) Centre();
    return done;
}

} // namespace kv
