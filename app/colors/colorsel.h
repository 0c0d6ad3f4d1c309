// The colour dialog: a stay-on-top tool window with red, green and blue
// sliders (position = 255 - component, so the top is full intensity), their
// edit boxes, a hue bar and a 128 x 128 saturation/value field. It edits the
// colour of one swatch at a time, live: every move changes the swatch and
// runs the colours-changed notification. Cancel restores the colour the
// swatch had when the dialog opened.
#pragma once

#include "colors/colormath.h"

#include <pixkit/buffer.h>

#include <QDialog>
#include <QPointer>

#include <array>
#include <functional>

class QLineEdit;
class QSlider;

namespace kv {

class TColorSwatch;
class TSvField;

class TColorSel : public QDialog {
    Q_OBJECT

  public:
    static constexpr int kHelpContext = 1000;
    explicit TColorSel(QWidget* parent);
    ~TColorSel() override;

    // Opens the dialog for target with the given title; centred over
    // centreOver when it was not visible. changed runs after every change
    // of the target's colour.
    void Open(TColorSwatch* target, const QString& title, QWidget* centreOver,
              std::function<void()> changed, bool modal = false);

    TColorSwatch* Target() const;
    QSlider* Slider(int channel) const { return sliders_[static_cast<std::size_t>(channel)]; }
    QLineEdit* Edit(int channel) const { return edits_[static_cast<std::size_t>(channel)]; }
    QSlider* HueBar() const { return hue_; }
    const Hsv& Current() const { return hsv_; }
    const pixkit::Buffer& Field() const { return field_; }

    // The handlers, public so that tests can drive them.
    void ValChange(int channel);
    void ColEditExit(int channel);
    void HValChange();
    void SVChange(QPoint fieldPoint);

  protected:
    void done(int result) override;

  private:
    enum class From { Slider, Hue, Field };
    std::uint32_t SliderColor() const;
    void SetSliders(std::uint32_t rgb);
    void ColorMoved(From from);
    void RedrawField();
    void TargetGone();

    std::array<QSlider*, 3> sliders_{};
    std::array<QLineEdit*, 3> edits_{};
    QSlider* hue_ = nullptr;
    TSvField* fieldView_ = nullptr;
    pixkit::Buffer field_;
    // A bar rebuild can delete the swatch while the dialog is open: the
    // dialog then closes, and nothing writes to the swatch that is gone.
    QPointer<TColorSwatch> target_;
    std::function<void()> changed_;
    std::uint32_t restore_ = 0;
    Hsv hsv_;
    bool updating_ = false; // re-entrancy guard of the slider handling
    From from_ = From::Slider;
};

} // namespace kv
