// Undo in the main window: the snapshot that tools and commands take before
// every change and cancel back to, and the history of steps per image that
// is built on top of it (history.h says how). "Undo Last Action" (Ctrl+Z)
// goes one step back and "Redo" (Ctrl+Shift+Z) one step forward; in the
// classic single-undo mode Ctrl+Z alternates between the two.
#include "mainform.h"

#include "history.h"
#include "keys.h"
#include "lang.h"
#include "tools/framework.h"
#include "undo.h"
#include "undo_tool.h"

namespace kv {

void TMainForm::InitUndo() {
    undo_ = std::make_unique<UndoSnapshot>();
    history_ = std::make_unique<UndoHistory>(docs_, *undo_);
    ApplyUndoPreferences();
    // The snapshot always belongs to the current image: a switch retakes it.
    connect(this, &TMainForm::ImageEntered, this, [this] { TakeSnapshot(); });
}

void TMainForm::ApplyUndoPreferences() {
    HistoryLimits limits;
    limits.Bytes = std::size_t(std::max(prefs_.UndoMemory, 1)) << 20;
    // One step is all that the alternating Ctrl+Z ever reaches.
    limits.Steps = prefs_.ClassicUndo ? 1 : std::max(prefs_.UndoSteps, 1);
    history_->SetLimits(limits);
}

// The action icons "UNDO" (Ctrl+Z) and "REDO" (Ctrl+Shift+Z), after the
// tools and the components and before "CLEAR".
void TMainForm::RegisterUndoIcon() {
    constexpr int kCtrl = 0x200, kShift = 0x100;
    undoTool_ = std::make_unique<P_undo>([this] { UndoLastAction(); });
    tools_->RegisterTool("UNDO", undoTool_.get(), kCtrl | 'Z', 0, "Undo Last Action", 4);
    redoTool_ = std::make_unique<P_undo>([this] { RedoLastAction(); });
    tools_->RegisterTool("REDO", redoTool_.get(), kCtrl | kShift | 'Z', 0, key::Redo, 4);
}

bool TMainForm::TakeSnapshot() {
    snapshotFailed_ = !history_->TakeSnapshot(docs_.Current);
    if (snapshotFailed_) MessageBoxKey(key::NoMem, key::Err, kExclamation);
    return !snapshotFailed_;
}

int TMainForm::CancelToSnapshot() {
    const int result = undo_->CancelToSnapshot(docs_.CurrentImage());
    if (result == 0) AfterCurrentPixelsReplaced();
    return result;
}

void TMainForm::UndoLastAction() {
    // The action in progress since the last snapshot becomes a step first.
    if (!TakeSnapshot()) return;
    const bool redo = prefs_.ClassicUndo && history_->CanRedo(docs_.Current);
    if (redo ? history_->Redo() : history_->Undo()) AfterHistoryStep();
}

void TMainForm::RedoLastAction() {
    if (!TakeSnapshot()) return;
    if (history_->Redo()) AfterHistoryStep();
}

// The image and the snapshot are equal again after a step: only the view
// and the document label follow.
void TMainForm::AfterHistoryStep() {
    RefreshView();
    history_->SnapshotInSync();
    RefreshDocumentLabel();
}

// The current image's pixels may have moved, changed size or been replaced:
// the view shows them again.
void TMainForm::AfterCurrentPixelsReplaced() {
    RefreshView();
}

} // namespace kv
