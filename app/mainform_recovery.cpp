// Crash recovery in the main window: the background copies of changed
// images (recovery.h), and the offer to restore what a crash left behind.
#include "mainform.h"

#include "keys.h"
#include "lang.h"
#include "progdir.h"
#include "recovery.h"

namespace kv {

void TMainForm::InitRecovery() {
    recovery_ = std::make_unique<CrashRecovery>(docs_, RecoveryDir());
    // A tool's preview drawn into the image is not part of the picture.
    recovery_->BeforeCopy = [this] { tools_->HideFeedback(); };
    recovery_->AfterCopy = [this] { tools_->ShowFeedback(); };
    recovery_->SetInterval(prefs_.RecoverySeconds);
}

// A slot still holding the blank image prepared at start.
int TMainForm::FreeSlot() const {
    for (int i = 0; i < kSlotCount; ++i) {
        const UDBuffer& s = docs_.Slots[std::size_t(i)];
        if (s.Changed == 0 && s.FileState == 1 && s.FileName.empty()) return i;
    }
    return -1;
}

// Restores the copies into free slots with their names and as changed, or
// discards them. Copies that find no free slot stay for the next start.
void TMainForm::OfferRecovery() {
    const std::vector<RecoveryFile> left = recovery_->Left();
    if (left.empty()) return;
    if (MessageBoxKey(key::RecoverAsk, key::Warn, {MsgButtons::YesNo, MsgIcon::Question}) !=
        MsgResult::Yes) {
        for (const RecoveryFile& f : left) CrashRecovery::Discard(f);
        return;
    }
    int first = -1;
    for (const RecoveryFile& f : left) {
        const int slot = FreeSlot();
        if (slot < 0) break;
        if (!recovery_->Restore(f, slot)) {
            ShowMessage(Translate(key::RecoverBad) + "\n" + f.Path, Translate(key::Err),
                        kExclamation);
            continue;
        }
        if (first < 0) first = slot;
    }
    if (first < 0) return;
    if (first == docs_.Current) {
        TakeSnapshot();
        RefreshView();
        FitToWindow();
        RefreshDocumentLabel();
    } else {
        SelectImage(first);
    }
}

} // namespace kv
