// Shapes and fills on the real main window: boxes, circles and ellipses,
// Solid and Pattern Fill with the origin tool, Filled Shape and Filled
// Polygon. After every finish and every cancel no pixel keeps a mark, undo
// gives the image back exactly and no preview stays behind.
#include "paintgui.h"

#include "bars/parambar.h"
#include "colors/colormath.h"
#include "paint/fills.h"
#include "paint/marking.h"
#include "paint/outlinefills.h"
#include "paint/painttools.h"
#include "paint/shapes.h"
#include "view/maxsize.h"

#include <QAbstractButton>
#include <QScrollBar>

#include <cmath>

using namespace kvtest;
using pixkit::Pair;
using pixkit::Pixel;
using pixkit::Rect;

namespace {

constexpr Pixel kArea = 0x00404040;

class ShapesGui : public kvtest::PaintGui {
  protected:
    static bool NoMarks(kv::TMainForm& form) { return !kv::HasMarks(form.Docs().CurrentImage()); }
    // A pixel, once the feedback (crosshairs, rubber bands) is taken away.
    static Pixel At(kv::TMainForm& form, int x, int y) {
        form.ToolFw().HideFeedback();
        return *form.Docs().CurrentImage().At(x, y);
    }
    // Earlier painting, repainted on the view as a tool would.
    static void Paint(kv::TMainForm& form, Rect r, Pixel c) {
        form.Docs().CurrentImage().Box(r, c);
        form.InvalidateImageRect(r.Left, r.Top, r.Right + 1, r.Bottom + 1);
    }
    // Press at the first point, move through the others, release at the
    // last one after the drag delay.
    static void Drag(kv::TMainForm& form, std::vector<Pair<int>> path,
                     Qt::MouseButton b = Qt::LeftButton) {
        QTest::mouseMove(form.ShowBuf(), ViewOf(form, path.front()));
        QTest::mousePress(form.ShowBuf(), b, {}, ViewOf(form, path.front()));
        for (std::size_t i = 1; i < path.size(); ++i)
            QTest::mouseMove(form.ShowBuf(), ViewOf(form, path[i]));
        QTest::qWait(kHold);
        QTest::mouseRelease(form.ShowBuf(), b, {}, ViewOf(form, path.back()));
    }
    // A user brush of w x h pixels with a transparent pixel at (1, 0).
    static void UserBrush(kv::TMainForm& form, int w, int h) {
        kv::BrushState& brush = form.Paintbox().Brush;
        brush.Brush.Alloc(Pair<int>{w, h});
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                brush.Brush.PutPixel({x, y}, 0x00100000u * (x + 1) + 0x20u * (y + 1));
        brush.Brush.PutPixel({1, 0}, kv::kBrushTransparent);
        brush.Settings.UserBrush = true;
        form.ToolFw().UserBrushInUse = true;
    }
    // The brush pixel a pattern with origin o shows at (x, y).
    static Pixel Tile(kv::TMainForm& form, Pair<int> o, int x, int y) {
        const pixkit::Buffer& b = form.Paintbox().Brush.Brush;
        const Pixel m = *b.At(kv::FloorMod(x + o.x, b.Width()), kv::FloorMod(y + o.y, b.Height()));
        return m == kv::kBrushTransparent ? kBack : m;
    }
};

TEST_F(ShapesGui, BoxesSquaresSizeStatusAndRightButtonFilledBox) {
    RunPaintingWithBars([](kv::TMainForm& form) {
        const auto before = Pixels(form);
        Select(form, kv::BoxSqrTool());
        Click(form, {10, 10});
        Click(form, {13, 20});
        Points square = Box(10, 10, 20, 20);
        for (auto p : Box(11, 11, 19, 19)) square.erase(p);
        EXPECT_EQ(Painted(form), square);
        ExpectUndoRestores(form, before);
        // Straight below the corner: a square one pixel wide.
        Click(form, {30, 10});
        Click(form, {30, 25});
        EXPECT_EQ(Painted(form), Box(30, 10, 30, 25));
        ExpectUndoRestores(form, before);

        Select(form, kv::BoxRectTool());
        Click(form, {50, 50});
        for (Pair<int> corner : {Pair<int>{59, 54}, {41, 54}, {59, 46}, {41, 46}}) {
            Move(form, corner);
            EXPECT_EQ(form.PanelText(3).toStdString(), "[10,5]");
        }
        QTest::keyClick(&form, Qt::Key_Escape);
        form.ToolFw().HideFeedback();
        EXPECT_TRUE(Pixels(form) == before) << "the rubber band stayed";

        // A right-button filled box is plain back colour under Pattern Fill.
        UserBrush(form, 3, 2);
        Select(form, kv::PatternFillTool());
        Select(form, kv::BoxRectFTool());
        ASSERT_EQ(kv::CurrentFillStyle(), kv::PatternFillTool());
        Click(form, {100, 100}, Qt::RightButton);
        Click(form, {110, 105}, Qt::RightButton);
        EXPECT_EQ(Painted(form), Box(100, 100, 110, 105));
        EXPECT_EQ(At(form, 105, 103), kBack);
        ExpectUndoRestores(form, before);
        // The left button tiles the brush there.
        Click(form, {100, 100});
        Click(form, {110, 105});
        for (auto [x, y] : Box(100, 100, 110, 105))
            ASSERT_EQ(At(form, x, y), Tile(form, {0, 0}, x, y));
        EXPECT_TRUE(NoMarks(form));
    });
}

TEST_F(ShapesGui, ColorizeKeepsTheShadingOfAFilledBox) {
    RunPaintingWithBars([](kv::TMainForm& form) {
        for (int x = 0; x < 64; ++x) Paint(form, {x, 0, x, 40}, kv::MakeRgb(4 * x, 2 * x, x));
        auto* solid = static_cast<kv::P_fill*>(kv::SolidFillTool());
        solid->Colorize = true;
        Select(form, kv::SolidFillTool()); // the fill style
        Select(form, kv::BoxRectFTool());
        Click(form, {5, 5});
        Click(form, {60, 30});
        const kv::Hsv c = kv::RgbToHsv(0xFF, 0, 0);
        for (int x = 5; x <= 60; ++x)
            ASSERT_EQ(At(form, x, 10), kv::HsvToRgb(c.H, c.S, 4 * x)) << x;
        EXPECT_EQ(At(form, 61, 10), kv::MakeRgb(4 * 61, 2 * 61, 61));
        solid->Colorize = false;
    });
}

TEST_F(ShapesGui, CirclesAndEllipsesStampTheirRimAndFillTheirInside) {
    RunPaintingWithBars([](kv::TMainForm& form) {
        const auto before = Pixels(form);
        kv::Painting& paint = form.Paintbox();
        Select(form, kv::CircleTool());
        const auto stamps = paint.Stamp.Stamps();
        Click(form, {60, 60});
        Click(form, {60, 60});
        EXPECT_EQ(paint.Stamp.Stamps() - stamps, 1); // radius 0: one stamp
        EXPECT_EQ(Painted(form), (Points{{60, 60}}));
        ExpectUndoRestores(form, before);

        for (kv::P_icon* tool : {kv::CircleTool(), kv::EllipseFTool()}) {
            Select(form, tool);
            Click(form, {100, 100});
            Click(form, {100, 70}); // radius 30 (the ellipse: 0 wide, 42 high)
            const bool filled = tool == kv::EllipseFTool();
            const Points got = Painted(form);
            EXPECT_TRUE(got.count({100, filled ? 142 : 70}));
            int astray = 0;
            for (auto [x, y] : got)
                astray += filled ? x != 100 : std::abs(std::hypot(x - 100, y - 100) - 30) > 1.5;
            EXPECT_EQ(astray, 0);
            ExpectUndoRestores(form, before);
        }
        // A filled circle covers its disc.
        Select(form, kv::CircleFTool());
        Click(form, {100, 100});
        Click(form, {120, 100});
        const Points disc = Painted(form);
        int wrong = 0;
        for (auto [x, y] : Box(70, 70, 130, 130)) {
            const double d = std::hypot(x - 100, y - 100);
            wrong += (d < 18.5 && !disc.count({x, y})) || (d > 21.5 && disc.count({x, y}));
        }
        EXPECT_EQ(wrong, 0);
        EXPECT_TRUE(NoMarks(form));
        ExpectUndoRestores(form, before);

        // Editing the spacing while the preview shows leaves no trace.
        Select(form, kv::CircleTool());
        Click(form, {100, 100});
        Move(form, {130, 110});
        form.SetBarValue(0, 1);
        form.SetBarValue(1, 7);
        Move(form, {125, 110});
        QTest::keyClick(&form, Qt::Key_P);
        form.ToolFw().HideFeedback();
        EXPECT_TRUE(Pixels(form) == before) << "the circle's preview stayed";
        EXPECT_EQ(static_cast<kv::P_elpse*>(kv::CircleTool())->Value, 7);
    });
}

TEST_F(ShapesGui, SolidAndPatternFillsWithTheOriginTool) {
    RunPaintingWithBars([](kv::TMainForm& form) {
        Paint(form, {20, 20, 79, 59}, kArea);
        Paint(form, {40, 30, 44, 34}, kGround); // a hole
        const auto before = Pixels(form);
        Select(form, kv::SolidFillTool());
        Click(form, {25, 25});
        Points area = Box(20, 20, 79, 59);
        for (auto p : Box(40, 30, 44, 34)) area.erase(p);
        EXPECT_EQ(Painted(form), area);
        EXPECT_EQ(At(form, 25, 25), kDraw);
        ExpectUndoRestores(form, before);
        Click(form, {25, 25}, Qt::RightButton);
        EXPECT_EQ(At(form, 79, 59), kBack);
        // The same colour again with tolerance 0: nothing happens.
        const auto filled = Pixels(form);
        const int changed = form.Docs().CurrentImage().Changed;
        Click(form, {26, 25}, Qt::RightButton);
        EXPECT_EQ(form.Docs().CurrentImage().Changed, changed);
        EXPECT_TRUE(Pixels(form) == filled);
        Paint(form, form.Docs().CurrentImage().Area, kGround);
        Paint(form, {20, 20, 79, 59}, kArea);
        Paint(form, {40, 30, 44, 34}, kGround);
        ASSERT_TRUE(Pixels(form) == before);

        // Pattern Fill aligned with the place of the cut (-7, 4).
        UserBrush(form, 3, 2);
        form.Paintbox().Brush.Settings.Origin = {-7, 4};
        auto* pattern = static_cast<kv::P_fill_pattern*>(kv::PatternFillTool());
        pattern->Align = kv::paCut;
        Select(form, kv::PatternFillTool());
        Click(form, {25, 25});
        for (auto [x, y] : area)
            ASSERT_EQ(At(form, x, y), Tile(form, {7, -4}, x, y)) << x << "," << y;
        EXPECT_TRUE(NoMarks(form));

        // The origin tool: a click puts the brush's handle pixel there and
        // takes no snapshot, so undo still takes the fill back.
        auto* button = qobject_cast<QAbstractButton*>(form.ParamBar().Control(3));
        ASSERT_NE(button, nullptr);
        button->click();
        ASSERT_EQ(form.ToolFw().Current, kv::FillPosTool());
        Click(form, {33, 21});
        EXPECT_EQ(form.ToolFw().Current, kv::PatternFillTool());
        EXPECT_EQ(form.GetBarValue(4), 2);
        ExpectUndoRestores(form, before);
        Click(form, {25, 25});
        const Pair<int> h = kv::HandleOffsetIn(form.Paintbox().Brush.Brush.Area, kv::bhCentre);
        EXPECT_EQ(At(form, 33, 21), Tile(form, {0, 0}, h.x, h.y));
        for (auto [x, y] : area)
            ASSERT_EQ(At(form, x, y), Tile(form, {h.x - 33, h.y - 21}, x, y)) << x << "," << y;
        ExpectUndoRestores(form, before);

        // With a built-in brush Pattern Fill paints the solid colour.
        form.Paintbox().Brush.MakePixelBrush(kDraw);
        Click(form, {25, 25});
        EXPECT_EQ(Painted(form), area);
        EXPECT_EQ(At(form, 79, 20), kDraw);
        pattern->Align = kv::paImage;
    });
}

TEST_F(ShapesGui, FilledPolygonClosesWithinTenViewPixelsAtEveryZoom) {
    RunPaintingWithBars([](kv::TMainForm& form) {
        for (int zoom : {1, 4}) {
            form.MaxSize()->SetPosition(zoom);
            form.ApplyZoom();
            const auto before = Pixels(form);
            Select(form, kv::FillPolyTool());
            const Pair<int> a{10, 10}, b{60, 12}, c{30, 50};
            for (Pair<int> p : {a, b, c}) Click(form, p);
            // The first vertex's zoomed pixel centre, and clicks 10 and then
            // 5 view pixels right of it.
            const int cx = int((a.x + 0.5) * zoom), cy = int((a.y + 0.5) * zoom);
            auto clickView = [&](QPoint v) {
                QTest::mouseMove(form.ShowBuf(), v);
                QTest::mousePress(form.ShowBuf(), Qt::LeftButton, {}, v);
                QTest::mouseRelease(form.ShowBuf(), Qt::LeftButton, {}, v);
            };
            clickView({cx + 10, cy});
            auto* poly = static_cast<kv::P_fill_poly*>(kv::FillPolyTool());
            EXPECT_TRUE(poly->Open()) << "closed 10 view pixels away at zoom " << zoom;
            clickView({cx + 5, cy});
            EXPECT_FALSE(poly->Open()) << "not closed 5 view pixels away at zoom " << zoom;
            const Points filled = Painted(form);
            EXPECT_TRUE(filled.count({30, 25}) && filled.count({a.x, a.y}) &&
                        !filled.count({60, 40}));
            EXPECT_EQ(At(form, 30, 25), kDraw);
            EXPECT_TRUE(NoMarks(form));
            ExpectUndoRestores(form, before);
        }
    });
}

TEST_F(ShapesGui, LeavingMidPolygonOrMidShapeRestoresTheImageExactly) {
    RunPaintingWithBars([](kv::TMainForm& form) {
        Paint(form, {0, 0, 300, 200}, kArea);
        const auto before = Pixels(form);
        auto startPolygon = [&] {
            Select(form, kv::FillPolyTool());
            // A repeated vertex leaves the next click to come while idle:
            // it must not take a snapshot of the marked outline.
            for (Pair<int> p : {Pair<int>{10, 10}, {80, 20}, {80, 20}, {40, 70}}) Click(form, p);
            Move(form, {90, 90}); // the rubber band shows
            ASSERT_FALSE(NoMarks(form));
        };
        startPolygon();
        QTest::keyClick(&form, Qt::Key_P); // another tool's hot key
        form.ToolFw().HideFeedback();
        EXPECT_TRUE(Pixels(form) == before) << "hot key";
        startPolygon();
        QTest::keyClick(&form, Qt::Key_Escape);
        form.ToolFw().HideFeedback();
        EXPECT_TRUE(Pixels(form) == before) << "Esc";
        startPolygon();
        form.SelectImage(1);
        form.SelectImage(0);
        form.ToolFw().HideFeedback();
        EXPECT_TRUE(Pixels(form) == before) << "image switch";

        // New pixels in the slot (a new or opened image) end the polygon:
        // the next click starts another one in them.
        startPolygon();
        kv::UDBuffer& image = form.Docs().CurrentImage();
        image.Alloc(Pair<int>{320, 240});
        image.Box(image.Area, kArea);
        form.RefreshView();
        const auto fresh = Pixels(form);
        Click(form, {50, 50});
        EXPECT_TRUE(static_cast<kv::P_fill_poly*>(kv::FillPolyTool())->Open());
        form.ToolFw().HideFeedback();
        EXPECT_TRUE(Pixels(form) == fresh);
        QTest::keyClick(&form, Qt::Key_Escape);
        form.ToolFw().HideFeedback();
        EXPECT_TRUE(Pixels(form) == fresh);

        // Filled Shape: a hot key while the button is still held.
        Select(form, kv::FillDrawTool());
        QTest::mouseMove(form.ShowBuf(), ViewOf(form, {20, 20}));
        QTest::mousePress(form.ShowBuf(), Qt::LeftButton, {}, ViewOf(form, {20, 20}));
        Move(form, {70, 30});
        Move(form, {40, 80});
        ASSERT_FALSE(NoMarks(form));
        QTest::keyClick(&form, Qt::Key_P);
        QTest::mouseRelease(form.ShowBuf(), Qt::LeftButton, {}, ViewOf(form, {40, 80}));
        form.ToolFw().HideFeedback();
        EXPECT_TRUE(Pixels(form) == fresh) << "Filled Shape left mid-drag";
    });
}

TEST_F(ShapesGui, FilledShapeDragsClicksAndWorksClippedAndScrolled) {
    RunPaintingWithBars([](kv::TMainForm& form) {
        // Large enough to scroll at zoom 4, whatever size new images have.
        kv::UDBuffer& image = form.Docs().CurrentImage();
        image.Alloc(Pair<int>{640, 480});
        image.Box(image.Area, kGround);
        form.RefreshView();
        const auto before = Pixels(form);
        Select(form, kv::FillDrawTool());
        Drag(form, {{20, 20}, {70, 20}, {70, 60}, {20, 60}}, Qt::RightButton);
        Points box = Box(20, 20, 70, 60);
        EXPECT_EQ(Painted(form), box);
        EXPECT_EQ(At(form, 40, 40), kBack);
        EXPECT_TRUE(NoMarks(form));
        ExpectUndoRestores(form, before);
        Click(form, {100, 100}); // a click without a move: one pixel
        EXPECT_EQ(Painted(form), (Points{{100, 100}}));
        ExpectUndoRestores(form, before);

        // Clipping on and zoomed in: the polygon crosses the view's edge and
        // the view scrolls between two vertices.
        form.MaxSize()->SetPosition(4);
        form.ApplyZoom();
        form.ToggleClipping();
        const Rect view = form.DrawingView().Area;
        ASSERT_LT(view.Right + 5, 640);
        ASSERT_LT(view.Bottom + 5, 480);
        Select(form, kv::FillPolyTool());
        Click(form, {view.Left + 5, view.Top + 5});
        Click(form, {view.Right - 2, view.Top + 5});
        form.ScrollBy(40, 40);
        Click(form, {view.Right + 5, view.Bottom + 5}); // outside the action's view
        form.ScrollBy(-40, -40);
        Click(form, {view.Left + 6, view.Top + 6});
        EXPECT_FALSE(static_cast<kv::P_fill_poly*>(kv::FillPolyTool())->Open());
        EXPECT_TRUE(NoMarks(form));
        EXPECT_EQ(At(form, view.Right - 4, view.Top + 10), kDraw);
        EXPECT_EQ(At(form, view.Right + 3, view.Bottom + 3), kGround);
        ExpectUndoRestores(form, before);
        EXPECT_TRUE(NoMarks(form));
        form.ToggleClipping();
    });
}

} // namespace
