// Painting on the real main window: pens, built-in brushes, lines, curves
// and the grid, driven by mouse events on the view; the image's pixels are
// checked, and undo must give the image back exactly.
#include "paintgui.h"

#include "files/filecommands.h"
#include "files/filenames.h"

#include "paint/brushtools.h"
#include "paint/lines.h"
#include "paint/painting.h"
#include "paint/painttools.h"
#include "paint/pathmath.h"
#include "paint/pens.h"
#include "tools/framework.h"
#include "view/tbuffer.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>

#include <pixkit/gfxfile.h>

#include <optional>
#include <set>
#include <utility>
#include <vector>

using kvtest::kBack;
using kvtest::kDraw;
using kvtest::kGround;
using kvtest::kHold;
using kvtest::PaintGui;
using kvtest::Points;
using kvtest::ViewOf;
using pixkit::Pair;
using pixkit::Pixel;

namespace {

TEST_F(PaintGui, QuickClickStampsOnceAndAHeldPressTwice) {
    RunPainting([](kv::TMainForm& form) {
        kv::Painting& paint = form.Paintbox();
        Select(form, kv::BrushBox1Tool());
        Select(form, kv::PenContTool());
        const auto before = Pixels(form);
        const auto stamps0 = paint.Stamp.Stamps();
        Click(form, {40, 40});
        const auto quick = paint.Stamp.Stamps() - stamps0;
        Move(form, {80, 80});
        EXPECT_EQ(Painted(form), Box(39, 39, 41, 41));
        EXPECT_EQ(form.Docs().CurrentImage().Changed, 1);
        ExpectUndoRestores(form, before);

        const auto stamps1 = paint.Stamp.Stamps();
        Click(form, {40, 40}, Qt::LeftButton, true);
        // The release of the held press stamps the same place once more.
        EXPECT_EQ(paint.Stamp.Stamps() - stamps1, quick + 1);
        EXPECT_EQ(Painted(form), Box(39, 39, 41, 41));
    });
}

TEST_F(PaintGui, DragLeavesAnUnbrokenTrailAndDottedOneStampPerMove) {
    RunPainting([](kv::TMainForm& form) {
        const Pair<int> a{20, 30}, b{70, 45}, c{90, 100};
        Select(form, kv::PenContTool());
        const auto before = Pixels(form);
        QTest::mouseMove(form.ShowBuf(), ViewOf(form, a));
        QTest::mousePress(form.ShowBuf(), Qt::LeftButton, {}, ViewOf(form, a));
        Move(form, b);
        Move(form, c);
        QTest::qWait(kHold);
        QTest::mouseRelease(form.ShowBuf(), Qt::LeftButton, {}, ViewOf(form, c));
        Points trail = WalkOf(a, b);
        trail.merge(WalkOf(b, c));
        EXPECT_EQ(Painted(form), trail);
        ExpectUndoRestores(form, before);

        Select(form, kv::PenDiscTool());
        QTest::mouseMove(form.ShowBuf(), ViewOf(form, a));
        QTest::mousePress(form.ShowBuf(), Qt::LeftButton, {}, ViewOf(form, a));
        Move(form, b);
        Move(form, c);
        QTest::qWait(kHold);
        QTest::mouseRelease(form.ShowBuf(), Qt::LeftButton, {}, ViewOf(form, c));
        EXPECT_EQ(Painted(form), (Points{{a.x, a.y}, {b.x, b.y}, {c.x, c.y}}));
    });
}

TEST_F(PaintGui, RightButtonPaintsInTheBackColour) {
    RunPainting([](kv::TMainForm& form) {
        kv::Painting& paint = form.Paintbox();
        Select(form, kv::PenOneTool());
        Select(form, kv::BrushCrc2Tool());
        ASSERT_EQ(form.ToolFw().Current, kv::PenContTool()); // a built brush leaves the dots
        Click(form, {50, 50}, Qt::RightButton);
        form.ToolFw().HideFeedback(); // the preview in the draw colour
        const kv::UDBuffer& image = form.Docs().CurrentImage();
        EXPECT_EQ(*image.At(50, 50), kBack);
        EXPECT_EQ(*image.At(45, 50), kBack);
        EXPECT_EQ(*image.At(45, 45), kGround); // the disc's shape, not its box
        // The stroke is over: the painting brush is the left button's again.
        EXPECT_EQ(*paint.Brush.Painting.At(5, 5), kDraw);

        // A cut brush with Replace stamps a filled back-colour rectangle.
        paint.Brush.Brush.Alloc(Pair<int>{4, 3});
        paint.Brush.Brush.Box(paint.Brush.Brush.Area, kv::kBrushTransparent);
        paint.Brush.Brush.PutPixel({0, 0}, 0x00123456);
        paint.Brush.Settings.UserBrush = true;
        form.ToolFw().UserBrushInUse = true;
        ASSERT_TRUE(form.ToolFw().SelectTechnique(kv::tqReplace));
        Click(form, {150, 150}, Qt::RightButton);
        Points rect = Painted(form);
        Points expected = Box(148, 149, 151, 151);
        for (auto p : rect)
            if (p.first < 100) expected.insert(p);
        EXPECT_EQ(rect, expected);
        EXPECT_EQ(*image.At(148, 149), kBack);
    });
}

TEST_F(PaintGui, TwentyOneBrushHandleAndElevenSavesTheCutBrush) {
    RunPainting([](kv::TMainForm& form) {
        kv::Painting& paint = form.Paintbox();
        paint.Brush.Brush.Alloc(Pair<int>{2, 2});
        paint.Brush.Brush.Box(paint.Brush.Brush.Area, 0x00345678);
        paint.Brush.Settings.UserBrush = true;
        Select(form, kv::BrushCrc2Tool());
        ASSERT_EQ(paint.Brush.Previous.Width(), 2);
        EXPECT_EQ(*paint.Brush.Previous.At(1, 1), 0x00345678u);
        EXPECT_EQ(paint.Brush.Brush.Width(), 11);
        // The brush icon remembers the plain round variant, then the square.
        const kv::ToolFramework& fw = form.ToolFw();
        const kv::IconRecord& icon = fw.IconTable()[0];
        EXPECT_EQ(icon.Current, fw.ToolIndex(kv::BrushCrcTool()));
        Select(form, kv::BrushBox2Tool());
        EXPECT_EQ(icon.Current, fw.ToolIndex(kv::BrushBoxTool()));

        Select(form, kv::BrushCrc3Tool());
        Select(form, kv::PenContTool());
        Click(form, {100, 100});
        const Points p = Painted(form);
        ASSERT_FALSE(p.empty());
        int x1 = 1 << 30, y1 = 1 << 30, x2 = -1, y2 = -1;
        for (auto [x, y] : p) {
            x1 = std::min(x1, x), y1 = std::min(y1, y), x2 = std::max(x2, x), y2 = std::max(y2, y);
        }
        EXPECT_EQ((std::vector<int>{x1, y1, x2, y2}), (std::vector<int>{90, 90, 110, 110}));
    });
}

// Sets a line or curve tool's settings before it becomes current (its
// Activate hands them to the bar).
void Configure(kv::P_icon* tool, int mode, double value, int arrow) {
    auto* path = static_cast<kv::P_path*>(tool);
    path->Mode = mode;
    path->Value = value;
    path->Arrow = arrow;
}

TEST_F(PaintGui, LinesZeroLengthCountModeAndArrows) {
    RunPainting([](kv::TMainForm& form) {
        Configure(kv::LineTool(), kv::smEveryPixel, 2, 0);
        Select(form, kv::LineTool());
        const auto before = Pixels(form);
        Click(form, {30, 30});
        EXPECT_EQ(kv::LineTool()->StatusText, "LnEnd");
        Click(form, {30, 30});
        // A finished single line waits for the next start again.
        EXPECT_EQ(kv::LineTool()->StatusText, "LnStr");
        EXPECT_EQ(Painted(form), (Points{{30, 30}}));
        ExpectUndoRestores(form, before);

        Select(form, kv::PenContTool());
        Configure(kv::LineTool(), kv::smCount, 2, 0);
        Select(form, kv::LineTool());
        Click(form, {10, 50});
        Click(form, {90, 70});
        EXPECT_EQ(Painted(form), (Points{{10, 50}, {90, 70}}));
        ExpectUndoRestores(form, before);

        Select(form, kv::PenContTool());
        Configure(kv::LineTool(), kv::smEveryPixel, 2, 4);
        Select(form, kv::LineTool());
        const Pair<int> a{10, 120}, b{150, 120}; // inside the visible part
        Click(form, a);
        Click(form, b);
        Points expected = WalkOf(a, b);
        for (double angle : {-30.0, 30.0})
            expected.merge(WalkOf(kv::ArrowPoint(b, a, angle, 60), b));
        const Points got = Painted(form);
        for (auto p : got)
            if (!expected.count(p)) ADD_FAILURE() << "extra " << p.first << "," << p.second;
        for (auto p : expected)
            if (!got.count(p)) ADD_FAILURE() << "missing " << p.first << "," << p.second;
        EXPECT_TRUE(expected.count({b.x - 51, b.y + 29}) && expected.count({b.x - 51, b.y - 29}));
        ExpectUndoRestores(form, before);
    });
}

TEST_F(PaintGui, CurvesStraightOnTheChordAndChainsFromTheEnd) {
    RunPainting([](kv::TMainForm& form) {
        Configure(kv::SplineTool(), kv::smEveryPixel, 2, 0);
        Select(form, kv::SplineTool());
        const auto before = Pixels(form);
        // The sixteen curve points fall on whole pixels of the chord.
        Click(form, {20, 20});
        Click(form, {116, 68});
        Click(form, {68, 44});
        EXPECT_EQ(kv::SplineTool()->StatusText, "SplnStr");
        EXPECT_EQ(Painted(form), WalkOf({20, 20}, {116, 68}));
        ExpectUndoRestores(form, before);

        Select(form, kv::PenContTool());
        Configure(kv::SplineContTool(), kv::smEveryPixel, 2, 0);
        Select(form, kv::SplineContTool());
        Click(form, {20, 100});
        Click(form, {100, 100});
        Click(form, {60, 100});
        // Until the pointer moves, the next curve shows no band.
        const auto shown = Pixels(form);
        const Points first = Painted(form);
        EXPECT_TRUE(Pixels(form) == shown);
        EXPECT_EQ(first, WalkOf({20, 100}, {100, 100}));
        // The next curve starts at (100, 100), not at the last click.
        Click(form, {100, 160});
        Click(form, {100, 130});
        Points expected = first;
        expected.merge(WalkOf({100, 100}, {100, 160}));
        EXPECT_EQ(Painted(form), expected);
        // The chain is one action: undo takes all of it back.
        ExpectUndoRestores(form, before);
    });
}

TEST_F(PaintGui, RubberBandsAndPreviewsLeaveNoTrace) {
    RunPainting([](kv::TMainForm& form) {
        Select(form, kv::BrushCrc2Tool());
        Configure(kv::LineTool(), kv::smEveryPixel, 2, 3);
        Configure(kv::SplineTool(), kv::smEveryPixel, 2, 2);
        const auto before = Pixels(form);
        for (kv::P_icon* tool : {kv::LineTool(), kv::SplineTool()}) {
            Select(form, tool);
            Move(form, {60, 60}); // the brush preview
            Click(form, {50, 50});
            Move(form, {150, 90}); // the rubber band
            if (tool == kv::SplineTool()) {
                Click(form, {150, 90});
                Move(form, {100, 30}); // the curve's band
            }
            QTest::keyClick(&form, Qt::Key_P); // leave for the pen
            form.ToolFw().HideFeedback();
            EXPECT_TRUE(Pixels(form) == before) << "trace left by " << tool->BarName;
        }
    });
}

// The preview stamp reaches the screen before control returns to the event
// loop, as a stroke drawn inside a long operation would need.
TEST_F(PaintGui, PreviewStampIsPaintedAtOnce) {
    RunPainting([](kv::TMainForm& form) {
        struct PaintCounter : QObject {
            int Count = 0;
            bool eventFilter(QObject*, QEvent* e) override {
                if (e->type() == QEvent::Paint) ++Count;
                return false;
            }
        } counter;
        Select(form, kv::PenContTool());
        Move(form, {60, 60});
        form.ToolFw().HideFeedback();
        QCoreApplication::processEvents();
        form.ShowBuf()->installEventFilter(&counter);
        form.ToolFw().ShowFeedback();
        EXPECT_GT(counter.Count, 0);
        form.ShowBuf()->removeEventFilter(&counter);
    });
}

TEST_F(PaintGui, SaveAndClipboardExportLeaveThePreviewStampOut) {
    RunPainting([this](kv::TMainForm& form) {
        Select(form, kv::BrushBox1Tool());
        Select(form, kv::PenContTool());
        Click(form, {40, 40});
        Move(form, {80, 80}); // the preview stamp rests under the pointer
        const kv::UDBuffer& image = form.Docs().CurrentImage();
        ASSERT_EQ(*image.At(80, 80), kDraw) << "no preview to leave out";
        const pixkit::Buffer saved = SaveAndReload(form, (root_ / "saved.bmp").string());
        ASSERT_FALSE(saved.Empty());
        EXPECT_EQ(*saved.At(40, 40) & 0xFFFFFF, kDraw);
        EXPECT_EQ(*saved.At(80, 80) & 0xFFFFFF, kGround) << "the preview was saved";
        EXPECT_EQ(*image.At(80, 80), kDraw) << "the preview is shown again";

        form.MenuCommand("ExptoClipb1")->trigger();
        const QImage copied =
            QImage::fromData(QGuiApplication::clipboard()->mimeData()->data("image/png"));
        ASSERT_FALSE(copied.isNull());
        EXPECT_EQ(copied.pixel(80, 80) & 0xFFFFFF, kGround) << "the preview was exported";
        EXPECT_EQ(copied.pixel(40, 40) & 0xFFFFFF, kDraw);
    });
}

TEST_F(PaintGui, GridSnapsOnlyForSnappingToolsAndTheOriginToolIsOneShot) {
    RunPainting([](kv::TMainForm& form) {
        kv::ToolFramework& fw = form.ToolFw();
        Select(form, kv::PenContTool());
        // Shift+3 as a US keyboard reports it: the "#" symbol with Shift.
        QTest::keyClick(&form, Qt::Key_NumberSign, Qt::ShiftModifier);
        ASSERT_TRUE(form.Paintbox().GridOn) << "the grid's hot key";
        form.findChild<QSpinBox*>("GridDx")->setValue(10);
        form.findChild<QSpinBox*>("GridDy")->setValue(10);
        Click(form, {13, 16});
        EXPECT_EQ(Painted(form), (Points{{10, 20}}));

        form.findChild<QPushButton*>("GridOrigBtn")->click();
        ASSERT_EQ(fw.Current, kv::GridPosTool());
        Click(form, {13, 17}); // not snapped
        EXPECT_EQ(form.findChild<QSpinBox*>("GridPx")->value(), 13);
        EXPECT_EQ(form.findChild<QSpinBox*>("GridPy")->value(), 17);
        EXPECT_EQ(fw.Current, kv::PenContTool());
        EXPECT_EQ(Painted(form), (Points{{10, 20}})); // the origin tool paints nothing

        Select(form, kv::BrushBox2Tool());
        form.findChild<QPushButton*>("BrushSizeBtn")->click();
        EXPECT_EQ(form.findChild<QSpinBox*>("GridDx")->value(), 11);
        fw.SelectTool(kv::GridTool(), true, -1);
        EXPECT_FALSE(form.Paintbox().GridOn);
    });
}

TEST_F(PaintGui, ClearImageAndThePeriodKey) {
    RunPainting([](kv::TMainForm& form) {
        kv::Painting& paint = form.Paintbox();
        Select(form, kv::BrushBox2Tool());
        EXPECT_EQ(paint.Brush.Brush.Width(), 11);
        QTest::keyClick(&form, Qt::Key_Period);
        EXPECT_EQ(paint.Brush.Brush.Width(), 1);
        QTest::keyClick(&form, Qt::Key_Period); // back to the built-in brush
        EXPECT_EQ(paint.Brush.Brush.Width(), 11);

        form.Docs().CurrentImage().FileName = "/tmp/named.frm";
        form.RefreshDocumentLabel();
        const auto before = Pixels(form);
        form.ToolFw().SelectTool(kv::ClearTool(), true, -1);
        EXPECT_EQ(form.ToolFw().Current, kv::PenContTool());
        const kv::UDBuffer& image = form.Docs().CurrentImage();
        EXPECT_EQ(*image.At(0, 0), kBack);
        EXPECT_EQ(*image.At(image.Width() - 1, image.Height() - 1), kBack);
        EXPECT_EQ(image.FileState, 1);
        EXPECT_TRUE(image.FileName.empty());
        EXPECT_EQ(form.PanelText(0).toStdString(), "[1] Untitled");
        ExpectUndoRestores(form, before);
        // Undo gives the name back to the status bar as to the image.
        EXPECT_EQ(image.FileName, "/tmp/named.frm");
        EXPECT_EQ(form.PanelText(0).toStdString(), "[1] /tmp/named.frm");
    });
}

} // namespace
