// The main window's side of the brush shelf: the panel on the right, its
// Options menu switch, and the brush a click on it makes current.
#include "mainform.h"

#include "bars/shelfdock.h"
#include "paint/painting.h"
#include "paint/shelf.h"
#include "progdir.h"

#include <QAction>

namespace kv {

void TMainForm::BuildBrushShelf() {
    shelf_ = std::make_unique<BrushShelf>(ShelfDir());
    SetShelf(shelf_.get());
    shelfDock_ = new TBrushShelf(*shelf_, this);
    addDockWidget(Qt::RightDockWidgetArea, shelfDock_);
    // Hidden until the user shows it; a stored layout may show it again.
    shelfDock_->hide();
    shelf_->Changed = [this] { shelfDock_->Refresh(); };
    shelfDock_->Chosen = [this](int index) {
        if (!painting_) return;
        tools_->HideFeedback();
        shelf_->Use(static_cast<std::size_t>(index), painting_->Brush);
        painting_->BrushChanged();
        tools_->ShowFeedback();
    };
    QAction* toggle = MenuCommand("ShelfVisible1");
    connect(toggle, &QAction::triggered, shelfDock_, &QWidget::setVisible);
    connect(shelfDock_, &QDockWidget::visibilityChanged, this, [this, toggle](bool) {
        if (!closing_) toggle->setChecked(shelfDock_->isVisibleTo(this));
    });
    shelf_->Load();
}

} // namespace kv
