#include "bars/toolfit.h"

#include <QAbstractButton>
#include <QEvent>
#include <QLayout>
#include <QMainWindow>
#include <QTimer>
#include <QToolBar>

#include <algorithm>
#include <map>

namespace kv {

namespace {

// The icon buttons by their number.
std::map<int, QAbstractButton*> Icons(QWidget* panel) {
    std::map<int, QAbstractButton*> icons;
    for (QAbstractButton* b : panel->findChildren<QAbstractButton*>(Qt::FindDirectChildrenOnly)) {
        const QString name = b->objectName();
        bool ok = false;
        const int n = name.startsWith("ToolIcon") ? name.mid(8).toInt(&ok) : -1;
        if (ok && n >= 0) icons[n] = b;
    }
    return icons;
}

// Height the panel may take: the docking area's height (that of the central
// widget beside it) less the bars stacked with it and the bar's own other
// items.
int RoomForPanel(QMainWindow* window, QToolBar* bar, QWidget* panel) {
    const Qt::ToolBarArea area = window->toolBarArea(bar);
    int room = window->centralWidget() ? window->centralWidget()->height() : window->height();
    for (QToolBar* other : window->findChildren<QToolBar*>()) {
        if (other == bar || other->isFloating() || !other->isVisible() ||
            window->toolBarArea(other) != area)
            continue;
        const bool sameColumn =
            other->x() < bar->x() + bar->width() && bar->x() < other->x() + other->width();
        if (sameColumn) room -= other->sizeHint().height();
    }
    return room - (bar->sizeHint().height() - panel->height()) - 4;
}

void Fit(QMainWindow* window, QToolBar* bar, QWidget* panel, int button) {
    const std::map<int, QAbstractButton*> icons = Icons(panel);
    if (icons.empty()) return;
    const int count = icons.rbegin()->first + 1;
    const Qt::ToolBarArea area = window->toolBarArea(bar);
    const bool upright =
        !bar->isFloating() && (area == Qt::LeftToolBarArea || area == Qt::RightToolBarArea);
    const int columns =
        upright ? ToolColumnsFor(count, RoomForPanel(window, bar, panel), button) : 2;
    for (const auto& [n, b] : icons)
        b->setGeometry(n % columns * button, n / columns * button, button, button);
    const QSize size(columns * button, (count + columns - 1) / columns * button);
    if (panel->size() == size) return;
    panel->setFixedSize(size);
    // The docking area sizes its bars from cached hints: make it ask again.
    bar->layout()->invalidate();
    bar->updateGeometry();
    window->layout()->invalidate();
}

// Refits after anything that changes the room or the icons, once per turn
// of the event loop.
class Fitter : public QObject {
  public:
    Fitter(QMainWindow* window, QToolBar* bar, QWidget* panel, int button)
        : QObject(panel), window_(window), bar_(bar), panel_(panel), button_(button) {
        timer_.setSingleShot(true);
        timer_.setInterval(0);
        connect(&timer_, &QTimer::timeout, this, [this] { Fit(window_, bar_, panel_, button_); });
        for (QObject* o : {static_cast<QObject*>(window), static_cast<QObject*>(panel)})
            o->installEventFilter(this);
        if (window->centralWidget()) window->centralWidget()->installEventFilter(this);
        connect(bar, &QToolBar::topLevelChanged, &timer_, qOverload<>(&QTimer::start));
        timer_.start();
    }

  protected:
    bool eventFilter(QObject*, QEvent* e) override {
        switch (e->type()) {
        case QEvent::Resize:
        case QEvent::ChildAdded:
        case QEvent::LayoutRequest:
        case QEvent::Show:
            timer_.start();
            break;
        default:
            break;
        }
        return false;
    }

  private:
    QMainWindow* window_;
    QToolBar* bar_;
    QWidget* panel_;
    int button_;
    QTimer timer_;
};

} // namespace

int ToolColumnsFor(int count, int height, int button) {
    const int rows = std::max(1, height / button);
    return std::max(2, (count + rows - 1) / rows);
}

void KeepToolIconsVisible(QMainWindow* window, QToolBar* bar, QWidget* panel, int button) {
    new Fitter(window, bar, panel, button);
}

} // namespace kv
