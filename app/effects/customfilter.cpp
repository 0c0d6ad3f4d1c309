#include "effects/customfilter.h"

#include "effects/cfilterform.h"
#include "effects/effecthost.h"

#include <QWidget>

#include <algorithm>
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

P_custom_filter::P_custom_filter(EffectHost& host) : P_dialog_effect(host, 4000) {}

P_custom_filter::~P_custom_filter() = default;

void P_custom_filter::ShowDialog() {
    written_ = {0, 0, -1, -1};
    if (!form_) {
        form_ = new TCFilterForm(host_.Window());
        form_->OnOk = [this] { OkBtnClick(); };
        form_->OnPreview = [this] { PreviewBtnClick(); };
        form_->OnCancel = [this] { CancelBtnClick(); };
        form_->OnParamChanged = [this] { InvalidatePreview(); };
    }
    form_->SetKernel(Remembered);
    host_.ShowDialog(*form_);
    form_->FocusFirstCell();
}

void P_custom_filter::HideDialog() {
    Remembered = form_->Kernel();
    form_->hide();
}

void P_custom_filter::SetDialogRunning(bool running) {
    form_->SetRunning(running);
}

bool P_custom_filter::Compute() {
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
    return RunBands(form_, area.Top, area.Bottom, [&](int top, int bottom) {
        filter.FilterBand(source, image, area, top, bottom);
    });
}

} // namespace kv
