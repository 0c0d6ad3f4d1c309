// Cutting a brush out of the image: a rectangle, or the pixels a fill
// marked (bit 24). Qt-free: the tools in cuttools.cpp call these and then
// hand the result to the brush state.
#pragma once

#include <pixkit/buffer.h>

#include <optional>

namespace kv {

enum class CutOutcome {
    Taken,   // the brush holds the cut
    Nothing, // nothing to cut (outside the image, or no mark)
    TooBig,  // above the brush limit, or the memory is not there
};

// The rectangle between two corners, normalised and clamped to an image of
// size; none when it lies wholly outside.
std::optional<pixkit::Rect> CutRect(pixkit::Pair<int> a, pixkit::Pair<int> b,
                                    pixkit::Pair<int> size);

// Copies the rectangle r (inside image) into brush, which is allocated
// here; pixels of the colour back become transparent. On failure brush is
// left empty.
CutOutcome TakeBrush(pixkit::Buffer& image, pixkit::Rect r, pixkit::Pixel back,
                     pixkit::Buffer& brush);

// The result of MakeBrushFromMarks: the brush, where it was cut from and
// the colour chosen to stand for its transparent pixels.
struct MarkedCut {
    pixkit::Buffer Brush;
    pixkit::Rect Bounds{0, 0, -1, -1};
    pixkit::Pixel Background = 0;
};

// Builds a brush from the pixels of region marked with bit 24, all of which
// lie inside within (region coordinates; the marking reports it). Their
// colours come from before (the image as it was before the marks, same
// coordinates) or, when before is null, from region with the marks taken
// off. Unmarked pixels become transparent; the background is
// ChooseFreeColour of the opaque pixels (back when every colour is used).
// With AfterCut::Restore the pixels of region in the brush's box are put
// back as RestoreArea does, on the same pass.
enum class AfterCut { KeepMarks, Restore };
CutOutcome MakeBrushFromMarks(pixkit::Buffer& region, pixkit::Rect within,
                              const pixkit::Buffer* before, pixkit::Pixel back, MarkedCut& cut,
                              AfterCut after = AfterCut::KeepMarks);

// Puts the pixels of view inside r back as they are in before (the image
// before the marks, same coordinates), which takes the marks away too;
// without before only the marks go. Everything a marking changes lies in
// the box of its marks, so this undoes it without touching the rest.
void RestoreArea(pixkit::Buffer& view, const pixkit::Buffer* before, pixkit::Rect r);

// A colour that none of brush's opaque pixels has: the least used red
// (the first unused one when there is one), then the least used green
// among the pixels of that red, then blue; fallback when even blue has no
// free value.
pixkit::Pixel ChooseFreeColour(const pixkit::Buffer& brush, pixkit::Pixel fallback);

} // namespace kv
