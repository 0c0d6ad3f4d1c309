#include "effects/dialogeffect.h"

#include "effects/effecthost.h"
#include "effects/runguard.h"
#include "tools/framework.h"

#include <chrono>

namespace kv {

P_dialog_effect::P_dialog_effect(EffectHost& host, int helpContext) : host_(host) {
    // One-shot, so that OK and Cancel return to the tool in use before.
    Flags = tfOneShot;
    // The tool takes its own snapshot; a click in the image must not
    // replace it with the previewed image.
    Undo = 0;
    Snap = 0;
    HelpContext = helpContext;
    Clock = [] {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    };
}

P_dialog_effect::~P_dialog_effect() = default;

void P_dialog_effect::Activate() {
    accepted_ = false;
    valid_ = false;
    if (!host_.TakeSnapshot()) {
        host_.ReturnToPreviousTool();
        return;
    }
    active_ = true;
    ShowDialog();
    valid_ = false;
}

// Leaving without OK, whichever way, puts the image back as it was.
void P_dialog_effect::Deactivate(P_icon* /*next*/) {
    if (!active_) return;
    active_ = false;
    stop_ = true;
    HideDialog();
    if (!accepted_) host_.CancelToSnapshot();
}

void P_dialog_effect::Press() {
    if (ToolFramework* tools = Tools()) tools->State = csIdle;
}

void P_dialog_effect::PreviewBtnClick() {
    if (running_) {
        stop_ = true;
        return;
    }
    if (active_ && !valid_) Run();
}

// A run stopped on the way leaves the dialog open and applies nothing.
void P_dialog_effect::OkBtnClick() {
    if (running_ || !active_) return;
    if (!valid_ && !Run()) return;
    ++host_.Image().Changed;
    accepted_ = true;
    host_.ReturnToPreviousTool();
}

void P_dialog_effect::CancelBtnClick() {
    if (running_ || !active_) return;
    accepted_ = false;
    host_.ReturnToPreviousTool();
}

bool P_dialog_effect::Run() {
    running_ = true;
    SetDialogRunning(true);
    const bool complete = Compute();
    running_ = false;
    SetDialogRunning(false);
    valid_ = complete && active_;
    host_.RepaintView();
    return valid_;
}

bool P_dialog_effect::RunBands(QWidget* dialog, int first, int last,
                               const std::function<void(int top, int bottom)>& band) {
    return RunInBands({host_, dialog, Clock, kBandRows, kPollMs}, first, last, stop_, band);
}

} // namespace kv
