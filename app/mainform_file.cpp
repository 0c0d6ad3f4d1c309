// The File menu, and the helpers every menu is built with.
#include "mainform.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

namespace kv {

// Commands are owned by the main window, so that window sections of the
// language file reach them by name. A command is created disabled; it is
// enabled where its handler is connected.
QAction* TMainForm::AddCommand(QMenu* menu, const char* name, const char* caption,
                               const QKeySequence& shortcut) {
    auto* action = new QAction(QString::fromUtf8(caption), this);
    action->setObjectName(QString::fromLatin1(name));
    action->setShortcut(shortcut);
    action->setEnabled(false);
    menu->addAction(action);
    return action;
}

QMenu* TMainForm::AddSubMenu(QMenu* menu, const char* name, const char* caption) {
    QMenu* sub = menu != nullptr ? menu->addMenu(QString::fromUtf8(caption))
                                 : menuBar()->addMenu(QString::fromUtf8(caption));
    sub->setObjectName(QString::fromLatin1(name));
    return sub;
}

void TMainForm::BuildFileMenu() {
    QMenu* m = AddSubMenu(nullptr, "File1", "&File");
    AddCommand(m, "New1", "&New...", QKeySequence(Qt::CTRL | Qt::Key_N));
    AddCommand(m, "Open1", "&Open...", QKeySequence(Qt::CTRL | Qt::Key_O));
    AddCommand(m, "Browse1", "&Browse...");
    AddSubMenu(m, "Reopen1", "Reopen")->setEnabled(false);
    m->addSeparator();
    AddCommand(m, "Save1", "&Save", QKeySequence(Qt::CTRL | Qt::Key_S));
    AddCommand(m, "SaveAs1", "Save &as...");
    AddCommand(m, "UpdateExit1", "&Update && Exit")->setVisible(false);
    m->addSeparator();
    AddCommand(m, "ExptoClipb1", "Expor&t to Clipboard");
    AddCommand(m, "ImpfromClipb1", "&Import from Clipboard");
    m->addSeparator();
    AddCommand(m, "SelectSource1", "S&elect Source...");
    AddCommand(m, "Acquire1", "Ac&quire...");
    m->addSeparator();
    AddCommand(m, "Print1", "&Print...");
    AddCommand(m, "PrinterSetup1", "P&rinter Setup...");
    m->addSeparator();
    QAction* exit = AddCommand(m, "Exit1", "E&xit");
    exit->setEnabled(true);
    connect(exit, &QAction::triggered, this, &QWidget::close);
}

} // namespace kv
