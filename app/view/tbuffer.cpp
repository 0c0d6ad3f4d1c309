#include "view/tbuffer.h"

#include "view/stretch.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

#include <algorithm>

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
    if (OnPaint) OnPaint(p);
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

void TBuffer::PaintRect(QPainter& p, const QRect& r) {
    const ZoomRatio z = Ratio();
    // The part of the rectangle that shows image pixels; the rest (only
    // while the control's size lags behind the image) stays black.
    const QRect shown = r & QRect(0, 0, MappedViewExtent(buffer_->Width(), z),
                                  MappedViewExtent(buffer_->Height(), z));
    if (shown != r) p.fillRect(r, Qt::black);
    if (shown.isEmpty()) return;
    const int w = shown.width();
    const int band = std::clamp(kBandBytes / (w * 4), 1, shown.height());
    if (scratch_.width() < w || scratch_.height() < band)
        scratch_ = QImage(std::max(w, scratch_.width()), std::max(band, scratch_.height()),
                          QImage::Format_RGB32);
    auto* dst = reinterpret_cast<pixkit::Pixel*>(scratch_.bits());
    const std::ptrdiff_t pitch = scratch_.bytesPerLine() / 4;
    for (int y = shown.top(); y <= shown.bottom(); y += band) {
        const int rows = std::min(band, shown.bottom() + 1 - y);
        StretchToView(*buffer_, z, shown.left(), y, w, rows, dst, pitch, cols_);
        p.drawImage(QPoint(shown.left(), y), scratch_, QRect(0, 0, w, rows));
    }
}

void TBuffer::Track(QPoint pos) {
    lastMouse_ = pos;
    over_ = true;
    Q_EMIT MouseTracked(pos);
}

void TBuffer::mousePressEvent(QMouseEvent* event) {
    Track(event->position().toPoint());
    if (OnMouseDown) OnMouseDown(event);
}

void TBuffer::mouseMoveEvent(QMouseEvent* event) {
    Track(event->position().toPoint());
    if (OnMouseMove) OnMouseMove(event);
}

void TBuffer::mouseReleaseEvent(QMouseEvent* event) {
    Track(event->position().toPoint());
    if (OnMouseUp) OnMouseUp(event);
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
