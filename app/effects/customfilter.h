// "Custom Filter" (Image menu): the 5 x 5 convolution through its dialog,
// with the protocol of P_dialog_effect. The dialog shows the kernel of the
// last use; Preview filters the drawing view's rectangle (the visible part
// of the image with "Clipping" on) from the snapshot into the image.
#pragma once

#include "effects/convolve.h"
#include "effects/dialogeffect.h"

namespace kv {

class TCFilterForm;

class P_custom_filter : public P_dialog_effect {
  public:
    explicit P_custom_filter(EffectHost& host);
    ~P_custom_filter() override;

    // Null until the first activation.
    TCFilterForm* Form() const { return form_; }
    // The kernel shown at the next activation (the 3 x 3 box at first).
    FilterKernel Remembered = FilterKernel::Box();

  protected:
    void ShowDialog() override;
    void HideDialog() override;
    void SetDialogRunning(bool running) override;
    bool Compute() override;

  private:
    TCFilterForm* form_ = nullptr;       // owned by the main window
    pixkit::Rect written_{0, 0, -1, -1}; // what the last run wrote into the image
};

} // namespace kv
