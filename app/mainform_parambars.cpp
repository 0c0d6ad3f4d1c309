// The parameter bar of the current tool: built from the tool's bar
// descriptor when a tool with another bar (or the same bar at another user
// level) becomes current, kept while tools with the same bar follow each
// other.
#include "mainform.h"

#include "bars/parambar.h"
#include "lang.h"

#include <QApplication>
#include <QLabel>
#include <QToolBar>

namespace kv {

void TMainForm::ShowToolBar(const std::string& barName) {
    if (barName.empty()) return;
    if (!paramBar_->isVisibleTo(this)) {
        const auto* zoomLabel = findChild<QLabel*>("ZoomLabel");
        params_->Build(barName, Translate(barName), prefs_.Level,
                       zoomLabel ? zoomLabel->font() : font());
        shownBar_ = barName;
        paramBar_->setEnabled(true);
        paramBar_->show();
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
    bar->hide();
    bar->setEnabled(false);
    if (!oldIsGrid) shownBar_.clear();
}

void TMainForm::RebuildParameterBar() {
    const std::string name = shownBar_;
    if (name.empty()) return;
    HideToolBar(name, {});
    ShowToolBar(name);
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
