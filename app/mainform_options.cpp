// The Options and Help menus.
#include "mainform.h"

#include "aboutpanel.h"
#include "keys.h"

#include <QAction>
#include <QMenu>
#include <QToolBar>

namespace kv {

void TMainForm::BuildOptionsMenu() {
    QMenu* m = AddSubMenu(nullptr, "Options1", "&Options");
    AddCommand(m, "Preferences1", "Preferences...");
    m->addSeparator();
    QAction* tools = AddCommand(m, "ToolbarVisible1", "&Toolbar Visible");
    QAction* palette = AddCommand(m, "PaletteVisible1", "&Palette Visible");
    for (QAction* a : {tools, palette}) {
        a->setCheckable(true);
        a->setEnabled(true);
    }
    connect(tools, &QAction::triggered, this, [this](bool on) { toolBar_->setVisible(on); });
    connect(palette, &QAction::triggered, this, [this](bool on) { paletteBar_->setVisible(on); });
}

void TMainForm::SetToolbarChecks() {
    MenuCommand("ToolbarVisible1")->setChecked(toolBar_->isVisibleTo(this));
    MenuCommand("PaletteVisible1")->setChecked(paletteBar_->isVisibleTo(this));
}

void TMainForm::BuildHelpMenu() {
    QMenu* m = AddSubMenu(nullptr, "Help1", "&Help");
    AddCommand(m, "Contents1", "&Contents", QKeySequence(Qt::Key_F1));
    m->addSeparator();
    QAction* about = AddCommand(m, "About1", "&About...");
    about->setEnabled(true);
    connect(about, &QAction::triggered, this, [this] { ShowAbout(); });
}

void TMainForm::ShowAbout() {
    if (about_ == nullptr) about_ = new TAboutPanel(this);
    about_->ShowAbout();
}

} // namespace kv
