// Fills of an outline the user draws: "Filled Shape" (a freehand outline
// from press to release) and "Filled Polygon" (a vertex per click, closed
// near the first vertex). The outline is marked edge by edge into the
// image (paint/marking.h) and, once closed, filled by the current fill
// style. The freehand and polygon cuts derive from these tools and make
// the brush from the marks instead (Finish).
#pragma once

#include "paint/marking.h"
#include "paint/overlay.h"
#include "tools/icon.h"

namespace kv {

// What both outline fills share: one action from the first point to the
// closing, on a drawing view fixed for the action (scrolling with
// Clipping on does not move it), cancelled back to the undo snapshot when
// the tool is left before the outline is closed.
class P_outline : public P_icon {
  public:
    P_outline();
    void Deactivate(P_icon* next) override;

    // True between the first point and the closing.
    bool Open() const { return open_; }

  protected:
    // Starts the outline at p, in the colour of the button held.
    void Begin(pixkit::Pair<int> p);
    // The edge from the last point to p.
    void AddEdge(pixkit::Pair<int> p);
    // The closing edge, then Finish.
    void CloseOutline();
    // Marks the single first point and finishes (a one-pixel shape).
    void FinishPoint();
    // Throws the open outline away (nothing when none is open).
    void Cancel();
    // The outline is gone (cancelled, or its image replaced).
    virtual void Forget();
    // When the image's pixels were replaced since the outline began (a new
    // or opened image in the slot), the outline and its view went with
    // them: forget it. True when an outline is still open.
    bool StillOpen();
    // The image's pixels are those the outline began in.
    bool SameImage() const;
    // The outline is closed and its inside marked in view (all marks lie
    // inside marked): the current fill style paints it in colour.
    virtual void Finish(pixkit::Buffer& view, pixkit::Pixel colour, pixkit::Rect marked);

    pixkit::Buffer view_;                      // the drawing view of the action
    const pixkit::Pixel* imageData_ = nullptr; // the image it views
    pixkit::Rect imageArea_ = {0, 0, -1, -1};
    OutlineMarker marker_;
    pixkit::Pixel colour_ = 0;
    bool open_ = false;
    bool edges_ = false; // an edge has been marked
};

// "Filled Shape": press, drag along the outline, release to close it; a
// click without a move fills the one pixel.
class P_fill_draw : public P_outline {
  public:
    P_fill_draw();
    void Show() override;
    void Hide() override;
    void Press() override;
    void Activate() override;

  private:
    XorOverlay dot_; // the inverting pixel at the pointer while idle
};

// "Filled Polygon": the first click places the first vertex, each further
// click an edge; a click within 10 view pixels of the first vertex closes
// the polygon.
class P_fill_poly : public P_outline, public PolygonTool {
  public:
    P_fill_poly();
    void Show() override;
    void Hide() override;
    void Press() override;
    void Activate() override;
    bool CanCloseAt(pixkit::Pair<int> image) const override;

  protected:
    void Forget() override;

  private:
    // The pointer lies within 10 view pixels of the first vertex.
    bool NearFirst() const;
    void Closed();

    bool banded_ = false; // the rubber band from the last vertex
    pixkit::Pair<int> bandFrom_{0, 0}, bandTo_{0, 0};
};

} // namespace kv
