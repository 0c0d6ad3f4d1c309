#include "tools/iconpanel.h"

#include <QKeyEvent>
#include <QToolButton>

namespace kv {

TIconPanel::TIconPanel(QWidget* owner)
    : QWidget(owner, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
    setObjectName("IconPanel");
    setFocusPolicy(Qt::StrongFocus);
    for (int i = 0; i < kButtons; ++i) {
        auto* b = new QToolButton(this);
        b->setObjectName(QString("IconBtn%1").arg(i));
        b->setProperty("tag", i);
        b->setAutoRaise(true);
        b->setFocusPolicy(Qt::NoFocus);
        b->setIconSize(QSize(24, 24));
        b->resize(kButtonSize, kButtonSize);
        b->hide();
        connect(b, &QToolButton::clicked, this, [this, i] { Q_EMIT IconSelected(i); });
        buttons_[static_cast<std::size_t>(i)] = b;
    }
}

void TIconPanel::Layout(const std::vector<Variant>& variants, int columns) {
    const int n = static_cast<int>(std::min<std::size_t>(variants.size(), kButtons));
    const int c = std::max(columns, 1);
    setFixedSize(std::min(n, c) * kButtonSize + 4, (n + c - 1) / c * kButtonSize + 4);
    for (int i = 0; i < kButtons; ++i) {
        QToolButton* b = Button(i);
        if (i >= n) {
            b->hide();
            continue;
        }
        const Variant& v = variants[static_cast<std::size_t>(i)];
        b->setIcon(QIcon(v.Glyph));
        b->setToolTip(v.Hint);
        b->move(i % c * kButtonSize + 2, i / c * kButtonSize + 2);
        b->show();
    }
}

QPoint TIconPanel::Placement(QPoint buttonTopLeft, int buttonWidth, QSize panel, int screenLeft,
                             int screenRight) {
    const int right = buttonTopLeft.x() + buttonWidth;
    if (right + panel.width() <= screenRight + 1 || buttonTopLeft.x() - panel.width() < screenLeft)
        return {right, buttonTopLeft.y()};
    return {buttonTopLeft.x() - panel.width(), buttonTopLeft.y()};
}

void TIconPanel::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

bool TIconPanel::event(QEvent* event) {
    if ((event->type() == QEvent::WindowDeactivate || event->type() == QEvent::FocusOut) &&
        !KeepOnFocusLoss && isVisible())
        close();
    return QWidget::event(event);
}

} // namespace kv
