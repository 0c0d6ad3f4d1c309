#include "effects/fffilter.h"

#include "effects/effecthost.h"
#include "effects/ffactform.h"
#include "effects/runguard.h"
#include "tools/framework.h"

#include <chrono>

namespace kv {

P_FF_filter::P_FF_filter(EffectHost& host) : host_(host) {
    // One-shot, so that OK and Cancel return to the tool in use before.
    Flags = tfOneShot;
    // The tool takes its own snapshot when it is activated.
    Undo = 0;
    Snap = 0;
    HelpContext = 5000;
    Clock = [] {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    };
}

P_FF_filter::~P_FF_filter() = default;

void P_FF_filter::Activate() {
    accepted_ = false;
    valid_ = false;
    if (!host_.TakeSnapshot()) {
        host_.ReturnToPreviousTool();
        return;
    }
    active_ = true;
    ShowForm();
}

void P_FF_filter::ShowForm() {
    if (!form_) {
        form_ = new TFFactForm(host_.Window());
        form_->OnOk = [this] { OkBtnClick(); };
        form_->OnPreview = [this] { PreviewBtnClick(); };
        form_->OnCancel = [this] { CancelBtnClick(); };
        form_->OnChanged = [this] { valid_ = false; };
    }
    form_->OnMake = Make ? std::function<void()>([this] { Make(*form_); }) : nullptr;
    form_->SetSource(host_.Image());
    form_->SetRunning(false);
    valid_ = false;
    form_->adjustSize();
    if (QWidget* area = host_.ImageArea())
        form_->move(area->mapToGlobal(area->rect().center()) - form_->rect().center());
    form_->show();
    form_->raise();
    form_->activateWindow();
}

// Leaving without OK, whichever way, puts the image back as it was.
void P_FF_filter::Deactivate(P_icon* /*next*/) {
    if (!active_) return;
    active_ = false;
    stop_ = true;
    form_->hide();
    form_->FreePreview();
    if (!accepted_) host_.CancelToSnapshot();
}

void P_FF_filter::Press() {
    if (ToolFramework* tools = Tools()) tools->State = csIdle;
}

void P_FF_filter::PreviewBtnClick() {
    if (running_) {
        stop_ = true;
        return;
    }
    if (active_ && !valid_) Run();
}

// A run stopped on the way leaves the dialog open and the image unchanged.
void P_FF_filter::OkBtnClick() {
    if (running_ || !active_) return;
    if (!valid_ && !Run()) return;
    ++host_.Image().Changed;
    accepted_ = true;
    host_.ReturnToPreviousTool();
}

void P_FF_filter::CancelBtnClick() {
    if (running_ || !active_) return;
    host_.ReturnToPreviousTool();
}

bool P_FF_filter::Run() {
    const pixkit::Buffer& source = host_.Snapshot();
    UDBuffer& image = host_.Image();
    if (source.Empty() || image.Empty() || source.Width() != image.Width() ||
        source.Height() != image.Height())
        return false;
    const ff::Channels programs = form_->Programs();
    ff::FilterStep step(programs, form_->SliderValues(), source.Data, source.Pitch, source.Width(),
                        source.Height(), {image.Data, image.Pitch});
    running_ = true;
    form_->SetRunning(true);
    const bool complete =
        RunInBands({host_, form_, Clock, kBandRows, kPollMs}, 0, source.Height() - 1, stop_,
                   [&step](int top, int bottom) { step.Rows(top, bottom); });
    running_ = false;
    form_->SetRunning(false);
    if (!complete) host_.CancelToSnapshot();
    valid_ = complete && active_;
    host_.RepaintView();
    return valid_;
}

} // namespace kv
