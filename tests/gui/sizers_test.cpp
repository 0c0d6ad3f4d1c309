// The sizers on the real main window: the brush icon's right click, the
// built-in brushes they make, the switch between the round and the square
// sizer, leaving early, and the spray bar's radius button.
#include "paintgui.h"

#include "bars/parambar.h"
#include "paint/painttools.h"
#include "tools/toolbutton.h"

#include <QAbstractButton>

namespace {

using namespace kvtest;
using pixkit::Pair;
using pixkit::Pixel;

class SizerGui : public PaintGui {
  protected:
    static void RightClickBrushIcon(kv::TMainForm& form) {
        QWidget* button = form.ToolFw().IconTable()[0].Button;
        QTest::mouseClick(button, Qt::RightButton);
    }
    static std::vector<Pixel> PixelsOf(const pixkit::Buffer& b) {
        std::vector<Pixel> v;
        for (int y = b.Area.Top; y <= b.Area.Bottom; ++y)
            for (int x = b.Area.Left; x <= b.Area.Right; ++x) v.push_back(*b.At(x, y));
        return v;
    }
    static std::vector<Pixel> Builtin(kv::BuiltinKind kind, int radius) {
        kv::BrushState ref;
        ref.Settings.Radius = radius;
        if (kind == kv::BuiltinKind::Round)
            ref.MakeRoundBrush(kDraw);
        else
            ref.MakeSquareBrush(kDraw);
        return PixelsOf(ref.Brush);
    }
};

TEST_F(SizerGui, RightClickSizesTheBuiltinBrushOfItsShape) {
    RunPainting([](kv::TMainForm& form) {
        kv::ToolFramework& fw = form.ToolFw();
        kv::BrushState& brush = form.Paintbox().Brush;
        Select(form, kv::PenContTool());
        Select(form, kv::BrushCrcTool());
        brush.Settings.Handle = kv::bhLeftTop;

        // Round: 3 right and 4 down is radius 5, the 11 x 11 disc; the
        // handle survives and the pen is back.
        RightClickBrushIcon(form);
        ASSERT_EQ(fw.Current, kv::ResizeCrcBrushTool());
        Click(form, {50, 50});
        Move(form, {53, 54});
        EXPECT_EQ(form.PanelText(3), "[3,4]");
        const kv::UDBuffer& image = form.Docs().CurrentImage();
        EXPECT_EQ(*image.At(50, 45), kDraw) << "no preview of radius 5";
        EXPECT_EQ(*image.At(50, 44), kGround);
        Click(form, {53, 54});
        EXPECT_EQ(fw.Current, kv::PenContTool());
        EXPECT_EQ(PixelsOf(brush.Brush), Builtin(kv::BuiltinKind::Round, 5));
        EXPECT_EQ(brush.Settings.Radius, 5);
        EXPECT_EQ(brush.Settings.Handle, kv::bhLeftTop);
        EXPECT_FALSE(brush.Settings.UserBrush);
        EXPECT_TRUE(Painted(form).empty());

        // Square, after the round sizer gave way to the square one when the
        // square brush was picked during the sizing: radius 4, 9 x 9.
        Select(form, kv::BrushBoxTool());
        RightClickBrushIcon(form);
        ASSERT_EQ(fw.Current, kv::ResizeBoxBrushTool());
        Select(form, kv::BrushCrcTool());
        ASSERT_EQ(fw.Current, kv::ResizeCrcBrushTool());
        Select(form, kv::BrushBoxTool());
        ASSERT_EQ(fw.Current, kv::ResizeBoxBrushTool());
        Click(form, {50, 50});
        Click(form, {53, 54});
        EXPECT_EQ(PixelsOf(brush.Brush), Builtin(kv::BuiltinKind::Square, 4));
        EXPECT_EQ(brush.Settings.Kind, kv::BuiltinKind::Square);
        EXPECT_EQ(brush.Settings.Handle, kv::bhLeftTop);
    });
}

TEST_F(SizerGui, LeavingBeforeTheSecondClickChangesNothing) {
    RunPainting([](kv::TMainForm& form) {
        kv::BrushState& brush = form.Paintbox().Brush;
        Select(form, kv::PenContTool());
        // A user brush waits in the Restore slot behind the built-in one.
        pixkit::Buffer cut;
        cut.Alloc(Pair<int>{3, 2});
        cut.Box(cut.Area, 0x00123456);
        brush.TakeUserBrush(cut, kv::kBrushTransparent, kv::bhCentre);
        Select(form, kv::BrushCrc2Tool());
        brush.Settings.Handle = kv::bhRightBottom;
        const auto before = PixelsOf(brush.Brush);

        RightClickBrushIcon(form);
        Click(form, {50, 50});
        Move(form, {60, 62});
        QTest::keyClick(&form, Qt::Key_Escape);
        EXPECT_EQ(form.ToolFw().Current, kv::PenContTool());
        EXPECT_EQ(PixelsOf(brush.Brush), before);
        EXPECT_EQ(PixelsOf(brush.Painting), before);
        EXPECT_EQ(brush.Settings.Handle, kv::bhRightBottom);
        EXPECT_FALSE(brush.Settings.UserBrush);
        EXPECT_TRUE(Painted(form).empty());
    });
}

TEST_F(SizerGui, SprayBarButtonSizesOnlyTheSprayRadius) {
    RunPaintingWithBars([](kv::TMainForm& form) {
        kv::ToolFramework& fw = form.ToolFw();
        kv::Painting& paint = form.Paintbox();
        Select(form, kv::SprayTool());
        auto* radiusButton = qobject_cast<QAbstractButton*>(form.ParamBar().Control(0));
        ASSERT_NE(radiusButton, nullptr);
        ASSERT_TRUE(radiusButton->isEnabled());
        const auto brushBefore = PixelsOf(paint.Brush.Brush);

        // The bar stays while the sizer runs; 3 right and 4 down is 5.
        radiusButton->click();
        ASSERT_EQ(fw.Current, kv::ResizeSprayTool());
        EXPECT_EQ(form.ParamBar().BuiltName(), "SPRAYBAR");
        Click(form, {50, 50});
        Click(form, {53, 54});
        EXPECT_EQ(fw.Current, kv::SprayTool());
        EXPECT_EQ(paint.SprayRadius(), 5);
        EXPECT_EQ(form.ParamBar().GetBarValue(1), 5);
        EXPECT_EQ(PixelsOf(paint.Brush.Brush), brushBefore);
        EXPECT_TRUE(Painted(form).empty());

        // Two clicks on one point give the smallest radius, never 0; the
        // button acts once per click after the tool came back.
        radiusButton->click();
        Click(form, {50, 50});
        Click(form, {50, 50});
        EXPECT_EQ(paint.SprayRadius(), 1);
        EXPECT_EQ(fw.Current, kv::SprayTool());
    });
}

} // namespace
