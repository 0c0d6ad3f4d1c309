#include "effects/fffilter.h"

#include "effects/effecthost.h"
#include "effects/ffactform.h"
#include "effects/ffthreads.h"

namespace kv {

P_FF_filter::P_FF_filter(EffectHost& host) : P_dialog_effect(host, TFFactForm::kHelpContext) {}

P_FF_filter::~P_FF_filter() = default;

void P_FF_filter::ShowDialog() {
    if (!form_) {
        form_ = new TFFactForm(host_.Window());
        form_->OnOk = [this] { OkBtnClick(); };
        form_->OnPreview = [this] { PreviewBtnClick(); };
        form_->OnCancel = [this] { CancelBtnClick(); };
        form_->OnChanged = [this] { InvalidatePreview(); };
    }
    form_->OnMake = Make ? std::function<void()>([this] { Make(*form_); }) : nullptr;
    form_->SetSource(host_.Image());
    form_->SetRunning(false);
    host_.ShowDialog(*form_);
}

void P_FF_filter::HideDialog() {
    form_->hide();
    form_->FreePreview();
}

void P_FF_filter::SetDialogRunning(bool running) {
    form_->SetRunning(running);
}

bool P_FF_filter::Compute() {
    const pixkit::Buffer& source = host_.Snapshot();
    UDBuffer& image = host_.Image();
    if (source.Empty() || image.Empty() || source.Width() != image.Width() ||
        source.Height() != image.Height())
        return false;
    const ff::Channels programs = form_->Programs();
    ff::FilterStep step(programs, form_->SliderValues(), source.Data, source.Pitch, source.Width(),
                        source.Height(), {image.Data, image.Pitch});
    const bool complete = RunBands(form_, 0, source.Height() - 1, [&step](int top, int bottom) {
        ff::RowsOnThreads(step, top, bottom);
    });
    if (!complete) host_.CancelToSnapshot();
    return complete;
}

} // namespace kv
