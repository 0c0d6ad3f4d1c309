// The Window menu and switching the current image among the ten slots.
#include "mainform.h"

#include "keys.h"
#include "view/tbuffer.h"

#include <QAction>
#include <QMenu>

namespace kv {

void TMainForm::BuildWindowMenu() {
    windowMenu_ = AddSubMenu(nullptr, "Window1", "&Window");
    for (int i = 0; i < kSlotCount; ++i) {
        const QByteArray name = "Image" + QByteArray::number(i + 1) + "Item";
        const int key = i < 9 ? Qt::Key_1 + i : Qt::Key_0;
        QAction* item = AddCommand(windowMenu_, name.constData(), "",
                                   QKeySequence(Qt::ALT | static_cast<Qt::Key>(key)));
        item->setCheckable(true);
        item->setEnabled(true);
        connect(item, &QAction::triggered, this, [this, i] {
            SelectImage(i);
            RefreshWindowMenu();
        });
        slotItems_.push_back(item);
    }
    windowMenu_->addSeparator();
    QAction* next = AddCommand(windowMenu_, "NextImage1", "Next Image",
                               QKeySequence(Qt::ALT | Qt::Key_BracketRight));
    QAction* prev = AddCommand(windowMenu_, "PrevImage1", "Prev Image",
                               QKeySequence(Qt::ALT | Qt::Key_BracketLeft));
    next->setEnabled(true);
    prev->setEnabled(true);
    connect(next, &QAction::triggered, this, &TMainForm::NextImage);
    connect(prev, &QAction::triggered, this, &TMainForm::PrevImage);
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
        QAction* item = slotItems_[static_cast<std::size_t>(i)];
        item->setText(prefix + ' ' + QString::fromStdString(name));
        item->setChecked(i == docs_.Current);
    }
}

// The tools let go of the old image first and take hold of the new one
// last; in between the undo snapshot of the new image is taken and the view
// shows it.
void TMainForm::SelectImage(int slot) {
    if (slot < 0 || slot >= kSlotCount) return;
    Q_EMIT ImageLeaving();
    docs_.Current = slot;
    Q_EMIT ImageEntered();
    RefreshDocumentLabel();
    ShowBuf()->SetBuffer(&docs_.CurrentImage());
    RecomputeDrawingView();
    ApplyZoom();
    Q_EMIT ImageShown();
}

void TMainForm::NextImage() {
    if (docs_.Current < kSlotCount - 1) SelectImage(docs_.Current + 1);
}

void TMainForm::PrevImage() {
    if (docs_.Current > 0) SelectImage(docs_.Current - 1);
}

} // namespace kv
