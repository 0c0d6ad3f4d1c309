#include "printlayout.h"

#include <algorithm>

namespace kv {

namespace {

int Extent(int pixels, double factor) {
    const double units = pixels * factor - 1.0;
    return units < 1.0 ? 1 : static_cast<int>(std::min(units, 2e9));
}

int Offset(int page, int dest, PageAlign align) {
    switch (align) {
    case PageAlign::Start:
        return 0;
    case PageAlign::Center:
        return (page - dest) / 2;
    case PageAlign::End:
        return page - dest;
    }
    return 0;
}

} // namespace

PrintPlacement PlaceImage(const PlacementRequest& r) {
    if (r.Image.x < 1 || r.Image.y < 1) return {};
    const double factor = r.Stretch ? std::min(static_cast<double>(r.Page.x) / r.Image.x,
                                               static_cast<double>(r.Page.y) / r.Image.y)
                                    : r.ImgZoom * static_cast<double>(kUnitsPerPixel) / 100.0;
    PrintPlacement p;
    p.Width = Extent(r.Image.x, factor);
    p.Height = Extent(r.Image.y, factor);
    p.Left = Offset(r.Page.x, p.Width, r.Horiz);
    p.Top = Offset(r.Page.y, p.Height, r.Vert);
    return p;
}

} // namespace kv
