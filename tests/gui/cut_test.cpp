// Cutting brushes on the real main window: rectangle and predefined cuts,
// Select All, Crop and Restore. The cut brush is compared with the image it
// came from, and the image with what it was.
#include "paintgui.h"

#include "bars/parambar.h"
#include "keys.h"
#include "paint/cutmarks.h"
#include "paint/cuttools.h"
#include "paint/marking.h"
#include "paint/painttools.h"
#include "platform/settings.h"
#include "preferences.h"

#include <QAction>
#include <QCursor>
#include <QPushButton>
#include <QSpinBox>

#include <cmath>
#include <optional>

namespace {

using namespace kvtest;
using pixkit::Pair;
using pixkit::Pixel;
using pixkit::Rect;

// Every pixel a colour of its position; a scattering of back-colour pixels.
void DrawPicture(kv::UDBuffer& image) {
    for (int y = 0; y < image.Height(); ++y)
        for (int x = 0; x < image.Width(); ++x)
            *image.At(x, y) = (x * 7 + y * 13) % 11 == 0
                                  ? kBack
                                  : Pixel((x & 0xFF) << 16 | (y & 0xFF) << 8 | 0x40);
}

std::vector<Pixel> PixelsOf(const pixkit::Buffer& b) {
    std::vector<Pixel> v;
    for (int y = b.Area.Top; y <= b.Area.Bottom; ++y)
        for (int x = b.Area.Left; x <= b.Area.Right; ++x) v.push_back(*b.At(x, y));
    return v;
}

bool AnyMarks(const kv::UDBuffer& image) {
    for (Pixel p : PixelsOf(image))
        if ((p & kv::kMarkBits) != 0) return true;
    return false;
}

// The brush a rectangle cut of r should give: back-colour pixels transparent.
std::vector<Pixel> CutOf(const kv::UDBuffer& image, Rect r) {
    std::vector<Pixel> v;
    for (int y = r.Top; y <= r.Bottom; ++y)
        for (int x = r.Left; x <= r.Right; ++x) {
            const Pixel p = *image.At(x, y);
            v.push_back(p == kBack ? kv::kBrushTransparent : p);
        }
    return v;
}

Pair<int> HandleAt(const kv::BrushState& b) {
    const Pair<int> h = kv::HandleOffsetIn(b.Brush.Area, b.Settings.Handle);
    return {b.Settings.Origin.x + h.x, b.Settings.Origin.y + h.y};
}

class CutGui : public PaintGui {
  protected:
    // Cuts move the pointer; the next test finds it where it starts.
    void TearDown() override {
        QCursor::setPos(QPoint(0, 0));
        PaintGui::TearDown();
    }
    static kv::P_cut_resize& Predefined() {
        return *static_cast<kv::P_cut_resize*>(kv::CutResizeTool());
    }
    static void Key(kv::TMainForm& form, Qt::Key key, Qt::KeyboardModifiers mods) {
        QTest::keyClick(&form, key, mods);
    }
};

TEST_F(CutGui, RectangleCutsAreClampedAndPaintAtOnce) {
    RunPainting([](kv::TMainForm& form) {
        kv::UDBuffer& image = form.Docs().CurrentImage();
        kv::Painting& paint = form.Paintbox();
        kv::ToolFramework& fw = form.ToolFw();
        DrawPicture(image);
        const int w = image.Width(), h = image.Height();
        struct Case {
            Pair<int> a, b;
            std::optional<Rect> want;
        };
        const Case cases[] = {
            {{30, 25}, {-7, -5}, Rect{0, 0, 30, 25}},
            {{w - 15, h - 12}, {w + 40, h + 30}, Rect{w - 15, h - 12, w - 1, h - 1}},
            {{40, 5}, {10, 30}, Rect{10, 5, 40, 30}},
            {{-20, -20}, {-3, -1}, std::nullopt}, // wholly outside: no cut
        };
        for (const Case& c : cases) {
            Select(form, kv::PenContTool());
            Select(form, kv::CutBoxTool());
            const auto before = Pixels(form);
            const auto brushBefore = PixelsOf(paint.Brush.Brush);
            Click(form, c.a);
            Click(form, c.b);
            EXPECT_TRUE(Pixels(form) == before);
            EXPECT_EQ(image.Changed, 0);
            if (!c.want) {
                EXPECT_EQ(fw.Current, kv::PenContTool());
                EXPECT_EQ(PixelsOf(paint.Brush.Brush), brushBefore);
                continue;
            }
            const Rect r = *c.want;
            EXPECT_EQ(PixelsOf(paint.Brush.Brush), CutOf(image, r)) << r.Left << "," << r.Top;
            EXPECT_EQ(paint.Brush.Settings.Origin, (Pair<int>{r.Left, r.Top}));
            EXPECT_EQ(fw.Current, kv::PenDiscTool());
            EXPECT_EQ(fw.CurrentTechnique, kv::tqPaint);
            EXPECT_TRUE(fw.UserBrushInUse);
            EXPECT_EQ(form.PanelText(1).toStdString(), "P");
            EXPECT_EQ(fw.ImagePos, HandleAt(paint.Brush));
        }

        // The last cut stamps back what it was cut from, back colour left out.
        const Rect r{10, 5, 40, 30};
        image.Box(image.Area, kGround);
        Click(form, HandleAt(paint.Brush));
        form.ToolFw().HideFeedback();
        DrawPicture(image); // the picture again, to compare with
        const auto expected = CutOf(image, r);
        image.Box(image.Area, kGround);
        Click(form, HandleAt(paint.Brush));
        form.ToolFw().HideFeedback();
        std::vector<Pixel> got;
        for (int y = r.Top; y <= r.Bottom; ++y)
            for (int x = r.Left; x <= r.Right; ++x) {
                const Pixel p = *image.At(x, y);
                got.push_back(p == kGround ? kv::kBrushTransparent : p);
            }
        EXPECT_EQ(got, expected);
    });
}

TEST_F(CutGui, RightButtonLeavesAHoleAndThePreviewStaysOnTheScreen) {
    RunPainting([](kv::TMainForm& form) {
        kv::UDBuffer& image = form.Docs().CurrentImage();
        DrawPicture(image);
        Select(form, kv::CutBoxTool());
        const auto before = Pixels(form);
        const Pixel corner = *image.At(20, 20);
        Click(form, {20, 20}, Qt::RightButton);
        Move(form, {50, 40});
        // The outline inverts the screen at the first corner, not the image.
        EXPECT_TRUE(Pixels(form) == before);
        const QImage screen = form.ShowBuf()->grab().toImage();
        const double f = form.ZoomFactor();
        EXPECT_EQ(screen.pixel(int(20 * f), int(20 * f)) & 0xFFFFFF, ~corner & 0xFFFFFF);
        EXPECT_EQ(form.PanelText(3).toStdString(), "[31,21]");

        Click(form, {50, 40}, Qt::RightButton);
        EXPECT_EQ(PixelsOf(form.Paintbox().Brush.Brush).size(), 31u * 21u);
        form.ToolFw().HideFeedback(); // the brush under the pointer
        for (int y = 0; y < image.Height(); ++y)
            for (int x = 0; x < image.Width(); ++x) {
                const bool hole = x >= 20 && x <= 50 && y >= 20 && y <= 40;
                const Pixel want = hole ? kBack : before[std::size_t(y * image.Width() + x)];
                if (*image.At(x, y) != want) {
                    ADD_FAILURE() << "pixel " << x << "," << y;
                    y = image.Height();
                    break;
                }
            }
        EXPECT_EQ(image.Changed, 1);
        ExpectUndoRestores(form, before);
    });
}

TEST_F(CutGui, PredefinedRectangleSizeKeysBarAndClamping) {
    InstallLanguage("English");
    RunPainting([](kv::TMainForm& form) {
        kv::UDBuffer& image = form.Docs().CurrentImage();
        const int w = image.Width(), h = image.Height();
        kv::P_cut_resize& cut = Predefined();
        // It starts as the image opened at start-up.
        EXPECT_EQ((Pair<int>{cut.StoredWidth, cut.StoredHeight}), (Pair<int>{w, h}));
        DrawPicture(image);

        kv::SetPredefinedCutSize({320, 200});
        Select(form, kv::CutResizeTool());
        Move(form, {10, 10});
        Key(form, Qt::Key_Home, Qt::ControlModifier);
        EXPECT_EQ((Pair<int>{cut.Width, cut.Height}), (Pair<int>{319, 199}));
        EXPECT_DOUBLE_EQ(cut.Ratio, 0.625);
        EXPECT_EQ(form.GetBarValue(1), 319);
        // Editing the bar sets the ratio.
        form.SetBarValue(2, 100);
        EXPECT_DOUBLE_EQ(cut.Ratio, 100.0 / 319);
        // Reset, double, halve.
        ASSERT_EQ(form.ParamBar().BuiltName(), "CUTBAR");
        qobject_cast<QAbstractButton*>(form.ParamBar().Control(0))->click();
        EXPECT_EQ((Pair<int>{cut.Width, cut.Height}), (Pair<int>{320, 200}));
        // The tool comes back after an image switch with its buttons
        // working once per click.
        form.SelectImage(1);
        form.SelectImage(0);
        qobject_cast<QAbstractButton*>(form.ParamBar().Control(3))->click();
        EXPECT_EQ((Pair<int>{cut.Width, cut.Height}), (Pair<int>{640, 400}));
        qobject_cast<QAbstractButton*>(form.ParamBar().Control(4))->click();
        qobject_cast<QAbstractButton*>(form.ParamBar().Control(4))->click();
        EXPECT_EQ((Pair<int>{cut.Width, cut.Height}), (Pair<int>{160, 100}));

        // Ctrl+Right stops at the image's width, Ctrl+Down at its height.
        form.SetBarValue(1, w - 2);
        for (int i = 0; i < 4; ++i) Key(form, Qt::Key_Right, Qt::ControlModifier);
        EXPECT_EQ(cut.Width, w);
        form.SetBarValue(1, 40);
        form.SetBarValue(2, 30);
        // Kept while another tool is current.
        Select(form, kv::PenContTool());
        Select(form, kv::CutResizeTool());
        EXPECT_EQ((Pair<int>{cut.Width, cut.Height}), (Pair<int>{40, 30}));

        // A cut at the bottom-right corner is clamped to the image.
        Click(form, {w - 10, h - 5});
        EXPECT_EQ(PixelsOf(form.Paintbox().Brush.Brush),
                  CutOf(image, {w - 10, h - 5, w - 1, h - 1}));
        EXPECT_EQ(form.ToolFw().Current, kv::PenDiscTool());
    });
}

// A 3 x 2 user brush with a handle, a background and a technique of its own.
void MakeUserBrush(kv::TMainForm& form) {
    kv::BrushState& b = form.Paintbox().Brush;
    b.Brush.Alloc(Pair<int>{3, 2});
    b.Brush.Box(b.Brush.Area, 0x00123456);
    b.Brush.PutPixel({1, 0}, kv::kBrushTransparent);
    b.Settings.UserBrush = true;
    b.Settings.Handle = kv::bhLeftTop;
    b.Settings.Background = 0x00ABCDEF;
    b.Settings.Technique = kv::btReplace;
    form.Paintbox().BrushChanged();
}

TEST_F(CutGui, SelectAllCropAndRestore) {
    RunPainting([this](kv::TMainForm& form) {
        kv::UDBuffer& image = form.Docs().CurrentImage();
        kv::BrushState& brush = form.Paintbox().Brush;
        kv::ToolFramework& fw = form.ToolFw();
        DrawPicture(image);
        MakeUserBrush(form);
        const auto userPixels = PixelsOf(brush.Brush);
        const auto before = Pixels(form);
        const Pair<int> size{image.Width(), image.Height()};

        form.MenuCommand("SelectAll1")->trigger();
        EXPECT_EQ(PixelsOf(brush.Brush), CutOf(image, {0, 0, size.x - 1, size.y - 1}));
        EXPECT_EQ(brush.Settings.Handle, kv::bhCentre);
        EXPECT_EQ(fw.Current, kv::PenDiscTool());
        form.MenuCommand("Crop1")->trigger();
        EXPECT_EQ((Pair<int>{image.Width(), image.Height()}), size);
        EXPECT_TRUE(Pixels(form) == before);
        EXPECT_EQ(image.Changed, 1);

        // Restore brings back the user brush with everything it had, the
        // second time the built-in brush; Shift+B does what the menu does.
        form.MenuCommand("Restore1")->trigger();
        EXPECT_EQ(PixelsOf(brush.Brush), userPixels);
        EXPECT_EQ(brush.Settings.Handle, kv::bhLeftTop);
        EXPECT_EQ(brush.Settings.Background, 0x00ABCDEFu);
        EXPECT_EQ(fw.CurrentTechnique, kv::tqReplace);
        EXPECT_TRUE(form.MenuCommand("Replace1")->isChecked());
        EXPECT_EQ(form.PanelText(1).toStdString(), "R");
        QTest::keyClick(&form, Qt::Key_B, Qt::ShiftModifier);
        EXPECT_FALSE(brush.Settings.UserBrush);
        EXPECT_FALSE(fw.UserBrushInUse);
        EXPECT_EQ(brush.Brush.Width(), 2 * brush.Settings.Radius + 1);
        EXPECT_TRUE(form.MenuCommand("Color1")->isChecked());
        EXPECT_EQ(fw.Current, kv::PenDiscTool());

        // Crop to a cut, then undo: size and pixels come back.
        Select(form, kv::CutBoxTool());
        Click(form, {5, 6});
        Click(form, {34, 25});
        form.MenuCommand("Crop1")->trigger();
        EXPECT_EQ((Pair<int>{image.Width(), image.Height()}), (Pair<int>{30, 20}));
        EXPECT_EQ(*image.At(0, 0), before[std::size_t(6 * size.x + 5)]);
        form.UndoLastAction();
        EXPECT_EQ((Pair<int>{image.Width(), image.Height()}), size);
        EXPECT_TRUE(Pixels(form) == before);

        // An image wider than a brush may be: refused, brush kept.
        MakeUserBrush(form);
        Select(form, kv::PenContTool());
        ASSERT_TRUE(form.Docs().AllocBlack(form.Docs().Current, kv::kMaxBrushSide + 1, 2));
        form.RefreshView();
        form.MenuCommand("SelectAll1")->trigger();
        ASSERT_EQ(shown_.size(), 1u);
        EXPECT_EQ(shown_[0].Text, key::BrTooBig);
        EXPECT_EQ(shown_[0].Caption, key::Err);
        EXPECT_EQ(PixelsOf(brush.Brush), userPixels);
        EXPECT_EQ(brush.Settings.Handle, kv::bhLeftTop);
        EXPECT_EQ(fw.Current, kv::PenContTool());
        // So is a wand cut of all of it, which leaves no mark behind.
        Select(form, kv::CutWandTool());
        Click(form, {3, 1});
        ASSERT_EQ(shown_.size(), 2u);
        EXPECT_EQ(shown_[1].Text, key::BrTooBig);
        EXPECT_EQ(PixelsOf(brush.Brush), userPixels);
        EXPECT_EQ(fw.Current, kv::PenContTool());
        EXPECT_FALSE(AnyMarks(image));
    });
}

TEST_F(CutGui, OptimizeTrimsAndMovesThePointer) {
    {
        kv::SettingsStore store(settingsPath_);
        store.WriteBool(kv::kPreferencesKey, "OptimBrush", true);
        store.Flush();
    }
    RunPainting([](kv::TMainForm& form) {
        kv::UDBuffer& image = form.Docs().CurrentImage();
        kv::BrushState& brush = form.Paintbox().Brush;
        ASSERT_TRUE(form.Prefs().OptimBrush);
        image.Box({20, 20, 60, 50}, kBack);
        image.Box({40, 30, 44, 33}, 0x00C0FFEE);
        Select(form, kv::CutBoxTool());
        Click(form, {20, 20});
        Click(form, {60, 50});
        EXPECT_EQ((Pair<int>{brush.Brush.Width(), brush.Brush.Height()}), (Pair<int>{5, 4}));
        EXPECT_EQ(brush.Settings.Origin, (Pair<int>{40, 30}));
        EXPECT_EQ(form.ToolFw().ImagePos, (Pair<int>{42, 32}));
        EXPECT_EQ(PixelsOf(brush.Painting), std::vector<Pixel>(20, 0x00C0FFEE));

        // Nothing but back colour: the brush stays, transparent, not empty.
        Select(form, kv::CutBoxTool());
        Click(form, {22, 22});
        Click(form, {30, 26});
        EXPECT_EQ(PixelsOf(brush.Brush), std::vector<Pixel>(9 * 5, kv::kBrushTransparent));
    });
}

// The pixels an outline through points marks, by the marking core.
std::vector<bool> OutlineMarks(const kv::UDBuffer& image, const std::vector<Pair<int>>& points) {
    pixkit::Buffer scratch;
    scratch.Alloc(Pair<int>{image.Width(), image.Height()});
    scratch.Box(scratch.Area, 0);
    kv::OutlineMarker m(scratch, kv::OutlineMarker::kKeepColour);
    m.Start(points.front());
    for (std::size_t i = 1; i < points.size(); ++i) m.LineTo(points[i]);
    m.Close();
    std::vector<bool> marked;
    for (Pixel p : PixelsOf(scratch)) marked.push_back((p & kv::kMarked) != 0);
    return marked;
}

// The brush a marked cut gives: the pixels of before where marked,
// transparent elsewhere, over the box of the marks; and its background
// is none of its colours.
void ExpectCutOfMarks(kv::TMainForm& form, const std::vector<Pixel>& before,
                      const std::vector<bool>& marked) {
    const kv::UDBuffer& image = form.Docs().CurrentImage();
    const kv::BrushState& brush = form.Paintbox().Brush;
    const int w = image.Width();
    Rect box{w, image.Height(), -1, -1};
    for (std::size_t i = 0; i < marked.size(); ++i)
        if (marked[i]) {
            const int x = int(i) % w, y = int(i) / w;
            box = {std::min(box.Left, x), std::min(box.Top, y), std::max(box.Right, x),
                   std::max(box.Bottom, y)};
        }
    std::vector<Pixel> want;
    for (int y = box.Top; y <= box.Bottom; ++y)
        for (int x = box.Left; x <= box.Right; ++x) {
            const std::size_t i = std::size_t(y * w + x);
            want.push_back(marked[i] ? before[i] : kv::kBrushTransparent);
        }
    EXPECT_EQ(PixelsOf(brush.Brush), want);
    EXPECT_EQ(brush.Settings.Origin, (Pair<int>{box.Left, box.Top}));
    for (Pixel p : want) EXPECT_NE(p, brush.Settings.Background) << "background in the brush";
    EXPECT_TRUE(brush.Settings.UserBrush);
    EXPECT_EQ(form.ToolFw().CurrentTechnique, kv::tqPaint);
}

// A square of a colour near the back colour, with back-colour pixels in it.
void DrawArea(kv::UDBuffer& image) {
    image.Box(image.Area, kGround);
    image.Box({40, 40, 80, 70}, 0x0010F010);
    for (int x = 45; x <= 75; x += 6) image.PutPixel({x, 50 + x % 7}, kBack);
}

TEST_F(CutGui, FreehandPolygonAndWandCutTheMarkedArea) {
    RunPainting([](kv::TMainForm& form) {
        kv::UDBuffer& image = form.Docs().CurrentImage();
        kv::ToolFramework& fw = form.ToolFw();
        DrawArea(image);
        const auto before = Pixels(form);

        // Freehand: press, drag, release.
        Select(form, kv::PenContTool());
        Select(form, kv::CutDrawTool());
        const std::vector<Pair<int>> path{{30, 35}, {95, 45}, {60, 90}};
        QTest::mouseMove(form.ShowBuf(), ViewOf(form, path[0]));
        QTest::mousePress(form.ShowBuf(), Qt::LeftButton, {}, ViewOf(form, path[0]));
        for (std::size_t i = 1; i < path.size(); ++i) Move(form, path[i]);
        QTest::qWait(kHold);
        QTest::mouseRelease(form.ShowBuf(), Qt::LeftButton, {}, ViewOf(form, path.back()));
        ExpectCutOfMarks(form, before, OutlineMarks(image, path));
        EXPECT_EQ(fw.Current, kv::PenDiscTool());
        fw.HideFeedback();
        EXPECT_TRUE(Pixels(form) == before);
        EXPECT_FALSE(AnyMarks(image));

        // Polygon: closed 5 view pixels from the first vertex; 10 is too far.
        Select(form, kv::PenContTool());
        Select(form, kv::CutPolyTool());
        const std::vector<Pair<int>> corners{{35, 38}, {90, 42}, {50, 85}};
        for (Pair<int> c : corners) Click(form, c);
        const double f = form.ZoomFactor();
        // A view pixel at least d (and less than d + 1) right of the first
        // vertex's centre, measured from the view pixel's centre.
        auto nearFirst = [&](int d) {
            return QPoint(int(std::ceil((corners[0].x + 0.5) * f - 0.5 + d)),
                          int(std::lround((corners[0].y + 0.5) * f - 0.5)));
        };
        QTest::mousePress(form.ShowBuf(), Qt::LeftButton, {}, nearFirst(10));
        QTest::mouseRelease(form.ShowBuf(), Qt::LeftButton, {}, nearFirst(10));
        EXPECT_EQ(fw.Current, kv::CutPolyTool()) << "closed 10 view pixels away";
        // Leaving the open polygon leaves no marks.
        Select(form, kv::PenContTool());
        fw.HideFeedback();
        EXPECT_FALSE(AnyMarks(image));
        EXPECT_TRUE(Pixels(form) == before);

        Select(form, kv::CutPolyTool());
        for (Pair<int> c : corners) Click(form, c);
        QTest::mousePress(form.ShowBuf(), Qt::LeftButton, {}, nearFirst(5));
        QTest::mouseRelease(form.ShowBuf(), Qt::LeftButton, {}, nearFirst(5));
        EXPECT_EQ(fw.Current, kv::PenDiscTool());
        ExpectCutOfMarks(form, before, OutlineMarks(image, corners));
        fw.HideFeedback();
        EXPECT_TRUE(Pixels(form) == before);
        EXPECT_FALSE(AnyMarks(image));

        // Wand: the connected area within 128 of the seed, back-colour
        // pixels in it included; then the tool before it.
        Select(form, kv::PenContTool());
        Select(form, kv::CutWandTool());
        Click(form, {60, 60});
        std::vector<bool> area;
        for (Pixel p : before) area.push_back(p != kGround);
        ExpectCutOfMarks(form, before, area);
        EXPECT_EQ(fw.Current, kv::PenContTool());
        fw.HideFeedback();
        EXPECT_TRUE(Pixels(form) == before);
        EXPECT_EQ(image.Changed, 0);

        // With the right button the area is left in the back colour.
        Select(form, kv::CutWandTool());
        Click(form, {60, 60}, Qt::RightButton);
        fw.HideFeedback();
        EXPECT_EQ(*image.At(41, 41), kBack);
        EXPECT_EQ(*image.At(60, 60), kBack);
        EXPECT_EQ(*image.At(39, 41), kGround);
        EXPECT_EQ(image.Changed, 1);
        EXPECT_FALSE(AnyMarks(image));
        ExpectUndoRestores(form, before);
    });
}

} // namespace
