// Rotate, Bend and Shear from the Brush menu on the real main window: the
// turned or deformed brush, the live preview, the pointer and Restore.
#include "paintgui.h"

#include "brushops/bendtool.h"
#include "brushops/rotatetool.h"
#include "paint/painttools.h"

#include <QAction>
#include <QCursor>

namespace {

using namespace kvtest;
using pixkit::Pair;
using pixkit::Pixel;

std::vector<Pixel> PixelsOf(const pixkit::Buffer& b) {
    std::vector<Pixel> v;
    for (int y = b.Area.Top; y <= b.Area.Bottom; ++y)
        for (int x = b.Area.Left; x <= b.Area.Right; ++x) v.push_back(*b.At(x, y));
    return v;
}

Pair<int> SizeOf(const pixkit::Buffer& b) {
    return {b.Width(), b.Height()};
}

// A w x h user brush, pixel (x, y) = 0x100 + 0x10 * y + x, the handle in
// the centre.
void MakeBrush(kv::TMainForm& form, int w, int h) {
    kv::BrushState& b = form.Paintbox().Brush;
    b.Brush.Alloc(Pair<int>{w, h});
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) *b.Brush.At(x, y) = Pixel(0x100 + 0x10 * y + x);
    b.Settings.UserBrush = true;
    b.Settings.Handle = kv::bhCentre;
    b.Settings.Background = 0x00ABCDEF;
    b.Settings.Technique = kv::btPaint;
    form.Paintbox().BrushChanged();
}

class BrushRotateGui : public PaintGui {
  protected:
    // The tools move the pointer; the next test finds it where it starts.
    void TearDown() override {
        QCursor::setPos(QPoint(0, 0));
        PaintGui::TearDown();
    }
};

TEST_F(BrushRotateGui, QuarterAndHalfTurnsFromTheMenu) {
    RunPainting([this](kv::TMainForm& form) {
        kv::BrushState& brush = form.Paintbox().Brush;
        Select(form, kv::PenContTool());
        MakeBrush(form, 3, 2);
        const auto original = PixelsOf(brush.Brush);
        form.MenuCommand("N90Degrees1")->trigger();
        // The top-left pixel is the old top-right one, the bottom-left the
        // old top-left one; the painting brush follows.
        EXPECT_EQ(PixelsOf(brush.Brush),
                  (std::vector<Pixel>{0x102, 0x112, 0x101, 0x111, 0x100, 0x110}));
        EXPECT_EQ(SizeOf(brush.Painting), (Pair<int>{2, 3}));
        form.MenuCommand("N180Degrees1")->trigger();
        EXPECT_EQ(PixelsOf(brush.Brush),
                  (std::vector<Pixel>{0x110, 0x100, 0x111, 0x101, 0x112, 0x102}));
        form.MenuCommand("Restore1")->trigger();
        EXPECT_EQ(SizeOf(brush.Brush), (Pair<int>{2, 3}));
        form.MenuCommand("N90Degrees1")->trigger();
        form.MenuCommand("N90Degrees1")->trigger();
        form.MenuCommand("N90Degrees1")->trigger();
        EXPECT_EQ(PixelsOf(brush.Brush), original);
        EXPECT_EQ(form.ToolFw().Current, kv::PenContTool());
        EXPECT_TRUE(shown_.empty());
    });
}

TEST_F(BrushRotateGui, AnyAngleFollowsThePointerAndLeavesNoTrace) {
    RunPainting([this](kv::TMainForm& form) {
        kv::BrushState& brush = form.Paintbox().Brush;
        kv::ToolFramework& fw = form.ToolFw();
        Select(form, kv::PenContTool());
        MakeBrush(form, 5, 3);
        const auto original = PixelsOf(brush.Brush);
        const auto before = Pixels(form);

        // The first click places the brush with its centre at (40, 40) and
        // moves the pointer one pixel right of the middle row: angle 0.
        form.MenuCommand("AnyAngle1")->trigger();
        EXPECT_EQ(fw.Current, kv::RotateBrushTool());
        Click(form, {40, 40});
        EXPECT_EQ(fw.ImagePos, (Pair<int>{43, 40}));
        Move(form, {40, 30});
        EXPECT_EQ(form.PanelText(3).toStdString(), "90.00`");
        EXPECT_FALSE(Pixels(form) == before) << "no preview";
        // Esc selects the tool anew: the turn starts over.
        QTest::keyClick(&form, Qt::Key_Escape);
        EXPECT_EQ(fw.Current, kv::RotateBrushTool());
        EXPECT_EQ(fw.State, kv::csIdle);
        fw.HideFeedback();
        EXPECT_TRUE(Pixels(form) == before);
        EXPECT_EQ(PixelsOf(brush.Brush), original);

        // Straight above the centre: a quarter turn, the former right
        // column on top; the pointer lands on the new centre, the tool
        // stays and the next click starts again from the turned brush.
        Click(form, {40, 40});
        Move(form, {40, 30});
        Click(form, {40, 30});
        EXPECT_EQ(fw.Current, kv::RotateBrushTool());
        EXPECT_EQ(fw.State, kv::csIdle);
        ASSERT_EQ(SizeOf(brush.Brush), (Pair<int>{3, 5}));
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 5; ++x)
                EXPECT_EQ(*brush.Brush.At(y, 4 - x), original[std::size_t(y * 5 + x)])
                    << x << "," << y;
        EXPECT_EQ(fw.ImagePos, (Pair<int>{40, 40}));
        EXPECT_TRUE(fw.UserBrushInUse);
        Click(form, {60, 60});
        EXPECT_EQ(fw.ImagePos, (Pair<int>{62, 60}));
        Move(form, {50, 60}); // left of the centre: a half turn
        EXPECT_EQ(form.PanelText(3).toStdString(), "180.00`");
        Click(form, {50, 60});
        EXPECT_EQ(SizeOf(brush.Brush), (Pair<int>{3, 5}));
        fw.HideFeedback();
        EXPECT_TRUE(Pixels(form) == before);
        // Restore gives back the brush before the last turn.
        form.MenuCommand("Restore1")->trigger();
        EXPECT_EQ(*brush.Brush.At(0, 0), original[4]);
    });
}

TEST_F(BrushRotateGui, BendAndShearDeformTheBrushAndRestoreUndoesThem) {
    RunPainting([this](kv::TMainForm& form) {
        kv::BrushState& brush = form.Paintbox().Brush;
        kv::ToolFramework& fw = form.ToolFw();
        Select(form, kv::PenContTool());
        MakeBrush(form, 6, 4);
        const auto original = PixelsOf(brush.Brush);
        const auto before = Pixels(form);

        // Bend Up-and-Down: the brush sits at (30, 30)..(35, 33), the
        // pointer goes to its centre (33, 32); left of the brush and 10
        // rows above its middle the arch peaks at column 1, 10 rows above
        // column 0.
        form.MenuCommand("UpandDown1")->trigger();
        Click(form, {33, 32});
        EXPECT_EQ(fw.ImagePos, (Pair<int>{33, 32}));
        Move(form, {20, 22});
        EXPECT_FALSE(Pixels(form) == before) << "no preview";
        Click(form, {20, 22});
        EXPECT_EQ(fw.Current, kv::BendBrushUnDTool());
        ASSERT_EQ(SizeOf(brush.Brush), (Pair<int>{6, 14}));
        EXPECT_EQ(*brush.Brush.At(1, 0), original[1]);
        EXPECT_EQ(*brush.Brush.At(0, 10), original[0]);
        // The pointer is on the new centre handle: origin (30, 20) + (3, 7).
        EXPECT_EQ(fw.ImagePos, (Pair<int>{33, 27}));
        fw.HideFeedback();
        EXPECT_TRUE(Pixels(form) == before);

        // Shear Left-and-Right keeps the brush for Restore like the others:
        // the right edge follows the pointer 5 pixels right.
        MakeBrush(form, 6, 4);
        form.MenuCommand("LeftandRight2")->trigger();
        Click(form, {33, 32});
        EXPECT_EQ(fw.ImagePos, (Pair<int>{35, 33}));
        Click(form, {40, 33});
        ASSERT_EQ(SizeOf(brush.Brush), (Pair<int>{11, 4}));
        EXPECT_EQ(*brush.Brush.At(10, 3), original[23]);
        EXPECT_EQ(*brush.Brush.At(0, 0), original[0]);
        Select(form, kv::PenContTool());
        form.MenuCommand("Restore1")->trigger();
        EXPECT_EQ(PixelsOf(brush.Brush), original);
        EXPECT_TRUE(shown_.empty());

        // A shear that would make the brush wider than a brush may be is
        // refused with a message before anything is allocated; the brush
        // stays.
        MakeBrush(form, 32760, 1);
        form.MenuCommand("LeftandRight2")->trigger();
        Click(form, {40, 20});
        Click(form, {30, 20});
        EXPECT_EQ(shown_.size(), 1u);
        EXPECT_EQ(SizeOf(brush.Brush), (Pair<int>{32760, 1}));
    });
}

} // namespace
