// The protocol of the effects that run through a dialog with Preview, OK
// and Cancel (Image > Custom Filter, Image > Filter Factory). Activating
// the tool takes the undo snapshot and shows the dialog; Preview computes
// the result into the image from the snapshot, in bands, polling input at
// most every 50 ms so that Stop works; OK keeps a complete result as one
// change of the image; leaving the tool any other way puts the image back.
#pragma once

#include "tools/icon.h"

#include <cstdint>
#include <functional>

class QWidget;

namespace kv {

class EffectHost;

class P_dialog_effect : public P_icon {
  public:
    static constexpr int kBandRows = 32;
    static constexpr std::int64_t kPollMs = 50;

    P_dialog_effect(EffectHost& host, int helpContext);
    ~P_dialog_effect() override;

    void Activate() override;
    void Deactivate(P_icon* next) override;
    // Clicks in the image leave the dialog as it is.
    void Press() override;

    // The buttons of the dialog.
    void PreviewBtnClick();
    void OkBtnClick();
    void CancelBtnClick();
    // The parameters changed (or the part of the image to compute moved):
    // the next Preview or OK computes.
    void InvalidatePreview() { valid_ = false; }

    bool Running() const { return running_; }
    // Milliseconds of a monotonic clock, for the input polls; tests set
    // their own.
    std::function<std::int64_t()> Clock;

  protected:
    // Creates the dialog on first use and shows it with the current values.
    virtual void ShowDialog() = 0;
    // Hides it when the tool is left.
    virtual void HideDialog() = 0;
    // While a run goes on only the dialog's Stop works.
    virtual void SetDialogRunning(bool running) = 0;
    // Computes the result into the image; false when stopped.
    virtual bool Compute() = 0;

    // The bands of rows first..last in turn, with progress and Stop.
    bool RunBands(QWidget* dialog, int first, int last,
                  const std::function<void(int top, int bottom)>& band);

    EffectHost& host_;

  private:
    // Computes unless the image already shows the current values; false
    // when stopped.
    bool Run();

    bool active_ = false;   // the dialog belongs to the current activation
    bool accepted_ = false; // OK ended the activation: the result stays
    bool valid_ = false;    // the image holds the result of the current values
    bool running_ = false;
    bool stop_ = false;
};

} // namespace kv
