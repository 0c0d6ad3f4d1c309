// Where the image lands on the printable area, in printer units (300 dpi).
#include "files/printlayout.h"

#include <gtest/gtest.h>

using kv::PageAlign;
using kv::PlaceImage;

TEST(PrintLayout, PlacementTable) {
    const PageAlign S = PageAlign::Start, C = PageAlign::Center, E = PageAlign::End;
    struct Case {
        int pageW, pageH, imageW, imageH;
        bool stretch;
        int zoom;
        PageAlign h, v;
        int left, top, width, height;
    } cases[] = {
        // Three units a pixel at 100 %, less one.
        {2400, 3300, 100, 50, false, 100, S, S, 0, 0, 299, 149},
        // Stretched: f = min(4000 / 200, 6000 / 100) = 20.
        {4000, 6000, 200, 100, true, 100, C, C, 0, 2000, 3999, 1999},
        {4000, 6000, 200, 100, false, 100, E, E, 4000 - 599, 6000 - 299, 599, 299},
        // An odd difference is halved toward zero.
        {1000, 1001, 100, 100, false, 100, C, C, 350, 351, 299, 299},
        // 30 pixels at 1 % are 0.9 units: still one unit, not an empty print.
        {2400, 3300, 30, 30, false, 1, C, S, 1199, 0, 1, 1},
        // Larger than the page: centred with a negative left and top, an odd
        // difference again halved toward zero.
        {2401, 3300, 100, 100, false, 9999, C, C, -13797, -13348, 29996, 29996},
        {2400, 3300, 100, 100, false, 9999, E, S, 2400 - 29996, 0, 29996, 29996},
        // Stretch fits the height when the page is the narrower fit.
        {3000, 1000, 100, 100, true, 100, C, C, 1000, 0, 999, 999},
    };
    for (const Case& c : cases) {
        const kv::PrintPlacement p =
            PlaceImage({{c.pageW, c.pageH}, {c.imageW, c.imageH}, c.stretch, c.zoom, c.h, c.v});
        SCOPED_TRACE(testing::Message() << c.imageW << "x" << c.imageH << " zoom " << c.zoom
                                        << " stretch " << c.stretch);
        EXPECT_EQ(p.Left, c.left);
        EXPECT_EQ(p.Top, c.top);
        EXPECT_EQ(p.Width, c.width);
        EXPECT_EQ(p.Height, c.height);
    }
}
