#include "swatch.h"

#include "colors/palette.h"

#include <QMouseEvent>
#include <QPainter>

namespace kv {

TColorSwatch::TColorSwatch(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    // A right click picks the back colour; it must not also reach the tool
    // bar's context menu, which would swallow the next click on the image.
    setContextMenuPolicy(Qt::PreventContextMenu);
}

void TColorSwatch::SetColor(std::uint32_t rgb) {
    rgb &= 0xFFFFFF;
    if (HintFollows) setToolTip(QString::fromStdString(FastColorHint(rgb)));
    if (rgb == color_) return;
    color_ = rgb;
    update();
    Q_EMIT ColorChanged(rgb);
}

void TColorSwatch::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), QColor::fromRgb(static_cast<QRgb>(color_)));
    p.setPen(palette().color(QPalette::Shadow));
    p.drawRect(rect().adjusted(0, 0, -1, -1));
}

void TColorSwatch::mousePressEvent(QMouseEvent* event) {
    Q_EMIT Pressed(event);
}

} // namespace kv
