// The painting tools' environment: the brush state and its stamper, the
// current image and drawing view, colours, status texts, parameter-bar
// values and the grid, reached through this one object instead of the main
// window. The main window owns it; tools find it through Paint().
#pragma once

#include "bars/fontbox.h"
#include "paint/airbrush.h"
#include "paint/brush.h"
#include "paint/pathmath.h"
#include "paint/stamper.h"

#include <pixkit/buffer.h>

#include <functional>
#include <string>

class QString;
class QWidget;

namespace kv {

class TMainForm;

class Painting : public PaintSurface {
  public:
    explicit Painting(TMainForm& form);
    ~Painting() override;
    Painting(const Painting&) = delete;
    Painting& operator=(const Painting&) = delete;

    TMainForm& Form() { return form_; }
    BrushState Brush;
    Stamper Stamp{Brush, *this};

    // PaintSurface: the current image and its drawing view.
    pixkit::Buffer& Image() override;
    pixkit::Buffer& ClipView() override;
    void Invalidate(pixkit::Rect r) override;
    void UpdateNow() override;
    void InvalidateAll();

    pixkit::Pixel DrawColor() const;
    pixkit::Pixel BackColor() const;
    // The painting brush for the button (true: right) and the technique.
    void PrepareBrush(bool rightButton);
    // A finished action: the current image's modified counter goes up.
    void ImageModified();
    // An abandoned action: the image goes back to the undo snapshot, or,
    // without one, at least loses every mark.
    void CancelAction();
    // View pixels per image pixel.
    double ZoomFactor() const;
    // The view control, for feedback drawn on the screen only.
    QWidget* View() const;
    // A live preview the view shows over the image's pixels in area without
    // changing them: draw paints it into the buffer of image pixels it is
    // handed (see ViewOverlay). Showing repaints at once and replaces the
    // preview shown before.
    void ShowOverlay(pixkit::Rect area, std::function<void(pixkit::Buffer&)> draw);
    void HideOverlay();
    // The undo snapshot: the image before the current action (may be empty).
    const pixkit::Buffer& Snapshot() const;
    // The current image was reallocated (another size): the view follows.
    void ImageReplaced();

    // After the brush was cut, loaded or restored: the tool framework's
    // technique and user-brush flag, the Techniques menu and status panel 1
    // follow the brush settings, and the painting brush is rebuilt for the
    // left button.
    void BrushChanged();
    // Moves the mouse pointer over image point p (limited to the visible
    // part of the image).
    void MovePointerTo(pixkit::Pair<int> p);
    // Moves the pointer by d image pixels, but only while it is over the
    // view: a command chosen from a menu leaves the pointer where it is.
    void MovePointerBy(pixkit::Pair<int> d);
    // With the preference "Optimize Brush" on: trims the brush, and moves
    // the pointer by what the trim needs and the origin along. Call
    // BrushChanged afterwards.
    void OptimizeBrush();

    // The random source of spray and airbrush, seeded at start-up; tests
    // seed it to replay the draws.
    PaintRandom Random;
    void SeedRandom(unsigned n) { Random.seed(n); }

    // The spray radius that spray, airbrush and the spray-resize tool share;
    // it reads as at least 1 (draws are taken modulo the radius).
    int SprayRadius() const { return sprayRadius_ < 1 ? 1 : sprayRadius_; }
    void SetSprayRadius(int r) { sprayRadius_ = r; }

    // Status panel 1: the technique's letter.
    void ShowTechnique();
    // Status panel 3 while a point is dragged: "[dx,dy]"; empty to clear.
    void ShowOffset(pixkit::Pair<int> from, pixkit::Pair<int> to);
    void ClearOffset();
    // Status panel 3 while the brush is turned: the angle as "90.00`".
    void ShowAngle(double degrees);
    // Status panel 3: "[R,G,B]" of pixel p.
    void ShowColorValue(pixkit::Pixel p);
    // Panel 4 shows the translation of key (the tool's status text).
    void SetStatusKey(std::string& statusText, const char* key);

    // The parameter bar by control index, while it is built for barName
    // (else fallback is read and nothing is written).
    double BarValue(const std::string& barName, int index, double fallback) const;
    void SetBarValue(const std::string& barName, int index, double value);
    // Enables or disables one control of the bar while it is built.
    void EnableBarControl(const std::string& barName, int index, bool enabled);
    // Runs handler when any of the bar's first count controls changes.
    void BindBar(const std::string& barName, int count, const std::function<void()>& handler);
    // Runs handler when control index changes (a button: when clicked).
    void BindBarControl(const std::string& barName, int index,
                        const std::function<void()>& handler);
    // The family chosen in a font box (empty when none is), and choosing a
    // family (one the box does not have leaves the choice as it is).
    FontChoice BarFont(const std::string& barName, int index) const;
    void SetBarFont(const std::string& barName, int index, const FontChoice& font);
    // A press on colour control index opens the colour dialog for it under
    // the title titleKey; its changes count as changed colours.
    void BindBarColorDialog(const std::string& barName, int index, const char* titleKey);
    // Closes the colour dialog when it edits colour control index.
    void CloseBarColorDialog(const std::string& barName, int index);

    // The anti-alias preference: smooth brush transforms and text.
    bool AntiAlias() const;

    // The grid: whether snapping is on, and its spacing and origin from the
    // grid bar's fields.
    bool GridOn = false;
    GridAxis GridX() const;
    GridAxis GridY() const;
    void SnapToGrid(pixkit::Pair<int>& p) const;
    void SetGridOrigin(pixkit::Pair<int> p);
    void SetGridDeltaFromBrush();
    void ShowGridBar(bool show);

    // Fills the image with the back colour and makes it an unnamed blank.
    void ClearImage();

  private:
    bool BarBuilt(const std::string& barName, int index) const;
    int GridField(const char* name, int fallback) const;
    void SetGridField(const char* name, int value);

    TMainForm& form_;
    int sprayRadius_ = 20;
};

// The painting environment of the running main window (null without one).
Painting* Paint();

} // namespace kv
