// Spray and airbrush: while the button is held each pointer move and each
// tick of the activity timer adds one step around the pointer, so holding
// still builds colour up. Both share the spray radius; each has its own
// intensity.
#pragma once

#include "tools/icon.h"

#include <pixkit/types.h>

#include <QPointer>
#include <QWidget>

namespace kv {

class P_sprayer : public P_icon, public TimedTool {
  public:
    P_sprayer();
    void Show() override;
    void Hide() override;
    void Press() override;
    void Activate() override;
    void Deactivate(P_icon* next) override;
    void ActivityStep() override;

    std::int32_t Intensity = 10;

  protected:
    // One step around p.
    virtual void Step(pixkit::Pair<int> p) = 0;
    // The idle preview at p, and its removal.
    virtual void ShowPreview(pixkit::Pair<int> p) = 0;
    virtual void HidePreview() = 0;
    virtual void StartStroke(bool /*rightButton*/) {}
    virtual void FinishStroke() {}
    virtual const char* StatusKey() const = 0;

  private:
    void ReadBar();
    void DoStep(pixkit::Pair<int> p);
    void EndStroke();

    QPointer<QWidget> boundBar_; // the bar whose radius button is bound
    bool stroking_ = false;
    bool previewed_ = false;
    pixkit::Pair<int> last_{0, 0}; // where the last step was
};

// "Spray": stamps of the brush scattered around the pointer, densest near it.
class P_spray : public P_sprayer {
  public:
    P_spray();

  protected:
    void Step(pixkit::Pair<int> p) override;
    void ShowPreview(pixkit::Pair<int> p) override;
    void HidePreview() override;
    void StartStroke(bool rightButton) override;
    void FinishStroke() override;
    const char* StatusKey() const override { return "SprayIP"; }
};

// "Airbrush": a soft spot of the draw colour (back colour with the right
// button) blended into the image; it does not use the brush.
class P_airbrush : public P_sprayer {
  public:
    P_airbrush();

  protected:
    void Step(pixkit::Pair<int> p) override;
    void ShowPreview(pixkit::Pair<int> p) override;
    void HidePreview() override;
    const char* StatusKey() const override { return "AirBrushIP"; }

  private:
    pixkit::Pair<int> preview_{0, 0};
};

} // namespace kv
