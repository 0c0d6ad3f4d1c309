// The component tools. P_component runs a component on the whole image
// through its dialog (one-shot: OK and Cancel return to the tool in use
// before); P_component_brush paints with a component that has an icon: each
// brush position runs it on the pixels under the brush. Both drive the
// component in a runner process; the image changes only by copying the
// runner's result back after a normal return, so a component that crashes,
// hangs or throws leaves the image as it was.
#pragma once

#include "effects/compscan.h"
#include "effects/kvcrunner.h"
#include "tools/icon.h"

#include <pixkit/buffer.h>

namespace kv {

class EffectHost;
class TCompForm;

class P_component : public P_icon {
  public:
    P_component(EffectHost& host, ScanResult& comps);
    ~P_component() override;

    // The component the next activation runs (its menu item).
    void Choose(int index) { chosen_ = index; }
    int Current() const { return current_; }

    void Activate() override;
    void Deactivate(P_icon* next) override;
    // A click in the image goes to the component.
    void Press() override;

    // The dialog.
    void OkBtnClick();
    void PreviewBtnClick();
    void PresetBtnClick();
    void CancelBtnClick();
    // Any parameter control changed (also the colours).
    void ParamChange();
    // The visible part of the image moved (with "Clipping") or the colours
    // changed: the next Preview or OK computes again.
    void InvalidateRun() { lastValid_ = false; }
    void ColorsChanged();

    TCompForm* Form() const { return form_; }
    bool Running() const { return running_; }
    // The block sent with the last KVCM_PARAMS.
    const ValueBlock& LastValues() const;

  protected:
    enum class Mode { Effect, Brush };
    // Loads the component, builds the dialog, sends INIT and PARAMS. False
    // when the tool ended (the user was told).
    bool Open(Mode mode);
    void Close();
    // Calls the component; false when it failed (reported once the
    // outermost call is over).
    bool CallComp(std::uint32_t message, const void* data, std::size_t bytes,
                  KvcRunner::Wait wait = KvcRunner::Wait::Limited);
    bool Process(const kvc::BlockLayout& layout, KvcRunner::Wait wait);
    kvc::BlockLayout BlockFor(pixkit::Rect area, int masked, int fullRun) const;
    // After an entry from the user: a failure is reported, actions the
    // component asked for run.
    void Settle();
    virtual void ReportFailure();
    ComponentRecord& Rec() { return comps_.Components[static_cast<std::size_t>(current_)]; }
    std::uint32_t* ShmAt(const kvc::Region& r);

    EffectHost& host_;
    ScanResult& comps_;
    KvcRunner runner_;
    TCompForm* form_ = nullptr; // owned by the main window
    int chosen_ = -1;
    int current_ = -1;
    bool active_ = false;
    bool failed_ = false;
    bool notify_ = true;
    kvc::Region src_, dst_, previewSrc_, previewDst_;
    kvc::Region images_[10];
    pixkit::Buffer previewShown_;

  private:
    bool Layout(bool withPreview);
    void FillRegion(const kvc::Region& r, const pixkit::Buffer& from);
    bool Run();
    void InstantPreview();
    void Click(int x, int y, int w, int h, bool right, bool inPreview);
    std::int64_t OnHost(const HostMessage& m, kvc::BlockLayout* block, bool* changed);
    std::int64_t Resize(int w, int h, kvc::BlockLayout* block, bool* changed);
    void CopyBack(pixkit::Rect area);
    void ShowPartial();
    void EndPartial();

    bool accepted_ = false;
    bool running_ = false;
    bool stop_ = false;
    bool lastValid_ = false;
    ValueBlock lastRun_{};
    std::uint32_t pending_ = 0; // KVCH_PREVIEW, _OK or _CANCEL asked for during a call
    int entries_ = 0;
    std::int64_t lastPump_ = 0;
    pixkit::Rect written_{0, 0, -1, -1};
    pixkit::Rect runArea_{0, 0, -1, -1};
    // During a full run the view shows the destination pixels as the
    // component writes them (a view of the shared memory); the image itself
    // changes only when the run ends normally.
    pixkit::Buffer partial_;
    std::int64_t partialShown_ = 0;
};

class P_component_brush : public P_component {
  public:
    P_component_brush(EffectHost& host, ScanResult& comps);

    void Activate() override;
    void Deactivate(P_icon* next) override;
    void Press() override;
    void Show() override;

  private:
    void Dab(pixkit::Pair<int> p);
    void EndStroke();
    int px_ = -1, py_ = -1;
};

// Appends a w x h picture to a shared-memory layout ending at `end`,
// 64-byte aligned.
kvc::Region PlaceRegion(std::size_t& end, int w, int h);
// Copies from's visible pixels into region r of the shared block shm.
void FillShared(std::uint8_t* shm, const kvc::Region& r, const pixkit::Buffer& from);

// The pictures a component sees in its image table: one per document slot
// (null or empty: no image) and the number of the current one, from 1.
struct ImageTable {
    std::array<const pixkit::Buffer*, 10> Slots{};
    int Current = 1;
};

// Runs a component on a small picture with the values of rec, in a runner
// of its own: for thumbnails of effects (any thread). images is the image
// table it sees (none: the picture alone, as image 1); the pictures must
// stay unchanged during the call. False with error set when the component
// failed or cancel became true; out is then untouched.
bool RunComponentOnPicture(const ComponentRecord& rec, const pixkit::Buffer& in,
                           pixkit::Buffer& out, std::string& error,
                           const std::atomic<bool>* cancel = nullptr,
                           const ImageTable* images = nullptr);

} // namespace kv
