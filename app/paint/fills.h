// The flood fills ("Solid Fill", "Pattern Fill") and the tool that sets
// the pattern's origin. A fill marks the area first (paint/marking.h) and
// then the current fill style paints the marked pixels; the filled shapes
// and outline fills use the same fill pass.
#pragma once

#include "paint/marking.h"
#include "tools/icon.h"

namespace kv {

// A flood fill: a click marks the connected area of similar colour and
// Finish paints it.
class P_fill : public P_icon {
  public:
    P_fill();
    void Press() override;
    void Activate() override;
    void Deactivate(P_icon* next) override;

    // The fill pass: paints the marked pixels of view inside within with
    // colour in this tool's way and clears their marks; returns the box of
    // the painted pixels. Plain colour here.
    virtual pixkit::Rect FillMarked(pixkit::Buffer& view, pixkit::Pixel colour,
                                    pixkit::Rect within);

    bool Colorize = false;
    bool Diagonal = false;
    int Tolerance = 0;

  protected:
    // Tolerance and diagonal from the bar, as the press uses them.
    virtual void ReadSettings();
    virtual Neighbours FloodNeighbours() const;
    // The area around the seed is marked in view (inside marked): paint it
    // and count the change. The magic wand cuts the area out instead.
    virtual void Finish(pixkit::Buffer& view, pixkit::Pixel colour, pixkit::Rect marked);
    // True when filling from a seed of colour seed would change nothing.
    virtual bool Unchanged(pixkit::Pixel seed, pixkit::Pixel colour) const;
};

// "Solid Fill": the area takes the colour (with colorize its hue and
// saturation, keeping the area's shading).
class P_fill_solid : public P_fill {
  public:
    P_fill_solid();
    pixkit::Rect FillMarked(pixkit::Buffer& view, pixkit::Pixel colour,
                            pixkit::Rect within) override;
};

// Where the pattern's tiles start.
enum PatternAlign : int { paImage = 0, paCut = 1, paOrigin = 2 };

// "Pattern Fill": the area is tiled with the user brush; with a built-in
// brush it fills as Solid Fill does, with Solid Fill's settings.
class P_fill_pattern : public P_fill {
  public:
    P_fill_pattern();
    void Activate() override;
    pixkit::Rect FillMarked(pixkit::Buffer& view, pixkit::Pixel colour,
                            pixkit::Rect within) override;

    int Align = paImage;

  protected:
    bool Unchanged(pixkit::Pixel seed, pixkit::Pixel colour) const override;
};

// Sets the pattern origin where the user clicks, so that the brush's
// handle pixel falls there; Pattern Fill then aligns its tiles to it.
class P_fill_pos : public P_icon {
  public:
    P_fill_pos();
    void Show() override;
    void Hide() override;
    void Press() override;
    void Activate() override;

    pixkit::Pair<int> Origin{0, 0};
};

// The fill style chosen last in the fill icon: Solid Fill or Pattern Fill.
P_fill* CurrentFillStyle();

// The fill pass of the current fill style; repaints and returns the box of
// the painted pixels.
pixkit::Rect FillWithCurrentStyle(pixkit::Buffer& view, pixkit::Pixel colour, pixkit::Rect within);

} // namespace kv
