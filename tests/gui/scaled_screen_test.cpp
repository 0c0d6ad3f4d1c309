// A scaled screen (QT_SCALE_FACTOR=2): the view shows one image pixel per
// device pixel at zoom 1, and a pointer at any device pixel reaches the
// image pixel drawn there. Qt takes the scale when the application starts,
// so the test runs itself again in a child process with the factor set.
#include "paintgui.h"

#include "paint/painttools.h"

#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>

using kvtest::PaintGui;

namespace {

constexpr char kChild[] = "KV_SCALED_SCREEN_CHILD";

// A press and release with the pointer in device pixel d of the view.
void ClickDevice(kv::TMainForm& form, QPoint d) {
    kv::TBuffer* view = form.ShowBuf();
    const qreal r = view->DeviceRatio();
    const QPointF at((d.x() + 0.5) / r, (d.y() + 0.5) / r);
    for (QEvent::Type type :
         {QEvent::MouseMove, QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
        const Qt::MouseButton b = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
        QMouseEvent e(type, at, view->mapToGlobal(at), b,
                      type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton,
                      Qt::NoModifier);
        QCoreApplication::sendEvent(view, &e);
    }
}

} // namespace

TEST_F(PaintGui, ScaledScreenShowsAndPaintsDevicePixels) {
    if (std::getenv(kChild) == nullptr) {
        const std::string out = (root_ / "child.txt").string();
        const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
        const std::string command =
            std::string(kChild) + "=1 QT_SCALE_FACTOR=2 '" + self +
            "' --gtest_filter=PaintGui.ScaledScreenShowsAndPaintsDevicePixels > " + out + " 2>&1";
        const int rc = std::system(command.c_str());
        std::ostringstream text;
        text << std::ifstream(out).rdbuf();
        EXPECT_EQ(rc, 0) << text.str();
        EXPECT_NE(text.str().find("[  PASSED  ] 1 test"), std::string::npos) << text.str();
        return;
    }
    RunPainting([](kv::TMainForm& form) {
        form.resize(800, 600);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
        kv::TBuffer* view = form.ShowBuf();
        ASSERT_EQ(view->DeviceRatio(), 2.0);
        ASSERT_TRUE(form.Docs().AllocBlack(0, 101, 77));
        kv::UDBuffer& image = form.Docs().Slots[0];
        std::mt19937 rng(5);
        for (int y = 0; y < image.Height(); ++y)
            for (int x = 0; x < image.Width(); ++x) *image.At(x, y) = rng() & 0xFFFFFF;
        form.RefreshView();
        form.MaxSize()->SetPosition(1);
        form.ApplyZoom();
        form.ToolFw().HideFeedback();
        const QImage shown = view->grab().toImage().convertToFormat(QImage::Format_RGB32);
        ASSERT_GE(shown.width(), 101);
        ASSERT_GE(shown.height(), 77);
        for (int y = 0; y < 77; ++y)
            for (int x = 0; x < 101; ++x)
                ASSERT_EQ(shown.pixel(x, y) & 0xFFFFFF, *image.At(x, y)) << x << "," << y;

        Select(form, kv::PenOneTool());
        for (int zoom : {1, 3}) {
            form.MaxSize()->SetPosition(zoom);
            form.ApplyZoom();
            for (pixkit::Pair<int> p : {pixkit::Pair<int>{37, 21}, pixkit::Pair<int>{38, 22}}) {
                image.Box(image.Area, kvtest::kGround);
                // The last device pixel of the image pixel's zoomed square.
                ClickDevice(form, QPoint(p.x * zoom + zoom - 1, p.y * zoom + zoom - 1));
                EXPECT_EQ(Painted(form), kvtest::Points({{p.x, p.y}})) << "zoom " << zoom;
            }
        }
    });
}
