// The parameter bar of the current tool: built from the tool's bar
// descriptor when a tool with another bar (or the same bar at another user
// level) becomes current, kept while tools with the same bar follow each
// other.
#include "mainform.h"

#include "bars/parambar.h"
#include "lang.h"

#include "view/maxsize.h"
#include "view/tbuffer.h"
#include "view/zoom.h"

#include <QApplication>
#include <QCursor>
#include <QLabel>
#include <QLayout>
#include <QToolBar>

#include <algorithm>

namespace kv {

void TMainForm::ShowToolBar(const std::string& barName) {
    if (barName.empty()) return;
    if (!paramBar_->isVisibleTo(this)) {
        const auto* zoomLabel = findChild<QLabel*>("ZoomLabel");
        params_->Build(barName, Translate(barName), prefs_.Level,
                       zoomLabel ? zoomLabel->font() : font());
        shownBar_ = barName;
        KeepPointerOverImage([this] {
            paramBar_->setEnabled(true);
            paramBar_->show();
        });
    }
    TakeFocusFromBar(paramBar_);
}

void TMainForm::HideToolBar(const std::string& oldBar, const std::string& newBar, bool oldIsGrid) {
    QToolBar* bar = oldIsGrid ? gridBar_ : paramBar_;
    if (oldBar.empty()) return;
    if (newBar == oldBar && params_->BuiltLevel() == prefs_.Level && !oldIsGrid) {
        TakeFocusFromBar(bar);
        return;
    }
    KeepPointerOverImage([bar] {
        bar->hide();
        bar->setEnabled(false);
    });
    if (!oldIsGrid) shownBar_.clear();
}

void TMainForm::KeepPointerOverImage(const std::function<void()>& relayout) {
    TBuffer* view = ShowBuf();
    const QPoint before = view->mapFromGlobal(QCursor::pos());
    const pixkit::Pair<int> p = ViewToImage(view->ToDevice(before));
    const bool inside = maxSize_->viewport()->rect().contains(
                            maxSize_->viewport()->mapFromGlobal(QCursor::pos())) &&
                        InsideImage(p);
    relayout();
    if (!inside) return;
    if (QLayout* l = layout()) l->activate();
    const pixkit::Pair<int> q = VisiblePoint(p);
    const double f = ZoomFactor();
    QCursor::setPos(view->mapToGlobal(
        view->ToLogical(QPoint(static_cast<int>(q.x * f), static_cast<int>(q.y * f)))));
}

// p limited to the image pixels that are wholly visible.
pixkit::Pair<int> TMainForm::VisiblePoint(pixkit::Pair<int> p) {
    const pixkit::Rect seen = VisibleImage();
    const UDBuffer& image = docs_.CurrentImage();
    const int right = std::min(image.Width() - 1, seen.Right - 1);
    const int bottom = std::min(image.Height() - 1, seen.Bottom - 1);
    return {std::clamp(p.x, seen.Left, std::max(seen.Left, right)),
            std::clamp(p.y, seen.Top, std::max(seen.Top, bottom))};
}

void TMainForm::WarpPointerToImage(pixkit::Pair<int> p) {
    const pixkit::Pair<int> q = VisiblePoint(p);
    const double f = ZoomFactor();
    // The centre of the zoomed pixel, so that the position maps back to it.
    const QPoint at(static_cast<int>(q.x * f + f / 2), static_cast<int>(q.y * f + f / 2));
    QCursor::setPos(ShowBuf()->mapToGlobal(ShowBuf()->ToLogical(at)));
    tools_->ViewPos = at;
    tools_->ImagePos = ViewToImage(at);
}

void TMainForm::RebuildParameterBar() {
    const std::string name = shownBar_;
    if (name.empty()) return;
    HideToolBar(name, {});
    ShowToolBar(name);
    if (tools_->Current != nullptr && tools_->Current->BarName == name)
        tools_->Current->BarRebuilt();
}

void TMainForm::TakeFocusFromBar(QToolBar* bar) {
    QWidget* focus = QApplication::focusWidget();
    if (focus != nullptr && bar->isAncestorOf(focus)) centralWidget()->setFocus();
}

double TMainForm::GetBarValue(int index) const {
    return params_->GetBarValue(index);
}

void TMainForm::SetBarValue(int index, double value) {
    params_->SetBarValue(index, value);
}

void TMainForm::BindBarHandler(int index, std::function<void()> handler) {
    params_->BindBarHandler(index, std::move(handler));
}

void TMainForm::BindBarMouseDown(int index, std::function<void(QMouseEvent*)> handler) {
    params_->BindBarMouseDown(index, std::move(handler));
}

} // namespace kv
