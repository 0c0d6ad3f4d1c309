// Where the image goes on a printed page. Sizes are in printer units (1/300
// inch); the page is the printable area inside the margins.
#pragma once

#include <pixkit/types.h>

namespace kv {

// Printer units per image pixel at an image zoom of 100 %: 100 pixels an inch.
inline constexpr int kUnitsPerPixel = 3;
inline constexpr int kPrintDpi = 300;

// Left/Top, Center, Right/Bottom.
enum class PageAlign { Start, Center, End };

struct PrintPlacement {
    int Left = 0, Top = 0;
    int Width = 0, Height = 0;
};

struct PlacementRequest {
    pixkit::Pair<int> Page;  // printable width and height
    pixkit::Pair<int> Image; // pixels
    bool Stretch = false;    // fit the page, keeping the aspect ratio
    int ImgZoom = 100;       // percent, when not stretched
    PageAlign Horiz = PageAlign::Center;
    PageAlign Vert = PageAlign::Center;
};

// The destination rectangle: the image size times the factor, less one,
// truncated, but never below one unit so that every image leaves a mark.
// An image larger than the page gets a negative left or top when centred
// or right-aligned.
PrintPlacement PlaceImage(const PlacementRequest& r);

} // namespace kv
