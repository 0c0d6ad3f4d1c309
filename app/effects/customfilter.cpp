#include "effects/customfilter.h"

#include "effects/cfilterform.h"
#include "effects/effecthost.h"
#include "effects/runguard.h"
#include "tools/framework.h"

#include <QWidget>

#include <algorithm>
#include <chrono>
#include <cstring>

namespace kv {

namespace {

void RestoreRect(const pixkit::Buffer& from, pixkit::Buffer& to, pixkit::Rect r) {
    r.Left = std::max(r.Left, std::max(from.Area.Left, to.Area.Left));
    r.Top = std::max(r.Top, std::max(from.Area.Top, to.Area.Top));
    r.Right = std::min(r.Right, std::min(from.Area.Right, to.Area.Right));
    r.Bottom = std::min(r.Bottom, std::min(from.Area.Bottom, to.Area.Bottom));
    if (r.Left > r.Right) return;
    const auto bytes = static_cast<std::size_t>(r.Right - r.Left + 1) * sizeof(pixkit::Pixel);
    for (int y = r.Top; y <= r.Bottom; ++y)
        std::memcpy(to.At(r.Left, y), from.At(r.Left, y), bytes);
}

} // namespace

P_custom_filter::P_custom_filter(EffectHost& host) : host_(host) {
    // One-shot, so that OK and Cancel return to the tool in use before.
    Flags = tfOneShot;
    // The dialog takes its own snapshot; a click in the image must not
    // replace it with the previewed image.
    Undo = 0;
    Snap = 0;
    HelpContext = 4000;
    Clock = [] {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    };
}

P_custom_filter::~P_custom_filter() = default;

void P_custom_filter::Activate() {
    accepted_ = false;
    valid_ = false;
    written_ = {0, 0, -1, -1};
    if (!host_.TakeSnapshot()) {
        host_.ReturnToPreviousTool();
        return;
    }
    active_ = true;
    ShowForm();
}

void P_custom_filter::ShowForm() {
    if (!form_) {
        form_ = new TCFilterForm(host_.Window());
        form_->OnOk = [this] { OkBtnClick(); };
        form_->OnPreview = [this] { PreviewBtnClick(); };
        form_->OnCancel = [this] { CancelBtnClick(); };
        form_->OnParamChanged = [this] { InvalidatePreview(); };
    }
    form_->SetKernel(Remembered);
    valid_ = false;
    form_->adjustSize();
    if (QWidget* area = host_.ImageArea())
        form_->move(area->mapToGlobal(area->rect().center()) - form_->rect().center());
    form_->show();
    form_->raise();
    form_->activateWindow();
    form_->FocusFirstCell();
}

// Leaving without OK, whichever way, puts the image back as it was.
void P_custom_filter::Deactivate(P_icon* /*next*/) {
    if (!active_) return;
    active_ = false;
    stop_ = true;
    Remembered = form_->Kernel();
    form_->hide();
    if (!accepted_) host_.CancelToSnapshot();
}

void P_custom_filter::Press() {
    if (ToolFramework* tools = Tools()) tools->State = csIdle;
}

void P_custom_filter::PreviewBtnClick() {
    if (running_) {
        stop_ = true;
        return;
    }
    if (active_ && !valid_) Run();
}

// A run stopped on the way leaves the dialog open and applies nothing.
void P_custom_filter::OkBtnClick() {
    if (running_ || !active_) return;
    if (!valid_ && !Run()) return;
    ++host_.Image().Changed;
    accepted_ = true;
    host_.ReturnToPreviousTool();
}

void P_custom_filter::CancelBtnClick() {
    if (running_ || !active_) return;
    accepted_ = false;
    host_.ReturnToPreviousTool();
}

bool P_custom_filter::Run() {
    const pixkit::Rect area = host_.DrawingRect();
    const pixkit::Buffer& source = host_.Snapshot();
    UDBuffer& image = host_.Image();
    if (source.Width() != image.Width() || source.Height() != image.Height()) return false;
    const Convolution filter(form_->Kernel());
    // The previous run's rectangle gets its pixels back first, so that only
    // this run's rectangle differs from the snapshot (with "Clipping" the
    // visible part may have moved since).
    RestoreRect(source, image, written_);
    written_ = area;
    running_ = true;
    form_->SetRunning(true);
    const bool complete = RunInBands(
        {host_, form_, Clock, kBandRows, kPollMs}, area.Top, area.Bottom, stop_,
        [&](int top, int bottom) { filter.FilterBand(source, image, area, top, bottom); });
    running_ = false;
    form_->SetRunning(false);
    valid_ = complete && active_;
    host_.RepaintView();
    return valid_;
}

} // namespace kv
