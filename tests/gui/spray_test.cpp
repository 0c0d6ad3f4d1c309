// Spray, airbrush, Get Color and Change Color on the real main window. The
// random source is seeded, so the tests replay its draws with their own
// reading of the placement and blending rules; the activity timer is driven
// by calling its handler.
#include "paintgui.h"

#include "bars/parambar.h"
#include "paint/airbrush.h"
#include "paint/colortools.h"
#include "paint/painttools.h"
#include "tools/framework.h"
#include "view/maxsize.h"

#include <cmath>
#include <cstdlib>
#include <map>
#include <numbers>
#include <random>

using kvtest::kBack;
using kvtest::kDraw;
using kvtest::kGround;
using kvtest::kHold;
using kvtest::Points;
using kvtest::ViewOf;
using pixkit::Pair;
using pixkit::Pixel;
using pixkit::Rect;

namespace {

constexpr unsigned kSeed = 1234;

class SprayGui : public kvtest::PaintGui {
  protected:
    // The parameter bars need the language file.
    void RunSpray(std::function<void(kv::TMainForm&)> check) {
        InstallLanguage("English");
        RunPainting(std::move(check));
    }
    static void Press(kv::TMainForm& form, Pair<int> p, Qt::MouseButton b = Qt::LeftButton) {
        QTest::mouseMove(form.ShowBuf(), ViewOf(form, p));
        QTest::mousePress(form.ShowBuf(), b, {}, ViewOf(form, p));
    }
    static void Release(kv::TMainForm& form, Pair<int> p, Qt::MouseButton b = Qt::LeftButton) {
        QTest::mouseRelease(form.ShowBuf(), b, {}, ViewOf(form, p));
    }
    static void Fill(kv::TMainForm& form, Pixel c) {
        kv::UDBuffer& image = form.Docs().CurrentImage();
        image.Box(image.Area, c);
    }
};

// Where one spray step around p puts its stamps: b from two draws, then the
// angle in whole degrees.
Points SprayReference(std::mt19937& rnd, Pair<int> p, int a, int intensity) {
    Points s;
    for (int i = 0; i < 2 * intensity - 1; ++i) {
        const int b1 = int(rnd() % unsigned(a));
        const int b2 = int(rnd() % unsigned(a));
        const double b = -a + b1 + b2;
        const double angle = int(rnd() % 360) * std::numbers::pi / 180;
        s.insert({int(b * std::cos(angle) + p.x), int(b * std::sin(angle) + p.y)});
    }
    return s;
}

TEST_F(SprayGui, SprayStepsReplayTheSeededDraws) {
    RunSpray([](kv::TMainForm& form) {
        kv::Painting& paint = form.Paintbox();
        Select(form, kv::SprayTool());
        ASSERT_EQ(form.ParamBar().BuiltName(), "SPRAYBAR");
        EXPECT_TRUE(form.ParamBar().Control(0)->isEnabled())
            << "the radius button sizes with the mouse";
        const Pair<int> p{100, 90};
        struct Case {
            int radius, intensity;
            Qt::MouseButton button;
        };
        for (const Case c : {Case{30, 10, Qt::LeftButton}, Case{1, 10, Qt::LeftButton},
                             Case{25, 1, Qt::RightButton}}) {
            SCOPED_TRACE(testing::Message() << c.radius << " " << c.intensity);
            Fill(form, kGround);
            form.SetBarValue(1, c.radius);
            form.SetBarValue(2, c.intensity);
            paint.SeedRandom(kSeed);
            std::mt19937 rnd(kSeed);
            const Points want = SprayReference(rnd, p, c.radius, c.intensity);
            // A quick click is one step; moving away leaves every stamp.
            Click(form, p, c.button);
            Move(form, {10, 10});
            EXPECT_EQ(Painted(form), want);
            const Pixel colour = c.button == Qt::RightButton ? kBack : kDraw;
            for (auto [x, y] : want) EXPECT_EQ(*form.Docs().CurrentImage().At(x, y), colour);
            if (c.radius == 1) {
                for (auto [x, y] : want) EXPECT_LE(std::abs(x - p.x) + std::abs(y - p.y), 2);
            }
        }
        EXPECT_EQ(*paint.Brush.Painting.At(0, 0), kDraw) << "the stroke restores the brush";

        // Held still: one step per tick, none before the first tick and
        // none once the button is up.
        Fill(form, kGround);
        form.SetBarValue(2, 10);
        const auto before = Pixels(form);
        const int changed = form.Docs().CurrentImage().Changed;
        Press(form, p);
        const auto stamps = paint.Stamp.Stamps();
        for (int i = 0; i < 3; ++i) form.ToolFw().ActivateIconFunc();
        EXPECT_EQ(paint.Stamp.Stamps() - stamps, 3 * 19);
        QTest::qWait(kHold);
        Release(form, p);
        EXPECT_EQ(form.Docs().CurrentImage().Changed, changed + 1);
        const auto idle = paint.Stamp.Stamps();
        for (int i = 0; i < 3; ++i) form.ToolFw().ActivateIconFunc();
        EXPECT_EQ(paint.Stamp.Stamps(), idle);
        ExpectUndoRestores(form, before);
    });
}

// One airbrush step as the rules read, pixel by pixel: rows top to bottom,
// pairs from both ends of each row, alphas clamped to 0..256, only pixels
// inside view written. The disc's rows are those of the round brush.
void AirbrushReference(kv::UDBuffer& image, Rect view, Pair<int> c, int r, int intensity,
                       Pixel colour, std::mt19937& rnd) {
    pixkit::Buffer disc;
    disc.Alloc(Pair<int>{2 * r + 1, 2 * r + 1});
    disc.Box(disc.Area, 0);
    kv::DrawDisc(disc, r, 1);
    const int e = int(intensity * 2.4 + 12);
    auto blend = [&](int x, int y, int o) {
        o = std::clamp(o, 0, 256);
        if (x < view.Left || x > view.Right || y < view.Top || y > view.Bottom) return;
        Pixel& v = *image.At(x, y);
        Pixel out = v & 0xFF000000;
        for (int shift : {0, 8, 16}) {
            const unsigned old = v >> shift & 0xFF, k = colour >> shift & 0xFF;
            out |= ((old * unsigned(256 - o) + k * unsigned(o)) / 256) << shift;
        }
        v = out;
    };
    for (int dy = -r; dy <= r; ++dy) {
        int h = -1;
        for (int x = 0; x <= 2 * r; ++x) h += *disc.At(x, dy + r) != 0 ? 1 : 0;
        h /= 2;
        const int span = int(std::sqrt(double(dy * dy + h * h)));
        for (int i = 0; i <= h; ++i) {
            const int dx = h - i;
            const double dist = std::sqrt(double(dy * dy + dx * dx));
            const int m = int(std::sqrt(dist / span) * e);
            const int o = int(rnd() % 5) + e - m - 2;
            blend(c.x - dx, c.y + dy, o);
            if (dx != 0) blend(c.x + dx, c.y + dy, o - int(rnd() % 5) + 2);
        }
    }
}

TEST_F(SprayGui, AirbrushStepMatchesTheReferenceAtTheCornerAndClipped) {
    RunSpray([](kv::TMainForm& form) {
        kv::Painting& paint = form.Paintbox();
        Select(form, kv::AirbrushTool());
        form.SetBarValue(1, 12);
        form.SetBarValue(2, 10);
        auto step = [&](Pair<int> c, Qt::MouseButton button) {
            Fill(form, 0x00404040);
            kv::UDBuffer expected;
            kv::CloneBuffer(expected, form.Docs().CurrentImage());
            std::mt19937 rnd(kSeed);
            AirbrushReference(expected, form.DrawingView().Area, c, 12, 10,
                              button == Qt::RightButton ? kBack : kDraw, rnd);
            paint.SeedRandom(kSeed);
            Click(form, c, button);
            form.ToolFw().HideFeedback();
            const kv::UDBuffer& image = form.Docs().CurrentImage();
            int differ = 0;
            for (int y = 0; y < image.Height(); ++y)
                for (int x = 0; x < image.Width(); ++x)
                    differ += *image.At(x, y) != *expected.At(x, y) ? 1 : 0;
            EXPECT_EQ(differ, 0) << c.x << "," << c.y;
        };
        step({60, 50}, Qt::LeftButton);
        step({0, 0}, Qt::RightButton); // the corner pixel: every row cut by the edge
        ClipToPart(form);
        const Rect v = form.DrawingView().Area;
        step({v.Left + 2, v.Top + 5}, Qt::LeftButton);
        EXPECT_EQ(*form.Docs().CurrentImage().At(v.Left - 1, v.Top + 5), 0x00404040u);
    });
}

TEST_F(SprayGui, AirbrushTicksBuildUpWithoutOvershootAndLeavingEndsTheStroke) {
    RunSpray([](kv::TMainForm& form) {
        Select(form, kv::AirbrushTool());
        form.SetBarValue(1, 15);
        form.SetBarValue(2, 100);
        Fill(form, 0x00204080);
        const int changed = form.Docs().CurrentImage().Changed;
        Press(form, {50, 50});
        auto previous = Pixels(form);
        for (int tick = 0; tick < 6; ++tick) {
            form.ToolFw().ActivateIconFunc();
            const auto now = Pixels(form);
            for (std::size_t i = 0; i < now.size(); ++i) {
                // Toward red 0xFF0000: red never falls, green and blue never rise.
                ASSERT_GE(now[i] >> 16 & 0xFF, previous[i] >> 16 & 0xFF);
                ASSERT_LE(now[i] >> 8 & 0xFF, previous[i] >> 8 & 0xFF);
                ASSERT_LE(now[i] & 0xFF, previous[i] & 0xFF);
            }
            EXPECT_NE(now, previous) << "tick " << tick;
            previous = now;
        }
        // A tool key in the middle of the stroke ends it.
        Select(form, kv::PenContTool());
        EXPECT_EQ(form.Docs().CurrentImage().Changed, changed + 1);
        Release(form, {50, 50});
    });
}

TEST(Airbrush, AlphaIsClampedForAnyIntensity) {
    pixkit::Buffer image;
    image.Alloc(Pair<int>{41, 41});
    image.Box(image.Area, 0x00102030);
    kv::PaintRandom rnd(kSeed);
    const Rect box = kv::AirbrushStep(image, {20, 20}, 20, 100000, 0x00F0E0D0, rnd);
    EXPECT_EQ(box, (Rect{0, 0, 40, 40}));
    EXPECT_EQ(*image.At(20, 20), 0x00F0E0D0u) << "full strength at the centre";
    for (int y = 0; y < 41; ++y)
        for (int x = 0; x < 41; ++x)
            for (int shift : {0, 8, 16}) {
                const unsigned v = *image.At(x, y) >> shift & 0xFF;
                ASSERT_GE(v, 0x00102030u >> shift & 0xFF);
                ASSERT_LE(v, 0x00F0E0D0u >> shift & 0xFF);
            }
}

TEST_F(SprayGui, GetColorPicksWithBothButtonsAndReturnsToThePreviousVariant) {
    RunSpray([](kv::TMainForm& form) {
        kv::UDBuffer& image = form.Docs().CurrentImage();
        image.PutPixel({50, 50}, 0x00123456);
        image.PutPixel({60, 60}, 0x00ABCDEF);
        Select(form, kv::PenDiscTool());
        const auto before = Pixels(form);
        Click(form, {10, 10});
        const int variant =
            form.ToolFw().IconTable()[std::size_t(form.ToolFw().IconOf(kv::PenDiscTool()))].Current;

        Select(form, kv::GetColorTool());
        Move(form, {50, 50});
        EXPECT_EQ(form.PanelText(3), "[18,52,86]");
        Click(form, {50, 50});
        EXPECT_EQ(form.DrawColor() & 0xFFFFFF, 0x123456u);
        EXPECT_EQ(form.ToolFw().Current, kv::PenDiscTool());
        EXPECT_EQ(
            form.ToolFw().IconTable()[std::size_t(form.ToolFw().IconOf(kv::PenDiscTool()))].Current,
            variant);

        Select(form, kv::GetColorTool());
        Click(form, {60, 60}, Qt::RightButton);
        EXPECT_EQ(form.BackColor() & 0xFFFFFF, 0xABCDEFu);
        EXPECT_EQ(form.DrawColor() & 0xFFFFFF, 0x123456u);
        EXPECT_EQ(form.ToolFw().Current, kv::PenDiscTool());

        // A press outside the image picks nothing.
        Select(form, kv::GetColorTool());
        form.ToolFw().ImagePos = {-3, image.Height() + 4};
        kv::GetColorTool()->Press();
        EXPECT_EQ(form.DrawColor() & 0xFFFFFF, 0x123456u);
        EXPECT_EQ(form.BackColor() & 0xFFFFFF, 0xABCDEFu);

        // Picking took no snapshot: undo still takes back the pen's dot.
        form.ToolFw().ReturnToPreviousTool(true);
        ExpectUndoRestores(form, before);
    });
}

TEST_F(SprayGui, ChangeColorWithToleranceOverTheWholeViewOrItsVisiblePart) {
    RunSpray([](kv::TMainForm& form) {
        kv::UDBuffer& image = form.Docs().CurrentImage();
        const std::map<std::pair<int, int>, Pixel> colours = {
            {{5, 5}, 0x00102030},
            {{90, 70}, 0x00102030},  // the picked colour, apart
            {{20, 20}, 0x00102031},  // one unit in blue
            {{30, 30}, 0x00112031}}; // two units
        auto paintColours = [&] {
            Fill(form, kGround);
            for (auto [p, c] : colours) image.PutPixel({p.first, p.second}, c);
        };
        auto changedTo = [&](Pixel k) {
            Points s;
            for (auto [p, c] : colours)
                if (*image.At(p.first, p.second) == k) s.insert(p);
            return s;
        };
        Select(form, kv::ChangeColorTool());
        ASSERT_EQ(form.ParamBar().BuiltName(), "CHBAR");
        paintColours();
        const auto before = Pixels(form);
        const int changed = image.Changed;
        Click(form, {5, 5});
        EXPECT_EQ(changedTo(kDraw), (Points{{5, 5}, {90, 70}}));
        EXPECT_EQ(image.Changed, changed + 1);
        ExpectUndoRestores(form, before);

        form.SetBarValue(0, 1);
        Click(form, {5, 5}, Qt::RightButton);
        EXPECT_EQ(changedTo(kBack), (Points{{5, 5}, {90, 70}, {20, 20}}));
        EXPECT_EQ(*image.At(40, 40), kGround);

        paintColours();
        ClipToPart(form);
        const Rect v = form.DrawingView().Area;
        image.PutPixel({v.Left, v.Top}, 0x00102030);
        Click(form, {v.Left, v.Top});
        EXPECT_EQ(*image.At(v.Left, v.Top), kDraw);
        EXPECT_EQ(*image.At(5, 5), 0x00102030u) << "outside the visible part";
    });
}

} // namespace
