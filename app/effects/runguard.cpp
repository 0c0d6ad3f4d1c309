#include "effects/runguard.h"

#include "effects/bandrows.h"
#include "effects/effecthost.h"

#include <QApplication>
#include <QCursor>
#include <QEvent>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <algorithm>

namespace kv {

namespace {

bool IsInput(QEvent::Type type) {
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::Shortcut:
    case QEvent::ShortcutOverride:
    case QEvent::ContextMenu:
    case QEvent::DragEnter:
    case QEvent::Drop:
    case QEvent::TabletPress:
    case QEvent::TouchBegin:
        return true;
    default:
        return false;
    }
}

} // namespace

RunGuard::RunGuard(QWidget* dialog, QWidget* mainWindow, std::function<void()> stop)
    : dialog_(dialog), main_(mainWindow), stop_(std::move(stop)) {
    qApp->installEventFilter(this);
}

RunGuard::~RunGuard() {
    qApp->removeEventFilter(this);
    if (closeLater_ && main_) QTimer::singleShot(0, main_.data(), &QWidget::close);
}

bool RunGuard::InDialog(QObject* watched) const {
    if (dialog_ == nullptr) return false;
    if (auto* w = qobject_cast<QWidget*>(watched)) return w->window() == dialog_;
    if (auto* window = qobject_cast<QWindow*>(watched)) return window == dialog_->windowHandle();
    return false;
}

bool RunGuard::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Close && watched == main_) {
        closeLater_ = true;
        if (stop_) stop_();
        event->ignore();
        return true;
    }
    return IsInput(event->type()) && !InDialog(watched);
}

bool RunInBands(const BandRun& run, int first, int last, bool& stop,
                const std::function<void(int top, int bottom)>& band) {
    stop = false;
    QApplication::setOverrideCursor(Qt::BusyCursor);
    run.Host.ProgressStart(last - first);
    {
        RunGuard guard(run.Dialog, run.Host.Window(), [&stop] { stop = true; });
        std::int64_t polled = run.Clock(), started = polled;
        for (int top = first, rows = run.BandRows; top <= last && !stop;) {
            const int bottom = std::min(top + rows - 1, last);
            band(top, bottom);
            top = bottom + 1;
            const std::int64_t now = run.Clock();
            rows = NextBandRows(rows, now - started, run.PollMs);
            started = now;
            if (now - polled < run.PollMs) continue;
            run.Host.ProgressStep(std::min(top, last) - first);
            QApplication::processEvents();
            polled = started = run.Clock();
        }
    }
    QApplication::restoreOverrideCursor();
    run.Host.ProgressEnd();
    return !stop;
}

} // namespace kv
