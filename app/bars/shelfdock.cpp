#include "bars/shelfdock.h"

#include "keys.h"
#include "lang.h"
#include "paint/shelf.h"

#include <QListWidget>
#include <QMenu>
#include <QPainter>

#include <algorithm>

namespace kv {

namespace {

constexpr int kThumb = 48;

// The brush scaled to fit the thumbnail (nearest pixel, never enlarged
// beyond 4x), transparent pixels showing a chequer board; a pinned brush
// gets a filled corner.
QPixmap Thumbnail(const ShelfEntry& e, qreal ratio) {
    const int side = int(kThumb * ratio);
    QImage img(side, side, QImage::Format_RGB32);
    const pixkit::Buffer& b = e.Brush;
    const double scale = std::min({double(side) / b.Width(), double(side) / b.Height(), 4.0});
    const int w = std::max(1, int(b.Width() * scale)), h = std::max(1, int(b.Height() * scale));
    const int x0 = (side - w) / 2, y0 = (side - h) / 2;
    const int cell = std::max(1, int(4 * ratio));
    for (int y = 0; y < side; ++y) {
        auto* row = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < side; ++x) {
            QRgb c = ((x / cell + y / cell) & 1) ? 0xFFC0C0C0 : 0xFFFFFFFF;
            if (x >= x0 && x < x0 + w && y >= y0 && y < y0 + h) {
                const pixkit::Pixel p =
                    *b.At(b.Area.Left + int((x - x0) / scale), b.Area.Top + int((y - y0) / scale));
                if (p != kBrushTransparent) c = 0xFF000000 | (p & 0xFFFFFF);
            }
            row[x] = c;
        }
    }
    if (e.Pinned) {
        QPainter p(&img);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(200, 30, 30));
        const int m = side / 4;
        p.drawPolygon(QPolygon({QPoint(side - m, 0), QPoint(side, 0), QPoint(side, m)}));
    }
    QPixmap pm = QPixmap::fromImage(img);
    pm.setDevicePixelRatio(ratio);
    return pm;
}

} // namespace

TBrushShelf::TBrushShelf(BrushShelf& shelf, QWidget* parent)
    : QDockWidget("Brush Shelf", parent), shelf_(shelf), list_(new QListWidget(this)) {
    setObjectName("BrushShelf");
    list_->setObjectName("ShelfList");
    list_->setViewMode(QListView::IconMode);
    list_->setIconSize(QSize(kThumb, kThumb));
    list_->setMovement(QListView::Static);
    list_->setResizeMode(QListView::Adjust);
    list_->setUniformItemSizes(true);
    list_->setSpacing(2);
    list_->setContextMenuPolicy(Qt::CustomContextMenu);
    list_->setFocusPolicy(Qt::NoFocus);
    setWidget(list_);
    connect(list_, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) {
        if (Chosen) Chosen(list_->row(item));
    });
    connect(list_, &QListWidget::customContextMenuRequested, this, &TBrushShelf::ContextMenu);
}

void TBrushShelf::Refresh() {
    list_->clear();
    const qreal ratio = devicePixelRatioF();
    for (const auto& e : shelf_.Entries()) {
        auto* item = new QListWidgetItem(QIcon(Thumbnail(*e, ratio)), QString(), list_);
        item->setToolTip(QString("%1 x %2").arg(e->Brush.Width()).arg(e->Brush.Height()));
    }
}

void TBrushShelf::ContextMenu(const QPoint& pos) {
    QListWidgetItem* item = list_->itemAt(pos);
    if (item == nullptr) return;
    const auto index = static_cast<std::size_t>(list_->row(item));
    const bool pinned = shelf_.Entries()[index]->Pinned;
    QMenu menu(this);
    QAction* pin =
        menu.addAction(QString::fromStdString(Translate(pinned ? key::ShelfUnpin : key::ShelfPin)));
    QAction* remove = menu.addAction(QString::fromStdString(Translate(key::ShelfRemove)));
    QAction* chosen = menu.exec(list_->viewport()->mapToGlobal(pos));
    // The shelf changes (and the list is rebuilt) only after the menu closed.
    if (chosen == pin)
        shelf_.SetPinned(index, !pinned);
    else if (chosen == remove)
        shelf_.Remove(index);
}

} // namespace kv
