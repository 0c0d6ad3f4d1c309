// "Custom Filter" (Image menu): the tool that runs the 5 x 5 convolution
// through its dialog. Activating it takes the undo snapshot and shows the
// dialog with the kernel of the last use; Preview filters the drawing view's
// rectangle from the snapshot into the image, in bands, polling input at
// most every 50 ms so that Stop works; OK keeps a complete result as one
// change of the image. Leaving the tool any other way puts the image back.
#pragma once

#include "effects/convolve.h"
#include "tools/icon.h"

#include <cstdint>
#include <functional>

namespace kv {

class EffectHost;
class TCFilterForm;

class P_custom_filter : public P_icon {
  public:
    static constexpr int kBandRows = 32;
    static constexpr std::int64_t kPollMs = 50;

    explicit P_custom_filter(EffectHost& host);
    ~P_custom_filter() override;

    void Activate() override;
    void Deactivate(P_icon* next) override;
    // Clicks in the image leave the dialog as it is.
    void Press() override;

    // The buttons of the dialog.
    void PreviewBtnClick();
    void OkBtnClick();
    void CancelBtnClick();
    // A kernel value changed, or the visible part of the image moved while
    // the preview covers only that part: the next Preview or OK computes.
    void InvalidatePreview() { valid_ = false; }

    // Null until the first activation.
    TCFilterForm* Form() const { return form_; }
    bool Running() const { return running_; }
    // The kernel shown at the next activation (the 3 x 3 box at first).
    FilterKernel Remembered = FilterKernel::Box();
    // Milliseconds of a monotonic clock, for the input polls; tests set
    // their own.
    std::function<std::int64_t()> Clock;

  private:
    // Filters the drawing view's rectangle; false when stopped.
    bool Run();
    void ShowForm();

    EffectHost& host_;
    TCFilterForm* form_ = nullptr; // owned by the main window
    bool active_ = false;          // the dialog belongs to the current activation
    bool accepted_ = false;        // OK ended the activation: the result stays
    bool valid_ = false;           // the image holds the result of the current values
    bool running_ = false;
    bool stop_ = false;
    pixkit::Rect written_{0, 0, -1, -1}; // what the last run wrote into the image
};

} // namespace kv
