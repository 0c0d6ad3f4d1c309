#include "view/tbuffer.h"

#include "view/stretch.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QTabletEvent>

#include <algorithm>
#include <cmath>

namespace kv {

namespace {

// Rectangles are painted in bands of about this many bytes, so the scratch
// band stays in the cache while the painter copies it out.
constexpr int kBandBytes = 1 << 19;
// An update region with more rectangles than this is painted as its
// bounding rectangle instead.
constexpr int kMaxRegionRects = 3070;

} // namespace

TBuffer::TBuffer(QWidget* parent) : QWidget(parent) {
    setObjectName("ShowBuf");
    // Every pixel is painted here: no background erase.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    setMouseTracking(true);
    // A pen hovering over the tablet moves the tools' feedback too.
    setAttribute(Qt::WA_TabletTracking);
}

void TBuffer::SetBuffer(pixkit::Buffer* buffer) {
    if (buffer == buffer_) return;
    buffer_ = buffer;
    update();
}

void TBuffer::SetZoom(std::uint32_t packed) {
    packed = ReducePacked(packed);
    if (packed == zoom_) return;
    zoom_ = packed;
    update();
}

void TBuffer::SetPaintEnabled(bool on) {
    paintEnabled_ = on;
}

void TBuffer::ForgetMouse() {
    lastMouse_ = {-1, -1};
    over_ = false;
}

void TBuffer::MouseMovedTo(QPoint pos) {
    if (over_) lastMouse_ = pos;
}

QPoint TBuffer::ToDevice(QPointF logical) const {
    const qreal d = DeviceRatio();
    return {int(std::floor(logical.x() * d)), int(std::floor(logical.y() * d))};
}

QPoint TBuffer::ToLogical(QPoint device) const {
    const qreal d = DeviceRatio();
    return {int(std::floor((device.x() + 0.5) / d)), int(std::floor((device.y() + 0.5) / d))};
}

void TBuffer::SetDeviceSize(int w, int h) {
    const qreal d = DeviceRatio();
    resize(int(std::ceil(w / d)), int(std::ceil(h / d)));
}

void TBuffer::paintEvent(QPaintEvent* event) {
    if (!paintEnabled_) return;
    QPainter p(this);
    if (buffer_ == nullptr || buffer_->Empty()) {
        PaintCross(p);
    } else {
        const QRegion& region = event->region();
        if (region.rectCount() > kMaxRegionRects)
            PaintRect(p, region.boundingRect());
        else
            for (const QRect& r : region) PaintRect(p, r);
    }
    if (OnPaint) {
        // Tools draw their feedback in view (device) pixels.
        p.scale(1 / DeviceRatio(), 1 / DeviceRatio());
        OnPaint(p);
    }
}

// Nothing to show: black with a white frame and both diagonals.
void TBuffer::PaintCross(QPainter& p) {
    const QRect all = rect();
    p.fillRect(all, Qt::black);
    p.setPen(Qt::white);
    p.drawRect(all.adjusted(0, 0, -1, -1));
    p.drawLine(all.topLeft(), all.bottomRight());
    p.drawLine(all.bottomLeft(), all.topRight());
}

// r is in logical pixels; the image is stretched to the device pixels that
// cover it and drawn at the device ratio, so no pixel is scaled again.
void TBuffer::PaintRect(QPainter& p, const QRect& r) {
    const ZoomRatio z = Ratio();
    const qreal d = DeviceRatio();
    const QPoint a = ToDevice(r.topLeft());
    const QRect dev(a, QPoint(int(std::ceil((r.right() + 1) * d)) - 1,
                              int(std::ceil((r.bottom() + 1) * d)) - 1));
    // The part of the rectangle that shows image pixels; the rest (only
    // while the control's size lags behind the image) stays black.
    const QRect shown = dev & QRect(0, 0, MappedViewExtent(buffer_->Width(), z),
                                    MappedViewExtent(buffer_->Height(), z));
    if (shown != dev) p.fillRect(r, Qt::black);
    if (shown.isEmpty()) return;
    const int w = shown.width();
    const int band = std::clamp(kBandBytes / (w * 4), 1, shown.height());
    if (scratch_.width() < w || scratch_.height() < band)
        scratch_ = QImage(std::max(w, scratch_.width()), std::max(band, scratch_.height()),
                          QImage::Format_RGB32);
    scratch_.setDevicePixelRatio(d);
    auto* dst = reinterpret_cast<pixkit::Pixel*>(scratch_.bits());
    const std::ptrdiff_t pitch = scratch_.bytesPerLine() / 4;
    for (int y = shown.top(); y <= shown.bottom(); y += band) {
        const int rows = std::min(band, shown.bottom() + 1 - y);
        StretchToView(*buffer_, z, shown.left(), y, w, rows, dst, pitch, cols_);
        ComposeOverlay(overlay_, *buffer_, z, shown.left(), y, w, rows, dst, pitch, cols_,
                       overlayPixels_);
        p.drawImage(QPointF(shown.left() / d, y / d), scratch_, QRectF(0, 0, w, rows));
    }
}

QRect TBuffer::UpdateRectOf(int x1, int y1, int x2, int y2) const {
    const pixkit::Rect r = InvalidationRect(x1, y1, x2, y2, Ratio().Factor());
    // The rectangle counts device pixels; the widget repaints logical ones.
    const double d = DeviceRatio();
    return {QPoint(int(std::floor(r.Left / d)), int(std::floor(r.Top / d))),
            QPoint(int(std::ceil(r.Right / d)) - 1, int(std::ceil(r.Bottom / d)) - 1)};
}

namespace {

// The buffer pixels of area (in the buffer's coordinates) as UpdateRectOf
// takes them; empty when the buffer shows none of them.
pixkit::Rect ShownPart(const pixkit::Buffer* buffer, pixkit::Rect area) {
    if (buffer == nullptr) return {0, 0, -1, -1};
    const pixkit::Rect& a = buffer->Area;
    return {std::max(area.Left, a.Left) - a.Left, std::max(area.Top, a.Top) - a.Top,
            std::min(area.Right, a.Right) + 1 - a.Left,
            std::min(area.Bottom, a.Bottom) + 1 - a.Top};
}

} // namespace

void TBuffer::ShowOverlay(ViewOverlay overlay) {
    HideOverlay();
    overlay_ = std::move(overlay);
    const pixkit::Rect r = ShownPart(buffer_, overlay_.Area);
    // A synchronous repaint paints the area the old overlay left as well.
    if (r.Left < r.Right && r.Top < r.Bottom)
        repaint(UpdateRectOf(r.Left, r.Top, r.Right, r.Bottom));
}

void TBuffer::HideOverlay() {
    if (!OverlayShown()) return;
    const pixkit::Rect r = ShownPart(buffer_, overlay_.Area);
    overlay_ = {};
    if (r.Left < r.Right && r.Top < r.Bottom)
        update(UpdateRectOf(r.Left, r.Top, r.Right, r.Bottom));
}

void TBuffer::Track(QPointF pos) {
    lastMouse_ = pos.toPoint();
    over_ = true;
    Q_EMIT MouseTracked(ToDevice(pos));
}

void TBuffer::Hook(const std::function<void(QMouseEvent*)>& hook, QMouseEvent* event) {
    if (!hook) return;
    if (DeviceRatio() == 1) {
        hook(event);
        return;
    }
    QMouseEvent device(event->type(), QPointF(ToDevice(event->position())), event->globalPosition(),
                       event->button(), event->buttons(), event->modifiers());
    hook(&device);
}

void TBuffer::SetToolCursor(const QCursor& c) {
    toolCursor_ = c;
    ShowCursor();
}

// An open hand while Space waits for a drag, a closed one during a pan.
void TBuffer::ShowCursor() {
    if (Panning())
        setCursor(Qt::ClosedHandCursor);
    else if (spaceHeld_)
        setCursor(Qt::OpenHandCursor);
    else
        setCursor(toolCursor_);
}

void TBuffer::SetSpaceHeld(bool held) {
    if (held == spaceHeld_) return;
    spaceHeld_ = held;
    ShowCursor();
}

// A press of the middle button alone, or of any one button with Space held,
// starts a pan.
bool TBuffer::StartPan(QMouseEvent* event) {
    if (Panning()) return true;
    const bool alone = event->buttons() == event->button();
    if (!alone || (event->button() != Qt::MiddleButton && !spaceHeld_)) return false;
    panButton_ = event->button();
    panLast_ = event->globalPosition().toPoint();
    ShowCursor();
    return true;
}

// The tools learn where the pointer is now, as after any move.
void TBuffer::EndPan(QMouseEvent* event) {
    panButton_ = Qt::NoButton;
    ShowCursor();
    QMouseEvent move(QEvent::MouseMove, event->position(), event->globalPosition(), Qt::NoButton,
                     event->buttons(), event->modifiers());
    Hook(OnMouseMove, &move);
}

void TBuffer::mousePressEvent(QMouseEvent* event) {
    Track(event->position());
    if (StartPan(event)) return;
    Hook(OnMouseDown, event);
}

void TBuffer::mouseMoveEvent(QMouseEvent* event) {
    if (Panning()) {
        // Screen positions: the view moves under the pointer as it scrolls.
        const QPoint at = event->globalPosition().toPoint();
        const QPoint d = at - panLast_;
        panLast_ = at;
        if (!d.isNull()) Q_EMIT PanBy(d);
        Track(mapFromGlobal(event->globalPosition()));
        return;
    }
    Track(event->position());
    Hook(OnMouseMove, event);
}

void TBuffer::mouseReleaseEvent(QMouseEvent* event) {
    Track(event->position());
    if (Panning()) {
        if (event->button() == panButton_) EndPan(event);
        return;
    }
    Hook(OnMouseUp, event);
}

// The pen is handled here in full (accepted, so no mouse event is made from
// it as well): its tip is the left button, its eraser end the right one.
void TBuffer::tabletEvent(QTabletEvent* event) {
    QEvent::Type type;
    switch (event->type()) {
    case QEvent::TabletPress:
        type = QEvent::MouseButtonPress;
        break;
    case QEvent::TabletMove:
        type = QEvent::MouseMove;
        break;
    case QEvent::TabletRelease:
        type = QEvent::MouseButtonRelease;
        break;
    default:
        event->ignore();
        return;
    }
    const bool eraser = event->pointerType() == QPointingDevice::PointerType::Eraser;
    const auto map = [eraser](Qt::MouseButtons b) {
        if (eraser && b.testFlag(Qt::LeftButton)) {
            b.setFlag(Qt::LeftButton, false);
            b.setFlag(Qt::RightButton);
        }
        return b;
    };
    const Qt::MouseButton button =
        eraser && event->button() == Qt::LeftButton ? Qt::RightButton : event->button();
    const Qt::MouseButtons buttons = map(event->buttons());
    // The release finishes the stroke at the pressure it was drawn with: the
    // lifting pen's last reading is near zero.
    if (OnPressure && type != QEvent::MouseButtonRelease)
        OnPressure(event->pressure(), buttons != Qt::NoButton);
    QMouseEvent mouse(type, event->position(), event->globalPosition(), button, buttons,
                      event->modifiers());
    if (type == QEvent::MouseButtonPress)
        mousePressEvent(&mouse);
    else if (type == QEvent::MouseMove)
        mouseMoveEvent(&mouse);
    else
        mouseReleaseEvent(&mouse);
    if (OnPressure && type == QEvent::MouseButtonRelease) OnPressure(0, false);
    event->accept();
}

void TBuffer::enterEvent(QEnterEvent* event) {
    over_ = true;
    lastMouse_ = event->position().toPoint();
    if (OnMouseEnter) OnMouseEnter();
}

void TBuffer::leaveEvent(QEvent*) {
    ForgetMouse();
    Q_EMIT MouseLeft();
    if (OnMouseLeave) OnMouseLeave();
}

} // namespace kv
