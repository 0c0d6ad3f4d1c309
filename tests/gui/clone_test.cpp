// The clone tool on the real main window: the offset from Alt+click and
// click, dabs against a reference built here from the image before each
// stroke or dab, clamping, Cumulative, undo, Clipping and the marker.
#include "paintgui.h"

#include "bars/parambar.h"
#include "paint/clonetool.h"
#include "paint/painttools.h"

#include <QImage>

namespace {

using namespace kvtest;
using pixkit::Pair;
using pixkit::Pixel;
using pixkit::Rect;

constexpr Pixel T = kv::kBrushTransparent;
constexpr int kW = 300, kH = 200;

using Image = std::vector<Pixel>;

// A 5 x 5 brush without its corners, in colours that must not show.
void MakeBrush(kv::TMainForm& form) {
    kv::BrushState& b = form.Paintbox().Brush;
    b.Brush.Alloc(Pair<int>{5, 5});
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 5; ++x)
            *b.Brush.At(x, y) = (x == 0 || x == 4) && (y == 0 || y == 4) ? T : 0x00ABCDEF;
    b.Settings.UserBrush = true;
    b.Settings.Handle = kv::bhCentre;
    b.Settings.Technique = kv::btReplace;
    form.Paintbox().BrushChanged();
}

// One dab of that brush at p, reading src, writing ref inside clip.
void ReferenceDab(Image& ref, const Image& src, Pair<int> p, Pair<int> offset, Rect clip) {
    for (int j = 0; j < 5; ++j)
        for (int i = 0; i < 5; ++i) {
            if ((i == 0 || i == 4) && (j == 0 || j == 4)) continue;
            const int x = p.x - 2 + i, y = p.y - 2 + j;
            if (x < clip.Left || x > clip.Right || y < clip.Top || y > clip.Bottom) continue;
            const int sx = std::clamp(x + offset.x, 0, kW - 1);
            const int sy = std::clamp(y + offset.y, 0, kH - 1);
            ref[std::size_t(y * kW + x)] = src[std::size_t(sy * kW + sx)];
        }
}

class CloneGui : public PaintGui {
  protected:
    void RunClone(std::function<void(kv::TMainForm&)> check) {
        RunPaintingWithBars([check](kv::TMainForm& form) {
            ASSERT_TRUE(form.Docs().AllocBlack(0, kW, kH));
            Pattern(form);
            MakeBrush(form);
            Select(form, kv::CloneTool());
            ASSERT_EQ(form.ParamBar().BuiltName(), "CLONEBAR");
            check(form);
        });
    }
    // Every pixel different.
    static void Pattern(kv::TMainForm& form) {
        kv::UDBuffer& image = form.Docs().CurrentImage();
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x) *image.At(x, y) = Pixel(x * 1000 + y);
        form.RefreshView();
    }
    static void AltClick(kv::TMainForm& form, Pair<int> p) {
        const QPoint v = ViewOf(form, p);
        QTest::mouseMove(form.ShowBuf(), v);
        QTest::mousePress(form.ShowBuf(), Qt::LeftButton, Qt::AltModifier, v);
        QTest::mouseRelease(form.ShowBuf(), Qt::LeftButton, Qt::AltModifier, v);
    }
    // A stroke through points, the button held past the drag delay.
    static void Stroke(kv::TMainForm& form, const std::vector<Pair<int>>& points) {
        QTest::mouseMove(form.ShowBuf(), ViewOf(form, points[0]));
        QTest::mousePress(form.ShowBuf(), Qt::LeftButton, {}, ViewOf(form, points[0]));
        for (Pair<int> p : points) Move(form, p);
        QTest::qWait(kHold);
        QTest::mouseRelease(form.ShowBuf(), Qt::LeftButton, {}, ViewOf(form, points.back()));
    }
    static Rect Whole() { return {0, 0, kW - 1, kH - 1}; }
};

TEST_F(CloneGui, OffsetClampingQuickClicksAndUndo) {
    RunClone([](kv::TMainForm& form) {
        const Image pattern = Pixels(form);
        // Each case: the source, the click that fixes the offset, a later
        // click; the later ones reach past each edge.
        struct Case {
            Pair<int> source, fix, paint;
        };
        const Case cases[] = {
            {{100, 100}, {10, 10}, {20, 20}},             // inside: (20, 20) from (110, 110)
            {{kW - 3, kH - 3}, {2, 2}, {30, 30}},         // past the right and bottom edges
            {{2, 2}, {kW - 3, kH - 3}, {30, 30}},         // past the left and top edges
            {{kW - 2, 1}, {150, 100}, {kW - 1 - 40, 20}}, // right and top
        };
        for (const Case& c : cases) {
            SCOPED_TRACE(testing::Message() << c.source.x << "," << c.source.y);
            Pattern(form);
            Image ref = pattern;
            AltClick(form, c.source);
            form.ToolFw().HideFeedback();
            EXPECT_TRUE(Pixels(form) == pattern) << "setting the source paints nothing";
            const Pair<int> offset{c.source.x - c.fix.x, c.source.y - c.fix.y};
            const int changed = form.Docs().CurrentImage().Changed;
            for (Pair<int> p : {c.fix, c.paint}) {
                const Image before = ref;
                ReferenceDab(ref, before, p, offset, Whole());
                Click(form, p);
            }
            EXPECT_EQ(form.Docs().CurrentImage().Changed, changed + 2) << "one per click";
            form.ToolFw().HideFeedback();
            EXPECT_TRUE(Pixels(form) == ref);
            if (c.source == Pair<int>{100, 100}) {
                EXPECT_EQ(*form.Docs().CurrentImage().At(21, 19),
                          pattern[std::size_t(109 * kW + 111)]);
            }
        }
        // A quick click dabs once: with Cumulative on and an offset of one
        // pixel a second dab would move the pixels on again, and a dab that
        // wrote before it had read would smear its first column rightwards.
        form.SetBarValue(0, 1);
        Pattern(form);
        AltClick(form, {59, 50});
        Image ref = pattern;
        const Image before = ref;
        ReferenceDab(ref, before, {60, 50}, {-1, 0}, Whole());
        Click(form, {60, 50});
        form.ToolFw().HideFeedback();
        EXPECT_TRUE(Pixels(form) == ref);

        // Setting a new source does not take the snapshot: undo still takes
        // the last stroke back.
        AltClick(form, {200, 150});
        form.ToolFw().HideFeedback();
        form.UndoLastAction();
        EXPECT_TRUE(Pixels(form) == before);
    });
}

TEST_F(CloneGui, CumulativeReadsTheStrokesOwnPixelsOffReadsTheImageBefore) {
    RunClone([](kv::TMainForm& form) {
        const Image pattern = Pixels(form);
        // The offset (-2, 0) makes the stroke run over its own source.
        std::vector<Pair<int>> path;
        for (int x = 40; x <= 70; ++x) path.push_back({x, 60});
        for (int cumulative : {0, 1}) {
            SCOPED_TRACE(cumulative);
            Pattern(form);
            form.SetBarValue(0, cumulative);
            AltClick(form, {38, 60});
            Image ref = pattern;
            for (Pair<int> p : path)
                ReferenceDab(ref, cumulative ? Image(ref) : pattern, p, {-2, 0}, Whole());
            // The click that fixes the offset starts the stroke.
            Stroke(form, path);
            form.ToolFw().HideFeedback();
            EXPECT_TRUE(Pixels(form) == ref);
        }
        // The switch survives a change of tools.
        Select(form, kv::PenContTool());
        Select(form, kv::CloneTool());
        EXPECT_EQ(form.GetBarValue(0), 1);
    });
}

TEST_F(CloneGui, ClippingKeepsDabsInTheViewAndTheMarkerLivesOnTheScreen) {
    RunClone([](kv::TMainForm& form) {
        const Image pattern = Pixels(form);
        kv::ToolFramework& fw = form.ToolFw();

        // The marker: drawn while the pointer is over the view, gone after.
        AltClick(form, {150, 100});
        Click(form, {100, 100}); // offset (50, 0)
        Pattern(form);
        Move(form, {60, 60});
        const double f = form.ZoomFactor();
        const QPoint centre(int(110 * f + f / 2), int(60 * f + f / 2));
        const QPoint arm = centre + QPoint(3, 3);
        const auto screen = [&form, arm] {
            return form.ShowBuf()->grab().toImage().pixel(arm) & 0xFFFFFF;
        };
        const QRgb under = screen();
        EXPECT_EQ(under,
                  (~*form.Docs().CurrentImage().At(int(arm.x() / f), int(arm.y() / f))) & 0xFFFFFF)
            << "the marker inverts the image";
        fw.ClearMouseCoords();
        EXPECT_EQ(screen(),
                  *form.Docs().CurrentImage().At(int(arm.x() / f), int(arm.y() / f)) & 0xFFFFFF);

        // Clipping on and zoomed in: the dabs stop at the view's edges.
        ClipToPart(form);
        const Rect v = form.DrawingView().Area;
        Pattern(form);
        Image ref = pattern;
        for (Pair<int> p :
             {Pair<int>{v.Left + 1, v.Top + 1}, Pair<int>{v.Right - 1, v.Bottom - 1}}) {
            const Image before = ref;
            ReferenceDab(ref, before, p, {50, 0}, v);
            Click(form, p);
        }
        fw.HideFeedback();
        EXPECT_TRUE(Pixels(form) == ref);
        form.ToggleClipping();
    });
}

} // namespace
