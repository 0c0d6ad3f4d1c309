// The undo snapshot of the main window: taken at every image switch and
// before every change, restored by cancel, exchanged by "Undo Last Action".
#include "mainform.h"

#include "keys.h"
#include "lang.h"
#include "tools/framework.h"
#include "undo.h"
#include "undo_tool.h"

namespace kv {

void TMainForm::InitUndo() {
    undo_ = std::make_unique<UndoSnapshot>();
    // The snapshot always belongs to the current image: a switch retakes it.
    connect(this, &TMainForm::ImageEntered, this, [this] { TakeSnapshot(); });
}

// The action icon "UNDO" (Ctrl+Z), after the tools and the components and
// before "CLEAR".
void TMainForm::RegisterUndoIcon() {
    undoTool_ = std::make_unique<P_undo>([this] { UndoLastAction(); });
    constexpr int kCtrl = 0x200;
    tools_->RegisterTool("UNDO", undoTool_.get(), kCtrl | 'Z', 0, "Undo Last Action", 4);
}

bool TMainForm::TakeSnapshot() {
    snapshotFailed_ = !undo_->TakeSnapshot(docs_.CurrentImage());
    if (snapshotFailed_) MessageBoxKey(key::NoMem, key::Err, kExclamation);
    return !snapshotFailed_;
}

int TMainForm::CancelToSnapshot() {
    const int result = undo_->CancelToSnapshot(docs_.CurrentImage());
    if (result == 0) AfterCurrentPixelsReplaced();
    return result;
}

void TMainForm::UndoLastAction() {
    if (undo_->SwapWithSnapshot(docs_.CurrentImage())) AfterCurrentPixelsReplaced();
}

// The current image's pixels may have moved or changed size: the view shows
// them again.
void TMainForm::AfterCurrentPixelsReplaced() {
    RefreshView();
}

} // namespace kv
