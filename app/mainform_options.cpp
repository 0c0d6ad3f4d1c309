// The Options, Window and Help menus.
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

void TMainForm::BuildWindowMenu() {
    windowMenu_ = AddSubMenu(nullptr, "Window1", "&Window");
    for (int i = 0; i < kSlotCount; ++i) {
        const QByteArray name = "Image" + QByteArray::number(i + 1) + "Item";
        const int key = i < 9 ? Qt::Key_1 + i : Qt::Key_0;
        QAction* item = AddCommand(windowMenu_, name.constData(), "",
                                   QKeySequence(Qt::ALT | static_cast<Qt::Key>(key)));
        item->setCheckable(true);
        slotItems_.push_back(item);
    }
    windowMenu_->addSeparator();
    AddCommand(windowMenu_, "NextImage1", "Next Image",
               QKeySequence(Qt::ALT | Qt::Key_BracketRight));
    AddCommand(windowMenu_, "PrevImage1", "Prev Image",
               QKeySequence(Qt::ALT | Qt::Key_BracketLeft));
    connect(windowMenu_, &QMenu::aboutToShow, this, [this] { RefreshWindowMenu(); });
    RefreshWindowMenu();
}

// "  &1 name" for slots 1 to 9 and "1&0 name" for slot 10, the name being
// the file name or the translated "Untitled"; the current image is checked.
void TMainForm::RefreshWindowMenu() {
    for (int i = 0; i < kSlotCount; ++i) {
        const UDBuffer& slot = docs_.Slots[static_cast<std::size_t>(i)];
        const QString prefix = i < 9 ? QString("  &%1").arg(i + 1) : QString("1&0");
        const std::string name = slot.FileName.empty() ? Translate(key::Untitled) : slot.FileName;
        slotItems_[static_cast<std::size_t>(i)]->setText(prefix + ' ' +
                                                         QString::fromStdString(name));
        slotItems_[static_cast<std::size_t>(i)]->setChecked(i == docs_.Current);
    }
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
