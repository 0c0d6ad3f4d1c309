// "Filter Factory" (Image menu): the formula filter through its dialog,
// with the protocol of P_dialog_effect. The dialog's instant preview
// follows every change; Preview and OK filter the whole image from the
// snapshot. A stopped run puts the image back at once.
#pragma once

#include "effects/dialogeffect.h"

namespace kv {

class TFFactForm;

class P_FF_filter : public P_dialog_effect {
  public:
    explicit P_FF_filter(EffectHost& host);
    ~P_FF_filter() override;

    // Null until the first activation.
    TFFactForm* Form() const { return form_; }
    // What "&Make..." runs with the dialog; empty: the button is disabled.
    std::function<void(TFFactForm&)> Make;

  protected:
    void ShowDialog() override;
    void HideDialog() override;
    void SetDialogRunning(bool running) override;
    bool Compute() override;

  private:
    TFFactForm* form_ = nullptr; // owned by the main window
};

} // namespace kv
