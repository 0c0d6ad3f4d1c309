// Brush > Handle (and keypad 5), Outline and Drop Shadow on the real main
// window: where stamps land, the brush's pixels against references built
// here, the pointer, the dialog and the tool it suspends, and refusals.
#include "paintgui.h"

#include "paint/brushshape.h"
#include "paint/dropshform.h"
#include "paint/painttools.h"

#include <QAction>
#include <QComboBox>
#include <QCursor>
#include <QSpinBox>

#include <random>

namespace {

using namespace kvtest;
using pixkit::Buffer;
using pixkit::Pair;
using pixkit::Pixel;

constexpr Pixel T = kv::kBrushTransparent;

// A w x h user brush: pixel (x, y) = 0x10000 + 0x100 * y + x where opaque
// says so, else transparent.
void MakeBrush(kv::TMainForm& form, int w, int h, const std::function<bool(int, int)>& opaque,
               int handle = kv::bhCentre) {
    kv::BrushState& b = form.Paintbox().Brush;
    b.Brush.Alloc(Pair<int>{w, h});
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) *b.Brush.At(x, y) = opaque(x, y) ? 0x10000 + 0x100 * y + x : T;
    b.Settings.UserBrush = true;
    b.Settings.Handle = handle;
    b.Settings.Technique = kv::btPaint;
    form.Paintbox().BrushChanged();
}

std::vector<Pixel> PixelsOf(const Buffer& b) {
    std::vector<Pixel> v;
    for (int y = b.Area.Top; y <= b.Area.Bottom; ++y)
        for (int x = b.Area.Left; x <= b.Area.Right; ++x) v.push_back(*b.At(x, y));
    return v;
}

Pixel At(const std::vector<Pixel>& v, int w, int h, int x, int y) {
    return x < 0 || y < 0 || x >= w || y >= h ? T : v[std::size_t(y * w + x)];
}

class BrushShapeGui : public PaintGui {
  protected:
    // Shortcuts reach the menu commands only in the active window.
    static void Activate(kv::TMainForm& form) {
        form.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    }
    void TearDown() override {
        QCursor::setPos(QPoint(0, 0));
        PaintGui::TearDown();
    }
};

TEST_F(BrushShapeGui, HandleMenuKeypadFiveAndClearPlaceTheStamp) {
    RunPainting([](kv::TMainForm& form) {
        kv::BrushState& b = form.Paintbox().Brush;
        b.Settings.Radius = 1;
        b.MakeSquareBrush(kDraw);
        form.Paintbox().BrushChanged();
        Select(form, kv::PenContTool());
        Activate(form);
        // The corner of a 3 x 3 stamp relative to the pointer, by handle.
        const Pair<int> offset[5] = {{1, 1}, {0, 0}, {2, 0}, {2, 2}, {0, 2}};
        const auto stampLandsByHandle = [&](int handle) {
            ASSERT_EQ(b.Settings.Handle, handle);
            kv::UDBuffer& image = form.Docs().CurrentImage();
            image.Box(image.Area, kGround);
            const Pair<int> p{40, 30}, o = offset[handle];
            Click(form, p);
            EXPECT_EQ(Painted(form), Box(p.x - o.x, p.y - o.y, p.x - o.x + 2, p.y - o.y + 2))
                << "handle " << handle;
        };
        // Keypad 5 cycles through all five and back to the centre; so does Clear.
        for (int step = 1; step <= 10; ++step) {
            if (step <= 5)
                QTest::keyClick(&form, Qt::Key_5, Qt::KeypadModifier);
            else
                QTest::keyClick(&form, Qt::Key_Clear);
            stampLandsByHandle(step % 5);
        }
        const char* entries[] = {"Center1", "LTCorner1", "RTCorner1", "RBCorner1", "LBCorner1"};
        for (int h : {3, 1, 4, 2, 0}) {
            form.MenuCommand(entries[h])->trigger();
            stampLandsByHandle(h);
        }
        QTest::keyClick(&form, Qt::Key_5, Qt::KeypadModifier);
        QTest::keyClick(&form, Qt::Key_E, Qt::ControlModifier);
        stampLandsByHandle(kv::bhCentre);
    });
}

// The outline judged by a four-neighbour dilation of the padded shape.
std::vector<Pixel> OutlineReference(const std::vector<Pixel>& v, int w, int h, Pixel draw) {
    std::vector<Pixel> out;
    for (int y = -1; y <= h; ++y)
        for (int x = -1; x <= w; ++x) {
            Pixel p = At(v, w, h, x, y);
            if (p == T && (At(v, w, h, x - 1, y) != T || At(v, w, h, x + 1, y) != T ||
                           At(v, w, h, x, y - 1) != T || At(v, w, h, x, y + 1) != T))
                p = draw;
            out.push_back(p);
        }
    return out;
}

TEST_F(BrushShapeGui, OutlineAddsTheFourNeighboursMovesThePointerAndRestores) {
    RunPainting([this](kv::TMainForm& form) {
        kv::BrushState& b = form.Paintbox().Brush;
        kv::ToolFramework& fw = form.ToolFw();
        Select(form, kv::PenContTool());

        // One pixel becomes a plus sign.
        MakeBrush(form, 1, 1, [](int, int) { return true; });
        form.MenuCommand("Outline1")->trigger();
        EXPECT_EQ(PixelsOf(b.Brush),
                  (std::vector<Pixel>{T, kDraw, T, kDraw, 0x10000, kDraw, T, kDraw, T}));

        // Random shapes, odd sizes: the outline never spreads or goes diagonal.
        std::mt19937 rng(7);
        for (int round = 0; round < 6; ++round) {
            const int w = 1 + int(rng() % 9), h = 1 + int(rng() % 7);
            MakeBrush(form, w, h, [&rng](int, int) { return rng() % 3 == 0; });
            const auto before = PixelsOf(b.Brush);
            form.MenuCommand("Outline1")->trigger();
            ASSERT_EQ(b.Brush.Width(), w + 2);
            EXPECT_EQ(PixelsOf(b.Brush), OutlineReference(before, w, h, kDraw))
                << "round " << round;
            EXPECT_EQ(b.Painting.Width(), w + 2) << "the painting brush follows";
            // Restore gives the brush before.
            form.MenuCommand("Restore1")->trigger();
            EXPECT_EQ(PixelsOf(b.Brush), before);
        }

        // With the right-bottom handle the pointer follows by (+1, +1) over
        // the view, by the shortcut; chosen from the menu it stays put.
        MakeBrush(
            form, 3, 3, [](int, int) { return true; }, kv::bhRightBottom);
        Activate(form);
        Move(form, {50, 40});
        QTest::keyClick(&form, Qt::Key_O, Qt::ControlModifier | Qt::ShiftModifier);
        EXPECT_EQ(b.Brush.Width(), 5);
        EXPECT_EQ(fw.ImagePos, (Pair<int>{51, 41}));
        fw.ClearMouseCoords(); // the pointer went to the menu
        form.MenuCommand("Outline1")->trigger();
        EXPECT_EQ(b.Brush.Width(), 7);
        EXPECT_EQ(fw.ImagePos, (Pair<int>{-1, -1}));

        // At the size limit: refused with a message, nothing changes, and
        // Restore still gives the brush before the last outline.
        EXPECT_TRUE(shown_.empty());
        MakeBrush(form, kv::kMaxBrushSide - 1, 1, [](int x, int) { return x % 2 == 0; });
        const auto wide = PixelsOf(b.Brush);
        form.MenuCommand("Outline1")->trigger();
        ASSERT_EQ(shown_.size(), 1u);
        EXPECT_EQ(shown_[0].Text, "BrTooBig");
        EXPECT_TRUE(PixelsOf(b.Brush) == wide);
        EXPECT_EQ(b.Painting.Width(), kv::kMaxBrushSide - 1);
        form.MenuCommand("Restore1")->trigger();
        EXPECT_EQ(b.Brush.Width(), 5);
    });
}

// The shadow: the shape in draw, moved by the direction, behind the brush.
std::vector<Pixel> ShadowReference(const std::vector<Pixel>& v, int w, int h, int dir, int d,
                                   Pixel draw) {
    const Pair<int> step[4] = {{1, 0}, {1, 1}, {0, 1}, {-1, 1}};
    const Pair<int> s = step[dir];
    const int W = w + (s.x != 0 ? d : 0), H = h + (s.y != 0 ? d : 0);
    // The brush sits at the left unless the shadow falls to its left.
    const Pair<int> own{s.x < 0 ? d : 0, 0};
    const Pair<int> shadow{own.x + s.x * d, s.y * d};
    std::vector<Pixel> out;
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            Pixel p = At(v, w, h, x - own.x, y - own.y);
            if (p == T && At(v, w, h, x - shadow.x, y - shadow.y) != T) p = draw;
            out.push_back(p);
        }
    return out;
}

// A tool that records its activations (A) and deactivations (D).
struct ProbeTool : kv::P_icon {
    std::string Log;
    void Activate() override { Log += 'A'; }
    void Deactivate(kv::P_icon*) override { Log += 'D'; }
};

TEST_F(BrushShapeGui, DropShadowDialogCastsShadowsAndSuspendsTheTool) {
    RunPainting([this](kv::TMainForm& form) {
        kv::BrushState& b = form.Paintbox().Brush;
        kv::ToolFramework& fw = form.ToolFw();
        ProbeTool probe;
        Select(form, &probe);
        const auto ring = [](int x, int y) { return (x + y) % 3 != 0; };
        const auto open = [&form] {
            form.MenuCommand("DropShadow1")->trigger();
            kv::TDropShForm* d = kv::DropShadowDialog(&form);
            EXPECT_TRUE(d != nullptr && d->isVisible());
            return d;
        };

        // Escape hides the dialog and changes nothing; the tool is back.
        MakeBrush(form, 10, 10, ring);
        const auto original = PixelsOf(b.Brush);
        kv::TDropShForm* d = open();
        EXPECT_EQ(d->ShDir->currentIndex(), 0);
        EXPECT_EQ(d->ShDepth->value(), 1);
        EXPECT_EQ(probe.Log, "AD");
        QTest::keyClick(d->ShDepth, Qt::Key_Escape);
        EXPECT_FALSE(d->isVisible());
        EXPECT_EQ(probe.Log, "ADA");
        EXPECT_EQ(PixelsOf(b.Brush), original);

        // Every direction against the reference; Enter is OK, the settings
        // stay, and the colour is the draw colour at OK.
        const Pair<int> sizes[4] = {{13, 10}, {13, 13}, {10, 13}, {13, 13}};
        for (int dir = 0; dir < 4; ++dir) {
            SCOPED_TRACE(dir);
            MakeBrush(form, 10, 10, ring);
            d = open();
            d->ShDir->setCurrentIndex(dir);
            d->ShDepth->setValue(3);
            const Pixel colour = 0x123400 + Pixel(dir);
            form.SetDrawColor(colour);
            QTest::keyClick(d->ShDepth, Qt::Key_Return);
            EXPECT_FALSE(d->isVisible());
            EXPECT_EQ((Pair<int>{b.Brush.Width(), b.Brush.Height()}), sizes[dir]);
            EXPECT_EQ(PixelsOf(b.Brush), ShadowReference(original, 10, 10, dir, 3, colour));
            EXPECT_EQ(fw.Current, &probe);
            d = open();
            EXPECT_EQ(d->ShDir->currentIndex(), dir) << "the dialog keeps its settings";
            EXPECT_EQ(d->ShDepth->value(), 3);
            d->FormDeactivate();
        }
        // Opening and closing, and OK's return to the tool, always pair up.
        for (std::size_t i = 1; i < probe.Log.size(); ++i)
            ASSERT_NE(probe.Log[i], probe.Log[i - 1]) << probe.Log;
        EXPECT_EQ(probe.Log.back(), 'A');
        // South-West puts the brush in the top-right corner.
        EXPECT_EQ(*b.Brush.At(3 + 1, 0), original[1]);

        // Too big: the message, the dialog hidden, brush and Restore kept.
        EXPECT_TRUE(shown_.empty());
        MakeBrush(form, kv::kMaxBrushSide, 1, [](int x, int) { return x % 5 == 0; });
        const auto wide = PixelsOf(b.Brush);
        d = open();
        d->ShDir->setCurrentIndex(kv::sdEast);
        d->ShDepth->setValue(999);
        d->OkBtnClick();
        ASSERT_EQ(shown_.size(), 1u);
        EXPECT_EQ(shown_[0].Text, "BrTooBig");
        EXPECT_FALSE(d->isVisible());
        EXPECT_TRUE(PixelsOf(b.Brush) == wide);
        EXPECT_EQ(b.Painting.Width(), kv::kMaxBrushSide);
        form.MenuCommand("Restore1")->trigger();
        EXPECT_EQ(b.Brush.Width(), 10) << "Restore still holds the brush before the last shadow";
        Select(form, kv::PenContTool());
    });
}

} // namespace
