// "Filter Factory" (Image menu): the tool that runs the formula filter
// through its dialog. Activating it takes the undo snapshot and shows the
// dialog, whose instant preview follows every change. Preview filters the
// whole image from the snapshot, in bands, polling input at most every
// 50 ms so that Stop works; a stopped run puts the image back. OK keeps a
// complete result as one change of the image (Undo brings the original
// back); leaving the tool any other way puts the image back.
#pragma once

#include "tools/icon.h"

#include <cstdint>
#include <functional>

namespace kv {

class EffectHost;
class TFFactForm;

class P_FF_filter : public P_icon {
  public:
    static constexpr int kBandRows = 32;
    static constexpr std::int64_t kPollMs = 50;

    explicit P_FF_filter(EffectHost& host);
    ~P_FF_filter() override;

    void Activate() override;
    void Deactivate(P_icon* next) override;
    // A click in the image clears the pending click; the dialog stays.
    void Press() override;

    void PreviewBtnClick();
    void OkBtnClick();
    void CancelBtnClick();

    // Null until the first activation.
    TFFactForm* Form() const { return form_; }
    bool Running() const { return running_; }
    // Milliseconds of a monotonic clock, for the input polls; tests set
    // their own.
    std::function<std::int64_t()> Clock;
    // What "&Make..." runs with the dialog; empty: the button is disabled.
    std::function<void(TFFactForm&)> Make;

  private:
    // Filters the image from the snapshot; false (image put back) when
    // stopped.
    bool Run();
    void ShowForm();

    EffectHost& host_;
    TFFactForm* form_ = nullptr; // owned by the main window
    bool active_ = false;
    bool accepted_ = false;
    bool valid_ = false; // the image holds the result of the current definition
    bool running_ = false;
    bool stop_ = false;
};

} // namespace kv
