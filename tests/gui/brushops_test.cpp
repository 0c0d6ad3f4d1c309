// Halve, Double and Mirror from the Brush menu and their shortcuts on the
// real main window: the brush, the painting brush, the tool and Restore.
#include "paintgui.h"

#include "paint/cuttools.h"
#include "paint/painttools.h"

#include <QAction>

namespace {

using namespace kvtest;
using pixkit::Pair;
using pixkit::Pixel;

constexpr Pixel kBrushBack = 0x00ABCDEF;
constexpr Pixel T = kv::kBrushTransparent;

std::vector<Pixel> PixelsOf(const pixkit::Buffer& b) {
    std::vector<Pixel> v;
    for (int y = b.Area.Top; y <= b.Area.Bottom; ++y)
        for (int x = b.Area.Left; x <= b.Area.Right; ++x) v.push_back(*b.At(x, y));
    return v;
}

// A 5 x 4 user brush, pixel (x, y) = 0x10 * y + x, with (1, 1) the brush
// background.
void MakeBrush(kv::TMainForm& form) {
    kv::BrushState& b = form.Paintbox().Brush;
    b.Brush.Alloc(Pair<int>{5, 4});
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 5; ++x) *b.Brush.At(x, y) = Pixel(0x10 * y + x);
    b.Brush.PutPixel({1, 1}, kBrushBack);
    b.Settings.UserBrush = true;
    b.Settings.Handle = kv::bhLeftTop;
    b.Settings.Background = kBrushBack;
    b.Settings.Technique = kv::btReplace;
    form.Paintbox().BrushChanged();
}

class BrushOpsGui : public PaintGui {};

TEST_F(BrushOpsGui, HalveDoubleAndMirrorChangeTheBrushAndEndInteractiveTools) {
    RunPainting([this](kv::TMainForm& form) {
        kv::BrushState& brush = form.Paintbox().Brush;
        kv::ToolFramework& fw = form.ToolFw();
        Select(form, kv::PenContTool());
        MakeBrush(form);
        const auto original = PixelsOf(brush.Brush);

        // Halve Both from a half-finished cut: the cut ends, the pen is
        // back, the background pixel is transparent and the painting brush
        // follows.
        Select(form, kv::CutBoxTool());
        Click(form, {5, 6});
        QTest::keyClick(&form, Qt::Key_H, Qt::ControlModifier);
        EXPECT_EQ(fw.Current, kv::PenContTool());
        EXPECT_EQ(PixelsOf(brush.Brush), (std::vector<Pixel>{T, 0x13, 0x31, 0x33}));
        EXPECT_EQ(brush.Painting.Width(), 2);
        EXPECT_EQ(brush.Settings.Technique, kv::btReplace);

        // Double Width, then the mirrors by their shortcuts.
        form.MenuCommand("Width2")->trigger();
        EXPECT_EQ(PixelsOf(brush.Brush),
                  (std::vector<Pixel>{T, T, 0x13, 0x13, 0x31, 0x31, 0x33, 0x33}));
        QTest::keyClick(&form, Qt::Key_X, Qt::ControlModifier);
        EXPECT_EQ(PixelsOf(brush.Brush),
                  (std::vector<Pixel>{0x13, 0x13, T, T, 0x33, 0x33, 0x31, 0x31}));
        QTest::keyClick(&form, Qt::Key_Y, Qt::ControlModifier);
        const std::vector<Pixel> mirrored{0x33, 0x33, 0x31, 0x31, 0x13, 0x13, T, T};
        EXPECT_EQ(PixelsOf(brush.Brush), mirrored);
        EXPECT_EQ(PixelsOf(brush.Painting).size(), 8u);

        // Halve Height twice: the second, of a one-row brush, is refused
        // silently and keeps nothing for Restore, so Restore gives back the
        // brush before the first.
        form.MenuCommand("Height1")->trigger();
        EXPECT_EQ(PixelsOf(brush.Brush), (std::vector<Pixel>{0x13, 0x13, T, T}));
        form.MenuCommand("Height1")->trigger();
        EXPECT_EQ(PixelsOf(brush.Brush), (std::vector<Pixel>{0x13, 0x13, T, T}));
        EXPECT_TRUE(shown_.empty());
        form.MenuCommand("Restore1")->trigger();
        EXPECT_EQ(PixelsOf(brush.Brush), mirrored);

        // Double Both of the original gives 10 x 8, each pixel four times.
        MakeBrush(form);
        QTest::keyClick(&form, Qt::Key_D, Qt::ControlModifier);
        ASSERT_EQ((Pair<int>{brush.Brush.Width(), brush.Brush.Height()}), (Pair<int>{10, 8}));
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 10; ++x) {
                const Pixel src = original[std::size_t(y / 2 * 5 + x / 2)];
                ASSERT_EQ(*brush.Brush.At(x, y), src == kBrushBack ? T : src) << x << "," << y;
            }
    });
}

} // namespace
