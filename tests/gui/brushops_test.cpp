// Halve, Double and Mirror from the Brush menu and their shortcuts on the
// real main window: the brush, the painting brush, the tool and Restore.
#include "paintgui.h"

#include "brushops/stretchtool.h"
#include "brushops/transform.h"
#include "paint/cuttools.h"
#include "paint/painttools.h"
#include "view/zoom.h"

#include <QAction>
#include <QBackingStore>
#include <QCursor>

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

class BrushOpsGui : public PaintGui {
  protected:
    // The stretch moves the pointer; the next test finds it where it starts.
    void TearDown() override {
        QCursor::setPos(QPoint(0, 0));
        PaintGui::TearDown();
    }
};

// What the view shows.
QImage Shown(kv::TMainForm& form) {
    return form.ShowBuf()->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// Nearest sample of n source pixels drawn as m: (i + 1/2) times the step
// n / m, which is rounded down to 32 fraction bits.
int Sample(int i, int n, int m) {
    const std::uint64_t step = std::uint64_t(n / m) << 32 | (std::uint64_t(n % m) << 32) / m;
    return int((i * step + (step >> 1)) >> 32);
}

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
        form.MenuCommand("Both1")->trigger();
        EXPECT_EQ(fw.Current, kv::PenContTool());
        EXPECT_EQ(PixelsOf(brush.Brush), (std::vector<Pixel>{T, 0x13, 0x31, 0x33}));
        EXPECT_EQ(brush.Painting.Width(), 2);
        EXPECT_EQ(brush.Settings.Technique, kv::btReplace);

        // Double Width, then the mirrors by their shortcuts.
        form.MenuCommand("Width2")->trigger();
        EXPECT_EQ(PixelsOf(brush.Brush),
                  (std::vector<Pixel>{T, T, 0x13, 0x13, 0x31, 0x31, 0x33, 0x33}));
        form.MenuCommand("LefttoRight1")->trigger();
        EXPECT_EQ(PixelsOf(brush.Brush),
                  (std::vector<Pixel>{0x13, 0x13, T, T, 0x33, 0x33, 0x31, 0x31}));
        form.MenuCommand("ToptoBottom1")->trigger();
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
        form.MenuCommand("Both2")->trigger();
        ASSERT_EQ((Pair<int>{brush.Brush.Width(), brush.Brush.Height()}), (Pair<int>{10, 8}));
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 10; ++x) {
                const Pixel src = original[std::size_t(y / 2 * 5 + x / 2)];
                ASSERT_EQ(*brush.Brush.At(x, y), src == kBrushBack ? T : src) << x << "," << y;
            }
    });
}

TEST_F(BrushOpsGui, StretchPreviewsMirrorsAndLeavesNoTrace) {
    RunPainting([this](kv::TMainForm& form) {
        kv::BrushState& brush = form.Paintbox().Brush;
        kv::ToolFramework& fw = form.ToolFw();
        Select(form, kv::PenContTool());
        MakeBrush(form);
        const auto original = PixelsOf(brush.Brush);
        const auto before = Pixels(form);
        fw.HideFeedback();
        const QImage shownBefore = Shown(form);

        // The first click fixes the top-left pixel under the left-top
        // handle and moves the pointer to the bottom-right one; the preview
        // shows (over the image, which stays as it was); Esc leaves image,
        // view and brush as they were.
        form.MenuCommand("Both3")->trigger();
        Click(form, {20, 20});
        EXPECT_EQ(fw.ImagePos, (Pair<int>{24, 23}));
        Move(form, {30, 30});
        EXPECT_NE(Shown(form), shownBefore) << "no preview";
        QTest::keyClick(&form, Qt::Key_Escape);
        EXPECT_EQ(fw.Current, kv::PenContTool());
        fw.HideFeedback();
        EXPECT_TRUE(Pixels(form) == before);
        EXPECT_EQ(Shown(form), shownBefore);
        EXPECT_EQ(PixelsOf(brush.Brush), original);

        // Left of and above the first pixel: mirrored both ways, one pixel
        // more than the distance; the pointer ends on the new handle.
        form.MenuCommand("Both3")->trigger();
        Click(form, {20, 20});
        Move(form, {17, 18});
        Click(form, {17, 18});
        EXPECT_EQ(fw.Current, kv::PenContTool());
        ASSERT_EQ((Pair<int>{brush.Brush.Width(), brush.Brush.Height()}), (Pair<int>{4, 3}));
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 4; ++x) {
                const Pixel src =
                    original[std::size_t(Sample(2 - y, 4, 3) * 5 + Sample(3 - x, 5, 4))];
                EXPECT_EQ(*brush.Brush.At(x, y), src == kBrushBack ? T : src) << x << "," << y;
            }
        EXPECT_EQ(fw.ImagePos, (Pair<int>{17, 18}));
        fw.HideFeedback();
        EXPECT_TRUE(Pixels(form) == before);

        // Width only, handle in the centre: the pointer goes to the
        // bottom-right pixel, the height stays.
        brush.Settings.Handle = kv::bhCentre;
        form.MenuCommand("Width3")->trigger();
        Click(form, {40, 30});
        EXPECT_EQ(fw.ImagePos, (Pair<int>{41, 31}));
        Click(form, {45, 35});
        EXPECT_EQ((Pair<int>{brush.Brush.Width(), brush.Brush.Height()}), (Pair<int>{8, 3}));
        EXPECT_TRUE(brush.Settings.UserBrush);
        fw.HideFeedback();
        EXPECT_TRUE(Pixels(form) == before);
    });
}

// What the window shows: the offscreen platform paints into an image.
QImage OnScreen(kv::TMainForm& form) {
    return static_cast<QImage*>(form.backingStore()->paintDevice())
        ->convertToFormat(QImage::Format_RGB32);
}

// The window shows picture (image coordinates) in the view at zoom r.
void ExpectOnScreen(kv::TMainForm& form, const pixkit::Buffer& picture, kv::ZoomRatio r) {
    QCoreApplication::processEvents();
    const QImage screen = OnScreen(form);
    const QPoint corner = form.ShowBuf()->mapTo(&form, QPoint(0, 0));
    int wrong = 0;
    for (int vy = 0; vy < kv::MappedViewExtent(picture.Height(), r); ++vy)
        for (int vx = 0; vx < kv::MappedViewExtent(picture.Width(), r); ++vx) {
            const Pair<int> p{kv::ViewToImageCoord(vx, r), kv::ViewToImageCoord(vy, r)};
            const QRgb got = screen.pixel(corner + QPoint(vx, vy));
            if (got != (*picture.At(p.x, p.y) | 0xFF000000u) && wrong++ == 0)
                ADD_FAILURE() << "view " << vx << "," << vy << " image " << p.x << "," << p.y;
        }
    EXPECT_EQ(wrong, 0);
}

// While the stretch previews, the image keeps its pixels, and the window
// shows exactly what drawing the scaled brush into the image would show:
// plain and anti-aliased (whose edges blend with the image pixels below),
// cut at the image's edges, at 1:1, enlarged and reduced, and with nothing
// left of the previous position after a move.
TEST_F(BrushOpsGui, StretchPreviewIsShownOverAnUntouchedImage) {
    RunPainting([this](kv::TMainForm& form) {
        ASSERT_TRUE(form.Docs().AllocBlack(0, 60, 40));
        form.SelectImage(0);
        kv::UDBuffer& image = form.Docs().CurrentImage();
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 60; ++x)
                *image.At(x, y) = Pixel(x * 0x040000 + y * 0x000600 + 0x55);
        form.RefreshView();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
        kv::BrushState& brush = form.Paintbox().Brush;
        kv::ToolFramework& fw = form.ToolFw();
        Select(form, kv::PenContTool());
        const auto before = Pixels(form);
        // (menu command, handle, first click, a move, the last move): the
        // centred handle puts the brush's corner left of and above the
        // image; the width-only stretch near the bottom reaches below it.
        struct Case {
            const char* command;
            kv::BrushHandle handle;
            Pair<int> click, first, last;
        };
        const Case cases[] = {{"Both3", kv::bhCentre, {0, 0}, {20, 16}, {12, 10}},
                              {"Width3", kv::bhLeftTop, {44, 38}, {20, 38}, {30, 38}}};
        for (const bool antiAlias : {false, true})
            for (const int position : {1, 3, -2})
                for (const Case& c : cases) {
                    SCOPED_TRACE(testing::Message() << c.command << " zoom " << position
                                                    << " anti-alias " << antiAlias);
                    if (form.Prefs().AntiAlias != antiAlias) form.ToggleAntiAlias();
                    form.MaxSize()->SetPosition(position);
                    form.ApplyZoom();
                    MakeBrush(form);
                    brush.Settings.Handle = c.handle;
                    form.MenuCommand(c.command)->trigger();
                    Click(form, c.click);
                    Move(form, c.first);
                    Move(form, c.last);
                    const auto& tool = *static_cast<kv::P_stretch_brush*>(fw.Current);
                    const Pair<int> size{tool.NewWidth(c.last.x), tool.NewHeight(c.last.y)};
                    const pixkit::Rect r = kv::StretchRect({tool.AnchorX, tool.AnchorY}, size);
                    pixkit::Buffer drawn;
                    kv::CloneBuffer(drawn, image);
                    drawn.Scale(brush.Painting, size, {r.Left, r.Top}, T, antiAlias ? 1 : 0);
                    EXPECT_TRUE(Pixels(form) == before);
                    ExpectOnScreen(form, drawn, form.ShowBuf()->Ratio());
                    QTest::keyClick(&form, Qt::Key_Escape);
                    ExpectOnScreen(form, image, form.ShowBuf()->Ratio());
                }
    });
}

// A scaled built-in brush is no built-in shape any more: it becomes a user
// brush, Restore right afterwards gives the built-in brush back, and after
// a later brush change Restore gives back the scaled brush.
TEST_F(BrushOpsGui, ScaledBuiltinBrushIsWhatRestoreKeeps) {
    RunPainting([](kv::TMainForm& form) {
        kv::BrushState& brush = form.Paintbox().Brush;
        Select(form, kv::PenContTool());
        brush.Settings.Radius = 2;
        Select(form, kv::BrushCrcTool());
        const auto builtin = PixelsOf(brush.Brush);

        form.MenuCommand("Both1")->trigger();
        ASSERT_EQ((Pair<int>{brush.Brush.Width(), brush.Brush.Height()}), (Pair<int>{2, 2}));
        EXPECT_TRUE(brush.Settings.UserBrush);
        const auto halved = PixelsOf(brush.Brush);
        form.MenuCommand("Restore1")->trigger();
        EXPECT_EQ(PixelsOf(brush.Brush), builtin);
        EXPECT_FALSE(brush.Settings.UserBrush);

        form.MenuCommand("Both1")->trigger();
        Select(form, kv::BrushBox1Tool());
        form.MenuCommand("Restore1")->trigger();
        EXPECT_EQ(PixelsOf(brush.Brush), halved);
        EXPECT_TRUE(brush.Settings.UserBrush);
    });
}

} // namespace
