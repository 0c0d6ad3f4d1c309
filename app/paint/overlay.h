// Inverting figures drawn into the image as previews: crosshairs, rubber
// bands and shape outlines, removed by drawing them once more.
#pragma once

#include <pixkit/types.h>

#include <vector>

namespace kv {

// Show draws rectangles, Hide draws exactly the same ones again, which
// removes them whatever changed since (but not into pixels that replaced
// the ones they were drawn into).
class XorOverlay {
  public:
    void Show(std::vector<pixkit::Rect> rects);
    void Hide();
    bool Shown() const { return !rects_.empty(); }

  private:
    void Draw();
    std::vector<pixkit::Rect> rects_;
    // The image drawn into: pixels replaced since then lost the figures.
    const pixkit::Pixel* data_ = nullptr;
    pixkit::Rect area_{0, 0, -1, -1};
};

// The smallest rectangle holding all of rects.
pixkit::Rect BoxOf(const std::vector<pixkit::Rect>& rects);

// The crosshair through p over the whole image, while a shape waits for
// its first point.
std::vector<pixkit::Rect> Crosshair(pixkit::Pair<int> p);

} // namespace kv
